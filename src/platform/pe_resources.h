// Reads a resource out of the bytes of a Windows program file (PE format), without
// loading it: the Linux build uses this to read a program file's resources, and the
// tool that writes a resource into a program file checks its result with it.
#pragma once

#include <string>

namespace zarn {

// Finds resource `name` of `type` ("#n" for numeric ids; names compare without regard
// to ASCII case) in the first language present. False when the file is not a PE file,
// is damaged, or lacks the resource.
bool FindPeResource(const std::string& image, const std::string& name, const std::string& type, std::string& data);

}  // namespace zarn
