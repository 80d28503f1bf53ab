#include "platform/win32/text.h"

#include <climits>

#include "platform/win32/win32_api.h"

namespace zarn {
namespace win32 {

std::wstring ToWide(const std::string& s, unsigned codePage) {
  if (s.empty() || s.size() > INT_MAX) return std::wstring();
  int n = MultiByteToWideChar(codePage, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
  if (n <= 0) return std::wstring();
  std::wstring w(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(codePage, 0, s.data(), static_cast<int>(s.size()), &w[0], n);
  return w;
}

std::string FromWide(const std::wstring& w, unsigned codePage, bool* lossy) {
  if (lossy) *lossy = false;
  if (w.empty() || w.size() > INT_MAX / 4) return std::string();
  // UTF-8 rejects the default-character arguments; it has no unmappable characters anyway.
  BOOL usedDefault = FALSE;
  BOOL* usedPtr = codePage == kCodePageUtf8 ? nullptr : &usedDefault;
  int n = WideCharToMultiByte(codePage, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, usedPtr);
  if (n <= 0) return std::string();
  std::string s(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(codePage, 0, w.data(), static_cast<int>(w.size()), &s[0], n,
                      codePage == kCodePageUtf8 ? nullptr : "?", usedPtr);
  if (lossy) *lossy = usedDefault != FALSE;
  return s;
}

}  // namespace win32
}  // namespace zarn
