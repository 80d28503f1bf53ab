// Files and folders of the Windows backend against the real API (run under Wine).
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/platform.h"
#include "platform/win32/text.h"
#include "platform/win32/win32_api.h"
#include "support/test_machine.h"

namespace zarn {
namespace {

using testing::TestMachine;

// "予定表" ends in 0x5C as the trail byte of 表; "ソ" is 0x83 0x5C.
const std::string kFolder = "予定表";
const std::string kFile = "ソフト.dat";
const std::wstring kFolderW = L"\u4E88\u5B9A\u8868";
const std::wstring kFileW = L"\u30BD\u30D5\u30C8.dat";

class Win32Files : public ::testing::Test {
 protected:
  Platform& p() { return machine_.platform(); }
  std::string Path(const std::string& name) { return machine_.Scratch() + name; }
  std::wstring WidePath(const std::wstring& name) { return win32::ToWide(machine_.Scratch()) + name; }

  void Put(const std::string& path, const std::string& bytes) {
    auto f = p().OpenFile(path, FileAccess::Write, FileShare::None, FileCreate::CreateAlways);
    ASSERT_TRUE(f) << path;
    ASSERT_EQ(f->Write(bytes.data(), static_cast<int64_t>(bytes.size())), static_cast<int64_t>(bytes.size()));
  }
  std::string Get(const std::string& path) {
    auto f = p().OpenFile(path, FileAccess::Read, FileShare::Read, FileCreate::OpenExisting);
    if (!f) return "<missing>";
    std::string out(4096, '\0');
    int64_t n = f->Read(&out[0], static_cast<int64_t>(out.size()));
    out.resize(n < 0 ? 0 : static_cast<size_t>(n));
    return out;
  }

  TestMachine machine_;
};

TEST_F(Win32Files, JapaneseNamesReachTheDiskAsTheirCharacters) {
  ASSERT_TRUE(p().CreateDirectory(Path(kFolder)));
  ASSERT_TRUE(p().CreateDirectory(Path("セーブ")));
  Put(Path(kFolder + "\\" + kFile), "data\\bytes");

  // On disk the names are the Japanese characters, not code-page mojibake.
  EXPECT_NE(GetFileAttributesW(WidePath(kFolderW + L"\\" + kFileW).c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_NE(GetFileAttributesW(WidePath(L"\u30BB\u30FC\u30D6").c_str()), INVALID_FILE_ATTRIBUTES);

  // Listed back with the same Shift-JIS bytes; the folder path ends in a trail byte 0x5C.
  std::vector<DirEntry> entries;
  ASSERT_TRUE(p().ListDirectory(Path(kFolder), entries));
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].name, kFile);
  ASSERT_TRUE(p().ListDirectory(machine_.Scratch(), entries));
  std::vector<std::string> names;
  for (const auto& e : entries) names.push_back(e.name);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"セーブ", kFolder}));

  // The current folder crosses the same way.
  std::string old = p().GetCurrentDirectory();
  ASSERT_TRUE(p().SetCurrentDirectory(Path(kFolder)));
  EXPECT_EQ(p().GetCurrentDirectory(), Path(kFolder));
  EXPECT_EQ(Get(kFile), "data\\bytes");
  ASSERT_TRUE(p().SetCurrentDirectory(old));
}

TEST_F(Win32Files, NameOutsideCodePage932IsListedByItsShortForm) {
  // U+00E9 and U+0101 have no Shift-JIS form; the listed name must still open the file.
  std::wstring wide = WidePath(L"caf\u00E9-\u0101-long-name.txt");
  HANDLE h = CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD put;
  WriteFile(h, "x", 1, &put, nullptr);
  CloseHandle(h);
  std::vector<DirEntry> entries;
  ASSERT_TRUE(p().ListDirectory(machine_.Scratch(), entries));
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].name.find('?'), std::string::npos) << entries[0].name;
  EXPECT_EQ(Get(Path(entries[0].name)), "x");
}

