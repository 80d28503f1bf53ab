// The one interface to the operating system. Paths are Windows paths in Shift-JIS
// (C:\Games\Story\) on every platform. The win32 backend calls the W functions of Win32,
// converting with code page 932; the posix backend emulates a Windows machine inside a
// host folder (drive letters mapped to folders, a registry file, lock-file mutexes).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "runtime/streams.h"

namespace zarn {

// File attribute bits, as Windows defines them.
enum : uint32_t {
  faReadOnly = 0x01,
  faHidden = 0x02,
  faSysFile = 0x04,
  faVolumeID = 0x08,
  faDirectory = 0x10,
  faArchive = 0x20,
  faNormal = 0x80,
  faReparsePoint = 0x400,  // a symbolic link or junction (the emulated machine: a host symlink)
  faInvalid = 0xFFFFFFFFu,
};

enum class FileAccess { Read, Write, ReadWrite };
// Which other openers are allowed alongside this one.
enum class FileShare { None, Read, Write, ReadWrite };
enum class FileCreate {
  OpenExisting,  // fail when missing
  CreateAlways,  // create or truncate
  OpenAlways,    // open or create
  CreateNew,     // fail when present
};

// One entry of a folder listing.
struct DirEntry {
  std::string name;  // the entry's own name, no folder part
  uint32_t attributes = 0;
  int64_t size = 0;
  int32_t dosTime = 0;  // last write, MS-DOS date-time in local time
};

// Registry roots.
enum class RegRoot { ClassesRoot, CurrentUser, LocalMachine, Users };
// Registry value types.
enum : uint32_t { regNone = 0, regSz = 1, regExpandSz = 2, regBinary = 3, regDword = 4, regMultiSz = 7 };

// An open registry key. Value data is the raw bytes Windows stores (REG_SZ: the
// Shift-JIS text followed by one NUL byte, so its size counts the terminator).
class RegistryKey {
 public:
  virtual ~RegistryKey() = default;
  // Type and raw data of a value; false when it does not exist.
  virtual bool QueryValue(const std::string& name, uint32_t& type, std::string& data) = 0;
  virtual bool SetValue(const std::string& name, uint32_t type, const std::string& data) = 0;
  virtual bool DeleteValue(const std::string& name) = 0;
  virtual std::vector<std::string> SubKeyNames() = 0;
  virtual std::vector<std::string> ValueNames() = 0;
  // Deletes a subkey with everything below it.
  virtual bool DeleteSubKeyTree(const std::string& path) = 0;
};

// A named mutex this process holds until the object is destroyed.
class NamedMutex {
 public:
  virtual ~NamedMutex() = default;
};

// A program module whose resources can be read.
class Module {
 public:
  virtual ~Module() = default;
  // Raw bytes of the resource `name` of type `type` (names, or "#123" for a number);
  // false when the module has no such resource.
  virtual bool FindResource(const std::string& name, const std::string& type, std::string& data) = 0;
};

struct VersionInfo {
  uint32_t major = 0, minor = 0, build = 0;
  uint32_t platformId = 2;  // 1 = Windows 9x family, 2 = NT family
};

// Free space of a drive, as the extended query reports it.
struct DiskSpace {
  int64_t freeToCaller = 0, total = 0, totalFree = 0;
};
// The plain (cluster-based) free-space query.
struct DiskClusters {
  uint32_t sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, totalClusters = 0;
};

// Drive types of GetDriveType.
enum : uint32_t { dtUnknown = 0, dtNoRoot = 1, dtRemovable = 2, dtFixed = 3, dtRemote = 4, dtCDROM = 5, dtRamDisk = 6 };

// Folder numbers (CSIDL) the program asks for.
enum : int {
  csidlDesktop = 0x00,
  csidlPrograms = 0x02,
  csidlPersonal = 0x05,
  csidlStartMenu = 0x0B,
  csidlDesktopDirectory = 0x10,
  csidlAppData = 0x1A,
  csidlLocalAppData = 0x1C,
  csidlCommonStartMenu = 0x16,
  csidlCommonPrograms = 0x17,
  csidlCommonDesktopDirectory = 0x19,
  csidlWindows = 0x24,
  csidlSystem = 0x25,
  csidlProgramFiles = 0x26,
};

// What a shortcut (.lnk) file holds; texts are Shift-JIS.
struct ShellLinkData {
  std::string target;  // the file the shortcut starts
  std::string arguments;
  std::string workingDirectory;
  std::string description;
  std::string iconPath;
  int32_t iconIndex = 0;
  uint16_t hotKey = 0;      // key code in the low byte; 0x100 Shift, 0x200 Ctrl, 0x400 Alt
  int32_t showCommand = 1;  // SW_SHOWNORMAL
};
enum class ShellLinkResult { Saved, NoLinkObject, NotSaved };

// The shell's file operations and the bits of its flags, as the shell numbers them.
enum : uint32_t { kShellFoMove = 1, kShellFoCopy = 2, kShellFoDelete = 3, kShellFoRename = 4 };
enum : uint16_t {
  kShellFofMultiDestFiles = 0x0001,
  kShellFofConfirmMouse = 0x0002,
  kShellFofSilent = 0x0004,
  kShellFofRenameOnCollision = 0x0008,
  kShellFofNoConfirmation = 0x0010,
  kShellFofAllowUndo = 0x0040,
  kShellFofFilesOnly = 0x0080,
  kShellFofSimpleProgress = 0x0100,
  kShellFofNoConfirmMkdir = 0x0200,
  kShellFofNoErrorUI = 0x0400,
};

// One request to the shell's file operation. Lists hold names each ended by a NUL, the
// list ended by one more NUL.
struct ShellFileRequest {
  uint32_t operation = 0;  // kShellFoMove ... kShellFoRename
  std::string from, to;
  uint16_t flags = 0;  // kShellFof bits
  std::string progressTitle;
};

class Platform {
 public:
  virtual ~Platform() = default;

