// Member names are data from the archive: before one becomes a path below a destination
// folder it must be a plain relative path that cannot leave that folder.
#pragma once

#include <memory>
#include <string>
#include <unordered_set>

#include "platform/platform.h"

namespace zarn {

// True when `name` is a relative path of one or more components separated by "\" or "/"
// (both count on every platform), none of them empty or "..", with no drive letter or
// other colon, no leading separator (so no UNC or \\?\ path), and no control character.
// With `windowsRules`, also refuses reserved device names (CON, PRN, AUX, NUL, COM1-9,
// LPT1-9, with or without an extension) and components made only of dots and spaces,
// which Windows would read as something else.
bool IsSafeRelativeName(const std::string& name, bool windowsRules = kHostRefusesDeviceNames);

// Raises EFormatError "%s:ファイル名が正しくありません" naming the member when the name
// is not safe to extract.
void CheckMemberName(const std::string& name, bool windowsRules = kHostRefusesDeviceNames);

// The path of member `name` below `destFolder` ("\" for both separators), after checking
// the name, creating the folders on the way, and making sure no folder on the way below
// destFolder, nor the target itself, is a link or junction that could lead out of it.
// Raises EFormatError (bad name, link on the way) or EFCreateError (a folder that
// cannot be created).
std::string PrepareMemberTarget(Platform& platform, const std::string& destFolder, const std::string& name);

// The same for many members into one folder: each folder on the way is checked (and made)
// once, and the target file is created by Create, which refuses a link in its place.
class TMemberTargets {
 public:
  TMemberTargets(Platform& platform, const std::string& destFolder);
  // The checked path of member `name`, its folders made.
  std::string Prepare(const std::string& name);
  // Creates (or truncates) the file at `path` for writing. Raises EFormatError when a
  // link stands there, EFCreateError when it cannot be created.
  std::unique_ptr<FileHandle> Create(const std::string& path, const std::string& name);

 private:
  Platform& platform_;
  std::string dest_;
  std::unordered_set<std::string> folders_;  // folders checked, in lower case
};

}  // namespace zarn
