// A second process for tests that need one (mutexes, the shell): the test program
// started again with "--zarn-child <mode> <argument>" does that one job and exits
// before the tests' main runs.
#pragma once

#include <string>

namespace zarn {
namespace testing {

// Exit codes of the child's jobs.
enum : int {
  kChildYes = 10,         // mutex-exists: it exists; mutex-create: it existed already
  kChildNo = 11,          // the opposite
  kChildFailed = 12,      // the job could not be done
  kChildBadUsage = 13,    // unknown mode
  kChildNotStarted = -1,  // RunChild could not start or wait for it
};

// The command-line parameters that start child job `mode` on `argument` (Shift-JIS).
std::wstring ChildParameters(const std::string& mode, const std::string& argument);
// Starts the child with that job, waits for it (30 s at most) and returns its exit code.
int RunChild(const std::string& mode, const std::string& argument);

}  // namespace testing
}  // namespace zarn
