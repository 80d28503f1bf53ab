// The emulated Windows machine of the Linux build. Drive letters map to host folders
// (C: = <machine>/drive_c, Z: = / by default), the registry lives in <machine>/system.reg
// (REGEDIT4 text), named mutexes are locked files in <machine>/mutex/, and programs the
// shell is asked to start are appended to <machine>/shell.log instead of being run.
//
// What is emulated, and how:
// - Names resolve without regard to ASCII case, one component at a time; "\" and "/" both
//   separate; ".." never leaves the drive's root; trailing dots and spaces of a component
//   are dropped; the characters < > : " | ? * and control characters are refused.
//   A name not found as spelled is looked up in an index of its folder's names that
//   follows every change to the folder (folder_index.h), so the n-th new file of a folder
//   costs what the first did.
// - Sharing modes are kept with open-file-description byte-range locks on the file, so
//   they hold between handles of one process and between processes. An open file cannot be
//   deleted or renamed (the program never asks for delete sharing).
// - The read-only attribute is the host's owner write bit; hidden, system and archive are
//   kept in the extended attribute "user.zarn.attrib" (lost where the host file system has
//   none). A file without that attribute reports archive.
// - Each change of the registry is saved at once (written aside, then renamed over), under
//   an exclusive lock of <machine>/system.reg.lock; a change made by another process is
//   read back before the next operation.
// - Delete-at-reboot goes to the Session Manager's PendingFileRenameOperations value
//   (NT) or to the [rename] section of C:\WINDOWS\wininit.ini (9x); `Restart` carries
//   both out.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace zarn {

// A drive letter mapped to a host folder.
struct DriveMapping {
  char letter = 'C';
  std::string hostFolder;  // UTF-8 host path
  uint32_t type = dtFixed;  // dtCDROM for a medium
  std::string label;        // volume label, Shift-JIS
};

struct MachineOptions {
  // Host folder of the machine; created (a fresh Windows machine) when it lacks anything.
  // Empty: no machine folder, only the drive mappings below (registry in memory).
  std::string root;
  // Extra drives, or replacements of C: and Z:. Z: maps to / unless given here.
  std::vector<DriveMapping> drives;
  bool win9x = false;         // platform id 1, version 4.10, no profile list
  bool administrator = true;  // what IsUserAnAdmin answers
  // Windows path of the running program; empty: the host's own executable on Z:.
  std::string programFile;
  // Initial current directory (Windows path); empty: the host's working folder when a
  // drive maps it, else the root of C: (or of the first drive).
  std::string currentDirectory;
};

// Faults a test can switch on while the machine runs. Every counter is shared by all
// files the machine opens.
struct MachineFaults {
  // Bytes that can still be written before writes fail as on a full disk (the write that
  // crosses the limit is short); -1 for no limit. Free-space queries report this figure.
  std::atomic<int64_t> diskFreeBytes{-1};
  // Number of write calls that still succeed before the next one fails; -1 for never.
  std::atomic<int64_t> writesBeforeFailure{-1};
};

// One request to the shell, as the machine recorded it.
struct ShellRequest {
  std::string verb, file, parameters, directory;
  int show = 0;
  intptr_t result = 0;  // what ShellExecute answered (42: the file exists; 2: not found)
};

class EmulatedMachine : public Platform {
 public:
  explicit EmulatedMachine(const MachineOptions& options);
  ~EmulatedMachine() override;

  const MachineOptions& Options() const { return options_; }
  MachineFaults& Faults() { return *faults_; }

  // Host path (UTF-8) of a Windows path, its existing components in their real case;
  // empty when the path is invalid or its drive is not mapped.
  std::string HostPath(const std::string& path);
  // Windows path of a host path (the most specific drive that maps it); empty if none.
  std::string WindowsPath(const std::string& hostPath);
  // The requests the shell was given, oldest first (read from the machine's log).
  std::vector<ShellRequest> ShellLog();
  // Files marked for deletion at the next start of Windows (Windows paths).
  std::vector<std::string> PendingDeletes();
  // Carries out the pending deletions as a restart of Windows would.
  void Restart();
  // Holds the file open the way a running program's image is held: others may read it,
  // but not write, delete or rename it until ReleaseRunning. False when it cannot be had.
  bool HoldAsRunning(const std::string& path);
  void ReleaseRunning(const std::string& path);
  // Puts another host folder into a drive (or adds the drive), as a disc is changed in a
  // CD-ROM drive; false when the host folder does not exist. Files open on the drive stay
  // open on the folder they were opened in.
  bool MapDrive(const DriveMapping& mapping);

