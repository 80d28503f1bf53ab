// The helpers and record operations that use the machine: product key, file listing and
// copying, system folders, per-user folders. Run on the emulated machine and on Windows.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "runtime/error.h"
#include "runtime/sjis.h"
#include "settings/install_settings.h"
#include "settings/paths.h"
#include "support/test_machine.h"

namespace zarn {
namespace {

using testing::TestMachine;

class SettingsMachine : public ::testing::Test {
 protected:
  Platform& p() { return machine_.platform(); }
  std::string Scratch() { return machine_.Scratch(); }

  void WriteFile(const std::string& path, const std::string& bytes) {
    TFileStream f(p(), path, fmCreate);
    f.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  }
  std::string ReadFile(const std::string& path) {
    TMemoryStream m;
    LoadFileToStream(p(), path, m);
    return m.ToString();
  }
  bool KeyExists(const std::string& path) { return p().OpenKey(RegRoot::CurrentUser, path, false) != nullptr; }

  TestMachine machine_;
};

// ---- the product key

TEST_F(SettingsMachine, ProductKeyValuesWithOrWithoutLeadingBackslash) {
  TZarnInstallSet a, b;
  a.RegistryKey = "\\" + machine_.ScratchKey() + "\\Maker\\物語";
  b.RegistryKey = machine_.ScratchKey() + "\\Maker\\物語";
  EXPECT_EQ(a.ReadRegString(p(), "InstallPath", "default"), "default");  // no key yet
  a.WriteRegString(p(), "InstallPath", "C:\\Games\\物語\\");
  EXPECT_EQ(b.ReadRegString(p(), "InstallPath", ""), "C:\\Games\\物語\\");
  EXPECT_EQ(b.ReadRegString(p(), "CDDrive", "none"), "none");  // key there, value not
  b.WriteRegString(p(), "CDDrive", "");
  EXPECT_EQ(a.ReadRegString(p(), "CDDrive", "none"), "");

  // Stored as REG_SZ with its terminator.
  auto key = p().OpenKey(RegRoot::CurrentUser, "Software\\" + machine_.ScratchKey() + "\\Maker\\物語", false);
  ASSERT_TRUE(key);
  uint32_t type = 0;
  std::string data;
  ASSERT_TRUE(key->QueryValue("InstallPath", type, data));
  EXPECT_EQ(type, regSz);
  EXPECT_EQ(data, std::string("C:\\Games\\物語\\") + '\0');

  // A value of another type is an error, not a silent default.
  ASSERT_TRUE(key->SetValue("Count", regDword, std::string("\x05\0\0\0", 4)));
  EXPECT_THROW(a.ReadRegString(p(), "Count", ""), ERegistryError);
}

TEST_F(SettingsMachine, EmptyRegistryKeyTouchesNothing) {
  TZarnInstallSet r;
  r.WriteRegString(p(), "InstallPath", "C:\\x\\");
  EXPECT_EQ(r.ReadRegString(p(), "InstallPath", "d"), "d");
  r.DeleteRegKey(p());
  EXPECT_FALSE(r.IsGameInstalled(p()));

  // A setting of a lone backslash must not take HKCU\Software with it.
  TZarnInstallSet other;
  other.RegistryKey = machine_.ScratchKey() + "\\Keep";
  other.WriteRegString(p(), "v", "1");
  r.RegistryKey = "\\";
  r.DeleteRegKey(p());
  EXPECT_EQ(other.ReadRegString(p(), "v", ""), "1");
}

TEST_F(SettingsMachine, DeleteRegKeyRemovesEmptiedParentsOnly) {
  const std::string top = machine_.ScratchKey();
  TZarnInstallSet story, sibling;
  story.RegistryKey = "\\" + top + "\\Maker\\Story";
  sibling.RegistryKey = top + "\\Maker\\Other";
  story.WriteRegString(p(), "InstallPath", "C:\\a\\");
  ASSERT_TRUE(p().OpenKey(RegRoot::CurrentUser, "Software\\" + top + "\\Maker\\Story\\Sub\\Deep", true));
  sibling.WriteRegString(p(), "InstallPath", "C:\\b\\");

  // Maker still holds Other: only Story (with its subkeys) goes.
  story.DeleteRegKey(p());
  EXPECT_FALSE(KeyExists("Software\\" + top + "\\Maker\\Story"));
  EXPECT_TRUE(KeyExists("Software\\" + top + "\\Maker\\Other"));

  // A parent with a value of its own stays too.
  TZarnInstallSet maker;
  maker.RegistryKey = top + "\\Maker";
  maker.WriteRegString(p(), "Company", "Zarn");
  sibling.DeleteRegKey(p());
  EXPECT_FALSE(KeyExists("Software\\" + top + "\\Maker\\Other"));
  EXPECT_TRUE(KeyExists("Software\\" + top + "\\Maker"));

  // Once empty, every parent below Software goes, up to and including the top one.
  story.WriteRegString(p(), "InstallPath", "C:\\a\\");
  auto makerKey = p().OpenKey(RegRoot::CurrentUser, "Software\\" + top + "\\Maker", false);
  ASSERT_TRUE(makerKey);
  ASSERT_TRUE(makerKey->DeleteValue("Company"));
  makerKey.reset();
  story.DeleteRegKey(p());
  EXPECT_FALSE(KeyExists("Software\\" + top + "\\Maker"));
  EXPECT_FALSE(KeyExists("Software\\" + top));
  EXPECT_TRUE(KeyExists("Software"));
}

TEST_F(SettingsMachine, ReadRegStrAcceptsOnlyTheGivenTypes) {
  auto key = p().OpenKey(RegRoot::CurrentUser, "Software\\" + machine_.ScratchKey(), true);
  ASSERT_TRUE(key);
  key->SetValue("sz", regSz, std::string("abc") + '\0');
  key->SetValue("expand", regExpandSz, std::string("%SystemDrive%\\x") + '\0');
  key->SetValue("empty", regSz, std::string(1, '\0'));
  key->SetValue("bin", regBinary, "abc");
  std::string out = "unchanged";
  EXPECT_FALSE(ReadRegStr(*key, "bin", out, regSz, regExpandSz));
  EXPECT_FALSE(ReadRegStr(*key, "missing", out, regSz, regExpandSz));
  EXPECT_FALSE(ReadRegStr(*key, "expand", out, regSz, regSz));
  EXPECT_EQ(out, "unchanged");
  EXPECT_TRUE(ReadRegStr(*key, "expand", out, regExpandSz, regSz));
  EXPECT_EQ(out, "%SystemDrive%\\x");  // not expanded
  EXPECT_TRUE(ReadRegStr(*key, "sz", out, regExpandSz, regSz));
  EXPECT_EQ(out, "abc");
  EXPECT_TRUE(ReadRegStr(*key, "empty", out, regSz, regSz));
  EXPECT_EQ(out, "");
}

TEST_F(SettingsMachine, IsGameInstalled) {
  TZarnInstallSet r;
  r.RegistryKey = machine_.ScratchKey() + "\\Game";
  r.ProgramFile = "ゲーム\\ソフト.exe";
  EXPECT_FALSE(r.IsGameInstalled(p()));
  std::string dir = Scratch() + "インストール先";  // no trailing backslash
  r.WriteRegString(p(), "InstallPath", dir);
  EXPECT_FALSE(r.IsGameInstalled(p()));
  ASSERT_TRUE(p().CreateDirectory(dir));
  ASSERT_TRUE(p().CreateDirectory(dir + "\\ゲーム"));
  WriteFile(dir + "\\ゲーム\\ソフト.exe", "MZ");
  EXPECT_TRUE(r.IsGameInstalled(p()));
  r.WriteRegString(p(), "InstallPath", "");
  EXPECT_FALSE(r.IsGameInstalled(p()));
}

TEST_F(SettingsMachine, SaveAndLoadFile) {
  TZarnInstallSet r;
  r.Title = "物語";
  r.SetDiscCount(2);
  r.DiscDataSizes[1] = 12345;
  r.AddInstalledFile("ソフト.exe");
  const std::string path = Scratch() + "install.dat";
  r.SaveToFile(p(), path);
  TZarnInstallSet back;
  EXPECT_EQ(back.LoadFromFile(p(), path), 108);
  EXPECT_EQ(back.Title, "物語");
  EXPECT_EQ(back.DiscDataSizes[1], 12345);
  EXPECT_EQ(back.InstalledFile(0), "ソフト.exe");
  EXPECT_THROW(back.LoadFromFile(p(), Scratch() + "missing.dat"), EFOpenError);
  WriteFile(path, "is108\x01");
  EXPECT_THROW(back.LoadFromFile(p(), path), EReadError);
  EXPECT_EQ(back.Title, "物語");
}

// ---- listing files

class ListFilesTest : public SettingsMachine {
 protected:
  void SetUp() override {
    root_ = Scratch() + "list";
    ASSERT_TRUE(p().CreateDirectory(root_));
    for (const char* f : {"b.wav", "a.WAV", "c.wave", "ソ.wav"}) WriteFile(root_ + "\\" + f, f);
    ASSERT_TRUE(p().CreateDirectory(root_ + "\\sub"));
    WriteFile(root_ + "\\sub\\d.wav", "d");
    ASSERT_TRUE(p().CreateDirectory(root_ + "\\sub\\deep"));
    WriteFile(root_ + "\\sub\\deep\\e.txt", "e");
  }

