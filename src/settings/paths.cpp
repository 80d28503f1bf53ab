#include "settings/paths.h"

#include <vector>

#include "runtime/error.h"
#include "runtime/sjis.h"
#include "settings/ownership.h"

namespace zarn {

namespace {

// Position of the last byte of `set` that is a character of its own, or npos.
size_t LastOf(const std::string& s, const char* set) {
  size_t found = std::string::npos;
  for (size_t i = 0; i < s.size(); ++i) {
    if (IsLeadByte(static_cast<unsigned char>(s[i]))) {
      ++i;
      continue;
    }
    for (const char* p = set; *p; ++p)
      if (s[i] == *p) found = i;
  }
  return found;
}

bool StartsWith(const std::string& s, const std::string& prefix) { return s.compare(0, prefix.size(), prefix) == 0; }

// Registry data of a string value without its terminating NUL.
std::string StringData(const std::string& data) {
  if (!data.empty() && data.back() == '\0') return data.substr(0, data.size() - 1);
  return data;
}

const char kCurrentVersionKey[] = "Software\\Microsoft\\Windows\\CurrentVersion";
const char kProfileListKey[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
const char kShellFoldersKey[] = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
const uint32_t kClassicAttributes = faReadOnly | faHidden | faSysFile | faVolumeID | faDirectory | faArchive;

}  // namespace

// ---- paths

void ParentDir(std::string& path) {
  if (path.empty()) return;
  if (EndsWithDelimiter(path, '\\')) path.pop_back();
  size_t p = LastBackslash(path);
  path = p == std::string::npos ? std::string() : path.substr(0, p);
}

std::string ExtractFileExt(const std::string& path) {
  size_t p = LastOf(path, ".\\:");
  return p != std::string::npos && path[p] == '.' ? path.substr(p) : std::string();
}

std::string ExtractFileName(const std::string& path) {
  size_t p = LastOf(path, "\\:");
  return p == std::string::npos ? path : path.substr(p + 1);
}

std::string ExtractFileDrive(const std::string& path) {
  if (path.size() >= 2 && path[1] == ':') return path.substr(0, 2);
  if (path.size() >= 2 && path[0] == '\\' && path[1] == '\\') {
    // \\server\share: up to the backslash after the share name.
    size_t server = FindDelimiter(path, '\\', 2);
    if (server == std::string::npos) return path;
    size_t share = FindDelimiter(path, '\\', server + 1);
    return share == std::string::npos ? path : path.substr(0, share);
  }
  return std::string();
}

std::string FormatThousands(int64_t value) {
  std::string digits = IntToStr(value);
  std::string sign;
  if (!digits.empty() && digits[0] == '-') {
    sign = "-";
    digits.erase(0, 1);
  }
  std::string out;
  size_t lead = digits.size() % 3;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i != 0 && (i + 3 - lead) % 3 == 0) out += ',';
    out += digits[i];
  }
  return sign + out;
}

// ---- files

void ListFiles(Platform& platform, const std::string& folder, uint16_t mask, bool includePlain,
               const std::string& ext, bool clearAttributes, bool folderSlash, bool recurse, TStringList& list,
               bool clearList) {
  std::string dir = AddBackslash(folder);
  if (clearList) list.Clear();
  std::vector<DirEntry> entries;
  if (!platform.ListDirectory(dir, entries)) return;
  for (const DirEntry& e : entries) {
    if (e.name == "." || e.name == "..") continue;
    std::string full = dir + e.name;
    const bool isFolder = (e.attributes & faDirectory) != 0;
    if (clearAttributes && (e.attributes & (faReadOnly | faHidden)) != 0)
      platform.SetFileAttributes(full, e.attributes & ~static_cast<uint32_t>(faReadOnly | faHidden));
    if (isFolder && folderSlash) full = AddBackslash(full);

    if (isFolder) {
      if (mask & faDirectory) list.Add(full);
    } else {
      const bool included = (mask & e.attributes) != 0 || ((e.attributes & kClassicAttributes) == 0 && includePlain);
      if (included && (ext.empty() || SameText(ext, ExtractFileExt(e.name)))) list.Add(full);
    }
    if (recurse && isFolder)
      ListFiles(platform, full, mask, includePlain, ext, clearAttributes, true, true, list, false);
  }
}

