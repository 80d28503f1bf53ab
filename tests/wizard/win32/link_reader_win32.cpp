#include <objbase.h>
#include <shobjidl.h>
#include <windows.h>

#include "platform/win32/text.h"
#include "wizard/link_reader.h"

namespace zarn {
namespace testing {

bool ReadShortcut(Platform&, const std::string& path, ShellLinkData& link, std::string& error) {
  CoInitialize(nullptr);
  IShellLinkW* shellLink = nullptr;
  IPersistFile* file = nullptr;
  bool ok = false;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              reinterpret_cast<void**>(&shellLink)))) {
    error = "no shell link object";
  } else if (FAILED(shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
    error = "no IPersistFile";
  } else if (FAILED(file->Load(win32::ToWide(path).c_str(), STGM_READ))) {
    error = "the shell cannot load " + path;
  } else {
    wchar_t text[1024];
    auto narrow = [&] { return win32::FromWide(text); };
    text[0] = 0;
    shellLink->GetPath(text, 1024, nullptr, SLGP_RAWPATH);
    link.target = narrow();
    text[0] = 0;
    shellLink->GetArguments(text, 1024);
    link.arguments = narrow();
    text[0] = 0;
    shellLink->GetWorkingDirectory(text, 1024);
    link.workingDirectory = narrow();
    text[0] = 0;
    shellLink->GetDescription(text, 1024);
    link.description = narrow();
    int icon = 0;
    text[0] = 0;
    shellLink->GetIconLocation(text, 1024, &icon);
    link.iconPath = narrow();
    link.iconIndex = icon;
    WORD hotKey = 0;
    shellLink->GetHotkey(&hotKey);
    link.hotKey = hotKey;
    int show = 0;
    shellLink->GetShowCmd(&show);
    link.showCommand = show;
    ok = true;
  }
  if (file) file->Release();
  if (shellLink) shellLink->Release();
  CoUninitialize();
  return ok;
}

}  // namespace testing
}  // namespace zarn