  // What a walk in the file system's own order yields: a folder's contents follow it.
  void Walk(const std::string& dir, const std::function<void(const std::string&, const DirEntry&)>& visit) {
    std::vector<DirEntry> entries;
    ASSERT_TRUE(p().ListDirectory(AddBackslash(dir), entries));
    for (const DirEntry& e : entries) {
      std::string full = AddBackslash(dir) + e.name;
      visit(full, e);
      if (e.attributes & faDirectory) Walk(full, visit);
    }
  }

  std::string root_;
};

TEST_F(ListFilesTest, EveryFileBelowInFileSystemOrder) {
  TStringList want;
  Walk(root_, [&](const std::string& full, const DirEntry& e) {
    if (!(e.attributes & faDirectory)) want.Add(full);
  });
  ASSERT_EQ(want.Count(), 6);
  TStringList got;
  got.Add("stale");
  ListFiles(p(), root_, 47, true, "", false, false, true, got, true);
  EXPECT_EQ(got, want);

  // Without recursion only the top folder's files; without clearing, appended.
  ListFiles(p(), root_ + "\\", 47, true, "", false, false, false, got, false);
  EXPECT_EQ(got.Count(), 6 + 4);
  // A folder that cannot be listed adds nothing.
  ListFiles(p(), root_ + "\\missing", 47, true, "", false, false, true, got, false);
  EXPECT_EQ(got.Count(), 10);
}

TEST_F(ListFilesTest, ExtensionFilterIgnoresCaseAndMatchesWholeExtension) {
  TStringList got;
  ListFiles(p(), root_, 47, true, ".wav", false, false, true, got, true);
  TStringList names;
  for (const std::string& s : got) names.Add(s.substr(root_.size() + 1));
  std::vector<std::string> sorted(names.begin(), names.end());
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(sorted, (std::vector<std::string>{"a.WAV", "b.wav", "sub\\d.wav", "ソ.wav"}));
}

TEST_F(ListFilesTest, FoldersWithSlashes) {
  TStringList got;
  ListFiles(p(), root_, faDirectory, false, "", false, true, false, got, true);
  EXPECT_EQ(got.Items(), std::vector<std::string>{root_ + "\\sub\\"});
  ListFiles(p(), root_, faDirectory, false, "", false, false, true, got, true);
  // The top level is listed as asked; levels below always get the slash.
  EXPECT_EQ(got.Items(), (std::vector<std::string>{root_ + "\\sub", root_ + "\\sub\\deep\\"}));
}

TEST_F(ListFilesTest, AttributeMask) {
  const std::string hidden = root_ + "\\a.WAV";
  ASSERT_TRUE(p().SetFileAttributes(hidden, faHidden | faReadOnly));
  TStringList got;
  ListFiles(p(), root_, faHidden, false, "", false, false, false, got, true);
  EXPECT_EQ(got.Items(), std::vector<std::string>{hidden});
  ListFiles(p(), root_, faReadOnly | faSysFile, false, "", false, false, true, got, true);
  EXPECT_EQ(got.Items(), std::vector<std::string>{hidden});
  ListFiles(p(), root_, faArchive | faHidden, false, "", false, false, true, got, true);
  EXPECT_EQ(got.Count(), 6);

  // Clearing attributes takes read-only and hidden off everything met, listed or not.
  ListFiles(p(), root_, 0, false, "", true, false, true, got, true);
  EXPECT_EQ(got.Count(), 0);
  EXPECT_EQ(p().GetFileAttributes(hidden) & (faHidden | faReadOnly), 0u);
  ListFiles(p(), root_, faHidden, false, "", false, false, true, got, true);
  EXPECT_EQ(got.Count(), 0);
}

TEST_F(ListFilesTest, PlainFilesNeedTheFlag) {
  const std::string plain = root_ + "\\b.wav";
  ASSERT_TRUE(p().SetFileAttributes(plain, faNormal));
  // Wine keeps the archive bit on every file.
  if ((p().GetFileAttributes(plain) & 0x3F) != 0) GTEST_SKIP() << "no file without attributes here";
  TStringList got;
  ListFiles(p(), root_, faArchive, false, "", false, false, false, got, true);
  EXPECT_EQ(got.Count(), 3);
  EXPECT_LT(got.IndexOf(plain), 0);
  ListFiles(p(), root_, faArchive, true, "", false, false, false, got, true);
  EXPECT_EQ(got.Count(), 4);
  EXPECT_GE(got.IndexOf(plain), 0);
  ListFiles(p(), root_, faHidden, true, "", false, false, false, got, true);
  EXPECT_EQ(got.Items(), std::vector<std::string>{plain});
}

// ---- copying and sizes

TEST_F(SettingsMachine, CopyIfChanged) {
  const std::string src = Scratch() + "src.bin", dst = Scratch() + "dst.bin";
  const int32_t stamp = ToDosDateTime({2004, 5, 6, 7, 8, 10});
  WriteFile(src, "source");
  ASSERT_TRUE(p().SetFileAge(src, stamp));

  EXPECT_TRUE(CopyIfChanged(p(), src, dst, true));  // no target yet
  EXPECT_EQ(ReadFile(dst), "source");

  // Same time and size: left alone, even with other bytes.
  WriteFile(dst, "SOURCE");
  ASSERT_TRUE(p().SetFileAge(dst, stamp));
  EXPECT_TRUE(CopyIfChanged(p(), src, dst, true));
  EXPECT_EQ(ReadFile(dst), "SOURCE");
  // Without comparing it always copies.
  EXPECT_TRUE(CopyIfChanged(p(), src, dst, false));
  EXPECT_EQ(ReadFile(dst), "source");

  // Same time, different size: copied.
  WriteFile(dst, "older and longer");
  ASSERT_TRUE(p().SetFileAge(dst, stamp));
  EXPECT_TRUE(CopyIfChanged(p(), src, dst, true));
  EXPECT_EQ(ReadFile(dst), "source");

  // Same size, different time: copied.
  WriteFile(dst, "SOURCE");
  ASSERT_TRUE(p().SetFileAge(dst, ToDosDateTime({2004, 5, 6, 7, 8, 12})));
  EXPECT_TRUE(CopyIfChanged(p(), src, dst, true));
  EXPECT_EQ(ReadFile(dst), "source");

  EXPECT_FALSE(CopyIfChanged(p(), Scratch() + "missing.bin", Scratch() + "new.bin", true));
  EXPECT_FALSE(p().FileExists(Scratch() + "new.bin"));
}

TEST_F(SettingsMachine, FileSizeOf) {
  WriteFile(Scratch() + "ソフト.bin", std::string(70000, 'x'));
  EXPECT_EQ(FileSizeOf(p(), Scratch() + "ソフト.bin"), 70000);
  WriteFile(Scratch() + "empty.bin", "");
  EXPECT_EQ(FileSizeOf(p(), Scratch() + "empty.bin"), 0);
  EXPECT_EQ(FileSizeOf(p(), Scratch() + "missing.bin"), 0);
  EXPECT_EQ(FileSizeOf(p(), Scratch()), 0);
}

// ---- system locations

TEST_F(SettingsMachine, SpecialFoldersAndSystemDrive) {
  std::string programFiles = SpecialFolderPath(p(), csidlProgramFiles);
  ASSERT_FALSE(programFiles.empty());
  EXPECT_TRUE(p().DirectoryExists(programFiles)) << programFiles;
  auto key = p().OpenKey(RegRoot::LocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion", false);
  ASSERT_TRUE(key);
  std::string fromRegistry;
  ASSERT_TRUE(ReadRegStr(*key, "ProgramFilesDir", fromRegistry, regSz, regExpandSz));
  EXPECT_EQ(programFiles, fromRegistry);

  std::string appData = SpecialFolderPath(p(), csidlAppData);
  EXPECT_TRUE(p().DirectoryExists(appData)) << appData;
  EXPECT_THROW(SpecialFolderPath(p(), 0x7E), EOSError);

  std::string drive = SystemDrive(p());
  ASSERT_EQ(drive.size(), 2u);
  EXPECT_EQ(drive[1], ':');
  EXPECT_TRUE(SameText(drive, p().SystemDirectory().substr(0, 2)));
}

TEST_F(SettingsMachine, UserAppDataDirsFindsTheCleanedName) {
  std::string local;
  ASSERT_TRUE(p().SpecialFolder(csidlLocalAppData, local));
  const std::string title = "Zarn:物語?" + machine_.ScratchKey();
  const std::string folder = AddBackslash(local) + "Zarn_物語_" + machine_.ScratchKey();

  TStringList list;
  list.Add("kept");
  EXPECT_EQ(UserAppDataDirs(p(), title, list), 1);  // not there yet
  ASSERT_TRUE(p().CreateDirectory(folder));
  int n = UserAppDataDirs(p(), title, list);
  p().RemoveDirectory(folder);
  ASSERT_EQ(n, 2);
  EXPECT_EQ(list[0], "kept");
  EXPECT_TRUE(SameText(list[1], folder + "\\")) << list[1];
  EXPECT_EQ(UserAppDataDirs(p(), "", list), 0);
}

TEST_F(SettingsMachine, MutexExistsAndAdminRights) {
  const std::string name = "C:-ZARN-" + machine_.ScratchKey() + "-物語-";
  EXPECT_FALSE(MutexExists(p(), name));
  {
    bool existed = true;
    auto m = p().CreateMutex(name, existed);
    ASSERT_TRUE(m);
    EXPECT_FALSE(existed);
    EXPECT_TRUE(MutexExists(p(), name));
  }
  EXPECT_FALSE(MutexExists(p(), name));
  EXPECT_EQ(CheckAdminRights(p()), p().IsUserAnAdmin());
}

}  // namespace
}  // namespace zarn
