// What an EmulatedMachine keeps between calls; shared by the files that implement it.
#pragma once

#include <sys/stat.h>

#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/posix/emulated_machine.h"
#include "platform/posix/folder_index.h"
#include "platform/posix/registry_store.h"
#include "platform/posix/win_path.h"

namespace zarn {

struct EmulatedMachine::State {
  std::vector<DriveMapping> drives;  // host folders made absolute
  posix::WinPath current;            // current directory
  std::unique_ptr<posix::RegistryStore> registry;
  std::string mutexDir;  // lock files of named mutexes
  std::string shellLog;  // host path of the shell log; empty: kept in memory
  std::vector<ShellRequest> memoryShellLog;
  std::map<std::string, std::unique_ptr<FileHandle>> running;  // files held as running programs
  std::vector<std::pair<std::string, std::string>> environment;
  std::string programFile;
  std::chrono::steady_clock::time_point started;
  posix::FolderIndex names;  // case-insensitive lookups in host folders

  const DriveMapping* Drive(char letter) const {
    for (const DriveMapping& d : drives)
      if (d.letter == letter) return &d;
    return nullptr;
  }
};

struct EmulatedMachine::Resolved {
  posix::WinPath win;              // normalised Windows path
  std::vector<std::string> names;  // components as found on disk (Shift-JIS), else as given
  std::string host;                // host path
  bool exists = false;
  bool parentExists = false;  // the folder that holds the last component exists
  // Whether the host entry itself is a symlink: -1 not known (ask lstat), 0 no, 1 yes.
  int link = -1;
  struct stat st {};
  bool IsDir() const { return exists && S_ISDIR(st.st_mode); }
  bool IsFile() const { return exists && !S_ISDIR(st.st_mode) && !win.trailingSeparator; }
  bool ReadOnly() const { return exists && !(st.st_mode & S_IWUSR); }
};

namespace posix {
// The user the machine has: key below HKEY_USERS, name, profile folder.
extern const char kUserSid[];
constexpr char kUserName[] = "User";
// Joins host path components with "/".
std::string JoinHost(const std::string& folder, const std::string& name);
// Writes a whole file aside and renames it over `host`.
bool WriteHostFileAtomic(const std::string& host, const std::string& data);
bool ReadHostFile(const std::string& host, std::string& data);
}  // namespace posix

}  // namespace zarn
