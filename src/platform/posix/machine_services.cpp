// The emulated machine's registry, named mutexes, shell, delete-at-reboot, profile
// strings, modules and system information.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <thread>

#include "platform/pe_resources.h"
#include "platform/posix/emulated_machine.h"
#include "platform/posix/host_text.h"
#include "platform/posix/ini_text.h"
#include "platform/posix/machine_state.h"
#include "runtime/error.h"
#include "runtime/sjis.h"

namespace zarn {

namespace {

using posix::JoinHost;
using posix::RegistryStore;
using posix::RegNode;
using posix::RegValue;

const char kSessionManager[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const char kPendingRenames[] = "PendingFileRenameOperations";

std::string Sz(const std::string& s) { return s + '\0'; }

RegNode* MakeKey(RegNode& tree, const std::vector<std::string>& path) {
  RegNode* node = &tree;
  for (const std::string& p : path) node = node->AddChild(p);
  return node;
}

void Put(RegNode& node, const std::string& name, uint32_t type, const std::string& data) {
  if (RegValue* v = node.Value(name)) {
    v->type = type;
    v->data = data;
  } else {
    node.values.push_back({name, type, data});
  }
}

bool IsValidValueName(const std::string& name) {
  if (name.size() > 16383) return false;
  for (char c : name)
    if (c == '\0' || c == '\r' || c == '\n') return false;
  return true;
}

class EmulatedKey : public RegistryKey {
 public:
  EmulatedKey(RegistryStore& store, std::vector<std::string> path) : store_(store), path_(std::move(path)) {}

  bool QueryValue(const std::string& name, uint32_t& type, std::string& data) override {
    bool found = false;
    store_.Update(false, [&](RegNode& tree) {
      RegNode* node = RegistryStore::Find(tree, path_);
      RegValue* v = node ? node->Value(name) : nullptr;
      if (v) {
        type = v->type;
        data = v->data;
        found = true;
      }
      return false;
    });
    return found;
  }

  bool SetValue(const std::string& name, uint32_t type, const std::string& data) override {
    if (!IsValidValueName(name)) return false;
    // Text is stored with exactly one terminating NUL, however it was handed in.
    std::string stored = data;
    if (type == regSz || type == regExpandSz) {
      while (!stored.empty() && stored.back() == '\0') stored.pop_back();
      stored += '\0';
    }
    return store_.Update(true, [&](RegNode& tree) {
      RegNode* node = RegistryStore::Find(tree, path_);
      if (!node) return false;  // deleted meanwhile
      Put(*node, name, type, stored);
      return true;
    });
  }

  bool DeleteValue(const std::string& name) override {
    return store_.Update(true, [&](RegNode& tree) {
      RegNode* node = RegistryStore::Find(tree, path_);
      if (!node) return false;
      for (size_t i = 0; i < node->values.size(); ++i) {
        if (SameText(node->values[i].name, name)) {
          node->values.erase(node->values.begin() + static_cast<std::ptrdiff_t>(i));
          return true;
        }
      }
      return false;
    });
  }

  std::vector<std::string> SubKeyNames() override {
    std::vector<std::string> names;
    store_.Update(false, [&](RegNode& tree) {
      if (RegNode* node = RegistryStore::Find(tree, path_))
        for (const auto& child : node->children) names.push_back(child.second->name);
      return false;
    });
    return names;
  }

  std::vector<std::string> ValueNames() override {
    std::vector<std::string> names;
    store_.Update(false, [&](RegNode& tree) {
      if (RegNode* node = RegistryStore::Find(tree, path_))
        for (const RegValue& v : node->values) names.push_back(v.name);
      return false;
    });
    return names;
  }

  bool DeleteSubKeyTree(const std::string& path) override {
    std::vector<std::string> full = path_;
    if (path.empty() || !RegistryStore::SplitKey(path, full)) return false;
    return store_.Update(true, [&](RegNode& tree) {
      RegNode* parent = RegistryStore::Find(tree, {full.begin(), full.end() - 1});
      return parent && parent->children.erase(UpperCase(full.back())) > 0;
    });
  }

 private:
  RegistryStore& store_;
  std::vector<std::string> path_;
};

// ---- named mutexes

// A file name for a mutex name: letters, digits, "-", "_" and "." stay, every other byte
// becomes %XX; long names are cut and end in a hash of the whole name.
std::string MutexFileName(const std::string& name) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : name) {
    if (std::isalnum(c) || c == '-' || c == '_' || c == '.') {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kDigits[c >> 4];
      out += kDigits[c & 15];
    }
  }
  if (out.size() > 200) {
    uint64_t h = 1469598103934665603ULL;
    for (unsigned char c : name) h = (h ^ c) * 1099511628211ULL;
    char buf[24];
    std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(h));
    out = out.substr(0, 150) + "#" + buf;
  }
  return out + ".lock";
}

