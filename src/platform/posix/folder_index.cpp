#include "platform/posix/folder_index.h"

#include <dirent.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <set>

#include "platform/posix/host_text.h"
#include "platform/posix/win_path.h"
#include "runtime/sjis.h"

namespace zarn {
namespace posix {

namespace {

constexpr uint32_t kWatchMask =
    IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_ONLYDIR | IN_EXCL_UNLINK;
// Beyond this many indexed folders every index is dropped and built again as needed.
constexpr size_t kMaxFolders = 4096;

// ASCII letters to lower case (UTF-8 never uses ASCII bytes inside other characters).
std::string Fold(const std::string& name) {
  std::string s = name;
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return s;
}

bool ReadNames(const std::string& folder, std::vector<std::string>& names) {
  DIR* d = opendir(folder.c_str());
  if (!d) return false;
  while (struct dirent* e = readdir(d)) {
    std::string n = e->d_name;
    if (n != "." && n != "..") names.push_back(std::move(n));
  }
  closedir(d);
  return true;
}

}  // namespace

struct FolderIndex::Folder {
  Identity id;
  // Folded name to the real names that fold to it (more than one only where the host
  // keeps names that differ in case alone), first found first.
  std::unordered_map<std::string, std::vector<std::string>> names;
  bool shortsMade = false;
  std::unordered_map<std::string, std::string> byShort;  // upper-case short name -> host name
  std::unordered_map<std::string, std::string> shortOf;  // host name -> short name

