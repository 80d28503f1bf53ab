// Paths given on a command-line tool's command line, as the program's Windows paths.
#pragma once

#include <string>

#include "platform/platform.h"

namespace zarn {

// On Linux the emulated machine maps Z: to the host's "/": a host path /home/u/x.dat is
// Z:\home\u\x.dat. A relative path is taken from the current folder, "." and ".." are
// resolved, and the UTF-8 name becomes Shift-JIS. A host file is a file whatever its name:
// a path with a name Windows reads as a device (con.arc) or trims (a.) gets the literal
// prefix \\?\. On Windows the path is used as given.
std::string HostPathToWindows(Platform& platform, const std::string& hostPath);

}  // namespace zarn
