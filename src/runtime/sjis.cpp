#include "runtime/sjis.h"

#include <cstdio>
#include <cstdlib>

#include "runtime/error.h"

namespace zarn {

size_t LastDelimiter(const std::string& s, char ch) {
  size_t found = std::string::npos;
  for (size_t i = 0; i < s.size(); ++i) {
    if (IsLeadByte(static_cast<unsigned char>(s[i]))) {
      ++i;  // skip the trail byte
      continue;
    }
    if (s[i] == ch) found = i;
  }
  return found;
}

size_t FindDelimiter(const std::string& s, char ch, size_t from) {
  for (size_t i = 0; i < s.size(); ++i) {
    if (IsLeadByte(static_cast<unsigned char>(s[i]))) {
      ++i;
      continue;
    }
    if (i >= from && s[i] == ch) return i;
  }
  return std::string::npos;
}

bool EndsWithDelimiter(const std::string& s, char ch) {
  return !s.empty() && LastDelimiter(s, ch) == s.size() - 1;
}

std::string AddBackslash(const std::string& path) { return EndsWithDelimiter(path, '\\') ? path : path + "\\"; }

bool IsDeviceName(const std::string& component) {
  // The part before the first dot, without trailing spaces, names the device.
  std::string base = component.substr(0, component.find('.'));
  while (!base.empty() && base.back() == ' ') base.pop_back();
  base = UpperCase(base);
  static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$", "CLOCK$"};
  for (const char* d : kDevices)
    if (base == d) return true;
  return base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) && base[3] >= '1' &&
         base[3] <= '9';
}

std::vector<std::string> SplitDelimited(const std::string& s, char sep) {
  std::vector<std::string> parts;
  std::string cur;
  for (size_t i = 0; i < s.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (IsLeadByte(c) && i + 1 < s.size()) {
      cur += s[i];
      cur += s[++i];
    } else if (s[i] == sep) {
      parts.push_back(cur);
      cur.clear();
    } else {
      cur += s[i];
    }
  }
  parts.push_back(cur);
  return parts;
}

std::string ReplaceDelimiter(const std::string& s, char from, char to) {
  std::string r = s;
  for (size_t i = 0; i < r.size(); ++i) {
    if (IsLeadByte(static_cast<unsigned char>(r[i]))) {
      ++i;
      continue;
    }
    if (r[i] == from) r[i] = to;
  }
  return r;
}

namespace {
template <bool kUpper>
std::string FoldCase(const std::string& s) {
  std::string r = s;
  for (size_t i = 0; i < r.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(r[i]);
    if (IsLeadByte(c)) {
      ++i;
      continue;
    }
    if (kUpper && c >= 'a' && c <= 'z') r[i] = static_cast<char>(c - 32);
    if (!kUpper && c >= 'A' && c <= 'Z') r[i] = static_cast<char>(c + 32);
  }
  return r;
}
}  // namespace

std::string EscapeControls(const std::string& s) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (IsLeadByte(c) && i + 1 < s.size()) {
      out += s[i];
      out += s[++i];
    } else if (c < 0x20 || c == 0x7F) {
      out += "\\x";
      out += kDigits[c >> 4];
      out += kDigits[c & 15];
    } else {
      out += s[i];
    }
  }
  return out;
}

std::string LowerCase(const std::string& s) { return FoldCase<false>(s); }
std::string UpperCase(const std::string& s) { return FoldCase<true>(s); }

int CompareText(const std::string& a, const std::string& b) {
  // Fold both with the same rule as LowerCase, so equal texts also hash equal.
  const std::string la = LowerCase(a), lb = LowerCase(b);
  int c = la.compare(lb);
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

std::string IntToStr(int64_t v) { return std::to_string(v); }

int32_t StrToInt(const std::string& s) {
  size_t i = 0;
  bool neg = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) neg = s[i++] == '-';
  int64_t v = 0;
  bool digits = false;
  for (; i < s.size(); ++i) {
    if (s[i] < '0' || s[i] > '9') {
      digits = false;
      break;
    }
    v = v * 10 + (s[i] - '0');
    digits = true;
    if (v > 2147483648LL) break;
  }
  if (neg) v = -v;
  if (!digits || i != s.size() || v > INT32_MAX || v < INT32_MIN)
    throw EConvertError(Format("'%s' は整数ではありません", s));
  return static_cast<int32_t>(v);
}

std::string FormatV(const std::string& fmt, const std::vector<FormatArg>& args) {
  std::string out;
  size_t next = 0;
  for (size_t i = 0; i < fmt.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(fmt[i]);
    if (IsLeadByte(c) && i + 1 < fmt.size()) {
      out += fmt[i];
      out += fmt[++i];
      continue;
    }
    if (fmt[i] != '%') {
      out += fmt[i];
      continue;
    }
    // Directive: %[-][width][.precision]type
    size_t j = i + 1;
    if (j < fmt.size() && fmt[j] == '%') {
      out += '%';
      i = j;
      continue;
    }
    bool left = false;
    if (j < fmt.size() && fmt[j] == '-') left = true, ++j;
    int width = -1, prec = -1;
    while (j < fmt.size() && fmt[j] >= '0' && fmt[j] <= '9') width = (width < 0 ? 0 : width * 10) + (fmt[j++] - '0');
    if (j < fmt.size() && fmt[j] == '.') {
      ++j;
      prec = 0;
      while (j < fmt.size() && fmt[j] >= '0' && fmt[j] <= '9') prec = prec * 10 + (fmt[j++] - '0');
    }
    if (j >= fmt.size()) break;
    char type = fmt[j];
    i = j;
    if (next >= args.size()) throw EConvertError("書式 '" + fmt + "' が無効です");
    const FormatArg& a = args[next++];
    std::string piece;
    char buf[64];
    switch (type) {
      case 's':
        piece = a.kind() == FormatArg::kString ? a.str() : (a.kind() == FormatArg::kInt ? IntToStr(a.integer()) : "");
        if (prec >= 0 && static_cast<size_t>(prec) < piece.size()) piece.resize(prec);
        break;
      case 'd':
      case 'u': {
        int64_t v = a.kind() == FormatArg::kFloat ? static_cast<int64_t>(a.real()) : a.integer();
        // A precision is the minimum number of digits, zero-padded after any sign ("%.3d" of -7 is -007).
        std::snprintf(buf, sizeof buf, "%.*lld", prec < 0 ? 1 : prec, static_cast<long long>(v < 0 ? -v : v));
        piece = (v < 0 ? "-" : "") + std::string(buf);
        break;
      }
      case 'x':
      case 'X':
        std::snprintf(buf, sizeof buf, type == 'x' ? "%.*llx" : "%.*llX", prec < 0 ? 1 : prec,
                      static_cast<unsigned long long>(a.integer()));
        piece = buf;
        break;
      case 'f':
      case 'n': {
        double v = a.kind() == FormatArg::kFloat ? a.real() : static_cast<double>(a.integer());
        // Without a precision, two decimals, as the program's texts expect ("%2f" of 1.5 is 1.50).
        std::snprintf(buf, sizeof buf, "%.*f", prec < 0 ? 2 : prec, v);
        piece = buf;
        break;
      }
      default:
        throw EConvertError("書式 '" + fmt + "' が無効です");
    }
    if (width > 0 && piece.size() < static_cast<size_t>(width)) {
      std::string pad(width - piece.size(), ' ');
      piece = left ? piece + pad : pad + piece;
    }
    out += piece;
  }
  return out;
}

}  // namespace zarn
