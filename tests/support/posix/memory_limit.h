// Runs a piece of a test in a child process whose address space may grow only by a given
// number of bytes, so a test can bound the peak memory of an operation: an allocation
// beyond the bound fails in the child (std::bad_alloc) instead of succeeding.
#pragma once

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <fstream>
#include <functional>
#include <string>

namespace zarn {
namespace testing {

// The sanitizers reserve terabytes of address space: there a limit means nothing.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kMemoryLimitsWork = false;
#else
constexpr bool kMemoryLimitsWork = true;
#endif

// Bytes of address space this process has mapped now.
inline int64_t MappedBytes() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.compare(0, 7, "VmSize:") == 0) return std::stoll(line.substr(7)) * 1024;
  return 0;
}

// What `body` returned in a child limited to `extraBytes` more than is mapped now; the
// message of an exception that escaped it ("exception: ..."), or how the child died.
inline std::string WithMemoryLimit(int64_t extraBytes, const std::function<std::string()>& body) {
  int fds[2];
  if (pipe(fds) != 0) return "no pipe";
  std::fflush(nullptr);
  pid_t child = fork();
  if (child == 0) {
    close(fds[0]);
    struct rlimit limit;
    limit.rlim_cur = limit.rlim_max = static_cast<rlim_t>(MappedBytes() + extraBytes);
    std::string out;
    if (setrlimit(RLIMIT_AS, &limit) != 0) {
      out = "setrlimit failed";
    } else {
      try {
        out = body();
      } catch (const std::exception& e) {
        out = std::string("exception: ") + e.what();
      } catch (...) {
        out = "exception";
      }
    }
    size_t done = 0;
    while (done < out.size()) {
      ssize_t n = write(fds[1], out.data() + done, out.size() - done);
      if (n <= 0) break;
      done += static_cast<size_t>(n);
    }
    _exit(0);
  }
  close(fds[1]);
  std::string got;
  char buffer[4096];
  ssize_t n;
  while ((n = read(fds[0], buffer, sizeof buffer)) > 0) got.append(buffer, static_cast<size_t>(n));
  close(fds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  if (WIFSIGNALED(status)) return got + " (killed by signal " + std::to_string(WTERMSIG(status)) + ")";
  return got;
}

}  // namespace testing
}  // namespace zarn
