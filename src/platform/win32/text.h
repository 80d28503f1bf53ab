// Text at the edge of the Windows backend: every Shift-JIS string crosses into the W
// functions of Win32 through UTF-16, with code page 932 named explicitly, so names and
// texts come out right whatever the system's own code page is.
#pragma once

#include <string>

namespace zarn {
namespace win32 {

enum : unsigned { kCodePageSjis = 932, kCodePageUtf8 = 65001 };

// Bytes in `codePage` to UTF-16. Embedded NULs are kept.
std::wstring ToWide(const std::string& s, unsigned codePage = kCodePageSjis);
// UTF-16 to bytes in `codePage`; a character the code page lacks becomes '?'.
// `lossy`, when given, tells whether that happened.
std::string FromWide(const std::wstring& w, unsigned codePage = kCodePageSjis, bool* lossy = nullptr);
// The system's own words for an error code (GetLastError), in Shift-JIS, without the
// line break Windows ends them with; "error N" when the system has none.
std::string SystemMessage(unsigned long code);

}  // namespace win32
}  // namespace zarn