TEST_F(Win32Files, FileAgeRoundTripsInLocalTime) {
  const std::string f = Path("age.txt");
  Put(f, "x");
  const int32_t dos = ToDosDateTime({2021, 6, 15, 13, 45, 30});
  ASSERT_TRUE(p().SetFileAge(f, dos));
  EXPECT_EQ(p().FileAge(f), dos);

  // What the system itself reports, in local time.
  WIN32_FILE_ATTRIBUTE_DATA data;
  ASSERT_TRUE(GetFileAttributesExW(win32::ToWide(f).c_str(), GetFileExInfoStandard, &data));
  FILETIME local;
  SYSTEMTIME st;
  ASSERT_TRUE(FileTimeToLocalFileTime(&data.ftLastWriteTime, &local));
  ASSERT_TRUE(FileTimeToSystemTime(&local, &st));
  EXPECT_EQ(st.wYear, 2021);
  EXPECT_EQ(st.wMonth, 6);
  EXPECT_EQ(st.wDay, 15);
  EXPECT_EQ(st.wHour, 13);
  EXPECT_EQ(st.wMinute, 45);
  EXPECT_EQ(st.wSecond, 30);

  std::vector<DirEntry> entries;
  ASSERT_TRUE(p().ListDirectory(machine_.Scratch(), entries));
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].dosTime, dos);

  // Read-only files take a new age too; bad dates and missing files do not.
  ASSERT_TRUE(p().SetFileAttributes(f, faReadOnly));
  const int32_t later = ToDosDateTime({2030, 12, 31, 23, 59, 58});
  EXPECT_TRUE(p().SetFileAge(f, later));
  EXPECT_EQ(p().FileAge(f), later);
  EXPECT_FALSE(p().SetFileAge(f, ToDosDateTime({2020, 13, 40, 0, 0, 0})));
  EXPECT_FALSE(p().SetFileAge(Path("none"), dos));
  EXPECT_EQ(p().FileAge(Path("none")), -1);
  EXPECT_EQ(p().FileAge(machine_.Scratch()), -1);  // folders have no file age

  // Held open without sharing, the file still has its age.
  ASSERT_TRUE(p().SetFileAttributes(f, faArchive));
  auto locked = p().OpenFile(f, FileAccess::ReadWrite, FileShare::None, FileCreate::OpenExisting);
  ASSERT_TRUE(locked);
  EXPECT_EQ(p().FileAge(f), later);
}

TEST_F(Win32Files, ProfileStringsKeepJapaneseText) {
  const std::string ini = Path("test.ini");
  EXPECT_TRUE(p().WriteProfileString(ini, "rename", "NUL", "C:\\PROGRA~1\\" + kFile));
  EXPECT_TRUE(p().WriteProfileString(ini, "セクション", "キー", "値ソ"));
  EXPECT_EQ(p().ReadProfileString(ini, "rename", "NUL", ""), "C:\\PROGRA~1\\" + kFile);
  EXPECT_EQ(p().ReadProfileString(ini, "セクション", "キー", ""), "値ソ");
  EXPECT_EQ(p().ReadProfileString(ini, "rename", "none", "既定"), "既定");
  // Values longer than the first buffer come back whole.
  std::string big(3000, 'z');
  EXPECT_TRUE(p().WriteProfileString(ini, "big", "v", big));
  EXPECT_EQ(p().ReadProfileString(ini, "big", "v", ""), big);
}

TEST_F(Win32Files, DeleteAtRebootIsRecordedForTheSystem) {
  const std::string f = Path(kFile);
  Put(f, "x");
  HKEY key;
  const wchar_t* sessionManager = L"System\\CurrentControlSet\\Control\\Session Manager";
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, sessionManager, 0, KEY_READ | KEY_WRITE, &key), ERROR_SUCCESS);
  auto pending = [&]() {
    DWORD type = 0, size = 0;
    std::wstring data;
    if (RegQueryValueExW(key, L"PendingFileRenameOperations", nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
        size) {
      data.resize(size / 2);
      RegQueryValueExW(key, L"PendingFileRenameOperations", nullptr, &type, reinterpret_cast<BYTE*>(&data[0]),
                       &size);
    }
    return data;
  };
  const std::wstring before = pending();
  ASSERT_TRUE(p().DeleteAtReboot(f));
  const std::wstring after = pending();
  EXPECT_NE(after.find(win32::ToWide(f)), std::wstring::npos);
  // Leave the prefix as it was.
  if (before.empty())
    RegDeleteValueW(key, L"PendingFileRenameOperations");
  else
    RegSetValueExW(key, L"PendingFileRenameOperations", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(before.data()),
                   static_cast<DWORD>(before.size() * 2));
  RegCloseKey(key);
}

TEST_F(Win32Files, DriveTypes) {
  const uint32_t drives = p().LogicalDrives();
  EXPECT_EQ(drives, GetLogicalDrives());
  EXPECT_TRUE(drives & (1u << 2)) << "C: missing";
  EXPECT_EQ(p().DriveType("C:\\"), static_cast<uint32_t>(dtFixed));
  for (int letter = 25; letter >= 3; --letter) {
    if (drives & (1u << letter)) continue;
    std::string root = std::string(1, static_cast<char>('A' + letter)) + ":\\";
    EXPECT_EQ(p().DriveType(root), static_cast<uint32_t>(dtNoRoot)) << root;
    DiskClusters none;
    EXPECT_FALSE(p().DiskFreeSpace(root, none));
    break;
  }
}

}  // namespace
}  // namespace zarn