  void Add(const std::string& name) {
    std::vector<std::string>& v = names[Fold(name)];
    if (std::find(v.begin(), v.end(), name) == v.end()) v.push_back(name);
  }
  void Remove(const std::string& name) {
    auto it = names.find(Fold(name));
    if (it == names.end()) return;
    it->second.erase(std::remove(it->second.begin(), it->second.end(), name), it->second.end());
    if (it->second.empty()) names.erase(it);
  }
  void MakeShorts() {
    if (shortsMade) return;
    std::vector<std::string> all;
    for (const auto& n : names) all.insert(all.end(), n.second.begin(), n.second.end());
    for (auto& s : MakeShortNames(all)) {
      byShort.emplace(UpperCase(s.second), s.first);
      shortOf.emplace(std::move(s.first), std::move(s.second));
    }
    shortsMade = true;
  }
  void Changed() {
    shortsMade = false;
    byShort.clear();
    shortOf.clear();
  }
};

FolderIndex::FolderIndex() = default;

FolderIndex::~FolderIndex() {
  if (fd_ >= 0) close(fd_);  // closing the instance removes its watches
}

FolderIndex::Folder* FolderIndex::Get(const std::string& folder, const struct stat* status) {
  if (tried_ && owner_ != getpid()) {
    // A forked child shares the parent's instance: reading it would take the parent's
    // events. The child starts an index of its own.
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
    folders_.clear();
    byIdentity_.clear();
    tried_ = false;
  }
  if (!tried_) {
    tried_ = true;
    owner_ = getpid();
    fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  }
  if (fd_ < 0) return nullptr;
  Drain();
  struct stat st;
  if (status) st = *status;
  else if (stat(folder.c_str(), &st) != 0) return nullptr;
  if (!S_ISDIR(st.st_mode)) return nullptr;
  Identity id(st.st_dev, st.st_ino);
  auto it = byIdentity_.find(id);
  if (it != byIdentity_.end()) return folders_.at(it->second).get();
  return Build(folder, id);
}

FolderIndex::Folder* FolderIndex::Build(const std::string& folder, const Identity& id) {
  if (folders_.size() >= kMaxFolders) DropAll();
  // Watch first, then read: a change made while reading arrives as an event afterwards,
  // and applying it again to names read after it changes nothing.
  int wd = inotify_add_watch(fd_, folder.c_str(), kWatchMask);
  if (wd < 0) return nullptr;
  struct stat st;
  bool same = stat(folder.c_str(), &st) == 0 && Identity(st.st_dev, st.st_ino) == id;
  std::vector<std::string> names;
  if (!same || folders_.count(wd) || !ReadNames(folder, names)) {
    // The path changed under us, or names another folder already watched: no index.
    if (!folders_.count(wd)) inotify_rm_watch(fd_, wd);
    return nullptr;
  }
  auto f = std::make_unique<Folder>();
  f->id = id;
  f->names.reserve(names.size());
  for (const std::string& n : names) f->Add(n);
  Folder* raw = f.get();
  folders_.emplace(wd, std::move(f));
  byIdentity_[id] = wd;
  return raw;
}

void FolderIndex::Drain() {
  alignas(struct inotify_event) char buffer[64 * 1024];
  for (;;) {
    ssize_t n = read(fd_, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;  // EAGAIN: nothing more queued
    for (ssize_t at = 0; at < n;) {
      const auto* e = reinterpret_cast<const struct inotify_event*>(buffer + at);
      at += static_cast<ssize_t>(sizeof(struct inotify_event) + e->len);
      if (e->mask & IN_Q_OVERFLOW) {
        DropAll();  // events were lost: nothing indexed can be trusted
        continue;
      }
      auto it = folders_.find(e->wd);
      if (it == folders_.end()) continue;
      if (e->mask & (IN_IGNORED | IN_DELETE_SELF | IN_UNMOUNT)) {
        Drop(e->wd);
        continue;
      }
      if (e->len == 0) continue;
      std::string name(e->name);
      Folder& f = *it->second;
      f.Changed();
      if (e->mask & (IN_CREATE | IN_MOVED_TO))
        f.Add(name);
      else if (e->mask & (IN_DELETE | IN_MOVED_FROM))
        f.Remove(name);
    }
  }
}

void FolderIndex::Drop(int wd) {
  auto it = folders_.find(wd);
  if (it == folders_.end()) return;
  byIdentity_.erase(it->second->id);
  folders_.erase(it);
  inotify_rm_watch(fd_, wd);  // fails harmlessly when the watch is gone already
}

void FolderIndex::DropAll() {
  for (const auto& f : folders_) inotify_rm_watch(fd_, f.first);
  folders_.clear();
  byIdentity_.clear();
}

bool FolderIndex::Find(const std::string& folder, const std::string& name, std::string& found) {
  struct stat st;
  if (stat(folder.c_str(), &st) != 0) return ScanNoCase(folder, name, found);
  return Find(folder, st, name, found);
}

bool FolderIndex::Find(const std::string& folder, const struct stat& folderStatus, const std::string& name,
                       std::string& found) {
  Folder* f = Get(folder, &folderStatus);
  if (!f) return ScanNoCase(folder, name, found);
  auto it = f->names.find(Fold(name));
  if (it == f->names.end()) return false;
  found = it->second.front();
  return true;
}

bool FolderIndex::FindShort(const std::string& folder, const std::string& shortName, std::string& found) {
  if (shortName.find('~') == std::string::npos || !IsShortName(shortName)) return false;
  if (Folder* f = Get(folder)) {
    f->MakeShorts();
    auto it = f->byShort.find(UpperCase(shortName));
    if (it == f->byShort.end()) return false;
    found = it->second;
    return true;
  }
  std::vector<std::string> names;
  ReadNames(folder, names);
  for (const auto& entry : MakeShortNames(names)) {
    if (SameText(entry.second, shortName)) {
      found = entry.first;
      return true;
    }
  }
  return false;
}

std::string FolderIndex::ShortNameOf(const std::string& folder, const std::string& hostName) {
  if (Folder* f = Get(folder)) {
    f->MakeShorts();
    auto it = f->shortOf.find(hostName);
    return it == f->shortOf.end() ? std::string() : it->second;
  }
  std::vector<std::string> names;
  ReadNames(folder, names);
  for (const auto& entry : MakeShortNames(names))
    if (entry.first == hostName) return entry.second;
  return "";
}

bool ScanNoCase(const std::string& folder, const std::string& name, std::string& found) {
  DIR* d = opendir(folder.c_str());
  if (!d) return false;
  std::string folded = Fold(name);
  bool ok = false;
  while (struct dirent* e = readdir(d)) {
    size_t len = std::char_traits<char>::length(e->d_name);
    if (len == folded.size() && Fold(e->d_name) == folded) {
      found = e->d_name;
      ok = true;
      break;
    }
  }
  closedir(d);
  return ok;
}

std::vector<std::pair<std::string, std::string>> MakeShortNames(const std::vector<std::string>& hostNames) {
  std::vector<std::pair<std::string, std::string>> longNames;  // (Shift-JIS name, host name)
  std::set<std::string> used;
  for (const std::string& host : hostNames) {
    std::string name = Utf8ToSjisLossy(host);
    if (IsShortName(name))
      used.insert(UpperCase(name));
    else
      longNames.emplace_back(std::move(name), host);
  }
  std::sort(longNames.begin(), longNames.end());
  // Long names whose first candidate is the same share every candidate, so each such
  // group goes on from the number its previous member took.
  std::unordered_map<std::string, int> nextOf;
  std::vector<std::pair<std::string, std::string>> out;
  out.reserve(longNames.size());
  for (const auto& l : longNames) {
    std::string first = MakeShortName(l.first, 1);
    int& next = nextOf[first];
    std::string candidate;
    int n = std::max(next, 1);
    for (; n < 1000000; ++n) {
      candidate = n == 1 ? first : MakeShortName(l.first, n);
      if (!used.count(UpperCase(candidate))) break;
    }
    next = n + 1;
    used.insert(UpperCase(candidate));
    out.emplace_back(l.second, candidate);
  }
  return out;
}

}  // namespace posix
}  // namespace zarn
