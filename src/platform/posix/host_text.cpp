#include "platform/posix/host_text.h"

#include <cerrno>
#include <iconv.h>

namespace zarn {
namespace posix {

namespace {

// One conversion; `replacement` is written for each byte that cannot be converted (and
// the byte skipped); an empty replacement makes the conversion fail instead.
bool Convert(const char* from, const char* to, const std::string& in, std::string& out,
             const std::string& replacement) {
  out.clear();
  if (in.empty()) return true;
  iconv_t cd = iconv_open(to, from);
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
  iconv_close(cd);
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
