// Writes a resource into the image of a Windows program file (PE32) without the Windows
// API, so a setup program can be given its archive as the resource "DUMMY" of type
// "BINTYPE" on any build machine.
//
// The image keeps every resource it had (manifest, icon, version information); the whole
// resource tree, with the new resource added or replacing one of the same type and name,
// is written into a new section at the end of the image and the image's resource entry
// points to it. The old resource section stays in the file, no longer referred to.
#pragma once

#include <cstdint>
#include <string>

namespace zarn {

// Returns the image with resource `name` of `type` holding `data` (names as in
// FindPeResource: "#n" for a number; other names are stored in upper case, as resource
// compilers do, and the system finds them in any case). Raises EFormatError when the
// image is not a PE32 program, is damaged, carries data after its last section (such as
// an appended archive, whose recorded start would move), or has no room for one more
// section header.
std::string AddPeResource(const std::string& image, const std::string& name, const std::string& type,
                          const std::string& data, uint16_t language = 0);

}  // namespace zarn
