// The test machine on Linux: a fresh emulated Windows machine in a temporary host folder.
#include "support/test_machine.h"

#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "platform/posix/emulated_machine.h"

namespace zarn {
namespace testing {

namespace {

int RemoveEntry(const char* path, const struct stat* st, int type, struct FTW*) {
  if (type == FTW_DP)
    rmdir(path);
  else
    unlink(path);
  return 0;
}

// Removes a machine folder, read-only folders included.
void RemoveTree(const std::string& root) {
  nftw(
      root.c_str(),
      [](const char* path, const struct stat* st, int type, struct FTW*) {
        if (type == FTW_D) chmod(path, 0777);
        return 0;
      },
      32, FTW_PHYS);
  nftw(root.c_str(), RemoveEntry, 32, FTW_DEPTH | FTW_PHYS);
}

}  // namespace

struct TestMachine::Impl {
  std::string root;
};

TestMachine::TestMachine() : impl_(std::make_unique<Impl>()) {
  const char* tmp = std::getenv("TMPDIR");
  std::string templ = std::string(tmp && *tmp ? tmp : "/tmp") + "/zarn-machine-XXXXXX";
  if (!mkdtemp(&templ[0])) throw std::runtime_error("cannot make a temporary machine folder");
  impl_->root = templ;
  MachineOptions options;
  options.root = impl_->root;
  options.currentDirectory = "C:\\";
  platform_ = std::make_unique<EmulatedMachine>(options);
  scratch_ = "C:\\zarn-test\\";
  platform_->CreateDirectory(scratch_);
  platform_->SetCurrentDirectory(scratch_);
  scratchKey_ = "ZarnTest" + std::to_string(getpid());
}

TestMachine::~TestMachine() {
  platform_.reset();
  RemoveTree(impl_->root);
}

bool UnderWine() { return false; }

}  // namespace testing
}  // namespace zarn
