// The installation's entry in the system's list of installed programs
// (HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Uninstall\<key>), so the
// game can be removed from the control panel like any other program.
#pragma once

#include <string>

#include "platform/platform.h"

namespace zarn {

class TZarnInstallSet;

// Key below HKEY_CURRENT_USER of a product's entry: the product's RegistryKey without
// its outer backslashes, each inner backslash made "_" ("\Maker\Story" -> Maker_Story);
// "" when the product has no registry key or one that is not its own (IsOwnedRegistryKey).
std::string ProgramsEntryKey(const std::string& registryKey);

// Writes the entry for an installation in `destDir` (with trailing backslash):
// DisplayName (the title), UninstallString (the destination's "install.exe", quoted),
// InstallLocation, DisplayIcon (the game's program), EstimatedSize (KiB of the installed
// files), NoModify and NoRepair. The entry is a convenience: when the registry refuses
// it, the installation goes on without it (false).
bool WriteProgramsEntry(Platform& platform, const TZarnInstallSet& settings, const std::string& destDir);

// Removes the entry with everything in it.
void DeleteProgramsEntry(Platform& platform, const TZarnInstallSet& settings);

}  // namespace zarn
