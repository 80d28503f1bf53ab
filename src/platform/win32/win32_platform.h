// The Windows backend of Platform: every operation is the matching W function of
// Win32, with Shift-JIS converted at the call. Failures of the system come back as the
// interface's false / nullptr / empty results; nothing here raises.
#pragma once

#include "platform/platform.h"

namespace zarn {
namespace win32 {

class Win32Platform : public Platform {
 public:
  std::unique_ptr<FileHandle> OpenFile(const std::string& path, FileAccess access, FileShare share,
                                       FileCreate create, bool writeThrough) override;
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
  bool IsUserAnAdmin() override;
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
};

}  // namespace win32
}  // namespace zarn
