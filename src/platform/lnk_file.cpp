#include "platform/lnk_file.h"

#include <cstring>
#include <vector>

#include "runtime/sjis.h"

namespace zarn {

namespace {

enum : uint32_t {
  kHasIdList = 0x01,
  kHasLinkInfo = 0x02,
  kHasName = 0x04,
  kHasRelativePath = 0x08,
  kHasWorkingDir = 0x10,
  kHasArguments = 0x20,
  kHasIconLocation = 0x40,
  kIsUnicode = 0x80,
};

const uint8_t kLinkClassId[16] = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                  0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
constexpr uint32_t kHeaderSize = 0x4C;
constexpr uint32_t kLinkInfoHeaderSize = 0x24;

void Put16(std::string& out, uint32_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}
void Set32(std::string& out, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}
void PutUtf16(std::string& out, const std::u16string& s) {
  for (char16_t c : s) Put16(out, c);
}

// A counted string of the string-data section; counts above 0xFFFF characters are cut.
void PutCounted(std::string& out, const std::u16string& s) {
  size_t n = s.size() > 0xFFFF ? 0xFFFF : s.size();
  Put16(out, static_cast<uint32_t>(n));
  PutUtf16(out, s.substr(0, n));
}

bool IsFullLocalPath(const std::string& p) {
  return p.size() >= 3 && ((p[0] >= 'A' && p[0] <= 'Z') || (p[0] >= 'a' && p[0] <= 'z')) && p[1] == ':' &&
         p[2] == '\\';
}

// A reader that never reads past the end.
class Reader {
 public:
  explicit Reader(const std::string& b) : b_(b) {}
  bool Has(size_t at, size_t n) const { return at <= b_.size() && n <= b_.size() - at; }
  uint32_t U16(size_t at) const {
    return static_cast<uint8_t>(b_[at]) | (static_cast<uint32_t>(static_cast<uint8_t>(b_[at + 1])) << 8);
  }
  uint32_t U32(size_t at) const { return U16(at) | (U16(at + 2) << 16); }
  const std::string& bytes() const { return b_; }

 private:
  const std::string& b_;
};

}  // namespace

std::u16string Utf8ToUtf16(const std::string& s) {
  std::u16string out;
  size_t i = 0;
  while (i < s.size()) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    uint32_t cp;
    size_t len;
    if (c < 0x80) cp = c, len = 1;
    else if ((c & 0xE0) == 0xC0) cp = c & 0x1F, len = 2;
    else if ((c & 0xF0) == 0xE0) cp = c & 0x0F, len = 3;
    else if ((c & 0xF8) == 0xF0) cp = c & 0x07, len = 4;
    else cp = 0xFFFD, len = 1;
    if (len > 1) {
      if (i + len > s.size()) {
        cp = 0xFFFD;
        len = s.size() - i;
      } else {
        for (size_t k = 1; k < len; ++k) {
          unsigned char d = static_cast<unsigned char>(s[i + k]);
          if ((d & 0xC0) != 0x80) {
            cp = 0xFFFD;
            len = k;
            break;
          }
          cp = (cp << 6) | (d & 0x3F);
        }
      }
    }
    i += len;
    if (cp >= 0x10000 && cp <= 0x10FFFF) {
      cp -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (cp >> 10));
      out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp > 0xFFFF ? 0xFFFD : cp);
    }
  }
  return out;
}

