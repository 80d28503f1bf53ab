#include "platform/posix/emulated_machine.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "platform/posix/folder_index.h"
#include "platform/posix/host_file.h"
#include "platform/posix/host_text.h"
#include "platform/posix/machine_state.h"
#include "runtime/error.h"
#include "runtime/sjis.h"

namespace zarn {

namespace posix {

const char kUserSid[] = "S-1-5-21-1004336348-1177238915-682003330-1000";

std::string JoinHost(const std::string& folder, const std::string& name) {
  if (folder.empty() || folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

bool ReadHostFile(const std::string& host, std::string& data) {
  FILE* f = std::fopen(host.c_str(), "rb");
  if (!f) return false;
  data.clear();
  char buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) data.append(buf, n);
  bool ok = !std::ferror(f);
  std::fclose(f);
  return ok;
}

bool WriteHostFileAtomic(const std::string& host, const std::string& data) {
  std::string temp = host + ".~" + std::to_string(getpid());
  FILE* f = std::fopen(temp.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
  ok = std::fclose(f) == 0 && ok;
  if (!ok || std::rename(temp.c_str(), host.c_str()) != 0) {
    std::remove(temp.c_str());
    return false;
  }
  return true;
}

}  // namespace posix

namespace {

using posix::JoinHost;

const char kAttribXattr[] = "user.zarn.attrib";
constexpr uint32_t kStoredBits = faHidden | faSysFile | faArchive;

bool ReadStoredAttributes(const std::string& host, uint32_t& bits) {
  char buf[16];
  ssize_t n = getxattr(host.c_str(), kAttribXattr, buf, sizeof buf - 1);
  if (n <= 0) return false;
  buf[n] = 0;
  bits = static_cast<uint32_t>(std::strtoul(buf, nullptr, 10)) & kStoredBits;
  return true;
}

void StoreAttributes(const std::string& host, uint32_t bits) {
  std::string v = std::to_string(bits & kStoredBits);
  setxattr(host.c_str(), kAttribXattr, v.data(), v.size(), 0);  // none on some file systems
}

uint32_t AttributesOf(const std::string& host, const struct stat& st) {
  uint32_t stored = 0;
  bool has = ReadStoredAttributes(host, stored);
  uint32_t a;
  if (S_ISDIR(st.st_mode))
    a = faDirectory | (has ? stored : 0);
  else
    a = has ? stored : faArchive;
  if (!(st.st_mode & S_IWUSR)) a |= faReadOnly;
  return a == 0 ? faNormal : a;
}

int32_t DosTimeOf(time_t t) {
  struct tm tm {};
  localtime_r(&t, &tm);
  return ToDosDateTime({tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec});
}

bool MakeDirs(const std::string& host) {
  if (host.empty()) return false;
  struct stat st;
  if (stat(host.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
  size_t slash = host.find_last_of('/');
  if (slash != std::string::npos && slash > 0 && !MakeDirs(host.substr(0, slash))) return false;
  return mkdir(host.c_str(), 0777) == 0 || errno == EEXIST;
}

std::string Canonical(const std::string& host) {
  char buf[PATH_MAX];
  if (realpath(host.c_str(), buf)) return buf;
  return host;
}

// "X:" or "X:\" (or empty for the current drive) to a drive letter; 0 when not a root.
char RootLetter(const std::string& root, char current) {
  if (root.empty()) return current;
  if ((root.size() == 2 || (root.size() == 3 && (root[2] == '\\' || root[2] == '/'))) && root[1] == ':' &&
      std::isalpha(static_cast<unsigned char>(root[0])))
    return static_cast<char>(std::toupper(static_cast<unsigned char>(root[0])));
  return 0;
}

}  // namespace

EmulatedMachine::EmulatedMachine(const MachineOptions& options)
    : options_(options), faults_(std::make_shared<MachineFaults>()), state_(std::make_unique<State>()) {
  state_->started = std::chrono::steady_clock::now();
  Prepare();
}

EmulatedMachine::~EmulatedMachine() = default;

std::string EmulatedMachine::ProfileDir() const {
  return options_.win9x ? "C:\\WINDOWS" : std::string("C:\\Documents and Settings\\") + posix::kUserName;
}

bool EmulatedMachine::Resolve(const std::string& path, Resolved& out) {
  Resolved r;
  if (!posix::ParseWinPath(path, state_->current, r.win)) return false;
  const DriveMapping* drive = state_->Drive(r.win.drive);
  if (!drive) return false;
  const size_t count = r.win.parts.size();
  std::vector<std::string> given(count);  // host names as the path spells them
  for (size_t i = 0; i < count; ++i) {
    if (!posix::SjisToUtf8Strict(r.win.parts[i], given[i])) return false;
    // Windows holds 255 characters a name; the host holds 255 bytes of UTF-8, a third
    // of that in kanji. A name only Windows could hold ends the run with the reason
    // rather than silently naming nothing.
    if (given[i].size() > NAME_MAX) {
      if (posix::CharacterCount(r.win.parts[i]) > 255) return false;
      throw EZarnError(Format("ホストのファイルシステムは %d バイトを超える名前を扱えません (%s)",
                              NAME_MAX, r.win.parts[i]));
    }
  }

  // Most paths name what exists in the case they give, or a new entry of a folder that
  // does: one or two calls answer those; only the rest go component by component.
  struct stat st;
  std::string parentHost = drive->hostFolder;
  for (size_t i = 0; i + 1 < count; ++i) parentHost = JoinHost(parentHost, given[i]);
  std::string fullHost = count ? JoinHost(parentHost, given.back()) : parentHost;
  if (count > 0 && lstat(fullHost.c_str(), &st) == 0) {
    r.names = r.win.parts;
    r.host = fullHost;
    r.parentExists = true;
    r.link = S_ISLNK(st.st_mode) ? 1 : 0;
    if (!S_ISLNK(st.st_mode)) {
      r.st = st;  // what stat would give
      r.exists = true;
    } else {
      r.exists = stat(r.host.c_str(), &r.st) == 0;
    }
    out = std::move(r);
    return true;
  }
  if (count > 0 && stat(parentHost.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
    r.names = r.win.parts;
    std::string real;
    bool present = state_->names.Find(parentHost, st, given.back(), real) ||
                   state_->names.FindShort(parentHost, r.win.parts.back(), real);
    if (present) r.names.back() = posix::Utf8ToSjisLossy(real);
    else r.link = 0;  // the name as given is not there at all (lstat said so above)
    r.host = present ? JoinHost(parentHost, real) : fullHost;
    r.parentExists = true;
    r.exists = present && stat(r.host.c_str(), &r.st) == 0;
    out = std::move(r);
    return true;
  }

  std::string host = drive->hostFolder;
  bool present = true, parentPresent = true;
  for (size_t i = 0; i < count; ++i) {
    const std::string& name = given[i];
    if (i + 1 == count) parentPresent = present && stat(host.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    std::string real = name;
    if (present) {
      if (lstat(JoinHost(host, name).c_str(), &st) != 0 && !state_->names.Find(host, name, real) &&
          !state_->names.FindShort(host, r.win.parts[i], real))
        present = false;
    }
    host = JoinHost(host, real);
    r.names.push_back(real == name ? r.win.parts[i] : posix::Utf8ToSjisLossy(real));
  }
  r.host = host;
  r.parentExists = parentPresent;
  r.exists = present && stat(host.c_str(), &r.st) == 0;
  out = std::move(r);
  return true;
}

std::string EmulatedMachine::HostPath(const std::string& path) {
  Resolved r;
  return Resolve(path, r) ? r.host : std::string();
}

std::string EmulatedMachine::WindowsPath(const std::string& hostPath) {
  std::string host = hostPath;
  if (host.empty()) return "";
  if (host[0] != '/') {
    char cwd[PATH_MAX];
    if (!getcwd(cwd, sizeof cwd)) return "";
    host = JoinHost(cwd, host);
  }
  const DriveMapping* best = nullptr;
  for (const DriveMapping& d : state_->drives) {
    const std::string& f = d.hostFolder;
    bool inside = f == "/" || host == f || (host.compare(0, f.size(), f) == 0 && host[f.size()] == '/');
    if (inside && (!best || f.size() > best->hostFolder.size())) best = &d;
  }
  if (!best) return "";
  std::string rest = best->hostFolder == "/" ? host.substr(1) : host.substr(std::min(host.size(), best->hostFolder.size() + 1));
  posix::WinPath w;
  w.drive = best->letter;
  for (const std::string& part : SplitDelimited(rest, '/')) {
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (!w.parts.empty()) w.parts.pop_back();
      continue;
    }
    w.parts.push_back(posix::Utf8ToSjisLossy(part));
  }
  return w.Text();
}

void EmulatedMachine::Prepare() {
  State& s = *state_;
  const std::string& root = options_.root;
  if (!root.empty()) {
    if (!MakeDirs(root) || !MakeDirs(JoinHost(root, "drive_c")))
      throw EOSError(Format("マシンフォルダ %s を作成できません", root));
    // Every drive_<letter> folder of the machine is a fixed drive.
    if (DIR* d = opendir(root.c_str())) {
      while (struct dirent* e = readdir(d)) {
        std::string n = e->d_name;
        if (n.size() == 7 && n.compare(0, 6, "drive_") == 0 && n[6] >= 'a' && n[6] <= 'z') {
          DriveMapping m;
          m.letter = static_cast<char>(n[6] - 32);
          m.hostFolder = Canonical(JoinHost(root, n));
          s.drives.push_back(m);
        }
      }
      closedir(d);
    }
  }
  for (const DriveMapping& given : options_.drives) {
    DriveMapping m = given;
    m.letter = static_cast<char>(std::toupper(static_cast<unsigned char>(m.letter)));
    m.hostFolder = Canonical(m.hostFolder);
    s.drives.erase(std::remove_if(s.drives.begin(), s.drives.end(),
                                  [&](const DriveMapping& d) { return d.letter == m.letter; }),
                   s.drives.end());
    s.drives.push_back(m);
  }
  if (!s.Drive('Z')) {
    DriveMapping z;
    z.letter = 'Z';
    z.hostFolder = "/";
    s.drives.push_back(z);
  }
  std::sort(s.drives.begin(), s.drives.end(),
            [](const DriveMapping& a, const DriveMapping& b) { return a.letter < b.letter; });

  // The current directory: as given, else the host's working folder, else C:\.
  posix::WinPath fallback;
  fallback.drive = s.Drive('C') ? 'C' : s.drives.front().letter;
  s.current = fallback;
  std::string start = options_.currentDirectory;
  if (start.empty()) {
    char cwd[PATH_MAX];
    if (getcwd(cwd, sizeof cwd)) start = WindowsPath(cwd);
  }
  posix::WinPath w;
  if (!start.empty() && posix::ParseWinPath(start, fallback, w) && s.Drive(w.drive)) s.current = w;

  // The Windows folders of a fresh machine, made where missing.
  if (const DriveMapping* c = s.Drive('C')) {
    std::vector<std::string> folders = {"WINDOWS", "WINDOWS\\TEMP", "Program Files", "Program Files\\Common Files"};
    if (options_.win9x) {
      for (const char* f : {"WINDOWS\\SYSTEM", "WINDOWS\\Start Menu\\Programs", "WINDOWS\\Desktop",
                            "WINDOWS\\Application Data", "WINDOWS\\Local Settings\\Application Data", "My Documents"})
        folders.push_back(f);
    } else {
      std::string user = std::string("Documents and Settings\\") + posix::kUserName;
      for (const char* f : {"\\Start Menu\\Programs", "\\Desktop", "\\Application Data",
                            "\\Local Settings\\Application Data", "\\My Documents"})
        folders.push_back(user + f);
      for (const char* f : {"WINDOWS\\system32", "Documents and Settings\\All Users\\Start Menu\\Programs",
                            "Documents and Settings\\All Users\\Desktop"})
        folders.push_back(f);
    }
    for (const std::string& f : folders) {
      std::string utf8;
      posix::SjisToUtf8Strict(f, utf8);
      std::string host = c->hostFolder;
      for (const std::string& part : SplitDelimited(utf8, '\\')) {
        std::string real = part;
        std::string joined = JoinHost(host, part);
        struct stat st;
        if (lstat(joined.c_str(), &st) != 0 && posix::ScanNoCase(host, part, real)) joined = JoinHost(host, real);
        host = joined;
        if (stat(host.c_str(), &st) != 0) mkdir(host.c_str(), 0777);
      }
    }
  }

  // The program file: as given, else this executable.
  s.programFile = options_.programFile;
  if (s.programFile.empty()) s.programFile = WindowsPath(Canonical("/proc/self/exe"));

  // Environment of a logged-on user.
  std::string profile = ProfileDir();
  if (options_.win9x) {
    s.environment = {{"COMSPEC", "C:\\WINDOWS\\COMMAND.COM"},
                     {"PATH", "C:\\WINDOWS;C:\\WINDOWS\\COMMAND"},
                     {"PROMPT", "$p$g"},
                     {"TEMP", "C:\\WINDOWS\\TEMP"},
                     {"TMP", "C:\\WINDOWS\\TEMP"},
                     {"winbootdir", "C:\\WINDOWS"},
                     {"windir", "C:\\WINDOWS"}};
  } else {
    s.environment = {{"ALLUSERSPROFILE", "C:\\Documents and Settings\\All Users"},
                     {"APPDATA", profile + "\\Application Data"},
                     {"CommonProgramFiles", "C:\\Program Files\\Common Files"},
                     {"COMPUTERNAME", "ZARN"},
                     {"ComSpec", "C:\\WINDOWS\\system32\\cmd.exe"},
                     {"HOMEDRIVE", "C:"},
                     {"HOMEPATH", profile.substr(2)},
                     {"NUMBER_OF_PROCESSORS", "1"},
                     {"OS", "Windows_NT"},
                     {"Path", "C:\\WINDOWS\\system32;C:\\WINDOWS;C:\\WINDOWS\\System32\\Wbem"},
                     {"PATHEXT", ".COM;.EXE;.BAT;.CMD;.VBS;.VBE;.JS;.JSE;.WSF;.WSH"},
                     {"ProgramFiles", "C:\\Program Files"},
                     {"SystemDrive", "C:"},
                     {"SystemRoot", "C:\\WINDOWS"},
                     {"TEMP", "C:\\WINDOWS\\TEMP"},
                     {"TMP", "C:\\WINDOWS\\TEMP"},
                     {"USERDOMAIN", "ZARN"},
                     {"USERNAME", posix::kUserName},
                     {"USERPROFILE", profile},
                     {"windir", "C:\\WINDOWS"}};
  }

  // Registry, named mutexes and the shell log.
  std::string userKey = options_.win9x ? ".Default" : posix::kUserSid;
  std::string regFile = root.empty() ? "" : JoinHost(root, "system.reg");
  s.registry = std::make_unique<posix::RegistryStore>(regFile, userKey);
  if (s.registry->Existed())
    s.registry->Update(false, [](posix::RegNode&) { return false; });  // a damaged file fails here
  else
    SeedRegistry();
  if (root.empty()) {
    const char* tmp = std::getenv("TMPDIR");
    s.mutexDir = JoinHost(tmp && *tmp ? tmp : "/tmp", "zarn-mutex-" + std::to_string(getuid()));
  } else {
    s.mutexDir = JoinHost(root, "mutex");
    s.shellLog = JoinHost(root, "shell.log");
  }
  MakeDirs(s.mutexDir);
}

// ---- files

std::unique_ptr<FileHandle> EmulatedMachine::OpenFile(const std::string& path, FileAccess access, FileShare share,
                                                      FileCreate create, bool writeThrough) {
  Resolved r;
  if (!Resolve(path, r)) return nullptr;
  return OpenResolved(r, access, share, create, writeThrough);
}

std::unique_ptr<FileHandle> EmulatedMachine::OpenResolved(const Resolved& r, FileAccess access, FileShare share,
                                                          FileCreate create, bool writeThrough) {
  if (r.win.parts.empty() || r.win.trailingSeparator) return nullptr;
  bool created = !r.exists;
  if (r.exists) {
    if (r.IsDir() || create == FileCreate::CreateNew) return nullptr;
    // The read-only attribute refuses writing and truncation (root would be let through).
    if (r.ReadOnly() && (access != FileAccess::Read || create == FileCreate::CreateAlways)) return nullptr;
  } else if (create == FileCreate::OpenExisting || !r.parentExists) {
    return nullptr;
  }
  auto handle = posix::OpenHostFile(r.host, access, share, create, writeThrough, faults_);
  // Attributes stored on a file that was there go with its content (a file made by
  // CreateNew is new for sure).
  if (handle && create != FileCreate::CreateNew && (created || create == FileCreate::CreateAlways))
    removexattr(r.host.c_str(), kAttribXattr);
  return handle;
}

bool EmulatedMachine::FileExists(const std::string& path) {
  Resolved r;
  return Resolve(path, r) && r.IsFile();
}

bool EmulatedMachine::DirectoryExists(const std::string& path) {
  Resolved r;
  return Resolve(path, r) && r.IsDir();
}

bool EmulatedMachine::CopyFile(const std::string& source, const std::string& target, bool failIfExists) {
  Resolved src, dst;
  if (!Resolve(source, src) || !src.IsFile() || !Resolve(target, dst) || dst.win.parts.empty() ||
      dst.win.trailingSeparator)
    return false;
  if (dst.exists) {
    if (failIfExists || dst.IsDir() || dst.ReadOnly()) return false;
    if (dst.st.st_dev == src.st.st_dev && dst.st.st_ino == src.st.st_ino) return false;  // the file itself
  }
  // Opened from what was resolved above: the copy is made where the checks were made.
  auto in = OpenResolved(src, FileAccess::Read, FileShare::Read, FileCreate::OpenExisting, false);
  if (!in) return false;
  auto out = OpenResolved(dst, FileAccess::Write, FileShare::None, FileCreate::CreateAlways, false);
  if (!out) return false;
  // A buffer no larger than the file needs (and left unfilled): most files are small.
  const int64_t bufferSize = std::max<int64_t>(4096, std::min<int64_t>(src.st.st_size + 1, 1 << 20));
  std::unique_ptr<char[]> buffer(new char[static_cast<size_t>(bufferSize)]);
  bool ok = true;
  for (;;) {
    int64_t n = in->Read(buffer.get(), bufferSize);
    if (n < 0) ok = false;
    if (n <= 0) break;
    if (out->Write(buffer.get(), n) != n) {
      ok = false;
      break;
    }
  }
  out.reset();
  Resolved& written = dst;  // the file was opened, or made, at this host path
  if (!ok) {
    // Like Windows, a copy that failed leaves no partial file behind.
    unlink(written.host.c_str());
    return false;
  }
  // The copy keeps the source's last-write time and attributes.
  struct timespec times[2];
  times[0].tv_nsec = UTIME_OMIT;
  times[1] = src.st.st_mtim;
  utimensat(AT_FDCWD, written.host.c_str(), times, 0);
  uint32_t attributes = AttributesOf(src.host, src.st);
  StoreAttributes(written.host, (attributes & kStoredBits) | faArchive);
  if (attributes & faReadOnly) chmod(written.host.c_str(), src.st.st_mode & 07777);
  return true;
}

namespace {
bool IsHostLink(const std::string& host) {
  struct stat st;
  return lstat(host.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}
}  // namespace

bool EmulatedMachine::DeleteFile(const std::string& path) {
  Resolved r;
  if (!Resolve(path, r) || r.win.parts.empty()) return false;
  // A link to a file, or to nothing, goes as a link, as DeleteFile treats one on Windows.
  if (!r.IsDir() && IsHostLink(r.host)) return unlink(r.host.c_str()) == 0;
  if (!r.IsFile() || r.ReadOnly()) return false;
  if (posix::HostFileInUse(r.host)) return false;  // sharing violation
  return unlink(r.host.c_str()) == 0;
}

bool EmulatedMachine::MoveFile(const std::string& source, const std::string& target) {
  Resolved src, dst;
  if (!Resolve(source, src) || !src.exists || src.win.parts.empty() || !Resolve(target, dst) ||
      dst.win.parts.empty() || !dst.parentExists)
    return false;
  if (src.IsFile() && src.win.trailingSeparator) return false;
  // Renaming to another case of the same name is allowed; any other existing target is not.
  if (dst.exists && !(dst.st.st_dev == src.st.st_dev && dst.st.st_ino == src.st.st_ino)) return false;
  if (!src.IsDir() && posix::HostFileInUse(src.host)) return false;
  std::string host = dst.host;
  if (dst.exists) {
    // Same file: rename the last component to the spelling asked for.
    std::string name;
    if (!posix::SjisToUtf8Strict(dst.win.parts.back(), name)) return false;
    host = JoinHost(dst.host.substr(0, dst.host.find_last_of('/')), name);
  }
  if (rename(src.host.c_str(), host.c_str()) == 0) return true;
  if (errno != EXDEV || src.IsDir()) return false;
  // Between drives a file is copied and the original removed.
  if (!CopyFile(source, target, true)) return false;
  if (src.ReadOnly()) chmod(src.host.c_str(), src.st.st_mode | S_IWUSR);
  return unlink(src.host.c_str()) == 0;
}

bool EmulatedMachine::ReplaceFile(const std::string& source, const std::string& target) {
  Resolved src, dst;
  if (!Resolve(source, src) || !src.IsFile() || !Resolve(target, dst) || dst.win.parts.empty() ||
      !dst.parentExists || dst.win.trailingSeparator)
    return false;
  if (!dst.exists) return MoveFile(source, target);
  if (dst.IsDir() || dst.ReadOnly() || posix::HostFileInUse(src.host) || posix::HostFileInUse(dst.host)) return false;
  // rename(2) swaps the name over in one step within a drive.
  if (rename(src.host.c_str(), dst.host.c_str()) == 0) return true;
  if (errno != EXDEV) return false;
  return CopyFile(source, target, false) && DeleteFile(source);
}

uint32_t EmulatedMachine::GetFileAttributes(const std::string& path) {
  Resolved r;
  if (!Resolve(path, r)) return faInvalid;
  // A host symlink shows as a reparse point, as a link or junction does on Windows, even
  // when it leads nowhere (writing through it would create its target).
  struct stat link;
  bool isLink = r.link >= 0 ? r.link == 1 : lstat(r.host.c_str(), &link) == 0 && S_ISLNK(link.st_mode);
  if (!r.exists) return isLink ? static_cast<uint32_t>(faReparsePoint) : static_cast<uint32_t>(faInvalid);
  if (r.win.trailingSeparator && !r.IsDir()) return faInvalid;
  uint32_t a = AttributesOf(r.host, r.st);
  if (isLink) a = (a == faNormal ? 0 : a) | faReparsePoint;
  return a;
}

bool EmulatedMachine::SetFileAttributes(const std::string& path, uint32_t attributes) {
  Resolved r;
  if (!Resolve(path, r) || !r.exists || (r.win.trailingSeparator && !r.IsDir())) return false;
  mode_t mode = r.st.st_mode & 07777;
  mode = (attributes & faReadOnly) ? mode & ~(S_IWUSR | S_IWGRP | S_IWOTH) : mode | S_IWUSR;
  if (chmod(r.host.c_str(), mode) != 0) return false;
  StoreAttributes(r.host, attributes);
  return true;
}

int32_t EmulatedMachine::FileAge(const std::string& path) {
  Resolved r;
  if (!Resolve(path, r) || !r.IsFile()) return -1;
  return DosTimeOf(r.st.st_mtim.tv_sec);
}

bool EmulatedMachine::SetFileAge(const std::string& path, int32_t dosTime) {
  Resolved r;
  if (!Resolve(path, r) || !r.IsFile()) return false;
  LocalTime t = FromDosDateTime(dosTime);
  if (t.month < 1 || t.month > 12 || t.day < 1 || t.day > 31 || t.hour > 23 || t.minute > 59 || t.second > 59)
    return false;
  struct tm tm {};
  tm.tm_year = t.year - 1900;
  tm.tm_mon = t.month - 1;
  tm.tm_mday = t.day;
  tm.tm_hour = t.hour;
  tm.tm_min = t.minute;
  tm.tm_sec = t.second;
  tm.tm_isdst = -1;
  time_t when = mktime(&tm);
  if (when == static_cast<time_t>(-1)) return false;
  struct timespec times[2];
  times[0].tv_nsec = UTIME_OMIT;
  times[1].tv_sec = when;
  times[1].tv_nsec = 0;
  return utimensat(AT_FDCWD, r.host.c_str(), times, 0) == 0;
}

bool EmulatedMachine::ListDirectory(const std::string& folder, std::vector<DirEntry>& entries) {
  entries.clear();
  Resolved r;
  if (!Resolve(folder, r) || !r.IsDir()) return false;
  DIR* d = opendir(r.host.c_str());
  if (!d) return false;
  while (struct dirent* e = readdir(d)) {
    std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    std::string host = JoinHost(r.host, name);
    struct stat st;
    if (stat(host.c_str(), &st) != 0) continue;  // a dangling link
    DirEntry entry;
    entry.name = posix::Utf8ToSjisLossy(name);
    entry.attributes = AttributesOf(host, st);
    struct stat link;
    bool isLink = e->d_type == DT_LNK ||
                  (e->d_type == DT_UNKNOWN && lstat(host.c_str(), &link) == 0 && S_ISLNK(link.st_mode));
    if (isLink) entry.attributes = (entry.attributes == faNormal ? 0 : entry.attributes) | faReparsePoint;
    entry.size = S_ISDIR(st.st_mode) ? 0 : static_cast<int64_t>(st.st_size);
    entry.dosTime = DosTimeOf(st.st_mtim.tv_sec);
    entries.push_back(entry);
  }
  closedir(d);
  return true;
}

bool EmulatedMachine::CreateDirectory(const std::string& path) {
  Resolved r;
  if (!Resolve(path, r) || r.win.parts.empty() || r.exists || !r.parentExists) return false;
  return mkdir(r.host.c_str(), 0777) == 0;
}

bool EmulatedMachine::RemoveDirectory(const std::string& path) {
  Resolved r;
  if (!Resolve(path, r) || !r.IsDir() || r.win.parts.empty()) return false;
  // A link to a folder is removed as a link, as a directory symlink or junction is on
  // Windows; what it leads to stays.
  if (IsHostLink(r.host)) return unlink(r.host.c_str()) == 0;
  if (r.ReadOnly()) return false;
  // The current directory (or a folder above it) is in use.
  const posix::WinPath& cur = state_->current;
  if (cur.drive == r.win.drive && cur.parts.size() >= r.win.parts.size()) {
    bool above = true;
    for (size_t i = 0; i < r.win.parts.size() && above; ++i) above = SameText(cur.parts[i], r.win.parts[i]);
    if (above) return false;
  }
  return rmdir(r.host.c_str()) == 0;
}

std::string EmulatedMachine::GetCurrentDirectory() {
  posix::WinPath w = state_->current;
  w.trailingSeparator = false;
  return w.Text();
}

bool EmulatedMachine::SetCurrentDirectory(const std::string& path) {
  Resolved r;
  if (!Resolve(path, r) || !r.IsDir()) return false;
  state_->current = r.win;
  state_->current.parts = r.names;
  state_->current.trailingSeparator = false;
  return true;
}

// ---- system folders and drives

std::string EmulatedMachine::TempPath() {
  if (state_->Drive('C')) return "C:\\WINDOWS\\TEMP\\";
  const char* tmp = std::getenv("TMPDIR");
  std::string w = WindowsPath(Canonical(tmp && *tmp ? tmp : "/tmp"));
  if (w.empty()) w = GetCurrentDirectory();
  return EndsWithDelimiter(w, '\\') ? w : w + "\\";
}

std::string EmulatedMachine::WindowsDirectory() { return "C:\\WINDOWS"; }

std::string EmulatedMachine::SystemDirectory() {
  return options_.win9x ? "C:\\WINDOWS\\SYSTEM" : "C:\\WINDOWS\\system32";
}

bool EmulatedMachine::SpecialFolder(int csidl, std::string& path) {
  if (!state_->Drive('C')) return false;
  std::string profile = ProfileDir();
  std::string common = options_.win9x ? profile : "C:\\Documents and Settings\\All Users";
  switch (csidl) {
    case csidlDesktop:
    case csidlDesktopDirectory: path = profile + "\\Desktop"; break;
    case csidlPrograms: path = profile + "\\Start Menu\\Programs"; break;
    case csidlStartMenu: path = profile + "\\Start Menu"; break;
    case csidlPersonal: path = options_.win9x ? "C:\\My Documents" : profile + "\\My Documents"; break;
    case csidlAppData: path = profile + "\\Application Data"; break;
    case csidlLocalAppData: path = profile + "\\Local Settings\\Application Data"; break;
    case csidlCommonStartMenu: path = common + "\\Start Menu"; break;
    case csidlCommonPrograms: path = common + "\\Start Menu\\Programs"; break;
    case csidlCommonDesktopDirectory: path = common + "\\Desktop"; break;
    case csidlWindows: path = WindowsDirectory(); break;
    case csidlSystem: path = SystemDirectory(); break;
    case csidlProgramFiles: path = "C:\\Program Files"; break;
    default: return false;
  }
  return true;
}

bool EmulatedMachine::DiskFreeSpaceEx(const std::string& path, DiskSpace& space) {
  Resolved r;
  if (!Resolve(path, r) || !r.IsDir()) return false;
  struct statvfs vfs;
  if (statvfs(r.host.c_str(), &vfs) != 0) return false;
  space.freeToCaller = static_cast<int64_t>(vfs.f_bavail) * static_cast<int64_t>(vfs.f_frsize);
  space.totalFree = static_cast<int64_t>(vfs.f_bfree) * static_cast<int64_t>(vfs.f_frsize);
  space.total = static_cast<int64_t>(vfs.f_blocks) * static_cast<int64_t>(vfs.f_frsize);
  int64_t limit = faults_->diskFreeBytes.load();
  if (limit >= 0) {
    space.freeToCaller = std::min(space.freeToCaller, limit);
    space.totalFree = std::min(space.totalFree, limit);
  }
  return true;
}

bool EmulatedMachine::DiskFreeSpace(const std::string& root, DiskClusters& clusters) {
  char letter = RootLetter(root, state_->current.drive);
  DiskSpace space;
  if (!letter || !DiskFreeSpaceEx(std::string(1, letter) + ":\\", space)) return false;
  struct statvfs vfs;
  statvfs(state_->Drive(letter)->hostFolder.c_str(), &vfs);
  uint32_t clusterBytes = vfs.f_frsize >= 512 && vfs.f_frsize <= 65536 ? static_cast<uint32_t>(vfs.f_frsize) : 4096;
  clusters.bytesPerSector = 512;
  clusters.sectorsPerCluster = clusterBytes / 512;
  // NT reports up to 2^32-1 clusters; the 9x family caps the answer at 2 GB.
  int64_t cap = options_.win9x ? 0x7FFFFFFF / clusterBytes : 0xFFFFFFFFLL;
  clusters.freeClusters = static_cast<uint32_t>(std::min<int64_t>(space.freeToCaller / clusterBytes, cap));
  clusters.totalClusters = static_cast<uint32_t>(std::min<int64_t>(space.total / clusterBytes, cap));
  return true;
}

uint32_t EmulatedMachine::LogicalDrives() {
  uint32_t bits = 0;
  for (const DriveMapping& d : state_->drives) bits |= 1u << (d.letter - 'A');
  return bits;
}

uint32_t EmulatedMachine::DriveType(const std::string& root) {
  char letter = RootLetter(root, state_->current.drive);
  const DriveMapping* d = letter ? state_->Drive(letter) : nullptr;
  return d ? d->type : dtNoRoot;
}

std::string EmulatedMachine::VolumeLabel(const std::string& root) {
  char letter = RootLetter(root, state_->current.drive);
  const DriveMapping* d = letter ? state_->Drive(letter) : nullptr;
  return d ? d->label : "";
}

std::string EmulatedMachine::ShortPath(const std::string& path) {
  Resolved r;
  if (!Resolve(path, r) || !r.exists) return "";
  posix::WinPath out;
  out.drive = r.win.drive;
  std::string host = state_->Drive(r.win.drive)->hostFolder;
  for (const std::string& name : r.names) {
    std::string hostName;
    posix::SjisToUtf8Strict(name, hostName);
    std::string shortName = name;
    if (!posix::IsShortName(name)) {
      std::string made = state_->names.ShortNameOf(host, hostName);
      if (!made.empty()) shortName = made;
    }
    out.parts.push_back(shortName);
    host = JoinHost(host, hostName);
  }
  std::string text = out.Text();
  if (r.win.trailingSeparator) text += "\\";
  return text;
}

}  // namespace zarn
