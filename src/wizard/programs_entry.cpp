#include "wizard/programs_entry.h"

#include <cstdint>
#include <map>
#include <memory>
#include <unordered_map>
#include <vector>

#include "runtime/sjis.h"
#include "settings/install_settings.h"
#include "settings/ownership.h"
#include "settings/paths.h"

namespace zarn {

namespace {

const char* const kUninstallRoot = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

std::string DwordBytes(uint32_t v) {
  std::string b(4, '\0');
  for (int i = 0; i < 4; ++i) b[static_cast<size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
  return b;
}

// The bytes the installed files take: one listing per folder, not one open per file, so
// tens of thousands of files cost as many folder reads as there are folders. Names
// compare without regard to case, as the file system finds them.
int64_t InstalledBytes(Platform& platform, const std::string& destDir, const TStringList& installed) {
  std::map<std::string, std::vector<std::string>> byFolder;  // folder -> upper-case names
  for (const std::string& name : installed) {
    std::string file = ExtractFileName(name);
    byFolder[UpperCase(name.substr(0, name.size() - file.size()))].push_back(UpperCase(file));
  }
  int64_t bytes = 0;
  std::vector<DirEntry> entries;
  for (const auto& folder : byFolder) {
    entries.clear();
    if (!platform.ListDirectory(destDir + folder.first, entries)) continue;
    std::unordered_map<std::string, int64_t> sizes;
    for (const DirEntry& e : entries)
      if (!(e.attributes & faDirectory)) sizes.emplace(UpperCase(e.name), e.size);
    for (const std::string& name : folder.second) {
      auto found = sizes.find(name);
      if (found != sizes.end()) bytes += found->second;
    }
  }
  return bytes;
}

}  // namespace

std::string ProgramsEntryKey(const std::string& registryKey) {
  // The entry is named after the product key, so it is the game's only when that key is.
  if (!IsOwnedRegistryKey(registryKey)) return std::string();
  std::string name = registryKey;
  while (!name.empty() && name[0] == '\\') name.erase(0, 1);
  while (EndsWithDelimiter(name, '\\')) name.pop_back();
  if (name.empty()) return std::string();
  return kUninstallRoot + ReplaceDelimiter(name, '\\', '_');
}

bool WriteProgramsEntry(Platform& platform, const TZarnInstallSet& settings, const std::string& destDir) {
  std::string keyPath = ProgramsEntryKey(settings.RegistryKey);
  if (keyPath.empty()) return false;
  std::unique_ptr<RegistryKey> key = platform.OpenKey(RegRoot::CurrentUser, keyPath, true);
  if (!key) return false;

  int64_t bytes = InstalledBytes(platform, destDir, settings.InstalledFiles);
  int64_t kib = (bytes + 1023) / 1024;
  if (kib > UINT32_MAX) kib = UINT32_MAX;

  std::string program = destDir + (settings.ProgramFile.empty() ? std::string("install.exe") : settings.ProgramFile);
  // Text values end with their NUL, as the registry stores them.
  bool ok = key->SetValue("DisplayName", regSz, settings.Title + '\0');
  ok = key->SetValue("UninstallString", regSz, "\"" + destDir + "install.exe\"" + '\0') && ok;
  ok = key->SetValue("InstallLocation", regSz, destDir + '\0') && ok;
  ok = key->SetValue("DisplayIcon", regSz, program + '\0') && ok;
  ok = key->SetValue("EstimatedSize", regDword, DwordBytes(static_cast<uint32_t>(kib))) && ok;
  ok = key->SetValue("NoModify", regDword, DwordBytes(1)) && ok;
  ok = key->SetValue("NoRepair", regDword, DwordBytes(1)) && ok;
  return ok;
}

void DeleteProgramsEntry(Platform& platform, const TZarnInstallSet& settings) {
  std::string keyPath = ProgramsEntryKey(settings.RegistryKey);
  if (!keyPath.empty()) platform.DeleteKeyTree(RegRoot::CurrentUser, keyPath);
}

}  // namespace zarn