bool CopyIfChanged(Platform& platform, const std::string& source, const std::string& target, bool compare) {
  if (compare && platform.FileExists(target) && platform.FileAge(source) == platform.FileAge(target)) {
    std::unique_ptr<FileHandle> src = platform.OpenFile(source, FileAccess::Read, FileShare::Read,
                                                        FileCreate::OpenExisting);
    if (src) {
      THandleStream s(src.get());
      int64_t sourceSize = s.Size();
      TFileStream t(platform, target, fmOpenRead | fmShareDenyWrite);
      if (sourceSize == t.Size()) return true;
    }
  }
  return platform.CopyFile(source, target, false);
}

int64_t FileSizeOf(Platform& platform, const std::string& path) {
  std::unique_ptr<FileHandle> h = platform.OpenFile(path, FileAccess::Read, FileShare::ReadWrite,
                                                    FileCreate::OpenExisting);
  if (!h) return 0;
  THandleStream s(h.get());
  int64_t size = s.Size();
  return size < 0 ? 0 : size;
}

bool RemoveLinkAt(Platform& platform, const std::string& path) {
  uint32_t attr = platform.GetFileAttributes(path);
  if (attr == faInvalid || !(attr & faReparsePoint)) return false;
  if ((attr & faDirectory) ? platform.RemoveDirectory(path) : platform.DeleteFile(path)) return true;
  throw EFCreateError(Format("%s\r\nリンクを削除できません", path));
}

namespace {

// The temporary name beside `path`, cleared of whatever an earlier run left there; a link
// goes as a link.
std::string ClearedTemporary(Platform& platform, const std::string& path) {
  const std::string temp = path + ".tmp";
  uint32_t attr = platform.GetFileAttributes(temp);
  if (attr != faInvalid && !RemoveLinkAt(platform, temp) && !(attr & faDirectory)) {
    if (attr & faReadOnly) platform.SetFileAttributes(temp, attr & ~faReadOnly);
    platform.DeleteFile(temp);
  }
  return temp;
}

// Swaps the finished temporary file in for `path` when `ready`: a link at `path` is
// replaced, never written through. The temporary file is removed when that fails.
bool SwapIn(Platform& platform, const std::string& temp, const std::string& path, bool ready) {
  bool ok = ready;
  try {
    if (ok) {
      RemoveLinkAt(platform, path);
      ok = platform.ReplaceFile(temp, path);
    }
  } catch (...) {
    platform.DeleteFile(temp);
    throw;
  }
  if (!ok) platform.DeleteFile(temp);
  return ok;
}

}  // namespace

void WriteFileReplacing(Platform& platform, const std::string& path, const void* data, int64_t size) {
  const std::string temp = ClearedTemporary(platform, path);
  auto h = platform.OpenFile(temp, FileAccess::Write, FileShare::None, FileCreate::CreateNew);
  if (!h) throw EFCreateError(Format("ファイル %s を作成できません", temp));
  bool ok = (size == 0 || h->Write(data, size) == size) && h->Flush();
  std::string reason = ok ? std::string() : h->ErrorReason();
  h.reset();
  if (!SwapIn(platform, temp, path, ok))
    throw EWriteError(StreamFailure(Format("ファイル %s に書き込めません", path), reason));
}

bool CopyFileReplacing(Platform& platform, const std::string& source, const std::string& path) {
  const std::string temp = ClearedTemporary(platform, path);
  bool ok = platform.CopyFile(source, temp, true);
  if (ok) {
    auto h = platform.OpenFile(temp, FileAccess::Write, FileShare::None, FileCreate::OpenExisting);
    ok = h && h->Flush();
  }
  return SwapIn(platform, temp, path, ok);
}

// ---- registry

bool ReadRegStr(RegistryKey& key, const std::string& name, std::string& out, uint32_t typeA, uint32_t typeB) {
  uint32_t type = regNone;
  std::string data;
  if (!key.QueryValue(name, type, data)) return false;
  if (type != typeA && type != typeB) return false;
  out = StringData(data);
  return true;
}

