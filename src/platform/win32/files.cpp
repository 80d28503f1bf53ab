// Files and folders through CreateFileW, FindFirstFileW and their siblings.
#include <algorithm>

#include "platform/win32/text.h"
#include "platform/win32/win32_api.h"
#include "platform/win32/win32_platform.h"
#include "runtime/sjis.h"

namespace zarn {
namespace win32 {

namespace {

// ReadFile/WriteFile move at most a DWORD at a time; larger requests go in pieces.
const int64_t kMaxChunk = 1 << 30;

class Win32File : public FileHandle {
 public:
  explicit Win32File(HANDLE h) : h_(h) {}
  std::string ErrorReason() const override { return error_ ? SystemMessage(error_) : std::string(); }
  ~Win32File() override { CloseHandle(h_); }

  int64_t Read(void* buffer, int64_t count) override {
    int64_t total = 0;
    char* p = static_cast<char*>(buffer);
    while (total < count) {
      DWORD want = static_cast<DWORD>(std::min(count - total, kMaxChunk)), got = 0;
      if (!ReadFile(h_, p + total, want, &got, nullptr)) return Failed(total);
      total += got;
      if (got < want) break;  // end of file
    }
    return total;
  }

  int64_t Write(const void* buffer, int64_t count) override {
    int64_t total = 0;
    const char* p = static_cast<const char*>(buffer);
    while (total < count) {
      DWORD want = static_cast<DWORD>(std::min(count - total, kMaxChunk)), put = 0;
      if (!WriteFile(h_, p + total, want, &put, nullptr)) return Failed(total);
      total += put;
      if (put < want) {  // disk full
        error_ = ERROR_DISK_FULL;
        break;
      }
    }
    return total;
  }

  int64_t Seek(int64_t offset, TSeekOrigin origin) override {
    LARGE_INTEGER distance, result;
    distance.QuadPart = offset;
    DWORD method = origin == soBeginning ? FILE_BEGIN : origin == soCurrent ? FILE_CURRENT : FILE_END;
    if (!SetFilePointerEx(h_, distance, &result, method)) return -1;
    return result.QuadPart;
  }

  // Cuts or extends the file; the position stays where it was.
  bool SetSize(int64_t size) override {
    if (size < 0) return false;
    int64_t pos = Seek(0, soCurrent);
    if (pos < 0 || Seek(size, soBeginning) < 0) return false;
    bool ok = SetEndOfFile(h_) != FALSE;
    if (!ok) error_ = GetLastError();
    Seek(pos, soBeginning);
    return ok;
  }

  bool Flush() override {
    if (FlushFileBuffers(h_)) return true;
    error_ = GetLastError();
    return false;
  }

 private:
  // The count moved before a failed call, or -1 when nothing moved; keeps the reason.
  int64_t Failed(int64_t moved) {
    error_ = GetLastError();
    return moved > 0 ? moved : -1;
  }

