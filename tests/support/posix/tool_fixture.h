// Running the built command-line tools as programs: each test gets a temporary folder of
// its own, and a run gives the tool's exit status, standard output and standard error.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace zarn {
namespace testing {

struct ToolResult {
  int status = -1;  // the exit status, or -1 when the tool did not exit normally
  std::string out, err;
};

class ToolTest : public ::testing::Test {
 protected:
  using Result = ToolResult;

  // `tool` is the tool that Run(args) starts, e.g. "zarn-arc".
  explicit ToolTest(std::string tool) : toolName_(std::move(tool)) {}

  void SetUp() override {
    const char* dir = getenv("ZARN_TOOLS_DIR");
    toolsDir_ = std::string(dir && *dir ? dir : ZARN_BINARY_DIR "/tools");
    ASSERT_TRUE(std::filesystem::exists(ToolPath(toolName_))) << ToolPath(toolName_);
    const char* tmp = getenv("TMPDIR");
    std::string templ = std::string(tmp && *tmp ? tmp : "/tmp") + "/" + toolName_ + "-XXXXXX";
    ASSERT_TRUE(mkdtemp(&templ[0]));
    dir_ = templ;
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }

  std::string ToolPath(const std::string& tool) const { return toolsDir_ + "/" + tool; }
  // A path in the test's folder.
  std::string Path(const std::string& name) const { return (std::filesystem::path(dir_) / name).string(); }
  void Write(const std::string& name, const std::string& bytes) {
    std::filesystem::create_directories(std::filesystem::path(Path(name)).parent_path());
    std::ofstream(Path(name), std::ios::binary) << bytes;
  }
  std::string Read(const std::string& name) const {
    std::ifstream f(Path(name), std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
  }
  // `s` as one word for the shell.
  static std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
  }

  // Runs `tool` with the shell words `args`, in the test's folder.
  Result Run(const std::string& tool, const std::string& args) {
    Result r;
    const std::string errFile = Path(".stderr");
    std::string cmd = "cd " + Quote(dir_) + " && " + environment_ + Quote(ToolPath(tool)) + " " + args + " 2>" +
                      Quote(errFile);
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return r;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    int st = pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    r.err = Read(".stderr");
    std::error_code ec;
    std::filesystem::remove(errFile, ec);
    return r;
  }
  Result Run(const std::string& args) { return Run(toolName_, args); }

  std::string toolName_, toolsDir_, dir_;
  std::string environment_;  // "NAME=value " words put before every tool run
};

}  // namespace testing
}  // namespace zarn
