// File and folder steps the install and uninstall jobs share (making a folder with its
// parents is the platform's ForceDirectories).
#pragma once

#include <string>

#include "platform/platform.h"

namespace zarn {

// Removes a folder with everything in it: its files, then its subfolders the same way,
// then the folder itself. A link inside is removed as a link, never followed. Failures
// of single deletions are ignored.
void RemoveTree(Platform& platform, const std::string& folder);

// Removes the empty folders below `folder` bottom-up, then `folder` itself when it ends
// up empty. Folders that hold anything, and links, are left alone.
void RemoveEmptyFolders(Platform& platform, const std::string& folder);

// True when one of the components of `relative` below `base` (the name itself included)
// exists as a link or junction, so that the path may lead out of `base`.
bool PassesThroughLink(Platform& platform, const std::string& base, const std::string& relative);

}  // namespace zarn