  HANDLE h_;
  unsigned long error_ = 0;
};

// FILETIME (UTC) to an MS-DOS date-time in local time; -1 when it has no such form
// (before 1980 or after 2107).
int32_t DosTimeOf(const FILETIME& utc) {
  FILETIME local;
  WORD date = 0, time = 0;
  if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToDosDateTime(&local, &date, &time)) return -1;
  return static_cast<int32_t>((static_cast<uint32_t>(date) << 16) | time);
}

// The name of a listing entry in Shift-JIS. A name with characters that code page 932
// lacks would come out with '?' and name nothing; its 8.3 form still reaches the file.
std::string EntryName(const WIN32_FIND_DATAW& fd) {
  bool lossy = false;
  std::string name = FromWide(fd.cFileName, kCodePageSjis, &lossy);
  if (lossy && fd.cAlternateFileName[0]) name = FromWide(fd.cAlternateFileName);
  return name;
}

}  // namespace

std::unique_ptr<FileHandle> Win32Platform::OpenFile(const std::string& path, FileAccess access, FileShare share,
                                                    FileCreate create, bool writeThrough) {
  DWORD desired = access == FileAccess::Read    ? GENERIC_READ
                  : access == FileAccess::Write ? GENERIC_WRITE
                                                : GENERIC_READ | GENERIC_WRITE;
  DWORD shareMode = share == FileShare::None    ? 0
                    : share == FileShare::Read  ? FILE_SHARE_READ
                    : share == FileShare::Write ? FILE_SHARE_WRITE
                                                : FILE_SHARE_READ | FILE_SHARE_WRITE;
  DWORD disposition = create == FileCreate::OpenExisting   ? OPEN_EXISTING
                      : create == FileCreate::CreateAlways ? CREATE_ALWAYS
                      : create == FileCreate::OpenAlways   ? OPEN_ALWAYS
                                                           : CREATE_NEW;
  DWORD flags = FILE_ATTRIBUTE_NORMAL | (writeThrough ? FILE_FLAG_WRITE_THROUGH : 0);
  HANDLE h = CreateFileW(ToWide(path).c_str(), desired, shareMode, nullptr, disposition, flags, nullptr);
  if (h == INVALID_HANDLE_VALUE) return nullptr;
  return std::make_unique<Win32File>(h);
}

bool Win32Platform::FileExists(const std::string& path) {
  DWORD a = GetFileAttributesW(ToWide(path).c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool Win32Platform::DirectoryExists(const std::string& path) {
  DWORD a = GetFileAttributesW(ToWide(path).c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool Win32Platform::CopyFile(const std::string& source, const std::string& target, bool failIfExists) {
  return CopyFileW(ToWide(source).c_str(), ToWide(target).c_str(), failIfExists) != FALSE;
}

bool Win32Platform::DeleteFile(const std::string& path) { return DeleteFileW(ToWide(path).c_str()) != FALSE; }

bool Win32Platform::MoveFile(const std::string& source, const std::string& target) {
  return MoveFileW(ToWide(source).c_str(), ToWide(target).c_str()) != FALSE;
}

bool Win32Platform::ReplaceFile(const std::string& source, const std::string& target) {
  return MoveFileExW(ToWide(source).c_str(), ToWide(target).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

uint32_t Win32Platform::GetFileAttributes(const std::string& path) {
  DWORD a = GetFileAttributesW(ToWide(path).c_str());
  return a == INVALID_FILE_ATTRIBUTES ? static_cast<uint32_t>(faInvalid) : a;
}

bool Win32Platform::SetFileAttributes(const std::string& path, uint32_t attributes) {
  return SetFileAttributesW(ToWide(path).c_str(), attributes) != FALSE;
}

// Read from the directory entry rather than an open handle, so a file that another
// program holds without sharing still has its age.
int32_t Win32Platform::FileAge(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(ToWide(path).c_str(), GetFileExInfoStandard, &data)) return -1;
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return -1;
  return DosTimeOf(data.ftLastWriteTime);
}

bool Win32Platform::SetFileAge(const std::string& path, int32_t dosTime) {
  FILETIME local, utc;
  uint32_t u = static_cast<uint32_t>(dosTime);
  if (!DosDateTimeToFileTime(static_cast<WORD>(u >> 16), static_cast<WORD>(u & 0xFFFF), &local) ||
      !LocalFileTimeToFileTime(&local, &utc))
    return false;
  // Writing attributes only: works on read-only files and alongside other openers.
  HANDLE h = CreateFileW(ToWide(path).c_str(), FILE_WRITE_ATTRIBUTES,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  bool ok = SetFileTime(h, nullptr, nullptr, &utc) != FALSE;
  CloseHandle(h);
  return ok;
}

bool Win32Platform::ListDirectory(const std::string& folder, std::vector<DirEntry>& entries) {
  entries.clear();
  std::string dir = AddBackslash(folder);
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW(ToWide(dir + "*.*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) {
    // The root of an empty drive has no "." entry, so nothing matches at all.
    return GetLastError() == ERROR_FILE_NOT_FOUND && DirectoryExists(dir);
  }
  do {
    if (wcscmp(fd.cFileName, L".") == 0 || wcscmp(fd.cFileName, L"..") == 0) continue;
    DirEntry e;
    e.name = EntryName(fd);
    e.attributes = fd.dwFileAttributes;
    e.size = static_cast<int64_t>((static_cast<uint64_t>(fd.nFileSizeHigh) << 32) | fd.nFileSizeLow);
    e.dosTime = DosTimeOf(fd.ftLastWriteTime);
    entries.push_back(std::move(e));
  } while (FindNextFileW(h, &fd));
  FindClose(h);
  return true;
}

bool Win32Platform::CreateDirectory(const std::string& path) {
  return CreateDirectoryW(ToWide(path).c_str(), nullptr) != FALSE;
}

bool Win32Platform::RemoveDirectory(const std::string& path) {
  return RemoveDirectoryW(ToWide(path).c_str()) != FALSE;
}

std::string Win32Platform::GetCurrentDirectory() {
  std::wstring buf(MAX_PATH, L'\0');
  for (;;) {
    DWORD n = GetCurrentDirectoryW(static_cast<DWORD>(buf.size()), &buf[0]);
    if (n == 0) return std::string();
    if (n < buf.size()) return FromWide(buf.substr(0, n));
    buf.resize(n);
  }
}

bool Win32Platform::SetCurrentDirectory(const std::string& path) {
  return SetCurrentDirectoryW(ToWide(path).c_str()) != FALSE;
}

}  // namespace win32
}  // namespace zarn
