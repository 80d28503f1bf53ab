// Paths given on a command-line tool's command line, as the program's Windows paths.
#pragma once

#include <filesystem>
#include <string>

#include "platform/platform.h"
#ifndef _WIN32
#include "platform/posix/win_path.h"
#endif

namespace zarn {

// On Linux the emulated machine maps Z: to the host's "/": a host path /home/u/x.dat is
// Z:\home\u\x.dat. A relative path is taken from the current folder, "." and ".." are
// resolved, and the UTF-8 name becomes Shift-JIS. A host file is a file whatever its name:
// a path with a name Windows reads as a device (con.arc) or trims (a.) gets the literal
// prefix \\?\. On Windows the path is used as given.
inline std::string HostPathToWindows(Platform& platform, const std::string& hostPath) {
#ifdef _WIN32
  (void)platform;
  return hostPath;
#else
  std::string abs = std::filesystem::absolute(std::filesystem::path(hostPath)).lexically_normal().string();
  std::string win = "Z:";
  bool literal = false;
  for (const auto& part : std::filesystem::path(abs)) literal = literal || posix::NeedsLiteralPath(part.string());
  for (char c : abs) win += c == '/' ? '\\' : c;
  return platform.Utf8ToSjis(literal ? "\\\\?\\" + win : win);
#endif
}

}  // namespace zarn
