// Shift-JIS (code page 932) and UTF-8 conversion for host file names and terminal text.
#pragma once

#include <string>

namespace zarn {
namespace posix {

// Converts; false when the input holds a sequence that has no counterpart.
bool SjisToUtf8Strict(const std::string& sjis, std::string& utf8);
bool Utf8ToSjisStrict(const std::string& utf8, std::string& sjis);
// Converts, replacing what cannot be converted (U+FFFD one way, "?" the other).
std::string SjisToUtf8Lossy(const std::string& sjis);
std::string Utf8ToSjisLossy(const std::string& utf8);

}  // namespace posix
}  // namespace zarn
