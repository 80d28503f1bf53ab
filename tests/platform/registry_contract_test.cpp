// What every backend's registry must do: raw value bytes as Windows stores them, names
// without regard to case, nested keys made with their parents, trees deleted whole.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/platform.h"
#include "support/test_machine.h"

namespace zarn {
namespace {

using testing::TestMachine;

const std::string kNul(1, '\0');

class RegistryContract : public ::testing::Test {
 protected:
  void SetUp() override {
    base_ = "Software\\" + machine_.ScratchKey();
    key_ = p().OpenKey(RegRoot::CurrentUser, base_, true);
    ASSERT_TRUE(key_);
  }
  Platform& p() { return machine_.platform(); }
  bool KeyExists(const std::string& path) { return p().OpenKey(RegRoot::CurrentUser, base_ + path, false) != nullptr; }
  std::vector<std::string> Sorted(std::vector<std::string> v) {
    std::sort(v.begin(), v.end());
    return v;
  }

  TestMachine machine_;
  std::string base_;
  std::unique_ptr<RegistryKey> key_;
};

TEST_F(RegistryContract, NestedKeysAreMadeWithTheirParents) {
  EXPECT_FALSE(KeyExists("\\メーカー"));
  auto story = p().OpenKey(RegRoot::CurrentUser, base_ + "\\メーカー\\ソフト表\\Story", true);
  ASSERT_TRUE(story);
  EXPECT_TRUE(KeyExists("\\メーカー"));
  EXPECT_TRUE(KeyExists("\\メーカー\\ソフト表"));
  // Opening again, with or without create, finds the same key.
  ASSERT_TRUE(story->SetValue("v", regSz, "1" + kNul));
  auto again = p().OpenKey(RegRoot::CurrentUser, base_ + "\\メーカー\\ソフト表\\Story", false);
  ASSERT_TRUE(again);
  uint32_t type = 0;
  std::string data;
  EXPECT_TRUE(again->QueryValue("v", type, data));
  EXPECT_EQ(Sorted(p().OpenKey(RegRoot::CurrentUser, base_ + "\\メーカー", false)->SubKeyNames()),
            std::vector<std::string>{"ソフト表"});
}

TEST_F(RegistryContract, ValuesKeepTheirTypeAndRawBytes) {
  uint32_t type = 0;
  std::string data;
  ASSERT_TRUE(key_->SetValue("InstallPath", regSz, "C:\\ゲーム\\ソフト\\" + kNul));
  ASSERT_TRUE(key_->QueryValue("InstallPath", type, data));
  EXPECT_EQ(type, regSz);
  EXPECT_EQ(data, "C:\\ゲーム\\ソフト\\" + kNul);  // the size counts the terminator
  ASSERT_TRUE(key_->SetValue("Bare", regSz, "表"));
  ASSERT_TRUE(key_->QueryValue("Bare", type, data));
  EXPECT_EQ(data, "表" + kNul);
  ASSERT_TRUE(key_->SetValue("Empty", regSz, ""));
  ASSERT_TRUE(key_->QueryValue("Empty", type, data));
  EXPECT_EQ(data, kNul);

  ASSERT_TRUE(key_->SetValue("Profile", regExpandSz, "%SystemDrive%\\ユーザー" + kNul));
  ASSERT_TRUE(key_->QueryValue("Profile", type, data));
  EXPECT_EQ(type, regExpandSz);
  EXPECT_EQ(data, "%SystemDrive%\\ユーザー" + kNul);  // never expanded

  const std::string list = "一" + kNul + "ソ" + kNul + kNul;
  ASSERT_TRUE(key_->SetValue("List", regMultiSz, list));
  ASSERT_TRUE(key_->QueryValue("List", type, data));
  EXPECT_EQ(type, regMultiSz);
  EXPECT_EQ(data, list);

  const std::string dword("\x78\x56\x34\x12", 4), blob("\x00\x5C\x83\xFF\x00\r\n", 7);
  ASSERT_TRUE(key_->SetValue("Count", regDword, dword));
  ASSERT_TRUE(key_->SetValue("Blob", regBinary, blob));
  ASSERT_TRUE(key_->QueryValue("Count", type, data));
  EXPECT_EQ(type, regDword);
  EXPECT_EQ(data, dword);
  ASSERT_TRUE(key_->QueryValue("Blob", type, data));
  EXPECT_EQ(type, regBinary);
  EXPECT_EQ(data, blob);

  // Overwriting changes type and data; the default value has the empty name.
  ASSERT_TRUE(key_->SetValue("Count", regSz, "7" + kNul));
  ASSERT_TRUE(key_->QueryValue("Count", type, data));
  EXPECT_EQ(type, regSz);
  ASSERT_TRUE(key_->SetValue("", regSz, "既定" + kNul));
  ASSERT_TRUE(key_->QueryValue("", type, data));
  EXPECT_EQ(data, "既定" + kNul);

  // A failed query leaves its outputs alone.
  type = 77;
  data = "kept";
  EXPECT_FALSE(key_->QueryValue("none", type, data));
  EXPECT_EQ(type, 77u);
  EXPECT_EQ(data, "kept");
}

TEST_F(RegistryContract, NamesIgnoreCase) {
  ASSERT_TRUE(p().OpenKey(RegRoot::CurrentUser, base_ + "\\Maker", true));
  EXPECT_TRUE(KeyExists("\\MAKER"));
  ASSERT_TRUE(key_->SetValue("CDDrive", regSz, "D:" + kNul));
  ASSERT_TRUE(key_->SetValue("cddrive", regSz, "E:" + kNul));
  uint32_t type = 0;
  std::string data;
  ASSERT_TRUE(key_->QueryValue("CDDRIVE", type, data));
  EXPECT_EQ(data, "E:" + kNul);
  EXPECT_EQ(key_->ValueNames().size(), 1u);
  EXPECT_TRUE(key_->DeleteValue("CdDrive"));
  EXPECT_FALSE(key_->DeleteValue("CDDrive"));
  EXPECT_TRUE(key_->ValueNames().empty());
}

TEST_F(RegistryContract, EnumerationAndTreeDeletion) {
  for (const char* k : {"\\Maker\\Story\\a\\deep", "\\Maker\\Story\\b", "\\Maker\\Other", "\\Sibling"})
    ASSERT_TRUE(p().OpenKey(RegRoot::CurrentUser, base_ + k, true)) << k;
  ASSERT_TRUE(key_->SetValue("値", regSz, "x" + kNul));
  ASSERT_TRUE(key_->SetValue("InstallPath", regSz, "y" + kNul));
  EXPECT_EQ(Sorted(key_->SubKeyNames()), (std::vector<std::string>{"Maker", "Sibling"}));
  EXPECT_EQ(Sorted(key_->ValueNames()), (std::vector<std::string>{"InstallPath", "値"}));

  EXPECT_TRUE(p().DeleteKeyTree(RegRoot::CurrentUser, base_ + "\\Maker\\Story"));
  EXPECT_FALSE(KeyExists("\\Maker\\Story"));
  EXPECT_FALSE(KeyExists("\\Maker\\Story\\a\\deep"));
  EXPECT_TRUE(KeyExists("\\Maker\\Other"));
  EXPECT_FALSE(p().DeleteKeyTree(RegRoot::CurrentUser, base_ + "\\Maker\\Story"));

  EXPECT_TRUE(key_->DeleteSubKeyTree("MAKER"));
  EXPECT_FALSE(KeyExists("\\Maker"));
  EXPECT_TRUE(KeyExists("\\Sibling"));
  EXPECT_FALSE(key_->DeleteSubKeyTree("missing"));
  EXPECT_FALSE(key_->DeleteSubKeyTree(""));
  EXPECT_FALSE(p().DeleteKeyTree(RegRoot::CurrentUser, ""));
  EXPECT_EQ(key_->SubKeyNames(), std::vector<std::string>{"Sibling"});
}

TEST_F(RegistryContract, TheSystemKeysTheProgramReads) {
  auto cv = p().OpenKey(RegRoot::LocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion", false);
  ASSERT_TRUE(cv);
  uint32_t type = 0;
  std::string dir;
  ASSERT_TRUE(cv->QueryValue("ProgramFilesDir", type, dir));
  EXPECT_TRUE(type == regSz || type == regExpandSz);
  ASSERT_GT(dir.size(), 3u);
  EXPECT_EQ(dir.substr(1, 2), ":\\");
  EXPECT_EQ(dir.back(), '\0');

  auto folders = p().OpenKey(RegRoot::CurrentUser,
                             "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders", false);
  ASSERT_TRUE(folders);
  std::string local;
  ASSERT_TRUE(folders->QueryValue("Local AppData", type, local));
  EXPECT_EQ(type, regExpandSz);
  EXPECT_EQ(local.compare(0, 13, "%USERPROFILE%"), 0) << local;
}

}  // namespace
}  // namespace zarn
