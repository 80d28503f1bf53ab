// Host paths on Linux: the emulated machine's Z: is the host's "/".
#include "common/host_path.h"

#include <filesystem>

#include "platform/posix/win_path.h"

namespace zarn {

std::string HostPathToWindows(Platform& platform, const std::string& hostPath) {
  std::string abs = std::filesystem::absolute(std::filesystem::path(hostPath)).lexically_normal().string();
  std::string win = "Z:";
  bool literal = false;
  for (const auto& part : std::filesystem::path(abs)) literal = literal || posix::NeedsLiteralPath(part.string());
  for (char c : abs) win += c == '/' ? '\\' : c;
  return platform.Utf8ToSjis(literal ? "\\\\?\\" + win : win);
}

}  // namespace zarn