class FileLock {
 public:
  explicit FileLock(const std::string& path) : fd_(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666)) {
    int r = -1;
    while (fd_ >= 0 && (r = flock(fd_, LOCK_EX)) != 0 && errno == EINTR) continue;
    if (r != 0 && fd_ >= 0) {
      close(fd_);
      fd_ = -1;
    }
  }
  ~FileLock() {
    if (fd_ >= 0) close(fd_);
  }
  bool ok() const { return fd_ >= 0; }

 private:
  int fd_;
};

// The name a mutex has in the machine's one session: "Global\\" and "Local\\" name the
// same namespace; any other backslash (not a trail byte) makes the name invalid, as on
// Windows, and so does a name of MAX_PATH characters or more (characters, not bytes: a
// double-byte character is one). False for an invalid name.
bool MutexKey(const std::string& name, std::string& key) {
  key = name;
  for (const char* prefix : {"Global\\", "Local\\"})
    if (key.compare(0, std::strlen(prefix), prefix) == 0) key.erase(0, std::strlen(prefix));
  size_t characters = 0;
  for (size_t i = 0; i < key.size(); ++i, ++characters)
    if (IsLeadByte(static_cast<unsigned char>(key[i])) && i + 1 < key.size()) ++i;
  return !key.empty() && characters < 260 && FindDelimiter(key, '\\') == std::string::npos;
}

// Every holder keeps a shared lock on the mutex's file; whoever can take an exclusive lock
// is alone. The machine-wide guard lock keeps creators and testers from crossing.
class LockFileMutex : public NamedMutex {
 public:
  explicit LockFileMutex(int fd) : fd_(fd) {}
  ~LockFileMutex() override {
    if (fd_ >= 0) close(fd_);
  }

 private:
  int fd_;
};

// ---- modules

class PeModule : public Module {
 public:
  explicit PeModule(std::string host) : host_(std::move(host)) {}
  PeModule(std::string host, std::string image) : host_(std::move(host)), loaded_(true), image_(std::move(image)) {}

  bool FindResource(const std::string& name, const std::string& type, std::string& data) override {
    if (!loaded_) {
      loaded_ = true;
      LoadImage(host_, image_);
    }
    return !image_.empty() && FindPeResource(image_, name, type, data);
  }

