// The installed-programs entry's size: the bytes of the installed files, found whatever
// their case and folder, with files that are gone counting nothing.
#include <gtest/gtest.h>

#include "platform/platform.h"
#include "settings/install_settings.h"
#include "settings/paths.h"
#include "support/test_machine.h"
#include "wizard/programs_entry.h"

namespace zarn {
namespace {

void Put(Platform& p, const std::string& path, size_t size) {
  std::string bytes(size, 'x');
  WriteFileReplacing(p, path, bytes.data(), static_cast<int64_t>(size));
}

TEST(ProgramsEntry, EstimatedSizeIsTheInstalledFilesInKiB) {
  testing::TestMachine m;
  Platform& p = m.platform();
  const std::string dest = m.Scratch() + "game\\";
  for (const char* folder : {"", "Sound", "sound\\deep"}) ASSERT_TRUE(p.CreateDirectory(dest + folder));
  Put(p, dest + "Game.EXE", 1000);
  Put(p, dest + "Sound\\BGM.wav", 2000);
  Put(p, dest + "sound\\deep\\v.ogg", 100);
  Put(p, dest + "unlisted.bin", 50000);
  TZarnInstallSet settings;
  settings.Title = "Test";
  settings.RegistryKey = "\\" + m.ScratchKey() + "\\Game";
  for (const char* name : {"game.exe", "sound\\bgm.wav", "sound\\deep\\v.ogg", "gone.bin", "nofolder\\x.bin"})
    settings.InstalledFiles.Add(name);
  ASSERT_TRUE(WriteProgramsEntry(p, settings, dest));
  auto key = p.OpenKey(RegRoot::CurrentUser, ProgramsEntryKey(settings.RegistryKey), false);
  ASSERT_TRUE(key);
  uint32_t type = 0;
  std::string data;
  ASSERT_TRUE(key->QueryValue("EstimatedSize", type, data));
  key.reset();
  DeleteProgramsEntry(p, settings);
  ASSERT_EQ(data.size(), 4u);
  EXPECT_EQ(static_cast<uint8_t>(data[0]), 4);  // 3,100 bytes: 4 KiB rounded up
}

}  // namespace
}  // namespace zarn