  // ---- files
  // Opens or creates a file; nullptr when the system refuses (missing, shared, denied).
  virtual std::unique_ptr<FileHandle> OpenFile(const std::string& path, FileAccess access, FileShare share,
                                               FileCreate create, bool writeThrough = false) = 0;
  virtual bool FileExists(const std::string& path) = 0;       // a file, not a folder
  virtual bool DirectoryExists(const std::string& path) = 0;  // a folder
  virtual bool CopyFile(const std::string& source, const std::string& target, bool failIfExists) = 0;
  virtual bool DeleteFile(const std::string& path) = 0;
  virtual bool MoveFile(const std::string& source, const std::string& target) = 0;
  // Renames source to target, replacing an existing target in one step where the system
  // can (so a reader sees the old file or the new one, never neither); false on failure.
  // The fallback for backends without such a rename deletes the target first.
  virtual bool ReplaceFile(const std::string& source, const std::string& target) {
    if (MoveFile(source, target)) return true;
    return FileExists(target) && DeleteFile(target) && MoveFile(source, target);
  }
  virtual uint32_t GetFileAttributes(const std::string& path) = 0;  // faInvalid when missing
  virtual bool SetFileAttributes(const std::string& path, uint32_t attributes) = 0;
  // Last-write time as an MS-DOS date-time in local time; -1 when missing.
  virtual int32_t FileAge(const std::string& path) = 0;
  virtual bool SetFileAge(const std::string& path, int32_t dosTime) = 0;
  // Entries of a folder in the order the file system gives them ("." and ".." left out);
  // false when the folder cannot be listed.
  virtual bool ListDirectory(const std::string& folder, std::vector<DirEntry>& entries) = 0;
  virtual bool CreateDirectory(const std::string& path) = 0;  // one level
  virtual bool RemoveDirectory(const std::string& path) = 0;  // empty folders only
  virtual std::string GetCurrentDirectory() = 0;
  virtual bool SetCurrentDirectory(const std::string& path) = 0;

  // ---- system folders and drives
  virtual std::string TempPath() = 0;  // with trailing backslash
  virtual std::string WindowsDirectory() = 0;
  virtual std::string SystemDirectory() = 0;
  // The shell's folder for a CSIDL number; false when the shell has none.
  virtual bool SpecialFolder(int csidl, std::string& path) = 0;
  virtual bool DiskFreeSpaceEx(const std::string& path, DiskSpace& space) = 0;
  virtual bool DiskFreeSpace(const std::string& root, DiskClusters& clusters) = 0;
  virtual uint32_t LogicalDrives() = 0;  // bit 0 = A:
  virtual uint32_t DriveType(const std::string& root) = 0;
  virtual std::string VolumeLabel(const std::string& root) = 0;
  // The 8.3 form of an existing path; empty when it cannot be had.
  virtual std::string ShortPath(const std::string& path) = 0;
  // NT: MoveFileEx(path, NULL, MOVEFILE_DELAY_UNTIL_REBOOT).
  virtual bool DeleteAtReboot(const std::string& path) = 0;
  // The Windows profile-string interface (wininit.ini on 9x).
  virtual bool WriteProfileString(const std::string& file, const std::string& section, const std::string& key,
                                  const std::string& value) = 0;
  virtual std::string ReadProfileString(const std::string& file, const std::string& section,
                                        const std::string& key, const std::string& defaultValue) = 0;

  // ---- registry
  // nullptr when the key cannot be opened (or created, with `create`).
  virtual std::unique_ptr<RegistryKey> OpenKey(RegRoot root, const std::string& path, bool create) = 0;
  // Deletes `path` below `root` with everything under it.
  virtual bool DeleteKeyTree(RegRoot root, const std::string& path) = 0;

