// The registry of the Windows backend against the real API (run under Wine): text
// crosses as Shift-JIS with one NUL, other data byte for byte, trees go away whole.
#include <gtest/gtest.h>

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

  TestMachine machine_;
  std::string base_;
  std::unique_ptr<RegistryKey> key_;
  HKEY raw_ = nullptr;
};

TEST_F(Win32Registry, StringsCrossAsShiftJisWithOneNul) {
  // What the system stores is the UTF-16 text with its terminator.
  ASSERT_TRUE(key_->SetValue("InstallPath", regSz, "C:\\ゲーム\\ソフト\\" + kNul));
  DWORD type = 0;
  EXPECT_EQ(RawString(L"InstallPath", type), std::wstring(L"C:\\\u30B2\u30FC\u30E0\\\u30BD\u30D5\u30C8\\") + L'\0');
  EXPECT_EQ(type, DWORD(REG_SZ));
  const std::string list = "一" + kNul + "ソ" + kNul + kNul;
  ASSERT_TRUE(key_->SetValue("List", regMultiSz, list));
  EXPECT_EQ(RawString(L"List", type), std::wstring(L"\u4E00\0\u30BD\0\0", 5));

  // Stored by another program without a terminator, or with two: still one NUL.
  uint32_t t = 0;
  std::string data;
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
  // Numbers are the system's own bytes.
  const DWORD number = 0x12345678;
  ASSERT_EQ(RegSetValueExW(raw_, L"Count", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4), ERROR_SUCCESS);
  ASSERT_TRUE(key_->QueryValue("Count", t, data));
  EXPECT_EQ(data, std::string("\x78\x56\x34\x12", 4));
}

TEST_F(Win32Registry, JapaneseKeyNames) {
  ASSERT_TRUE(p().OpenKey(RegRoot::CurrentUser, base_ + "\\メーカー\\ソフト", true));
  HKEY nested;
  ASSERT_EQ(RegOpenKeyExW(raw_, L"\u30E1\u30FC\u30AB\u30FC\\\u30BD\u30D5\u30C8", 0, KEY_READ, &nested),
            ERROR_SUCCESS);
  RegCloseKey(nested);
  EXPECT_EQ(key_->SubKeyNames(), std::vector<std::string>{"メーカー"});
  ASSERT_EQ(RegSetValueExW(raw_, L"\u5024", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"x"), 4), ERROR_SUCCESS);
  EXPECT_EQ(key_->ValueNames(), std::vector<std::string>{"値"});
}

TEST_F(Win32Registry, WideTreesAreDeletedWhole) {
  // Deleting while enumerating must not skip keys: many siblings, each with depth.
  for (int i = 0; i < 40; ++i) {
    auto k = p().OpenKey(RegRoot::CurrentUser, base_ + "\\Story\\k" + std::to_string(i) + "\\deep\\er", true);
    ASSERT_TRUE(k);
    ASSERT_TRUE(k->SetValue("v", regDword, std::string(4, '\1')));
  }
  ASSERT_TRUE(p().OpenKey(RegRoot::CurrentUser, base_ + "\\Sibling", true));
  EXPECT_TRUE(p().DeleteKeyTree(RegRoot::CurrentUser, base_ + "\\Story"));
  EXPECT_EQ(key_->SubKeyNames(), std::vector<std::string>{"Sibling"});
  // Never the key itself, however its name is written.
  EXPECT_FALSE(key_->DeleteSubKeyTree("\\"));
  EXPECT_EQ(key_->SubKeyNames(), std::vector<std::string>{"Sibling"});
}

}  // namespace
}  // namespace zarn
