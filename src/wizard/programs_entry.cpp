#include "wizard/programs_entry.h"

#include <cstdint>
#include <memory>

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

  int64_t bytes = 0;
  for (const std::string& name : settings.InstalledFiles) bytes += FileSizeOf(platform, destDir + name);
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
