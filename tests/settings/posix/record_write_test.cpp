// install.dat is written beside and swapped in: a disk that fills up at any point leaves
// the old record readable, and a link at its name is replaced, never written through.
#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/posix/emulated_machine.h"
#include "runtime/error.h"
#include "runtime/sjis.h"
#include "settings/install_settings.h"
#include "settings/paths.h"
#include "support/test_machine.h"

namespace zarn {
namespace {

TZarnInstallSet Record(int files) {
  TZarnInstallSet s;
  s.Title = "物語";
  s.RegistryKey = "Maker\\Story";
  s.Installed = true;
  for (int i = 0; i < files; ++i) s.InstalledFiles.Add(Format("data\\file%04d.txt", i));
  return s;
}

TEST(RecordWrite, AFullDiskAtAnyLengthLeavesTheOldRecord) {
  testing::TestMachine m;
  Platform& p = m.platform();
  MachineFaults& faults = dynamic_cast<EmulatedMachine&>(p).Faults();
  const std::string path = m.Scratch() + "install.dat";
  Record(300).SaveToFile(p, path);  // about 7 KiB
  TZarnInstallSet grown = Record(600);
  TMemoryStream bytes;
  grown.SaveToStream(bytes);
  int failures = 0;
  for (int64_t room = 0; room < bytes.Size(); room += 509) {
    faults.diskFreeBytes = room;
    EXPECT_THROW(grown.SaveToFile(p, path), EZarnError) << room;
    faults.diskFreeBytes = -1;
    TZarnInstallSet back;
    ASSERT_NO_THROW(back.LoadFromFile(p, path)) << room;
    EXPECT_EQ(back.InstalledFileCount(), 300) << room;
    EXPECT_FALSE(p.FileExists(path + ".tmp")) << room;
    ++failures;
  }
  EXPECT_GT(failures, 20);
  grown.SaveToFile(p, path);
  TZarnInstallSet back;
  back.LoadFromFile(p, path);
  EXPECT_EQ(back.InstalledFileCount(), 600);
}

TEST(RecordWrite, ALinkAtTheRecordOrItsTemporaryNameIsReplaced) {
  testing::TestMachine m;
  auto& machine = dynamic_cast<EmulatedMachine&>(m.platform());
  Platform& p = m.platform();
  for (const char* linked : {"install.dat", "install.dat.tmp"}) {
    const std::string folder = m.Scratch() + linked + "-case\\";
    ASSERT_TRUE(p.CreateDirectory(folder));
    const std::string victim = m.Scratch() + linked + "-victim.txt";
    {
      TFileStream v(p, victim, fmCreate);
      v.WriteBuffer("victim", 6);
    }
    ASSERT_EQ(symlink(machine.HostPath(victim).c_str(), (machine.HostPath(folder) + "/" + linked).c_str()), 0);
    Record(3).SaveToFile(p, folder + "install.dat");
    TMemoryStream v;
    LoadFileToStream(p, victim, v);
    EXPECT_EQ(v.ToString(), "victim") << linked;
    EXPECT_EQ(p.GetFileAttributes(folder + "install.dat") & faReparsePoint, 0u) << linked;
    TZarnInstallSet back;
    back.LoadFromFile(p, folder + "install.dat");
    EXPECT_EQ(back.InstalledFileCount(), 3);
  }
}

}  // namespace
}  // namespace zarn
