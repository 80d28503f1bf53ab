#include "platform/posix/win_path.h"

#include <cstring>

#include "runtime/sjis.h"

namespace zarn {
namespace posix {

namespace {

constexpr size_t kMaxPath = 260;

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }

// Checks the bytes of one component; false on a forbidden character or a lead byte
// without its trail byte, and (unless `literal`) on a device name.
bool IsValidName(const std::string& name, bool literal) {
  for (size_t i = 0; i < name.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(name[i]);
    if (IsLeadByte(c)) {
      if (i + 1 >= name.size()) return false;
      unsigned char t = static_cast<unsigned char>(name[i + 1]);
      if (t < 0x40 || t == 0x7F || t > 0xFC) return false;
      ++i;
      continue;
    }
    if (c < 0x20 || std::strchr("<>:\"|?*", c)) return false;
  }
  return literal || !IsDeviceName(name);
}

// Drops trailing dots and spaces, as Windows does with every name it is given.
std::string TrimName(std::string name) {
  while (!name.empty() && (name.back() == '.' || name.back() == ' ')) {
    // A trail byte is never a dot or a space, so the last byte is a character of its own.
    name.pop_back();
  }
  return name;
}

}  // namespace

std::string WinPath::Text() const {
  std::string s;
  s += drive;
  s += ":\\";
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i) s += '\\';
    s += parts[i];
  }
  return s;
}

bool ParseWinPath(const std::string& path, const WinPath& current, WinPath& out) {
  if (path.empty()) return false;
  std::string s = ReplaceDelimiter(path, '/', '\\');
  // The long-path prefix \\?\ names an absolute path; other \\ forms (shares, devices)
  // lead off the machine.
  const bool literal = s.compare(0, 4, "\\\\?\\") == 0;
  if (literal) {
    s.erase(0, 4);
    if (s.size() < 3 || s[1] != ':' || s[2] != '\\') return false;
  } else if (s.compare(0, 2, "\\\\") == 0) {
    return false;
  }
  WinPath r;
  std::string rest;
  if (s.size() >= 2 && s[1] == ':' && IsAsciiLetter(s[0])) {
    r.drive = Upper(s[0]);
    rest = s.substr(2);
    if (rest.empty() || rest[0] != '\\') {
      if (current.drive == r.drive) r.parts = current.parts;
    }
  } else {
    if (current.drive == 0) return false;
    r.drive = current.drive;
    rest = s;
    if (rest[0] != '\\') r.parts = current.parts;
  }
  for (const std::string& raw : SplitDelimited(rest, '\\')) {
    if (raw.empty() || raw == ".") continue;
    if (raw == "..") {
      if (!r.parts.empty()) r.parts.pop_back();
      continue;
    }
    if (!IsValidName(raw, literal)) return false;
    std::string name = literal ? raw : TrimName(raw);
    if (name.empty()) continue;  // "..." and the like name the folder itself
    r.parts.push_back(name);
  }
  r.trailingSeparator = !r.parts.empty() && EndsWithDelimiter(s, '\\');
  if (CharacterCount(r.Text()) >= kMaxPath) return false;
  out = r;
  return true;
}

size_t CharacterCount(const std::string& s) {
  size_t n = 0;
  for (size_t i = 0; i < s.size(); ++i, ++n)
    if (IsLeadByte(static_cast<unsigned char>(s[i]))) ++i;
  return n;
}

bool NeedsLiteralPath(const std::string& name) {
  return IsDeviceName(name) || (!name.empty() && (name.back() == '.' || name.back() == ' '));
}

bool IsShortName(const std::string& name) {
  if (name.empty() || name[0] == '.') return false;
  size_t dot = std::string::npos;
  for (size_t i = 0; i < name.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(name[i]);
    if (IsLeadByte(c)) {
      ++i;
      continue;
    }
    if (c == '.') {
      if (dot != std::string::npos) return false;
      dot = i;
    } else if (c == ' ' || std::strchr("+,;=[]", c)) {
      return false;
    }
  }
  size_t base = dot == std::string::npos ? name.size() : dot;
  size_t ext = dot == std::string::npos ? 0 : name.size() - dot - 1;
  return base >= 1 && base <= 8 && ext <= 3 && (dot == std::string::npos || ext >= 1);
}

namespace {
// Upper-case letters, invalid characters as "_", spaces and dots left out; at most
// `limit` bytes, never splitting a double-byte character.
std::string ShortPart(const std::string& s, size_t limit) {
  std::string r;
  for (size_t i = 0; i < s.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (IsLeadByte(c) && i + 1 < s.size()) {
      if (r.size() + 2 > limit) break;
      r += s[i];
      r += s[++i];
      continue;
    }
    if (c == ' ' || c == '.') continue;
    if (r.size() + 1 > limit) break;
    r += std::strchr("+,;=[]", c) ? '_' : Upper(static_cast<char>(c));
  }
  return r;
}
}  // namespace

std::string MakeShortName(const std::string& name, int n) {
  size_t dot = LastDelimiter(name, '.');
  std::string base = dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
  std::string ext = dot == std::string::npos || dot == 0 ? "" : name.substr(dot + 1);
  std::string tail = "~" + std::to_string(n);
  std::string b = ShortPart(base, 8 - tail.size());
  if (b.empty()) b = "_";
  std::string e = ShortPart(ext, 3);
  return b + tail + (e.empty() ? "" : "." + e);
}

}  // namespace posix
}  // namespace zarn
