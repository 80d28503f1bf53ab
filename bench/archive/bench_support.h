// What the archive benchmarks share: running shell commands, quoting, the work folder and
// the tools beside the benchmark.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace zarn::bench {

namespace fs = std::filesystem;

// A path quoted for the shell (the benchmark's own paths hold no quote).
inline std::string Q(const std::string& s) { return "'" + s + "'"; }

// Runs a command; a failure ends the benchmark, as every figure after it would be wrong.
inline void Shell(const std::string& cmd) {
  if (std::system(cmd.c_str()) != 0) {
    std::fprintf(stderr, "failed: %s\n", cmd.c_str());
    std::exit(2);
  }
}

inline bool Have(const char* tool) {
  return std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) == 0;
}

// Writes a file, making its folder when it is missing.
inline void WriteFile(const fs::path& p, const std::string& bytes) {
  if (!fs::exists(p.parent_path())) fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// The folder to work in: `given` when set, else a new one named `prefix`-XXXXXX under
// $TMPDIR or /tmp. Empty when it cannot be made.
inline fs::path WorkFolder(const std::string& given, const std::string& prefix) {
  if (!given.empty()) {
    fs::path dir = fs::absolute(given);
    fs::create_directories(dir);
    return dir;
  }
  const char* tmp = std::getenv("TMPDIR");
  std::string templ = std::string(tmp && *tmp ? tmp : "/tmp") + "/" + prefix + "-XXXXXX";
  if (!mkdtemp(&templ[0])) return fs::path();
  return templ;
}

// The built tools: bench/../tools beside this program.
inline fs::path ToolsFolder(const char* argv0) {
  return fs::canonical(fs::path(argv0)).parent_path().parent_path() / "tools";
}

}  // namespace zarn::bench
