#include "child_process.h"

#include <memory>

#include "platform/platform.h"
#include "platform/win32/text.h"
#include "platform/win32/win32_api.h"

namespace zarn {
namespace testing {

namespace {

std::wstring Quote(const std::wstring& s) { return L"\"" + s + L"\""; }

// The child's jobs, done through the platform under test.
int RunJob(const std::wstring& mode, const std::wstring& argument) {
  std::unique_ptr<Platform> platform = CreateHostPlatform();
  std::string arg = win32::FromWide(argument);
  if (mode == L"mutex-exists") return platform->MutexExists(arg) ? kChildYes : kChildNo;
  if (mode == L"mutex-create") {
    bool existed = false;
    std::unique_ptr<NamedMutex> m = platform->CreateMutex(arg, existed);
    if (!m) return kChildFailed;
    return existed ? kChildYes : kChildNo;
  }
  if (mode == L"touch") {
    auto file = platform->OpenFile(arg, FileAccess::Write, FileShare::None, FileCreate::CreateAlways);
    return file && file->Write("child", 5) == 5 ? kChildYes : kChildFailed;
  }
  return kChildBadUsage;
}

// Runs before the tests' main: a child does its job and never reaches the tests.
struct ChildEntry {
  ChildEntry() {
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv) return;
    if (argc >= 4 && std::wstring(argv[1]) == L"--zarn-child") {
      int code = RunJob(argv[2], argv[3]);
      LocalFree(argv);
      ExitProcess(static_cast<UINT>(code));
    }
    LocalFree(argv);
  }
} childEntry;

}  // namespace

std::wstring ChildParameters(const std::string& mode, const std::string& argument) {
  return L"--zarn-child " + win32::ToWide(mode) + L" " + Quote(win32::ToWide(argument));
}

int RunChild(const std::string& mode, const std::string& argument) {
  wchar_t exe[MAX_PATH + 1];
  DWORD n = GetModuleFileNameW(nullptr, exe, MAX_PATH + 1);
  if (n == 0 || n > MAX_PATH) return kChildNotStarted;
  std::wstring commandLine = Quote(exe) + L" " + ChildParameters(mode, argument);
  STARTUPINFOW si;
  ZeroMemory(&si, sizeof si);
  si.cb = sizeof si;
  PROCESS_INFORMATION pi;
  if (!CreateProcessW(exe, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
    return kChildNotStarted;
  int code = kChildNotStarted;
  DWORD status = 0;
  if (WaitForSingleObject(pi.hProcess, 30000) == WAIT_OBJECT_0 && GetExitCodeProcess(pi.hProcess, &status))
    code = static_cast<int>(status);
  else
    TerminateProcess(pi.hProcess, 1);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return code;
}

}  // namespace testing
}  // namespace zarn
