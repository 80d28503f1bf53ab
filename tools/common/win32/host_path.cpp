// Host paths on Windows are the program's paths already.
#include "common/host_path.h"

namespace zarn {

std::string HostPathToWindows(Platform&, const std::string& hostPath) { return hostPath; }

}  // namespace zarn
