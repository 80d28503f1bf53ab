#include "wizard/job_files.h"

#include <vector>

#include "runtime/sjis.h"
#include "settings/paths.h"

namespace zarn {

void RemoveTree(Platform& platform, const std::string& folder) {
  uint32_t attr = platform.GetFileAttributes(folder);
  if (attr == faInvalid) return;
  if (attr & faReparsePoint) {  // the link only, not what it leads to
    if (!platform.RemoveDirectory(folder)) platform.DeleteFile(folder);
    return;
  }
  std::string base = AddBackslash(folder);
  std::vector<DirEntry> entries;
  if (platform.ListDirectory(base, entries)) {
    for (const DirEntry& e : entries) {
      if (e.attributes & faDirectory) continue;
      std::string path = base + e.name;
      // Attributes set on a link would land on its target.
      if (!(e.attributes & faReparsePoint)) platform.SetFileAttributes(path, e.attributes & ~faReadOnly);
      platform.DeleteFile(path);
    }
    for (const DirEntry& e : entries) {
      if (!(e.attributes & faDirectory)) continue;
      if (e.attributes & faReparsePoint)
        platform.RemoveDirectory(base + e.name);  // the link only, not what it leads to
      else
        RemoveTree(platform, base + e.name);
    }
  }
  platform.RemoveDirectory(folder);
}

void RemoveEmptyFolders(Platform& platform, const std::string& folder) {
  uint32_t attr = platform.GetFileAttributes(folder);
  if (attr == faInvalid || !(attr & faDirectory) || (attr & faReparsePoint)) return;
  std::string base = AddBackslash(folder);
  std::vector<DirEntry> entries;
  if (!platform.ListDirectory(base, entries)) return;
  for (const DirEntry& e : entries)
    if ((e.attributes & faDirectory) && !(e.attributes & faReparsePoint)) RemoveEmptyFolders(platform, base + e.name);
  entries.clear();
  if (platform.ListDirectory(base, entries) && entries.empty()) platform.RemoveDirectory(folder);
}

bool PassesThroughLink(Platform& platform, const std::string& base, const std::string& relative) {
  std::string path = AddBackslash(base);
  std::vector<std::string> parts = SplitDelimited(ReplaceDelimiter(relative, '/', '\\'), '\\');
  for (size_t i = 0; i < parts.size(); ++i) {
    if (parts[i].empty()) continue;
    path += parts[i];
    uint32_t attr = platform.GetFileAttributes(path);
    if (attr == faInvalid) return false;  // nothing further down exists
    if (attr & faReparsePoint) return true;
    path += "\\";
  }
  return false;
}

}  // namespace zarn