  // ---- processes
  // Creates (or opens) the named mutex, not initially owned. `existed` reports whether
  // another holder had it already. nullptr when it cannot be had at all.
  virtual std::unique_ptr<NamedMutex> CreateMutex(const std::string& name, bool& existed) = 0;
  // Whether a mutex of that name exists anywhere on the machine.
  virtual bool MutexExists(const std::string& name) = 0;
  // ShellExecute: the result is above 32 on success, else the system's error code.
  virtual intptr_t ShellExecute(const std::string& verb, const std::string& file, const std::string& parameters,
                                const std::string& directory, int show) = 0;
  // The shell's is-the-user-an-administrator query (shell32 export 680); false when
  // unavailable. This is the raw answer: the rule that the 9x family counts as
  // administrator belongs to the caller (CheckAdminRights).
  virtual bool IsUserAnAdmin() = 0;
  virtual VersionInfo Version() = 0;
  virtual void Sleep(uint32_t milliseconds) = 0;
  virtual uint32_t TickCount() = 0;
  // An environment variable of the process; empty when unset.
  virtual std::string EnvironmentVariable(const std::string& name) = 0;

  // ---- modules
  // Full path of the running program file.
  virtual std::string ProgramFile() = 0;
  // The running program's own module, and another program file's resources.
  virtual std::unique_ptr<Module> OwnModule() = 0;
  virtual std::unique_ptr<Module> LoadModule(const std::string& path) = 0;  // nullptr on failure

  // ---- text
  // Shift-JIS to UTF-8 and back, for the terminal and for JSON.
  virtual std::string SjisToUtf8(const std::string& s) = 0;
  virtual std::string Utf8ToSjis(const std::string& s) = 0;

  // ---- shell services (shortcuts and the shell's file operation): the shell's objects on
  // Windows, an emulation through the machine's own files on the emulated machine.
  // Writes a shortcut file; its folder must exist.
  virtual ShellLinkResult CreateShellLink(const std::string& linkPath, const ShellLinkData& link) = 0;
  // Copies, moves, deletes or renames as the shell does; returns the shell's result code
  // (0 = done) and sets `aborted` when the user cancelled.
  virtual int ShellFileOperation(const ShellFileRequest& request, bool& aborted) = 0;
};

// The platform of the machine the program runs on: real Win32 on Windows, on Linux the
// emulated machine in the folder named by ZARN_ROOT (or with Z: = / alone).
std::unique_ptr<Platform> CreateHostPlatform();
// The program's Shift-JIS text as UTF-8 for the host's terminal, with no platform at
// hand (as when making one failed).
std::string HostUtf8(const std::string& sjis);
// Whether the host's file system takes reserved device names (CON, NUL, COM1, ...) in a
// path as devices: Windows does, the emulated machine's Linux files do not.
extern const bool kHostRefusesDeviceNames;

// ---- helpers shared by both backends

// Creates the folder `path` and every missing parent; a trailing backslash is optional.
// The root is never created: a drive ("C:\" or "C:"), a UNC share ("\\server\share"), the
// current drive's root ("\"), or for a relative path the current folder. True when the
// folder exists afterwards (false for an empty path, or a file in the way).
bool ForceDirectories(Platform& platform, const std::string& path);

// Converts between Unix time (seconds) in a broken-down local time and MS-DOS date-time.
struct LocalTime {
  int year, month, day, hour, minute, second;
};
int32_t ToDosDateTime(const LocalTime& t);
LocalTime FromDosDateTime(int32_t dos);

// File open modes of the runtime's file stream: the access in the low nibble, the sharing in
// the next one; fmCreate alone creates or truncates.
enum : uint16_t {
  fmOpenRead = 0x0000,
  fmOpenWrite = 0x0001,
  fmOpenReadWrite = 0x0002,
  fmShareCompat = 0x0000,
  fmShareExclusive = 0x0010,
  fmShareDenyWrite = 0x0020,
  fmShareDenyRead = 0x0030,
  fmShareDenyNone = 0x0040,
  fmCreate = 0xFFFF,
};

// A file stream over a path, opened with a mode word as above. Raises EFOpenError /
// EFCreateError with the file name when the file cannot be had.
class TFileStream : public THandleStream {
 public:
  TFileStream(Platform& platform, const std::string& path, uint16_t mode, bool writeThrough = false);
  ~TFileStream() override;
  const std::string& FileName() const { return name_; }

 private:
  std::unique_ptr<FileHandle> owned_;
};

// The raw bytes of a module's resource, read only. Raises EResNotFound when missing.
class TResourceStream : public TStream {
 public:
  TResourceStream(Module& module, const std::string& name, const std::string& type);
  int64_t Read(void* buffer, int64_t count) override { return data_.Read(buffer, count); }
  int64_t Write(const void*, int64_t) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override { return data_.Seek(offset, origin); }
  int64_t Size() override { return data_.Size(); }
  const uint8_t* Memory() const { return data_.Memory(); }

 private:
  TMemoryStream data_;
};

// Reads a whole file into memory; raises EFOpenError when it cannot be opened.
void LoadFileToStream(Platform& platform, const std::string& path, TMemoryStream& stream);

}  // namespace zarn