  // Reads the part of a program file that the loader maps: the headers and sections,
  // without data appended after the last section. False when it is no PE file.
  static bool LoadImage(const std::string& host, std::string& image) {
    image.clear();
    int fd = ::open(host.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st;
    std::string head(4096, '\0');
    ssize_t got = fstat(fd, &st) == 0 ? pread(fd, &head[0], head.size(), 0) : -1;
    if (got < 64) {
      close(fd);
      return false;
    }
    head.resize(static_cast<size_t>(got));
    auto u16 = [&](size_t o) -> uint32_t {
      return o + 2 <= head.size() ? uint8_t(head[o]) | (uint8_t(head[o + 1]) << 8) : 0;
    };
    auto u32 = [&](size_t o) -> uint32_t { return o + 4 <= head.size() ? u16(o) | (u16(o + 2) << 16) : 0; };
    uint32_t lfanew = u32(0x3C);
    if (head[0] != 'M' || head[1] != 'Z' || lfanew + 24 > head.size() || u32(lfanew) != 0x4550) {
      close(fd);
      return false;
    }
    uint32_t sections = u16(lfanew + 6), optSize = u16(lfanew + 20);
    uint64_t table = uint64_t(lfanew) + 24 + optSize;
    uint64_t end = std::min<uint64_t>(head.size(), static_cast<uint64_t>(st.st_size));
    for (uint32_t i = 0; i < sections && i < 96; ++i) {
      uint64_t s = table + uint64_t(i) * 40;
      if (s + 40 > head.size()) break;
      uint64_t last = uint64_t(u32(s + 20)) + u32(s + 16);
      end = std::max(end, std::min<uint64_t>(last, static_cast<uint64_t>(st.st_size)));
    }
    image.resize(static_cast<size_t>(end));
    size_t done = 0;
    while (done < image.size()) {
      ssize_t n = pread(fd, &image[done], image.size() - done, static_cast<off_t>(done));
      if (n <= 0) break;
      done += static_cast<size_t>(n);
    }
    image.resize(done);
    close(fd);
    return true;
  }

 private:
  std::string host_;
  bool loaded_ = false;
  std::string image_;
};

// ---- shell log

std::string EscapeField(const std::string& s) {
  std::string r;
  for (char c : s) {
    if (c == '%' || c == '\t' || c == '\r' || c == '\n') {
      char buf[4];
      std::snprintf(buf, sizeof buf, "%%%02X", static_cast<unsigned char>(c));
      r += buf;
    } else {
      r += c;
    }
  }
  return r;
}

std::string UnescapeField(const std::string& s) {
  std::string r;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '%' && i + 2 < s.size() && std::isxdigit(static_cast<unsigned char>(s[i + 1])) &&
        std::isxdigit(static_cast<unsigned char>(s[i + 2]))) {
      r += static_cast<char>(std::stoi(s.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      r += s[i];
    }
  }
  return r;
}

// Entries of a REG_MULTI_SZ value (each string ends in NUL; one more NUL ends the list).
std::vector<std::string> MultiSz(const std::string& data) {
  std::vector<std::string> out;
  std::string d = data;
  if (!d.empty() && d.back() == '\0') d.pop_back();
  std::string cur;
  for (char c : d) {
    if (c == '\0') {
      out.push_back(cur);
      cur.clear();
    } else {
      cur += c;
    }
  }
  if (!cur.empty()) out.push_back(cur);
  return out;
}

}  // namespace

// ---- registry

