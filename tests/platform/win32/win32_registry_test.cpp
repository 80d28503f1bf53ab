// The registry of the Windows backend against the real API (run under Wine): text
// crosses as Shift-JIS with one NUL, other data byte for byte, trees go away whole.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/platform.h"
#include "platform/win32/text.h"
#include "platform/win32/win32_api.h"
#include "support/test_machine.h"

namespace zarn {
namespace {

using testing::TestMachine;

const std::string kNul(1, '\0');

class Win32Registry : public ::testing::Test {
 protected:
  void SetUp() override {
    base_ = "Software\\" + machine_.ScratchKey();
    key_ = p().OpenKey(RegRoot::CurrentUser, base_, true);
    ASSERT_TRUE(key_);
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, win32::ToWide(base_).c_str(), 0, KEY_ALL_ACCESS, &raw_),
              ERROR_SUCCESS);
  }
  void TearDown() override { RegCloseKey(raw_); }

  Platform& p() { return machine_.platform(); }
  std::wstring RawString(const wchar_t* name, DWORD& type) {
    DWORD size = 0;
    if (RegQueryValueExW(raw_, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return L"<missing>";
    std::wstring data(size / 2, L'\0');
    RegQueryValueExW(raw_, name, nullptr, &type, reinterpret_cast<BYTE*>(&data[0]), &size);
    return data;
  }
  bool KeyExists(const std::string& path) { return p().OpenKey(RegRoot::CurrentUser, path, false) != nullptr; }

  TestMachine machine_;
  std::string base_;
  std::unique_ptr<RegistryKey> key_;
  HKEY raw_ = nullptr;
};

TEST_F(Win32Registry, StringsCrossAsShiftJisWithOneNul) {
  ASSERT_TRUE(key_->SetValue("InstallPath", regSz, "C:\\ゲーム\\ソフト\\" + kNul));
  DWORD type = 0;
  EXPECT_EQ(RawString(L"InstallPath", type), std::wstring(L"C:\\\u30B2\u30FC\u30E0\\\u30BD\u30D5\u30C8\\") + L'\0');
  EXPECT_EQ(type, DWORD(REG_SZ));

  uint32_t t = 0;
  std::string data;
  ASSERT_TRUE(key_->QueryValue("InstallPath", t, data));
  EXPECT_EQ(t, regSz);
  EXPECT_EQ(data, "C:\\ゲーム\\ソフト\\" + kNul);

  // Written without a terminator, or stored without one by another program: still one NUL.
  ASSERT_TRUE(key_->SetValue("Bare", regSz, "表"));
  ASSERT_TRUE(key_->QueryValue("Bare", t, data));
  EXPECT_EQ(data, "表" + kNul);
  const wchar_t unterminated[] = L"\u8868\u793A";
  ASSERT_EQ(RegSetValueExW(raw_, L"Raw", 0, REG_SZ, reinterpret_cast<const BYTE*>(unterminated), 4), ERROR_SUCCESS);
  ASSERT_TRUE(key_->QueryValue("Raw", t, data));
  EXPECT_EQ(data, "表示" + kNul);
  const wchar_t doubled[] = L"ab\0\0";
  ASSERT_EQ(RegSetValueExW(raw_, L"Doubled", 0, REG_SZ, reinterpret_cast<const BYTE*>(doubled), 8), ERROR_SUCCESS);
  ASSERT_TRUE(key_->QueryValue("Doubled", t, data));
  EXPECT_EQ(data, "ab" + kNul);
  ASSERT_EQ(RegSetValueExW(raw_, L"Empty", 0, REG_SZ, nullptr, 0), ERROR_SUCCESS);
  ASSERT_TRUE(key_->QueryValue("Empty", t, data));
  EXPECT_EQ(data, kNul);

  // Expandable strings stay unexpanded; lists keep their separators.
  ASSERT_TRUE(key_->SetValue("Profile", regExpandSz, "%SystemDrive%\\ユーザー" + kNul));
  ASSERT_TRUE(key_->QueryValue("Profile", t, data));
  EXPECT_EQ(t, regExpandSz);
  EXPECT_EQ(data, "%SystemDrive%\\ユーザー" + kNul);
  const std::string list = "一" + kNul + "ソ" + kNul + kNul;
  ASSERT_TRUE(key_->SetValue("List", regMultiSz, list));
  EXPECT_EQ(RawString(L"List", type), std::wstring(L"\u4E00\0\u30BD\0\0", 5));
  ASSERT_TRUE(key_->QueryValue("List", t, data));
  EXPECT_EQ(data, list);

  // The default value has the empty name.
  ASSERT_TRUE(key_->SetValue("", regSz, "既定" + kNul));
  ASSERT_TRUE(key_->QueryValue("", t, data));
  EXPECT_EQ(data, "既定" + kNul);
}

TEST_F(Win32Registry, BinaryAndNumbersAreRaw) {
  const std::string dword("\x78\x56\x34\x12", 4);
  ASSERT_TRUE(key_->SetValue("Count", regDword, dword));
  DWORD value = 0, size = 4, type = 0;
  ASSERT_EQ(RegQueryValueExW(raw_, L"Count", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size), ERROR_SUCCESS);
  EXPECT_EQ(type, DWORD(REG_DWORD));
  EXPECT_EQ(value, 0x12345678u);

  const std::string blob("\x00\x5C\x83\xFF\x00", 5);
  ASSERT_TRUE(key_->SetValue("Blob", regBinary, blob));
  uint32_t t = 0;
  std::string data;
  ASSERT_TRUE(key_->QueryValue("Blob", t, data));
  EXPECT_EQ(t, regBinary);
  EXPECT_EQ(data, blob);
  ASSERT_TRUE(key_->QueryValue("Count", t, data));
  EXPECT_EQ(data, dword);

  // A failed query leaves the outputs alone.
  t = 77;
  data = "kept";
  EXPECT_FALSE(key_->QueryValue("none", t, data));
  EXPECT_EQ(t, 77u);
  EXPECT_EQ(data, "kept");
  EXPECT_TRUE(key_->DeleteValue("Blob"));
  EXPECT_FALSE(key_->DeleteValue("Blob"));
  EXPECT_FALSE(key_->QueryValue("Blob", t, data));
}

TEST_F(Win32Registry, EnumeratesJapaneseNames) {
  ASSERT_TRUE(p().OpenKey(RegRoot::CurrentUser, base_ + "\\メーカー\\ソフト", true));
  ASSERT_TRUE(p().OpenKey(RegRoot::CurrentUser, base_ + "\\Other", true));
  ASSERT_TRUE(key_->SetValue("値", regSz, "x"));
  ASSERT_TRUE(key_->SetValue("CDDrive", regSz, "D:"));

  auto subkeys = key_->SubKeyNames();
  std::sort(subkeys.begin(), subkeys.end());
  EXPECT_EQ(subkeys, (std::vector<std::string>{"Other", "メーカー"}));
  auto values = key_->ValueNames();
  std::sort(values.begin(), values.end());
  EXPECT_EQ(values, (std::vector<std::string>{"CDDrive", "値"}));
  // The nested key was made with its missing parent, under its Japanese name.
  HKEY nested;
  ASSERT_EQ(RegOpenKeyExW(raw_, L"\u30E1\u30FC\u30AB\u30FC\\\u30BD\u30D5\u30C8", 0, KEY_READ, &nested),
            ERROR_SUCCESS);
  RegCloseKey(nested);
  EXPECT_TRUE(p().OpenKey(RegRoot::CurrentUser, base_ + "\\メーカー", false)->SubKeyNames() ==
              std::vector<std::string>{"ソフト"});
}

TEST_F(Win32Registry, TreesAreDeletedWholeAndEmptiedParentsAfterThem) {
  // Maker\Story with values and a deep tree below; a sibling that must stay.
  auto story = p().OpenKey(RegRoot::CurrentUser, base_ + "\\Maker\\Story", true);
  ASSERT_TRUE(story);
  ASSERT_TRUE(story->SetValue("InstallPath", regSz, "C:\\Games\\" + kNul));
  for (int i = 0; i < 40; ++i) {
    auto k = p().OpenKey(RegRoot::CurrentUser, base_ + "\\Maker\\Story\\k" + std::to_string(i) + "\\deep\\er", true);
    ASSERT_TRUE(k);
    ASSERT_TRUE(k->SetValue("v", regDword, std::string(4, '\1')));
  }
  story.reset();
  ASSERT_TRUE(p().OpenKey(RegRoot::CurrentUser, base_ + "\\Sibling", true));

  EXPECT_TRUE(p().DeleteKeyTree(RegRoot::CurrentUser, base_ + "\\Maker\\Story"));
  EXPECT_FALSE(KeyExists(base_ + "\\Maker\\Story"));
  EXPECT_FALSE(p().DeleteKeyTree(RegRoot::CurrentUser, base_ + "\\Maker\\Story"));

  // The parent is now empty and can go the same way; the sibling stays.
  auto maker = p().OpenKey(RegRoot::CurrentUser, base_ + "\\Maker", false);
  ASSERT_TRUE(maker);
  EXPECT_TRUE(maker->SubKeyNames().empty());
  EXPECT_TRUE(maker->ValueNames().empty());
  maker.reset();
  EXPECT_TRUE(key_->DeleteSubKeyTree("Maker"));
  EXPECT_FALSE(KeyExists(base_ + "\\Maker"));
  EXPECT_TRUE(KeyExists(base_ + "\\Sibling"));
  EXPECT_TRUE(KeyExists(base_));
}

TEST_F(Win32Registry, RefusesToDeleteTheKeyItselfOrAMissingOne) {
  ASSERT_TRUE(p().OpenKey(RegRoot::CurrentUser, base_ + "\\child", true));
  EXPECT_FALSE(key_->DeleteSubKeyTree(""));
  EXPECT_FALSE(key_->DeleteSubKeyTree("\\"));
  EXPECT_FALSE(p().DeleteKeyTree(RegRoot::CurrentUser, ""));
  EXPECT_TRUE(KeyExists(base_ + "\\child"));
  EXPECT_FALSE(key_->DeleteSubKeyTree("missing"));
  EXPECT_FALSE(p().OpenKey(RegRoot::CurrentUser, base_ + "\\missing", false));
}

TEST_F(Win32Registry, MachineKeysOpenForReading) {
  auto cv = p().OpenKey(RegRoot::LocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion", false);
  ASSERT_TRUE(cv);
  uint32_t t = 0;
  std::string dir;
  ASSERT_TRUE(cv->QueryValue("ProgramFilesDir", t, dir));
  EXPECT_TRUE(t == regSz || t == regExpandSz);
  ASSERT_GT(dir.size(), 3u);
  EXPECT_EQ(dir.back(), '\0');
  EXPECT_EQ(dir.substr(1, 2), ":\\");
}

}  // namespace
}  // namespace zarn
