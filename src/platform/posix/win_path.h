// Windows path syntax: parsing against a current directory, validation of names, and
// the 8.3 short names the file system would give.
#pragma once

#include <string>
#include <vector>

namespace zarn {
namespace posix {

struct WinPath {
  char drive = 0;                  // upper-case letter
  std::vector<std::string> parts;  // components below the root, Shift-JIS
  bool trailingSeparator = false;  // the text ended with a separator
  // "C:\a\b", or "C:\" for the root.
  std::string Text() const;
};

// Parses `path` as Windows does: "C:\a" (absolute), "\a" (root of the current drive),
// "C:a" (relative to the current folder when it is on C:, else to C:'s root) or "a"
// (relative to `current`). "/" separates like "\"; "." and empty components vanish; ".."
// drops a component but never goes above the root; trailing dots and spaces of a name are
// dropped. False for an empty path, a UNC or device path, a name with < > : " | ? * or a
// control character, a reserved device name (CON, NUL, COM1, ...), or a path of 260
// characters or more. After the literal prefix \\?\ names are taken as they stand, as
// Windows takes them: "con.arc" is a file, "a." keeps its dot.
bool ParseWinPath(const std::string& path, const WinPath& current, WinPath& out);

// Whether Windows would read `name` as something else than the file of that name unless
// the path carries the literal prefix: a device name (CON, COM1.arc, ...) or a name
// ending in a dot or a space.
bool NeedsLiteralPath(const std::string& name);

// Characters in a Shift-JIS string (a double-byte character counts once).
size_t CharacterCount(const std::string& s);

// Whether `name` is a valid 8.3 name as it stands (up to 8 bytes, a dot, up to 3 bytes).
bool IsShortName(const std::string& name);
// The n-th short name the file system would make for a long name: NAME~n.EXT in capitals.
std::string MakeShortName(const std::string& name, int n);

}  // namespace posix
}  // namespace zarn
