#include "archive/member_name.h"

#include <vector>

#include "archive/archive_paths.h"
#include "runtime/error.h"
#include "runtime/sjis.h"
#include "settings/ownership.h"

namespace zarn {

bool IsSafeRelativeName(const std::string& name, bool windowsRules) {
  if (name.empty()) return false;
  for (size_t i = 0; i < name.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(name[i]);
    if (IsLeadByte(c) && i + 1 < name.size()) {
      ++i;  // a trail byte is never a separator, colon or control character
      continue;
    }
    if (c < 0x20 || c == 0x7F || c == ':') return false;
  }
  for (const std::string& part : PathComponents(name)) {
    if (part.empty() || part == "..") return false;
    if (windowsRules) {
      if (part.find_first_not_of(". ") == std::string::npos) return false;
      if (IsDeviceName(part)) return false;
    }
  }
  return true;
}

void CheckMemberName(const std::string& name, bool windowsRules) {
  if (!IsSafeRelativeName(name, windowsRules)) throw EFormatError(Format("%s:ファイル名が正しくありません", EscapeControls(name)));
}

TMemberTargets::TMemberTargets(Platform& platform, const std::string& destFolder)
    : platform_(platform), dest_(destFolder.empty() ? std::string() : AddBackslash(destFolder)) {}

std::string TMemberTargets::Prepare(const std::string& name) {
  CheckMemberName(name);
  std::vector<std::string> parts = PathComponents(name);
  std::string path = dest_;
  for (size_t i = 0; i + 1 < parts.size(); ++i) {
    path += parts[i];
    if (folders_.insert(LowerCase(path)).second) {
      uint32_t attr = platform_.GetFileAttributes(path);
      if (attr != faInvalid && (attr & faReparsePoint)) {
        folders_.erase(LowerCase(path));
        throw EFormatError(Format("%s:リンクを経由して展開することはできません", name));
      }
      if (attr == faInvalid) {
        if (!platform_.CreateDirectory(path) && !platform_.DirectoryExists(path)) {
          folders_.erase(LowerCase(path));
          throw EFCreateError(Format("フォルダ %s を作成できません", path));
        }
      } else if (!(attr & faDirectory)) {
        folders_.erase(LowerCase(path));
        throw EFCreateError(Format("フォルダ %s を作成できません", path));
      }
    }
    path += "\\";
  }
  return path + parts.back();
}

std::unique_ptr<FileHandle> TMemberTargets::Create(const std::string& path, const std::string& name) {
  // A new file cannot be a link; only when something is there already is it looked at.
  auto h = platform_.OpenFile(path, FileAccess::ReadWrite, FileShare::None, FileCreate::CreateNew);
  if (h) return h;
  uint32_t attr = platform_.GetFileAttributes(path);
  if (attr != faInvalid && (attr & faReparsePoint))
    throw EFormatError(Format("%s:リンクを経由して展開することはできません", name));
  if (attr == faInvalid || !(attr & faDirectory))
    h = platform_.OpenFile(path, FileAccess::ReadWrite, FileShare::None, FileCreate::CreateAlways);
  if (!h) throw EFCreateError(Format("ファイル %s を作成できません", path));
  return h;
}

std::string PrepareMemberTarget(Platform& platform, const std::string& destFolder, const std::string& name) {
  TMemberTargets targets(platform, destFolder);
  std::string path = targets.Prepare(name);
  uint32_t attr = platform.GetFileAttributes(path);
  if (attr != faInvalid && (attr & faReparsePoint))
    throw EFormatError(Format("%s:リンクを経由して展開することはできません", name));
  if (attr != faInvalid && (attr & faDirectory)) throw EFCreateError(Format("ファイル %s を作成できません", path));
  return path;
}

}  // namespace zarn
