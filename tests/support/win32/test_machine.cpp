// TestMachine on real Windows: the host platform, a scratch folder below the temporary
// folder and a scratch key below HKEY_CURRENT_USER\Software, both removed afterwards.
// The clean-up uses Win32 directly, not the platform under test.
#include "support/test_machine.h"

#include <atomic>

#include "platform/win32/text.h"
#include "platform/win32/win32_api.h"

namespace zarn {
namespace testing {

namespace {

std::atomic<int> counter{0};

void RemoveTree(const std::wstring& folder) {
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW((folder + L"\\*").c_str(), &fd);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      std::wstring name = fd.cFileName;
      if (name == L"." || name == L"..") continue;
      std::wstring full = folder + L"\\" + name;
      SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        RemoveTree(full);
      else
        DeleteFileW(full.c_str());
    } while (FindNextFileW(h, &fd));
    FindClose(h);
  }
  SetFileAttributesW(folder.c_str(), FILE_ATTRIBUTE_NORMAL);
  RemoveDirectoryW(folder.c_str());
}

void DeleteKey(HKEY parent, const std::wstring& path) {
  HKEY key;
  if (RegOpenKeyExW(parent, path.c_str(), 0, KEY_READ | DELETE, &key) == ERROR_SUCCESS) {
    wchar_t name[512];
    for (;;) {
      DWORD len = 512;
      if (RegEnumKeyExW(key, 0, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
      DeleteKey(key, name);
      // A key that could not go would be enumerated forever.
      HKEY probe;
      if (RegOpenKeyExW(key, name, 0, KEY_READ, &probe) == ERROR_SUCCESS) {
        RegCloseKey(probe);
        break;
      }
    }
    RegCloseKey(key);
  }
  RegDeleteKeyW(parent, path.c_str());
}

}  // namespace

struct TestMachine::Impl {
  std::wstring savedDirectory;
  std::wstring scratch;  // without the trailing backslash
  std::wstring key;      // below HKCU\Software
};

TestMachine::TestMachine() : impl_(std::make_unique<Impl>()), platform_(CreateHostPlatform()) {
  wchar_t buf[MAX_PATH + 1];
  DWORD n = GetCurrentDirectoryW(MAX_PATH + 1, buf);
  impl_->savedDirectory.assign(buf, n <= MAX_PATH ? n : 0);
  n = GetTempPathW(MAX_PATH + 1, buf);
  std::wstring temp(buf, n <= MAX_PATH ? n : 0);
  if (temp.empty() || temp.back() != L'\\') temp += L'\\';

  // Unique across the processes that may run tests at the same time.
  std::wstring id = std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(GetTickCount()) + L"-" +
                    std::to_wstring(counter++);
  for (int attempt = 0;; ++attempt) {
    std::wstring folder = temp + L"zarn-test-" + id + L"-" + std::to_wstring(attempt);
    if (CreateDirectoryW(folder.c_str(), nullptr) || attempt > 100) {
      impl_->scratch = folder;
      break;
    }
  }
  scratch_ = win32::FromWide(impl_->scratch) + "\\";

  impl_->key = L"ZarnTest" + id;
  for (wchar_t& c : impl_->key)
    if (c == L'-') c = L'_';
  scratchKey_ = win32::FromWide(impl_->key);
}

TestMachine::~TestMachine() {
  platform_.reset();
  // A test may have moved into the scratch folder, which could then not be removed.
  if (!impl_->savedDirectory.empty()) SetCurrentDirectoryW(impl_->savedDirectory.c_str());
  RemoveTree(impl_->scratch);
  DeleteKey(HKEY_CURRENT_USER, L"Software\\" + impl_->key);
}

bool UnderWine() {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

}  // namespace testing
}  // namespace zarn