std::string Utf16ToUtf8(const std::u16string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    uint32_t cp = s[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  return out;
}

std::string EncodeShellLink(Platform& platform, const ShellLinkData& link) {
  auto wide = [&](const std::string& sjis) { return Utf8ToUtf16(platform.SjisToUtf8(sjis)); };
  bool linkInfo = IsFullLocalPath(link.target);
  uint32_t flags = kIsUnicode;
  if (linkInfo) flags |= kHasLinkInfo;
  else if (!link.target.empty()) flags |= kHasRelativePath;
  if (!link.description.empty()) flags |= kHasName;
  if (!link.workingDirectory.empty()) flags |= kHasWorkingDir;
  if (!link.arguments.empty()) flags |= kHasArguments;
  if (!link.iconPath.empty()) flags |= kHasIconLocation;

  uint32_t attributes = 0, size = 0;
  if (!link.target.empty()) {
    uint32_t a = platform.GetFileAttributes(link.target);
    if (a != faInvalid) {
      attributes = a;
      if (!(a & faDirectory)) {
        std::vector<DirEntry> entries;
        size_t slash = LastBackslash(link.target);
        if (slash != std::string::npos && platform.ListDirectory(link.target.substr(0, slash + 1), entries))
          for (const DirEntry& e : entries)
            if (SameText(e.name, link.target.substr(slash + 1))) size = static_cast<uint32_t>(e.size);
      }
    }
  }

  std::string out;
  Put32(out, kHeaderSize);
  out.append(reinterpret_cast<const char*>(kLinkClassId), 16);
  Put32(out, flags);
  Put32(out, attributes);
  out.append(24, '\0');  // creation, access and write times: unknown
  Put32(out, size);
  Put32(out, static_cast<uint32_t>(link.iconIndex));
  Put32(out, static_cast<uint32_t>(link.showCommand));
  Put16(out, link.hotKey);
  out.append(10, '\0');

  if (linkInfo) {
    std::string root = link.target.substr(0, 3);
    std::string label = platform.VolumeLabel(root);
    std::string volume;
    Put32(volume, 0);  // size, set below
    Put32(volume, platform.DriveType(root));
    Put32(volume, 0);  // serial number: not known
    Put32(volume, 0x10);
    volume += label;
    volume += '\0';
    Set32(volume, 0, static_cast<uint32_t>(volume.size()));

    std::string info(kLinkInfoHeaderSize, '\0');
    uint32_t volumeAt = kLinkInfoHeaderSize;
    info += volume;
    uint32_t pathAt = static_cast<uint32_t>(info.size());
    info += link.target;
    info += '\0';
    uint32_t suffixAt = static_cast<uint32_t>(info.size());
    info += '\0';
    uint32_t pathWideAt = static_cast<uint32_t>(info.size());
    PutUtf16(info, wide(link.target));
    Put16(info, 0);
    uint32_t suffixWideAt = static_cast<uint32_t>(info.size());
    Put16(info, 0);
    Set32(info, 0, static_cast<uint32_t>(info.size()));
    Set32(info, 4, kLinkInfoHeaderSize);
    Set32(info, 8, 1);
    Set32(info, 12, volumeAt);
    Set32(info, 16, pathAt);
    Set32(info, 20, 0);
    Set32(info, 24, suffixAt);
    Set32(info, 28, pathWideAt);
    Set32(info, 32, suffixWideAt);
    out += info;
  }

  if (flags & kHasName) PutCounted(out, wide(link.description));
  if (flags & kHasRelativePath) PutCounted(out, wide(link.target));
  if (flags & kHasWorkingDir) PutCounted(out, wide(link.workingDirectory));
  if (flags & kHasArguments) PutCounted(out, wide(link.arguments));
  if (flags & kHasIconLocation) PutCounted(out, wide(link.iconPath));
  Put32(out, 0);  // no extra data
  return out;
}

bool DecodeShellLink(Platform& platform, const std::string& bytes, ShellLinkData& link, std::string& error) {
  Reader r(bytes);
  if (!r.Has(0, kHeaderSize)) return error = "shorter than a shortcut header", false;
  if (r.U32(0) != kHeaderSize || std::memcmp(bytes.data() + 4, kLinkClassId, 16) != 0)
    return error = "not a shortcut file", false;
  ShellLinkData out;
  uint32_t flags = r.U32(20);
  out.iconIndex = static_cast<int32_t>(r.U32(56));
  out.showCommand = static_cast<int32_t>(r.U32(60));
  out.hotKey = static_cast<uint16_t>(r.U16(64));
  size_t at = kHeaderSize;
  if (flags & kHasIdList) {
    if (!r.Has(at, 2)) return error = "item list cut short", false;
    size_t n = r.U16(at);
    if (!r.Has(at + 2, n)) return error = "item list cut short", false;
    at += 2 + n;
  }
  std::string target;
  if (flags & kHasLinkInfo) {
    if (!r.Has(at, 0x1C)) return error = "link info cut short", false;
    uint32_t size = r.U32(at), headerSize = r.U32(at + 4), infoFlags = r.U32(at + 8);
    if (size < 0x1C || headerSize < 0x1C || headerSize > size || !r.Has(at, size))
      return error = "link info of a wrong size", false;
    std::string info = bytes.substr(at, size);
    Reader ri(info);
    // A NUL-terminated text inside the link info; false when it runs past its end.
    auto narrow = [&](uint32_t off, std::string& s) {
      if (off >= info.size()) return false;
      size_t end = info.find('\0', off);
      if (end == std::string::npos) return false;
      s = info.substr(off, end - off);
      return true;
    };
    auto wideAt = [&](uint32_t off, std::string& s) {
      std::u16string w;
      for (size_t p = off;; p += 2) {
        if (!ri.Has(p, 2)) return false;
        char16_t c = static_cast<char16_t>(ri.U16(p));
        if (c == 0) break;
        w += c;
      }
      s = platform.Utf8ToSjis(Utf16ToUtf8(w));
      return true;
    };
    if (infoFlags & 1) {
      std::string base, suffix;
      bool ok;
      if (headerSize >= 0x24 && ri.U32(28) != 0)
        ok = wideAt(ri.U32(28), base) && (ri.U32(32) == 0 || wideAt(ri.U32(32), suffix));
      else
        ok = narrow(ri.U32(16), base) && narrow(ri.U32(24), suffix);
      if (!ok) return error = "link info path runs past its end", false;
      target = base + suffix;
    }
    at += size;
  }
  auto counted = [&](std::string& s) {
    if (!r.Has(at, 2)) return false;
    size_t n = r.U16(at);
    at += 2;
    if (flags & kIsUnicode) {
      if (!r.Has(at, n * 2)) return false;
      std::u16string w;
      for (size_t i = 0; i < n; ++i) w += static_cast<char16_t>(r.U16(at + 2 * i));
      s = platform.Utf8ToSjis(Utf16ToUtf8(w));
      at += n * 2;
    } else {
      if (!r.Has(at, n)) return false;
      s = bytes.substr(at, n);
      at += n;
    }
    // Some writers (Wine's shell among them) count the terminating NUL as well.
    while (!s.empty() && s.back() == '\0') s.pop_back();
    return true;
  };
  std::string relative;
  if ((flags & kHasName) && !counted(out.description)) return error = "description cut short", false;
  if ((flags & kHasRelativePath) && !counted(relative)) return error = "relative path cut short", false;
  if ((flags & kHasWorkingDir) && !counted(out.workingDirectory)) return error = "working folder cut short", false;
  if ((flags & kHasArguments) && !counted(out.arguments)) return error = "arguments cut short", false;
  if ((flags & kHasIconLocation) && !counted(out.iconPath)) return error = "icon location cut short", false;
  out.target = target.empty() ? relative : target;
  link = out;
  return true;
}

}  // namespace zarn