void EmulatedMachine::SeedRegistry() {
  bool nt = !options_.win9x;
  std::string profile = ProfileDir();
  state_->registry->Update(true, [&](RegNode& tree) {
    std::vector<std::string> cv;
    state_->registry->KeyPath(RegRoot::LocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion", cv);
    RegNode* key = MakeKey(tree, cv);
    Put(*key, "ProgramFilesDir", regSz, Sz("C:\\Program Files"));
    Put(*key, "CommonFilesDir", regSz, Sz("C:\\Program Files\\Common Files"));
    std::vector<std::string> path;
    state_->registry->KeyPath(RegRoot::ClassesRoot, "", path);
    MakeKey(tree, path);
    std::vector<std::string> userKeys = {options_.win9x ? ".Default" : posix::kUserSid};
    if (nt) {
      userKeys.push_back(".Default");
      state_->registry->KeyPath(RegRoot::LocalMachine, "Software\\Microsoft\\Windows NT\\CurrentVersion", path);
      key = MakeKey(tree, path);
      Put(*key, "CurrentVersion", regSz, Sz("5.1"));
      Put(*key, "CurrentBuildNumber", regSz, Sz("2600"));
      path.push_back("ProfileList");
      path.push_back(posix::kUserSid);
      key = MakeKey(tree, path);
      Put(*key, "ProfileImagePath", regExpandSz,
          Sz(std::string("%SystemDrive%\\Documents and Settings\\") + posix::kUserName));
    }
    for (const std::string& user : userKeys) {
      path = {"HKEY_USERS", user, "Software", "Microsoft", "Windows", "CurrentVersion", "Explorer",
              "User Shell Folders"};
      key = MakeKey(tree, path);
      std::string base = nt ? "%USERPROFILE%" : profile;
      uint32_t type = nt ? regExpandSz : regSz;
      Put(*key, "AppData", type, Sz(base + "\\Application Data"));
      Put(*key, "Local AppData", type, Sz(base + "\\Local Settings\\Application Data"));
      Put(*key, "Desktop", type, Sz(base + "\\Desktop"));
      Put(*key, "Programs", type, Sz(base + "\\Start Menu\\Programs"));
      Put(*key, "Start Menu", type, Sz(base + "\\Start Menu"));
      Put(*key, "Personal", type, Sz(nt ? base + "\\My Documents" : "C:\\My Documents"));
    }
    return true;
  });
}

std::unique_ptr<RegistryKey> EmulatedMachine::OpenKey(RegRoot root, const std::string& path, bool create) {
  std::vector<std::string> full;
  if (!state_->registry->KeyPath(root, path, full)) return nullptr;
  bool found = false;
  state_->registry->Update(create, [&](RegNode& tree) {
    found = RegistryStore::Find(tree, full) != nullptr;
    if (found || !create) return false;
    MakeKey(tree, full);
    found = true;
    return true;
  });
  if (!found) return nullptr;
  return std::make_unique<EmulatedKey>(*state_->registry, full);
}

bool EmulatedMachine::DeleteKeyTree(RegRoot root, const std::string& path) {
  std::vector<std::string> full;
  if (path.empty() || !state_->registry->KeyPath(root, path, full)) return false;
  return state_->registry->Update(true, [&](RegNode& tree) {
    RegNode* parent = RegistryStore::Find(tree, {full.begin(), full.end() - 1});
    return parent && parent->children.erase(UpperCase(full.back())) > 0;
  });
}

// ---- processes

std::unique_ptr<NamedMutex> EmulatedMachine::CreateMutex(const std::string& name, bool& existed) {
  existed = false;
  if (name.empty()) return std::make_unique<LockFileMutex>(-1);  // unnamed: nobody else can see it
  std::string key;
  if (!MutexKey(name, key)) return nullptr;
  FileLock guard(JoinHost(state_->mutexDir, ".guard"));
  if (!guard.ok()) return nullptr;
  std::string file = JoinHost(state_->mutexDir, MutexFileName(key));
  int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return nullptr;
  existed = flock(fd, LOCK_EX | LOCK_NB) != 0;
  // Holders share the lock; under the guard nobody can slip in while it changes.
  if (flock(fd, LOCK_SH | LOCK_NB) != 0) {
    close(fd);
    return nullptr;
  }
  return std::make_unique<LockFileMutex>(fd);
}

bool EmulatedMachine::MutexExists(const std::string& name) {
  std::string key;
  if (!MutexKey(name, key)) return false;
  FileLock guard(JoinHost(state_->mutexDir, ".guard"));
  std::string file = JoinHost(state_->mutexDir, MutexFileName(key));
  int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  bool held = flock(fd, LOCK_EX | LOCK_NB) != 0;
  close(fd);
  return held;
}

intptr_t EmulatedMachine::ShellExecute(const std::string& verb, const std::string& file,
                                       const std::string& parameters, const std::string& directory, int show) {
  ShellRequest request{verb, file, parameters, directory, show, 2};
  // A relative file name is looked for in the given directory.
  posix::WinPath base = state_->current, where;
  Resolved dir;
  if (!directory.empty() && Resolve(directory, dir) && dir.IsDir()) base = dir.win;
  Resolved target;
  if (posix::ParseWinPath(file, base, where) && Resolve(where.Text(), target))
    request.result = target.exists ? 42 : target.parentExists ? 2 : 3;
  if (state_->shellLog.empty()) {
    state_->memoryShellLog.push_back(request);
  } else {
    std::string line = EscapeField(verb) + "\t" + EscapeField(file) + "\t" + EscapeField(parameters) + "\t" +
                       EscapeField(directory) + "\t" + std::to_string(show) + "\t" +
                       std::to_string(static_cast<long long>(request.result)) + "\n";
    int fd = ::open(state_->shellLog.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (fd >= 0) {
      ssize_t n = ::write(fd, line.data(), line.size());
      (void)n;
      close(fd);
    }
  }
  return request.result;
}

std::vector<ShellRequest> EmulatedMachine::ShellLog() {
  if (state_->shellLog.empty()) return state_->memoryShellLog;
  std::vector<ShellRequest> out;
  std::string text;
  if (!posix::ReadHostFile(state_->shellLog, text)) return out;
  for (const std::string& line : SplitDelimited(text, '\n')) {
    std::vector<std::string> f;
    size_t start = 0;
    for (size_t i = 0; i <= line.size(); ++i) {
      if (i == line.size() || line[i] == '\t') {
        f.push_back(line.substr(start, i - start));
        start = i + 1;
      }
    }
    if (f.size() != 6) continue;
    ShellRequest r;
    r.verb = UnescapeField(f[0]);
    r.file = UnescapeField(f[1]);
    r.parameters = UnescapeField(f[2]);
    r.directory = UnescapeField(f[3]);
    r.show = std::atoi(f[4].c_str());
    r.result = static_cast<intptr_t>(std::atoll(f[5].c_str()));
    out.push_back(r);
  }
  return out;
}

VersionInfo EmulatedMachine::Version() {
  VersionInfo v;
  if (options_.win9x) {
    v.major = 4;
    v.minor = 10;
    v.build = 2222;
    v.platformId = 1;
  } else {
    v.major = 5;
    v.minor = 1;
    v.build = 2600;
    v.platformId = 2;
  }
  return v;
}

void EmulatedMachine::Sleep(uint32_t milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

uint32_t EmulatedMachine::TickCount() {
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch());
  return static_cast<uint32_t>(ms.count());
}

std::string EmulatedMachine::EnvironmentVariable(const std::string& name) {
  for (const auto& v : state_->environment)
    if (SameText(v.first, name)) return v.second;
  return "";
}

// ---- delete at reboot and profile strings

std::string EmulatedMachine::IniHostPath(const std::string& file) {
  std::string path = file;
  if (FindDelimiter(file, '\\') == std::string::npos && file.find('/') == std::string::npos &&
      file.find(':') == std::string::npos)
    path = WindowsDirectory() + "\\" + file;
  Resolved r;
  if (!Resolve(path, r) || r.win.parts.empty() || r.IsDir()) return "";
  return r.host;
}

bool EmulatedMachine::WriteProfileString(const std::string& file, const std::string& section,
                                         const std::string& key, const std::string& value) {
  std::string host = IniHostPath(file);
  if (host.empty() || section.empty() || key.empty()) return false;
  std::string text;
  posix::ReadHostFile(host, text);
  return posix::WriteHostFileAtomic(host, posix::IniWrite(text, section, key, value));
}

std::string EmulatedMachine::ReadProfileString(const std::string& file, const std::string& section,
                                               const std::string& key, const std::string& defaultValue) {
  std::string host = IniHostPath(file), text, value;
  if (host.empty() || !posix::ReadHostFile(host, text) || !posix::IniRead(text, section, key, value))
    return defaultValue;
  return value;
}

bool EmulatedMachine::DeleteAtReboot(const std::string& path) {
  Resolved r;
  if (!Resolve(path, r) || r.win.parts.empty()) return false;
  posix::WinPath real = r.win;
  real.parts = r.names;
  if (options_.win9x) {
    std::string shortPath = ShortPath(path);
    return WriteProfileString("wininit.ini", "rename", "NUL", shortPath.empty() ? real.Text() : shortPath);
  }
  auto key = OpenKey(RegRoot::LocalMachine, kSessionManager, true);
  if (!key) return false;
  uint32_t type = 0;
  std::string data;
  if (!key->QueryValue(kPendingRenames, type, data) || type != regMultiSz) data.clear();
  if (!data.empty() && data.back() == '\0') data.pop_back();  // the list's final NUL
  data += "\\??\\" + real.Text() + '\0' + '\0' + '\0';        // source, empty target, end
  return key->SetValue(kPendingRenames, regMultiSz, data);
}

std::vector<std::string> EmulatedMachine::PendingDeletes() {
  std::vector<std::string> out;
  if (auto key = OpenKey(RegRoot::LocalMachine, kSessionManager, false)) {
    uint32_t type = 0;
    std::string data;
    if (key->QueryValue(kPendingRenames, type, data)) {
      std::vector<std::string> items = MultiSz(data);
      for (size_t i = 0; i + 1 < items.size(); i += 2) {
        if (!items[i + 1].empty()) continue;  // a rename, not a deletion
        std::string p = items[i];
        if (p.compare(0, 4, "\\??\\") == 0) p.erase(0, 4);
        out.push_back(p);
      }
    }
  }
  std::string host = IniHostPath("wininit.ini"), text;
  if (!host.empty() && posix::ReadHostFile(host, text))
    for (const auto& entry : posix::IniSection(text, "rename"))
      if (SameText(entry.first, "NUL")) out.push_back(entry.second);
  return out;
}

void EmulatedMachine::Restart() {
  state_->running.clear();
  for (const std::string& path : PendingDeletes()) {
    Resolved r;
    if (Resolve(path, r) && r.IsFile()) unlink(r.host.c_str());
  }
  if (auto key = OpenKey(RegRoot::LocalMachine, kSessionManager, false)) key->DeleteValue(kPendingRenames);
  std::string host = IniHostPath("wininit.ini"), text;
  if (!host.empty() && posix::ReadHostFile(host, text))
    posix::WriteHostFileAtomic(host, posix::IniRemoveSection(text, "rename"));
}

bool EmulatedMachine::HoldAsRunning(const std::string& path) {
  Resolved r;
  if (!Resolve(path, r) || !r.IsFile()) return false;
  auto handle = OpenFile(path, FileAccess::Read, FileShare::Read, FileCreate::OpenExisting, false);
  if (!handle) return false;
  state_->running[UpperCase(r.win.Text())] = std::move(handle);
  return true;
}

void EmulatedMachine::ReleaseRunning(const std::string& path) {
  Resolved r;
  if (Resolve(path, r)) state_->running.erase(UpperCase(r.win.Text()));
}

// ---- modules and text

std::string EmulatedMachine::ProgramFile() { return state_->programFile; }

std::unique_ptr<Module> EmulatedMachine::OwnModule() {
  // The running program always has its module; on Linux it may hold no PE resources.
  return std::make_unique<PeModule>(HostPath(state_->programFile));
}

std::unique_ptr<Module> EmulatedMachine::LoadModule(const std::string& path) {
  Resolved r;
  std::string image;
  if (!Resolve(path, r) || !r.IsFile() || !PeModule::LoadImage(r.host, image)) return nullptr;
  return std::make_unique<PeModule>(r.host, std::move(image));
}

std::string EmulatedMachine::SjisToUtf8(const std::string& s) { return HostUtf8(s); }

std::string HostUtf8(const std::string& sjis) { return posix::SjisToUtf8Lossy(sjis); }
std::string EmulatedMachine::Utf8ToSjis(const std::string& s) { return posix::Utf8ToSjisLossy(s); }

std::unique_ptr<Platform> CreateHostPlatform() {
  MachineOptions options;
  if (const char* root = std::getenv("ZARN_ROOT")) options.root = root;
  return std::make_unique<EmulatedMachine>(options);
}

// The emulated machine's files live on the Linux host, which takes CON or NUL as plain names.
const bool kHostRefusesDeviceNames = false;

}  // namespace zarn
