// A fresh machine for one test: on Linux an emulated Windows machine in a temporary host
// folder (removed afterwards); on Windows the real system, with a scratch folder and a
// scratch registry key that are removed afterwards.
#pragma once

#include <memory>
#include <string>

#include "platform/platform.h"

namespace zarn {
namespace testing {

// True when the test runs under Wine rather than on Windows itself: Wine's shell link
// object keeps texts in the ANSI code page and drops the show command.
bool UnderWine();

class TestMachine {
 public:
  TestMachine();
  ~TestMachine();
  TestMachine(const TestMachine&) = delete;
  TestMachine& operator=(const TestMachine&) = delete;

  Platform& platform() { return *platform_; }
  // A writable scratch folder as a Windows path with a trailing backslash, e.g.
  // C:\zarn-test-1234\ (emulated) or %TEMP%\zarn-test-1234\ (real Windows).
  const std::string& Scratch() const { return scratch_; }
  // A registry path below HKEY_CURRENT_USER\Software that tests may use and that is
  // deleted afterwards, e.g. "ZarnTest1234" (no leading or trailing backslash).
  const std::string& ScratchKey() const { return scratchKey_; }

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  std::unique_ptr<Platform> platform_;
  std::string scratch_;
  std::string scratchKey_;
};

}  // namespace testing
}  // namespace zarn
