// Reads a shortcut file back for tests: on Linux with our own reader of the format, on
// Windows through the shell's link object, so what the program wrote is checked by the
// system that will use it.
#pragma once

#include <string>

#include "platform/platform.h"

namespace zarn {
namespace testing {

// False (with a reason) when the file cannot be read as a shortcut.
bool ReadShortcut(Platform& platform, const std::string& path, ShellLinkData& link, std::string& error);

}  // namespace testing
}  // namespace zarn
