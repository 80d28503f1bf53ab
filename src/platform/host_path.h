// Paths given on a command-line tool's command line, as the program's Windows paths.
#pragma once

#include <filesystem>
#include <string>

#include "platform/platform.h"

namespace zarn {

// On Linux the emulated machine maps Z: to the host's "/": a host path /home/u/x.dat is
// Z:\home\u\x.dat. A relative path is taken from the current folder, "." and ".." are
// resolved, and the UTF-8 name becomes Shift-JIS. On Windows the path is used as given.
inline std::string HostPathToWindows(Platform& platform, const std::string& hostPath) {
#ifdef _WIN32
  (void)platform;
  return hostPath;
#else
  std::string abs = std::filesystem::absolute(std::filesystem::path(hostPath)).lexically_normal().string();
  std::string win = "Z:";
  for (char c : abs) win += c == '/' ? '\\' : c;
  return platform.Utf8ToSjis(win);
#endif
}

}  // namespace zarn
