// A machine that does everything the real one does, except starting programs: requests
// to the shell to open something are recorded instead. Wizard runs under Wine would
// otherwise leave Explorer windows behind, sitting in the program group they opened.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"

namespace zarn {
namespace testing {

struct ShellOpen {
  std::string verb, file, parameters, directory;
  int show = 0;
};

class ShellRecorder : public Platform {
 public:
  explicit ShellRecorder(Platform& machine) : m_(machine) {}
  const std::vector<ShellOpen>& Opened() const { return opened_; }

  intptr_t ShellExecute(const std::string& verb, const std::string& file, const std::string& parameters,
                        const std::string& directory, int show) override {
    opened_.push_back({verb, file, parameters, directory, show});
    return m_.FileExists(file) || m_.DirectoryExists(file) ? 42 : 2;
  }

  // ---- everything else goes to the machine
  std::unique_ptr<FileHandle> OpenFile(const std::string& path, FileAccess access, FileShare share, FileCreate create,
                                       bool writeThrough = false) override {
    return m_.OpenFile(path, access, share, create, writeThrough);
  }
  bool FileExists(const std::string& path) override { return m_.FileExists(path); }
  bool DirectoryExists(const std::string& path) override { return m_.DirectoryExists(path); }
  bool CopyFile(const std::string& source, const std::string& target, bool failIfExists) override {
    return m_.CopyFile(source, target, failIfExists);
  }
  bool DeleteFile(const std::string& path) override { return m_.DeleteFile(path); }
  bool MoveFile(const std::string& source, const std::string& target) override { return m_.MoveFile(source, target); }
  bool ReplaceFile(const std::string& source, const std::string& target) override {
    return m_.ReplaceFile(source, target);
  }
  uint32_t GetFileAttributes(const std::string& path) override { return m_.GetFileAttributes(path); }
  bool SetFileAttributes(const std::string& path, uint32_t attributes) override {
    return m_.SetFileAttributes(path, attributes);
  }
  int32_t FileAge(const std::string& path) override { return m_.FileAge(path); }
  bool SetFileAge(const std::string& path, int32_t dosTime) override { return m_.SetFileAge(path, dosTime); }
  bool ListDirectory(const std::string& folder, std::vector<DirEntry>& entries) override {
    return m_.ListDirectory(folder, entries);
  }
  bool CreateDirectory(const std::string& path) override { return m_.CreateDirectory(path); }
  bool RemoveDirectory(const std::string& path) override { return m_.RemoveDirectory(path); }
  std::string GetCurrentDirectory() override { return m_.GetCurrentDirectory(); }
  bool SetCurrentDirectory(const std::string& path) override { return m_.SetCurrentDirectory(path); }
  std::string TempPath() override { return m_.TempPath(); }
  std::string WindowsDirectory() override { return m_.WindowsDirectory(); }
  std::string SystemDirectory() override { return m_.SystemDirectory(); }
  bool SpecialFolder(int csidl, std::string& path) override { return m_.SpecialFolder(csidl, path); }
  bool DiskFreeSpaceEx(const std::string& path, DiskSpace& space) override { return m_.DiskFreeSpaceEx(path, space); }
  bool DiskFreeSpace(const std::string& root, DiskClusters& clusters) override {
    return m_.DiskFreeSpace(root, clusters);
  }
  uint32_t LogicalDrives() override { return m_.LogicalDrives(); }
  uint32_t DriveType(const std::string& root) override { return m_.DriveType(root); }
  std::string VolumeLabel(const std::string& root) override { return m_.VolumeLabel(root); }
  std::string ShortPath(const std::string& path) override { return m_.ShortPath(path); }
  bool DeleteAtReboot(const std::string& path) override { return m_.DeleteAtReboot(path); }
  bool WriteProfileString(const std::string& file, const std::string& section, const std::string& key,
                          const std::string& value) override {
    return m_.WriteProfileString(file, section, key, value);
  }
  std::string ReadProfileString(const std::string& file, const std::string& section, const std::string& key,
                                const std::string& defaultValue) override {
    return m_.ReadProfileString(file, section, key, defaultValue);
  }
  std::unique_ptr<RegistryKey> OpenKey(RegRoot root, const std::string& path, bool create) override {
    return m_.OpenKey(root, path, create);
  }
  bool DeleteKeyTree(RegRoot root, const std::string& path) override { return m_.DeleteKeyTree(root, path); }
  std::unique_ptr<NamedMutex> CreateMutex(const std::string& name, bool& existed) override {
    return m_.CreateMutex(name, existed);
  }
  bool MutexExists(const std::string& name) override { return m_.MutexExists(name); }
  bool IsUserAnAdmin() override { return m_.IsUserAnAdmin(); }
  VersionInfo Version() override { return m_.Version(); }
  void Sleep(uint32_t milliseconds) override { m_.Sleep(milliseconds); }
  uint32_t TickCount() override { return m_.TickCount(); }
  std::string EnvironmentVariable(const std::string& name) override { return m_.EnvironmentVariable(name); }
  std::string ProgramFile() override { return m_.ProgramFile(); }
  std::unique_ptr<Module> OwnModule() override { return m_.OwnModule(); }
  std::unique_ptr<Module> LoadModule(const std::string& path) override { return m_.LoadModule(path); }
  std::string SjisToUtf8(const std::string& s) override { return m_.SjisToUtf8(s); }
  std::string Utf8ToSjis(const std::string& s) override { return m_.Utf8ToSjis(s); }
  ShellLinkResult CreateShellLink(const std::string& linkPath, const ShellLinkData& link) override {
    return m_.CreateShellLink(linkPath, link);
  }
  int ShellFileOperation(const ShellFileRequest& request, bool& aborted) override {
    return m_.ShellFileOperation(request, aborted);
  }

 private:
  Platform& m_;
  std::vector<ShellOpen> opened_;
};

}  // namespace testing
}  // namespace zarn