std::string ProductKeyPath(const std::string& registryKey) {
  // A key of the system or of another program (or Software itself) is never touched.
  if (!IsOwnedRegistryKey(registryKey)) return std::string();
  std::string rel = registryKey;
  if (!rel.empty() && rel[0] == '\\') rel.erase(0, 1);
  return "Software\\" + rel;
}

std::string ProductKeyReadString(Platform& platform, const std::string& registryKey, const std::string& name,
                                 const std::string& defaultValue) {
  std::string path = ProductKeyPath(registryKey);
  if (path.empty()) return defaultValue;
  std::unique_ptr<RegistryKey> key = platform.OpenKey(RegRoot::CurrentUser, path, false);
  if (!key) return defaultValue;
  uint32_t type = regNone;
  std::string data;
  if (!key->QueryValue(name, type, data)) return defaultValue;
  if (type != regSz && type != regExpandSz)
    throw ERegistryError(Format("レジストリの値 %s の型が正しくありません", name));
  return StringData(data);
}

void ProductKeyWriteString(Platform& platform, const std::string& registryKey, const std::string& name,
                           const std::string& value) {
  std::string path = ProductKeyPath(registryKey);
  if (path.empty()) return;
  std::unique_ptr<RegistryKey> key = platform.OpenKey(RegRoot::CurrentUser, path, true);
  if (!key) throw ERegistryError(Format("レジストリキー HKEY_CURRENT_USER\\%s を作成できません", path));
  if (!key->SetValue(name, regSz, value + std::string(1, '\0')))
    throw ERegistryError(Format("レジストリの値 %s を書き込めません", name));
}

void ProductKeyDelete(Platform& platform, const std::string& registryKey) {
  std::string path = ProductKeyPath(registryKey);
  if (path.empty()) return;
  std::string rel = path.substr(9);  // below "Software\"
  std::unique_ptr<RegistryKey> software = platform.OpenKey(RegRoot::CurrentUser, "Software", false);
  if (!software) return;
  software->DeleteSubKeyTree(rel);
  std::string parent = rel;
  ParentDir(parent);
  while (!parent.empty() && parent.find_first_not_of('\\') != std::string::npos) {
    {
      std::unique_ptr<RegistryKey> key = platform.OpenKey(RegRoot::CurrentUser, "Software\\" + parent, false);
      if (!key || !key->SubKeyNames().empty() || !key->ValueNames().empty()) break;
    }  // closed before it is deleted
    if (!software->DeleteSubKeyTree(parent)) break;
    ParentDir(parent);
  }
}

// ---- system

bool MutexExists(Platform& platform, const std::string& name) { return platform.MutexExists(name); }

std::string SpecialFolderPath(Platform& platform, int csidl) {
  std::string result;
  if (csidl == csidlProgramFiles) {
    if (platform.Version().major < 4) return result;
    std::unique_ptr<RegistryKey> key = platform.OpenKey(RegRoot::LocalMachine, kCurrentVersionKey, false);
    if (key) ReadRegStr(*key, "ProgramFilesDir", result, regExpandSz, regSz);
    return result;
  }
  if (!platform.SpecialFolder(csidl, result))
    throw EOSError(Format("特殊フォルダ (%d) の場所を取得できません", csidl));
  return result;
}

std::string SystemDrive(Platform& platform) { return ExtractFileDrive(platform.SystemDirectory()); }

std::string CleanFolderName(const std::string& name) {
  std::string clean = name;
  for (char c : std::string("\\/:,;*?\"<>|")) clean = ReplaceDelimiter(clean, c, '_');
  return clean;
}

