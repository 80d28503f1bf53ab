#include "platform/posix/host_text.h"

#include <cerrno>
#include <iconv.h>

namespace zarn {
namespace posix {

namespace {

bool IsAscii(const std::string& s) {
  for (char c : s)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

// A conversion descriptor opened once per thread and direction (opening one costs more
// than converting a file name).
class Converter {
 public:
  Converter(const char* from, const char* to) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (ok()) iconv_close(cd_);
  }
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t get() {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
    return cd_;
  }

 private:
  iconv_t cd_;
};

iconv_t Descriptor(const char* from) {
  // Shift-JIS and UTF-8 agree on ASCII, so only these two directions are ever opened.
  thread_local Converter toUtf8("CP932", "UTF-8"), toSjis("UTF-8", "CP932");
  Converter& c = from[0] == 'U' ? toSjis : toUtf8;
  return c.ok() ? c.get() : reinterpret_cast<iconv_t>(-1);
}

// One conversion; `replacement` is written for each byte that cannot be converted (and
// the byte skipped); an empty replacement makes the conversion fail instead.
bool Convert(const char* from, const char* to, const std::string& in, std::string& out,
             const std::string& replacement) {
  out.clear();
  if (in.empty()) return true;
  if (IsAscii(in)) {
    out = in;  // the same bytes in both encodings
    return true;
  }
  iconv_t cd = Descriptor(from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  char* src = const_cast<char*>(in.data());
  size_t srcLeft = in.size();
  char buffer[1024];
  bool ok = true;
  while (srcLeft > 0) {
    char* dst = buffer;
    size_t dstLeft = sizeof buffer;
    size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    out.append(buffer, sizeof buffer - dstLeft);
    if (r != static_cast<size_t>(-1)) continue;
    if (errno == E2BIG) continue;
    // EILSEQ or EINVAL (a sequence cut off at the end).
    if (replacement.empty()) {
      ok = false;
      break;
    }
    out += replacement;
    // Skip the byte; from UTF-8, skip the whole character it starts.
    bool utf8 = from[0] == 'U';
    do {
      ++src;
      --srcLeft;
    } while (utf8 && srcLeft > 0 && (static_cast<unsigned char>(*src) & 0xC0) == 0x80);
  }
  return ok;
}

}  // namespace

bool SjisToUtf8Strict(const std::string& sjis, std::string& utf8) {
  return Convert("CP932", "UTF-8", sjis, utf8, "");
}

bool Utf8ToSjisStrict(const std::string& utf8, std::string& sjis) {
  return Convert("UTF-8", "CP932", utf8, sjis, "");
}

std::string SjisToUtf8Lossy(const std::string& sjis) {
  std::string out;
  Convert("CP932", "UTF-8", sjis, out, "\xEF\xBF\xBD");
  return out;
}

std::string Utf8ToSjisLossy(const std::string& utf8) {
  std::string out;
  Convert("UTF-8", "CP932", utf8, out, "?");
  return out;
}

}  // namespace posix
}  // namespace zarn
