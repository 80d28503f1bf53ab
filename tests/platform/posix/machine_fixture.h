// Emulated machines in temporary host folders for the Linux-only tests.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "platform/posix/emulated_machine.h"

namespace zarn {
namespace testing {

class MachineFolder {
 public:
  MachineFolder() {
    std::string templ = "/tmp/zarn-emu-XXXXXX";
    if (!mkdtemp(&templ[0])) std::abort();
    root_ = templ;
  }
  ~MachineFolder() {
    std::string cmd = "chmod -R u+w '" + root_ + "' 2>/dev/null; rm -rf '" + root_ + "'";
    if (std::system(cmd.c_str()) != 0) std::fprintf(stderr, "could not remove %s\n", root_.c_str());
  }
  const std::string& root() const { return root_; }
  std::string Host(const std::string& rel) const { return root_ + "/" + rel; }

  MachineOptions Options() const {
    MachineOptions o;
    o.root = root_;
    o.currentDirectory = "C:\\";
    return o;
  }
  std::unique_ptr<EmulatedMachine> Make(bool win9x = false) const {
    MachineOptions o = Options();
    o.win9x = win9x;
    return std::make_unique<EmulatedMachine>(o);
  }

 private:
  std::string root_;
};

inline std::string ReadHost(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

inline void WriteHost(const std::string& path, const std::string& data) {
  std::ofstream out(path, std::ios::binary);
  out << data;
}

inline bool HostExists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

inline void Put(Platform& p, const std::string& path, const std::string& bytes) {
  auto f = p.OpenFile(path, FileAccess::Write, FileShare::None, FileCreate::CreateAlways);
  ASSERT_TRUE(f) << path;
  ASSERT_EQ(f->Write(bytes.data(), static_cast<int64_t>(bytes.size())), static_cast<int64_t>(bytes.size()));
}

inline std::string Get(Platform& p, const std::string& path) {
  auto f = p.OpenFile(path, FileAccess::Read, FileShare::Read, FileCreate::OpenExisting);
  if (!f) return "<missing>";
  std::string out(1 << 16, '\0');
  int64_t n = f->Read(&out[0], static_cast<int64_t>(out.size()));
  out.resize(n < 0 ? 0 : static_cast<size_t>(n));
  return out;
}

}  // namespace testing
}  // namespace zarn