  // ---- Platform
  std::unique_ptr<FileHandle> OpenFile(const std::string& path, FileAccess access, FileShare share,
                                       FileCreate create, bool writeThrough = false) override;
  bool FileExists(const std::string& path) override;
  bool DirectoryExists(const std::string& path) override;
  bool CopyFile(const std::string& source, const std::string& target, bool failIfExists) override;
  bool DeleteFile(const std::string& path) override;
  bool MoveFile(const std::string& source, const std::string& target) override;
  bool ReplaceFile(const std::string& source, const std::string& target) override;
  uint32_t GetFileAttributes(const std::string& path) override;
  bool SetFileAttributes(const std::string& path, uint32_t attributes) override;
  int32_t FileAge(const std::string& path) override;
  bool SetFileAge(const std::string& path, int32_t dosTime) override;
  bool ListDirectory(const std::string& folder, std::vector<DirEntry>& entries) override;
  bool CreateDirectory(const std::string& path) override;
  bool RemoveDirectory(const std::string& path) override;
  std::string GetCurrentDirectory() override;
  bool SetCurrentDirectory(const std::string& path) override;

  std::string TempPath() override;
  std::string WindowsDirectory() override;
  std::string SystemDirectory() override;
  bool SpecialFolder(int csidl, std::string& path) override;
  bool DiskFreeSpaceEx(const std::string& path, DiskSpace& space) override;
  bool DiskFreeSpace(const std::string& root, DiskClusters& clusters) override;
  uint32_t LogicalDrives() override;
  uint32_t DriveType(const std::string& root) override;
  std::string VolumeLabel(const std::string& root) override;
  std::string ShortPath(const std::string& path) override;
  bool DeleteAtReboot(const std::string& path) override;
  bool WriteProfileString(const std::string& file, const std::string& section, const std::string& key,
                          const std::string& value) override;
  std::string ReadProfileString(const std::string& file, const std::string& section, const std::string& key,
                                const std::string& defaultValue) override;

  std::unique_ptr<RegistryKey> OpenKey(RegRoot root, const std::string& path, bool create) override;
  bool DeleteKeyTree(RegRoot root, const std::string& path) override;

  std::unique_ptr<NamedMutex> CreateMutex(const std::string& name, bool& existed) override;
  bool MutexExists(const std::string& name) override;
  intptr_t ShellExecute(const std::string& verb, const std::string& file, const std::string& parameters,
                        const std::string& directory, int show) override;
  bool IsUserAnAdmin() override { return options_.administrator; }
  VersionInfo Version() override;
  void Sleep(uint32_t milliseconds) override;
  uint32_t TickCount() override;
  std::string EnvironmentVariable(const std::string& name) override;

  std::string ProgramFile() override;
  std::unique_ptr<Module> OwnModule() override;
  std::unique_ptr<Module> LoadModule(const std::string& path) override;

  std::string SjisToUtf8(const std::string& s) override;
  std::string Utf8ToSjis(const std::string& s) override;
  ShellLinkResult CreateShellLink(const std::string& linkPath, const ShellLinkData& link) override;
  int ShellFileOperation(const ShellFileRequest& request, bool& aborted) override;

 private:
  struct State;
  struct Resolved;
  bool Resolve(const std::string& path, Resolved& out);
  std::unique_ptr<FileHandle> OpenResolved(const Resolved& r, FileAccess access, FileShare share, FileCreate create,
                                           bool writeThrough);
  void Prepare();
  void SeedRegistry();
  std::string ProfileDir() const;
  std::string IniHostPath(const std::string& file);

  MachineOptions options_;
  std::shared_ptr<MachineFaults> faults_;
  std::unique_ptr<State> state_;
};

}  // namespace zarn
