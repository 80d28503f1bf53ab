// Shell services on Windows: shortcuts through the shell's link object, the file
// operation through SHFileOperationW. Texts cross into UTF-16 with code page 932, so
// Japanese names come out right on any Windows.
#include <objbase.h>
#include <shobjidl.h>

#include "platform/win32/win32_platform.h"
#include "platform/win32/text.h"
#include "platform/win32/win32_api.h"

namespace zarn {

namespace win32 {
namespace {

// COM for one call: the program may or may not have initialised it on this thread.
struct ComScope {
  HRESULT hr = CoInitialize(nullptr);
  ~ComScope() {
    if (SUCCEEDED(hr)) CoUninitialize();
  }
};

// A list of names each ended by a NUL and the list by one more, in UTF-16.
std::wstring WideList(const std::string& list) {
  std::wstring out;
  size_t at = 0;
  while (at < list.size()) {
    size_t end = list.find('\0', at);
    if (end == std::string::npos) end = list.size();
    if (end == at) break;
    out += ToWide(list.substr(at, end - at));
    out += L'\0';
    at = end + 1;
  }
  out += L'\0';
  return out;
}
}  // namespace

ShellLinkResult Win32Platform::CreateShellLink(const std::string& linkPath, const ShellLinkData& link) {
  ComScope com;
  IShellLinkW* shellLink = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              reinterpret_cast<void**>(&shellLink))) ||
      !shellLink)
    return ShellLinkResult::NoLinkObject;
  IPersistFile* file = nullptr;
  if (FAILED(shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) || !file) {
    shellLink->Release();
    return ShellLinkResult::NoLinkObject;
  }
  // Failures of the single fields are the shell's to report by an incomplete link.
  shellLink->SetDescription(ToWide(link.description).c_str());
  shellLink->SetPath(ToWide(link.target).c_str());
  shellLink->SetWorkingDirectory(ToWide(link.workingDirectory).c_str());
  shellLink->SetArguments(ToWide(link.arguments).c_str());
  shellLink->SetHotkey(link.hotKey);
  shellLink->SetShowCmd(link.showCommand);
  shellLink->SetIconLocation(ToWide(link.iconPath).c_str(), link.iconIndex);
  HRESULT saved = file->Save(ToWide(linkPath).c_str(), TRUE);
  file->Release();
  shellLink->Release();
  return SUCCEEDED(saved) ? ShellLinkResult::Saved : ShellLinkResult::NotSaved;
}

int Win32Platform::ShellFileOperation(const ShellFileRequest& request, bool& aborted) {
  std::wstring from = WideList(request.from), to = WideList(request.to), title = ToWide(request.progressTitle);
  SHFILEOPSTRUCTW op = {};
  op.hwnd = GetActiveWindow();
  op.wFunc = request.operation;
  op.pFrom = from.c_str();
  op.pTo = request.to.empty() ? nullptr : to.c_str();
  op.fFlags = request.flags;
  op.fAnyOperationsAborted = FALSE;
  op.hNameMappings = nullptr;
  op.lpszProgressTitle = (request.flags & kShellFofSimpleProgress) ? title.c_str() : nullptr;
  int result = SHFileOperationW(&op);
  aborted = op.fAnyOperationsAborted != FALSE;
  return result;
}

}  // namespace win32
}  // namespace zarn
