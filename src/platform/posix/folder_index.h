// Name lookups in host folders without regard to ASCII case, in time independent of the
// folder's size.
//
// Each folder looked into gets an index of its names (folded to lower case), kept by the
// folder's identity (device and inode) so that every path to it shares one index. The
// index follows the folder through inotify: every name created, removed or renamed in it,
// by this process or another, arrives as an event and is applied before the next lookup,
// so a lookup never answers from a stale index. A folder that is removed (or an event
// queue that overflowed) drops its index; it is read again when next asked for. Where the
// host gives no inotify instance or watch, every lookup reads the folder, as a plain scan.
//
// The 8.3 short names of a folder's long names are made on demand for the whole folder
// and kept until the folder changes.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace zarn {
namespace posix {

class FolderIndex {
 public:
  FolderIndex();
  ~FolderIndex();
  FolderIndex(const FolderIndex&) = delete;
  FolderIndex& operator=(const FolderIndex&) = delete;

  // The real name (UTF-8) of the entry of host folder `folder` that equals `name` (UTF-8)
  // without regard to ASCII case. False when there is none or the folder cannot be read.
  bool Find(const std::string& folder, const std::string& name, std::string& found);
  // The same, for a folder the caller has just taken the status of (one call fewer).
  bool Find(const std::string& folder, const struct stat& folderStatus, const std::string& name, std::string& found);
  // The entry of `folder` whose generated short name is `shortName` (Shift-JIS).
  bool FindShort(const std::string& folder, const std::string& shortName, std::string& found);
  // The short name (Shift-JIS) of the entry `hostName` of `folder`; empty when the entry
  // has none (its name is 8.3 already) or is not there.
  std::string ShortNameOf(const std::string& folder, const std::string& hostName);

  // Folders indexed now (for tests and the size cap).
  size_t IndexedFolders() const { return folders_.size(); }

 private:
  struct Folder;
  using Identity = std::pair<dev_t, ino_t>;
  // The index of `folder`, brought up to date; nullptr when none can be kept.
  // `status`: the folder's status when the caller has it, else nullptr.
  Folder* Get(const std::string& folder, const struct stat* status = nullptr);
  Folder* Build(const std::string& folder, const Identity& id);
  void Drain();
  void Drop(int wd);
  void DropAll();

  int fd_ = -1;  // inotify instance; -1 when there is none
  bool tried_ = false;
  pid_t owner_ = 0;  // the process that made the instance
  std::map<Identity, int> byIdentity_;
  std::unordered_map<int, std::unique_ptr<Folder>> folders_;  // by watch descriptor
};

// Reads every entry of `folder` and returns the first that equals `name` without regard to
// ASCII case (the plain scan).
bool ScanNoCase(const std::string& folder, const std::string& name, std::string& found);

// The short names a folder's long names get: numbered in name order, skipping the names
// that are already 8.3. Takes the host names (UTF-8); returns pairs of (host name, short
// name).
std::vector<std::pair<std::string, std::string>> MakeShortNames(const std::vector<std::string>& hostNames);

}  // namespace posix
}  // namespace zarn
