// Shift-JIS (code page 932) byte-string helpers. Every text in the program is such a string.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zarn {

// True for a byte that starts a double-byte character (0x81-0x9F, 0xE0-0xFC).
inline bool IsLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// Position of the last `ch` that is a character of its own (not the trail byte of a
// double-byte character), or std::string::npos.
size_t LastDelimiter(const std::string& s, char ch);
inline size_t LastBackslash(const std::string& s) { return LastDelimiter(s, '\\'); }
// Position of the first such `ch` at or after `from`.
size_t FindDelimiter(const std::string& s, char ch, size_t from = 0);
// True when the string ends with `ch` as a character of its own.
bool EndsWithDelimiter(const std::string& s, char ch);
// Appends a backslash unless the path ends with one (a trail byte 0x5C is not one); "" gives "\".
std::string AddBackslash(const std::string& path);
// True when a path component names a device (CON, PRN, AUX, NUL, CLOCK$, COM1-9,
// LPT1-9, …), whatever its extension and case: Windows opens the device instead.
bool IsDeviceName(const std::string& component);
// Splits at every `sep` that is a character of its own.
std::vector<std::string> SplitDelimited(const std::string& s, char sep);
// Replaces every `from` that is a character of its own by `to`.
std::string ReplaceDelimiter(const std::string& s, char from, char to);

// Case folding touches the ASCII letters only (and never a trail byte).
// `s` with each control byte (below 0x20, and 0x7F) written as \xNN, so a name from a
// file stays whole and visible in a message; double-byte characters are kept.
std::string EscapeControls(const std::string& s);

std::string LowerCase(const std::string& s);
std::string UpperCase(const std::string& s);
// Case-insensitive comparison with the same folding; <0, 0, >0.
int CompareText(const std::string& a, const std::string& b);
inline bool SameText(const std::string& a, const std::string& b) { return CompareText(a, b) == 0; }

// Decimal text of an integer.
std::string IntToStr(int64_t v);
// Strict decimal parse (optional sign); throws EConvertError "'%s' は整数ではありません".
int32_t StrToInt(const std::string& s);

// printf-like formatting with the directives the program uses: %s, %d, %u, %x, %f with
// width and precision (%.3d pads with zeros, %2f is a float with two decimals), %%.
class FormatArg {
 public:
  FormatArg(const std::string& s) : kind_(kString), s_(s) {}
  FormatArg(const char* s) : kind_(kString), s_(s) {}
  FormatArg(int v) : kind_(kInt), i_(v) {}
  FormatArg(long v) : kind_(kInt), i_(v) {}
  FormatArg(long long v) : kind_(kInt), i_(v) {}
  FormatArg(unsigned v) : kind_(kInt), i_(v) {}
  FormatArg(unsigned long v) : kind_(kInt), i_(static_cast<int64_t>(v)) {}
  FormatArg(unsigned long long v) : kind_(kInt), i_(static_cast<int64_t>(v)) {}
  FormatArg(double v) : kind_(kFloat), f_(v) {}
  enum Kind { kString, kInt, kFloat };
  Kind kind() const { return kind_; }
  const std::string& str() const { return s_; }
  int64_t integer() const { return i_; }
  double real() const { return f_; }

 private:
  Kind kind_;
  std::string s_;
  int64_t i_ = 0;
  double f_ = 0;
};

std::string FormatV(const std::string& fmt, const std::vector<FormatArg>& args);
template <typename... Args>
std::string Format(const std::string& fmt, const Args&... args) {
  return FormatV(fmt, std::vector<FormatArg>{FormatArg(args)...});
}

}  // namespace zarn