int UserAppDataDirs(Platform& platform, const std::string& name, TStringList& list) {
  if (platform.Version().platformId != 2 || name.empty()) return 0;
  // A name that would be the application-data folder itself or one above it has none.
  const std::string clean = SaveFolderName(name);
  if (clean.empty()) return 0;
  std::unique_ptr<RegistryKey> profiles = platform.OpenKey(RegRoot::LocalMachine, kProfileListKey, false);
  if (!profiles) return 0;

  struct Profile {
    std::string sid, path;
  };
  std::vector<Profile> found;
  for (const std::string& sid : profiles->SubKeyNames()) {
    std::unique_ptr<RegistryKey> key =
        platform.OpenKey(RegRoot::LocalMachine, std::string(kProfileListKey) + "\\" + sid, false);
    std::string path;
    if (!key || !ReadRegStr(*key, "ProfileImagePath", path, regExpandSz, regSz) || path.empty()) continue;
    const std::string var = "%SystemDrive%";
    if (StartsWith(path, var)) path.replace(0, var.size(), SystemDrive(platform));
    if (!platform.DirectoryExists(path)) continue;
    if (EndsWithDelimiter(path, '\\')) path.pop_back();
    found.push_back({sid, path});
  }

  for (const Profile& p : found) {
    std::unique_ptr<RegistryKey> key = platform.OpenKey(RegRoot::Users, p.sid + kShellFoldersKey, false);
    if (!key) key = platform.OpenKey(RegRoot::Users, std::string(".Default") + kShellFoldersKey, false);
    std::string local;
    if (!key || !ReadRegStr(*key, "Local AppData", local, regExpandSz, regSz)) continue;
    const std::string var = "%USERPROFILE%";
    if (!StartsWith(local, var)) continue;
    local.replace(0, var.size(), p.path);
    std::string dir = AddBackslash(local) + clean + "\\";
    if (platform.DirectoryExists(dir)) list.Add(dir);
  }
  return list.Count();
}

namespace {

// Adds NUL=<short path> to [rename] of wininit.ini, after the section's other lines.
void ScheduleWininitDelete(Platform& platform, const std::string& path) {
  std::string shortPath = platform.ShortPath(path);
  if (shortPath.empty()) return;
  const std::string file = AddBackslash(platform.WindowsDirectory()) + "wininit.ini";
  std::string text;
  if (platform.FileExists(file)) {
    TMemoryStream m;
    LoadFileToStream(platform, file, m);
    text = m.ToString();
  }
  const std::string line = "NUL=" + shortPath + "\r\n";

  // Find [rename] and the end of its last non-empty line.
  size_t pos = 0, insertAt = std::string::npos;
  bool inRename = false;
  while (pos < text.size()) {
    size_t eol = text.find('\n', pos);
    size_t next = eol == std::string::npos ? text.size() : eol + 1;
    std::string l = text.substr(pos, next - pos);
    size_t a = l.find_first_not_of(" \t\r\n");
    std::string trimmed = a == std::string::npos ? std::string() : l.substr(a, l.find_last_not_of(" \t\r\n") - a + 1);
    if (!trimmed.empty() && trimmed[0] == '[') {
      inRename = SameText(trimmed, "[rename]");
      if (inRename) insertAt = next;
    } else if (inRename && !trimmed.empty()) {
      insertAt = next;
    }
    pos = next;
  }
  if (insertAt == std::string::npos) {
    if (!text.empty() && text.back() != '\n') text += "\r\n";
    text += "[rename]\r\n" + line;
  } else {
    if (text[insertAt - 1] != '\n') {  // the section's last line ends the file unterminated
      text.insert(insertAt, "\r\n");
      insertAt += 2;
    }
    text.insert(insertAt, line);
  }
  // Rewritten whole: beside and swapped in, so the lines already there survive a full disk.
  WriteFileReplacing(platform, file, text.data(), static_cast<int64_t>(text.size()));
}

}  // namespace

void DeleteOnReboot(Platform& platform, const std::string& path) {
  if (platform.Version().platformId == 2) {
    platform.DeleteAtReboot(path);
    return;
  }
  // Windows 9x: WININIT.EXE works through every NUL= line of [rename]. The profile-string
  // functions keep one entry per key and would drop an earlier NUL= line, so the file is
  // edited directly and the new line joins the ones already there.
  // Like the system call on NT, the request's outcome is not examined.
  try {
    ScheduleWininitDelete(platform, path);
  } catch (const EStreamError&) {
  }
}


bool CheckAdminRights(Platform& platform) {
  if (platform.Version().platformId != 2) return true;
  return platform.IsUserAnAdmin();
}

}  // namespace zarn
