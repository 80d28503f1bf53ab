// setup.exe: the program's entry on Windows. The launch sequence runs on the real system
// with real windows; the command line is split by SplitCommandLine (blanks separate words,
// double quotes only group), not by the C runtime's rules.
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "launcher/command_line.h"
#include "launcher/launcher.h"
#include "platform/platform.h"
#include "toolkit/win32/win32_backend.h"

namespace {

// The command line in the program's code page (932), whatever the system's.
std::string CommandLineSjis() {
  const wchar_t* line = GetCommandLineW();
  int n = WideCharToMultiByte(932, 0, line, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 1) return std::string();
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(932, 0, line, -1, &out[0], n, nullptr, nullptr);
  out.resize(static_cast<size_t>(n - 1));
  return out;
}

void Fatal(const char* what) {
  std::wstring text;
  int n = MultiByteToWideChar(932, 0, what, -1, nullptr, 0);
  if (n > 0) {
    text.resize(static_cast<size_t>(n));
    MultiByteToWideChar(932, 0, what, -1, &text[0], n);
  }
  MessageBoxW(nullptr, text.c_str(), L"\u30a8\u30e9\u30fc", MB_OK | MB_ICONERROR);  // "エラー"
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  try {
    std::unique_ptr<zarn::Platform> platform = zarn::CreateHostPlatform();
    std::unique_ptr<zarn::Backend> backend = zarn::CreateWin32Backend();
    zarn::TApplication app(*platform, *backend);
    std::vector<std::string> words = zarn::SplitCommandLine(CommandLineSjis());
    if (!words.empty()) words.erase(words.begin());  // the program's own name
    zarn::TLauncher launcher(app, words);
    return launcher.Run();
  } catch (const std::exception& e) {
    // Only what the launcher could not even start reaches here.
    Fatal(e.what());
    return 1;
  }
}
