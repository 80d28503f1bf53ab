// A small Windows program image for the launcher's tests: the test image of the platform
// tests with the alignment fields a linker writes and without resources, so a resource
// can be written into it and an archive appended to it.
#pragma once

#include <string>

#include "platform/pe_test_image.h"

namespace zarn {
namespace testing {

// The platform tests' image, resources kept, with the alignment fields a linker writes.
inline std::string TestProgramWithResources() {
  std::string b = BuildTestPeImage();
  const size_t opt = 0x58;
  Put32(b, opt + 32, 0x1000);  // section alignment
  Put32(b, opt + 36, 0x200);   // file alignment
  Put32(b, opt + 56, 0x2000);  // size of image
  Put32(b, opt + 60, 0x200);   // size of headers
  return b;
}

inline std::string TestProgram() {
  std::string b = TestProgramWithResources();
  const size_t opt = 0x58;
  Put32(b, opt + 96 + 16, 0);  // no resource directory
  Put32(b, opt + 96 + 20, 0);
  return b;
}

}  // namespace testing
}  // namespace zarn
