#include "settings/ownership.h"

#include <vector>

#include "runtime/error.h"
#include "runtime/sjis.h"
#include "settings/install_settings.h"

namespace zarn {

namespace {

bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7F; }

// The full-width form of a character Windows forbids in file names; null for others.
const char* FullWidth(char c) {
  switch (c) {
    case '\\': return "\x81\x5F";  // ＼
    case '/': return "\x81\x5E";   // ／
    case ':': return "\x81\x46";   // ：
    case '*': return "\x81\x96";   // ＊
    case '?': return "\x81\x48";   // ？
    case '"': return "\x81\x68";   // ”
    case '<': return "\x81\x83";   // ＜
    case '>': return "\x81\x84";   // ＞
    case '|': return "\x81\x62";   // ｜
    default: return nullptr;
  }
}

// Keys below HKEY_CURRENT_USER\Software that belong to the system or to other programs.
const char* const kForeignKeys[] = {"Microsoft", "Classes", "Clients", "Policies", "RegisteredApplications",
                                    "Wow6432Node", "Wine", "AppDataLow", "ODBC"};

}  // namespace

// Splits at "\" and "/" that are characters of their own (a 0x5C trail byte is not).
std::vector<std::string> PathComponents(const std::string& path) {
  std::vector<std::string> parts(1);
  for (size_t i = 0; i < path.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(path[i]);
    if (IsLeadByte(c) && i + 1 < path.size()) {
      parts.back() += path[i];
      parts.back() += path[++i];
    } else if (c == '\\' || c == '/') {
      parts.emplace_back();
    } else {
      parts.back() += path[i];
    }
  }
  return parts;
}

bool IsPlainName(const std::string& name) {
  if (name.empty() || name.find_first_not_of(". ") == std::string::npos) return false;
  if (name.back() == '.' || name.back() == ' ') return false;
  for (size_t i = 0; i < name.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(name[i]);
    if (IsLeadByte(c) && i + 1 < name.size()) {
      ++i;
      continue;
    }
    if (IsControl(c) || FullWidth(name[i])) return false;
  }
  return !IsDeviceName(name);
}

bool IsInsideFolder(const std::string& subPath) {
  std::vector<std::string> parts = PathComponents(subPath);
  if (parts.size() > 1 && parts.back().empty()) parts.pop_back();  // one trailing separator
  for (const std::string& part : parts)
    if (!IsPlainName(part)) return false;  // also "", "." and "..", so nothing climbs out
  return true;
}

std::string ProgramGroupName(const std::string& title) {
  std::string name;
  for (size_t i = 0; i < title.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(title[i]);
    if (IsLeadByte(c) && i + 1 < title.size()) {
      name += title[i];
      name += title[++i];
    } else if (const char* wide = FullWidth(title[i])) {
      name += wide;
    } else {
      name += IsControl(c) ? ' ' : title[i];
    }
  }
  size_t first = name.find_first_not_of(' ');
  name = first == std::string::npos ? std::string() : name.substr(first);
  // A trailing space or dot may be the trail byte of a double-byte character only when
  // it is 0x20 or 0x2E, which no trail byte is, so trimming bytes is safe.
  while (!name.empty() && (name.back() == ' ' || name.back() == '.')) name.pop_back();
  return IsPlainName(name) ? name : std::string();
}

std::string SaveFolderName(const std::string& title) {
  std::string clean = title;
  for (char c : std::string("\\/:,;*?\"<>|")) clean = ReplaceDelimiter(clean, c, '_');
  if (clean.find_first_not_of(". ") == std::string::npos) return std::string();
  return clean;
}

bool IsOwnedRegistryKey(const std::string& registryKey) {
  std::string rel = registryKey;
  if (!rel.empty() && rel[0] == '\\') rel.erase(0, 1);
  if (EndsWithDelimiter(rel, '\\')) rel.pop_back();
  if (rel.empty()) return false;
  std::vector<std::string> parts = SplitDelimited(rel, '\\');
  for (const std::string& part : parts) {
    if (part.empty() || part == "." || part == "..") return false;
    for (size_t i = 0; i < part.size(); ++i) {
      unsigned char c = static_cast<unsigned char>(part[i]);
      if (IsLeadByte(c) && i + 1 < part.size()) ++i;
      else if (IsControl(c)) return false;
    }
  }
  for (const char* foreign : kForeignKeys)
    if (SameText(parts[0], foreign)) return false;
  return true;
}

bool IsAbsoluteFolder(const std::string& folder) {
  std::string rest;
  unsigned char d = folder.empty() ? 0 : static_cast<unsigned char>(folder[0]);
  if (folder.size() >= 3 && ((d >= 'A' && d <= 'Z') || (d >= 'a' && d <= 'z')) && folder[1] == ':' &&
      folder[2] == '\\') {
    rest = folder.substr(3);
    if (rest.empty()) return true;  // the drive's root
  } else if (folder.size() > 2 && folder[0] == '\\' && folder[1] == '\\') {
    // \\server\share, then the folders below the share
    std::vector<std::string> parts = PathComponents(folder.substr(2));
    if (parts.size() < 2 || !IsPlainName(parts[0]) || !IsPlainName(parts[1])) return false;
    size_t at = 2 + parts[0].size() + 1 + parts[1].size();
    if (at >= folder.size()) return true;
    if (folder[at] != '\\') return false;
    rest = folder.substr(at + 1);
    if (rest.empty()) return true;
  } else {
    return false;
  }
  if (FindDelimiter(rest, '/') != std::string::npos) return false;
  return IsInsideFolder(rest);
}

void CheckOwnedSettings(const TZarnInstallSet& settings) {
  if (ProgramGroupName(settings.Title).empty())
    throw EZarnError("タイトル \"" + settings.Title + "\" からはプログラムグループの名前が作れません");
  if (!settings.RegistryKey.empty() && !IsOwnedRegistryKey(settings.RegistryKey))
    throw EZarnError("レジストリキー HKEY_CURRENT_USER\\Software\\" + settings.RegistryKey +
                     " はこのゲームのキーではないので使えません");
}

}  // namespace zarn
