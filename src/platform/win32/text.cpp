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
  // No best-fit mapping: "café" must not quietly become the name of another file, "cafe".
  // UTF-8 rejects these flags and arguments; it has no unmappable characters anyway.
  const bool utf8 = codePage == kCodePageUtf8;
  DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
  BOOL usedDefault = FALSE;
  BOOL* usedPtr = utf8 ? nullptr : &usedDefault;
  const char* defaultChar = utf8 ? nullptr : "?";
  int n = WideCharToMultiByte(codePage, flags, w.data(), static_cast<int>(w.size()), nullptr, 0, defaultChar, usedPtr);
  if (n <= 0) return std::string();
  std::string s(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(codePage, flags, w.data(), static_cast<int>(w.size()), &s[0], n, defaultChar, usedPtr);
  if (lossy) *lossy = usedDefault != FALSE;
  return s;
}

std::string SystemMessage(unsigned long code) {
  wchar_t* text = nullptr;
  DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                           nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring w = n && text ? std::wstring(text, n) : std::wstring();
  if (text) LocalFree(text);
  while (!w.empty() && (w.back() == L'\r' || w.back() == L'\n' || w.back() == L' ')) w.pop_back();
  return w.empty() ? "error " + std::to_string(code) : FromWide(w);
}

}  // namespace win32
}  // namespace zarn
