// System folders, drives, profile strings, mutexes, the shell, version and modules.
#include <vector>

#include "platform/win32/text.h"
#include "platform/win32/win32_api.h"
#include "platform/win32/win32_platform.h"
#include "runtime/sjis.h"

namespace zarn {
namespace win32 {

namespace {

// Calls a Win32 function of the form n = f(buffer, size) that returns the length
// written, or the size it needs when the buffer is too small; empty on failure.
template <typename F>
std::string GrowingCall(F f) {
  std::vector<wchar_t> buf(MAX_PATH + 1);
  for (int tries = 0; tries < 8; ++tries) {
    DWORD n = f(buf.data(), static_cast<DWORD>(buf.size()));
    if (n == 0) return std::string();
    if (n < buf.size()) return FromWide(std::wstring(buf.data(), n));
    buf.resize(n + 1);
  }
  return std::string();
}

// A null pointer for an empty text, as the W functions expect for "none".
const wchar_t* OrNull(const std::wstring& s) { return s.empty() ? nullptr : s.c_str(); }

class Win32Mutex : public NamedMutex {
 public:
  explicit Win32Mutex(HANDLE h) : h_(h) {}
  ~Win32Mutex() override {
    ReleaseMutex(h_);  // fails harmlessly when this thread does not own it
    CloseHandle(h_);
  }

 private:
  HANDLE h_;
};

// "#123" names a resource by number, anything else by its name.
class ResourceId {
 public:
  explicit ResourceId(const std::string& name) {
    if (name.size() > 1 && name[0] == '#' && name.find_first_not_of("0123456789", 1) == std::string::npos &&
        name.size() <= 6) {
      unsigned long id = std::stoul(name.substr(1));
      if (id <= 0xFFFF) {
        ptr_ = MAKEINTRESOURCEW(id);
        return;
      }
    }
    text_ = ToWide(name);
    ptr_ = text_.c_str();
  }
  const wchar_t* get() const { return ptr_; }

 private:
  std::wstring text_;
  const wchar_t* ptr_ = nullptr;
};

class Win32Module : public Module {
 public:
  Win32Module(HMODULE module, bool owned) : module_(module), owned_(owned) {}
  ~Win32Module() override {
    if (owned_) FreeLibrary(module_);
  }

  bool FindResource(const std::string& name, const std::string& type, std::string& data) override {
    ResourceId id(name), kind(type);
    HRSRC info = FindResourceW(module_, id.get(), kind.get());
    if (!info) return false;
    HGLOBAL res = LoadResource(module_, info);
    DWORD size = SizeofResource(module_, info);
    const void* bytes = res ? LockResource(res) : nullptr;
    if (!bytes && size != 0) return false;
    data.assign(static_cast<const char*>(bytes), size);
    return true;
  }

 private:
  HMODULE module_;
  bool owned_;
};

}  // namespace

std::string Win32Platform::TempPath() {
  std::string path = GrowingCall([](wchar_t* b, DWORD n) { return GetTempPathW(n, b); });
  if (!path.empty() && !EndsWithDelimiter(path, '\\')) path += '\\';
  return path;
}

std::string Win32Platform::WindowsDirectory() {
  return GrowingCall([](wchar_t* b, DWORD n) { return GetWindowsDirectoryW(b, n); });
}

std::string Win32Platform::SystemDirectory() {
  return GrowingCall([](wchar_t* b, DWORD n) { return GetSystemDirectoryW(b, n); });
}

// False when the shell has no item list for the number. A folder without a place in the
// file system (a virtual folder) gives true with an empty path.
bool Win32Platform::SpecialFolder(int csidl, std::string& path) {
  LPITEMIDLIST items = nullptr;
  if (FAILED(SHGetSpecialFolderLocation(nullptr, csidl, &items)) || !items) return false;
  wchar_t buf[MAX_PATH + 1] = {0};
  path = SHGetPathFromIDListW(items, buf) ? FromWide(buf) : std::string();
  CoTaskMemFree(items);
  return true;
}

bool Win32Platform::DiskFreeSpaceEx(const std::string& path, DiskSpace& space) {
  ULARGE_INTEGER caller, total, free;
  if (!GetDiskFreeSpaceExW(ToWide(path).c_str(), &caller, &total, &free)) return false;
  space.freeToCaller = static_cast<int64_t>(caller.QuadPart);
  space.total = static_cast<int64_t>(total.QuadPart);
  space.totalFree = static_cast<int64_t>(free.QuadPart);
  return true;
}

bool Win32Platform::DiskFreeSpace(const std::string& root, DiskClusters& c) {
  DWORD spc, bps, fc, tc;
  std::wstring w = ToWide(root);
  if (!GetDiskFreeSpaceW(OrNull(w), &spc, &bps, &fc, &tc)) return false;
  c.sectorsPerCluster = spc;
  c.bytesPerSector = bps;
  c.freeClusters = fc;
  c.totalClusters = tc;
  return true;
}

uint32_t Win32Platform::LogicalDrives() { return GetLogicalDrives(); }

uint32_t Win32Platform::DriveType(const std::string& root) {
  std::wstring w = ToWide(root);
  return GetDriveTypeW(OrNull(w));
}

std::string Win32Platform::VolumeLabel(const std::string& root) {
  wchar_t label[MAX_PATH + 1] = {0};
  std::wstring w = ToWide(root);
  if (!GetVolumeInformationW(OrNull(w), label, MAX_PATH + 1, nullptr, nullptr, nullptr, nullptr, 0))
    return std::string();
  return FromWide(label);
}

std::string Win32Platform::ShortPath(const std::string& path) {
  std::wstring w = ToWide(path);
  if (w.empty()) return std::string();
  return GrowingCall([&w](wchar_t* b, DWORD n) { return GetShortPathNameW(w.c_str(), b, n); });
}

bool Win32Platform::DeleteAtReboot(const std::string& path) {
  return MoveFileExW(ToWide(path).c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != FALSE;
}

// The system writes a new profile file in its own ANSI code page, which loses Japanese
// text on other locales; a file that starts as UTF-16 stays UTF-16. So a new file named
// by a path is begun with the UTF-16 byte-order mark.
bool Win32Platform::WriteProfileString(const std::string& file, const std::string& section, const std::string& key,
                                       const std::string& value) {
  std::wstring wfile = ToWide(file);
  if (wfile.find_first_of(L"\\:") != std::wstring::npos &&
      GetFileAttributesW(wfile.c_str()) == INVALID_FILE_ATTRIBUTES) {
    HANDLE h = CreateFileW(wfile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      DWORD put = 0;
      WriteFile(h, "\xFF\xFE", 2, &put, nullptr);
      CloseHandle(h);
    }
  }
  return WritePrivateProfileStringW(ToWide(section).c_str(), ToWide(key).c_str(), ToWide(value).c_str(),
                                    wfile.c_str()) != FALSE;
}

std::string Win32Platform::ReadProfileString(const std::string& file, const std::string& section,
                                             const std::string& key, const std::string& defaultValue) {
  std::wstring wsec = ToWide(section), wkey = ToWide(key), wdef = ToWide(defaultValue), wfile = ToWide(file);
  std::vector<wchar_t> buf(512);
  for (;;) {
    DWORD n = GetPrivateProfileStringW(wsec.c_str(), wkey.c_str(), wdef.c_str(), buf.data(),
                                       static_cast<DWORD>(buf.size()), wfile.c_str());
    // A full buffer (size - 1) means the value may have been cut.
    if (n + 1 < buf.size() || buf.size() >= (1u << 20)) return FromWide(std::wstring(buf.data(), n));
    buf.resize(buf.size() * 4);
  }
}

std::unique_ptr<NamedMutex> Win32Platform::CreateMutex(const std::string& name, bool& existed) {
  HANDLE h = CreateMutexW(nullptr, FALSE, ToWide(name).c_str());
  DWORD error = GetLastError();
  if (!h) {
    // Held by another user whose security keeps us out: it exists all the same.
    existed = error == ERROR_ACCESS_DENIED;
    return nullptr;
  }
  existed = error == ERROR_ALREADY_EXISTS;
  return std::make_unique<Win32Mutex>(h);
}

bool Win32Platform::MutexExists(const std::string& name) {
  HANDLE h = OpenMutexW(MUTEX_ALL_ACCESS, FALSE, ToWide(name).c_str());
  if (h) {
    CloseHandle(h);
    return true;
  }
  // A mutex of another user that we may not open is still there.
  return GetLastError() == ERROR_ACCESS_DENIED;
}

intptr_t Win32Platform::ShellExecute(const std::string& verb, const std::string& file, const std::string& parameters,
                                     const std::string& directory, int show) {
  std::wstring wverb = ToWide(verb), wfile = ToWide(file), wparams = ToWide(parameters), wdir = ToWide(directory);
  HINSTANCE r = ShellExecuteW(nullptr, OrNull(wverb), wfile.c_str(), OrNull(wparams), OrNull(wdir), show);
  return reinterpret_cast<intptr_t>(r);
}

// The shell's is-the-user-an-administrator query, export number 680 of shell32.dll,
// taken by number. This is the shell's raw answer; on the Windows 9x family it means
// nothing, and the caller treats that family as administrator.
bool Win32Platform::IsUserAnAdmin() {
  HMODULE shell = LoadLibraryW(L"shell32.dll");
  if (!shell) return false;
  bool admin = false;
  typedef BOOL(WINAPI * IsUserAnAdminFn)();
  FARPROC proc = GetProcAddress(shell, MAKEINTRESOURCEA(680));
  if (proc) admin = reinterpret_cast<IsUserAnAdminFn>(reinterpret_cast<void*>(proc))() != FALSE;
  FreeLibrary(shell);
  return admin;
}

VersionInfo Win32Platform::Version() {
  OSVERSIONINFOW info;
  ZeroMemory(&info, sizeof info);
  info.dwOSVersionInfoSize = sizeof info;
  VersionInfo v;
  if (GetVersionExW(&info)) {
    v.major = info.dwMajorVersion;
    v.minor = info.dwMinorVersion;
    v.build = info.dwBuildNumber & 0xFFFF;  // 9x keeps the version in the high word
    v.platformId = info.dwPlatformId;
  }
  return v;
}

void Win32Platform::Sleep(uint32_t milliseconds) { ::Sleep(milliseconds); }

uint32_t Win32Platform::TickCount() { return GetTickCount(); }

std::string Win32Platform::EnvironmentVariable(const std::string& name) {
  std::wstring w = ToWide(name);
  if (w.empty()) return std::string();
  return GrowingCall([&w](wchar_t* b, DWORD n) { return GetEnvironmentVariableW(w.c_str(), b, n); });
}

std::string Win32Platform::ProgramFile() {
  std::vector<wchar_t> buf(MAX_PATH + 1);
  for (;;) {
    DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
    if (n == 0) return std::string();
    if (n < buf.size()) return FromWide(std::wstring(buf.data(), n));  // n == size means cut
    if (buf.size() > 32768) return std::string();
    buf.resize(buf.size() * 2);
  }
}

std::unique_ptr<Module> Win32Platform::OwnModule() {
  return std::make_unique<Win32Module>(GetModuleHandleW(nullptr), false);
}

std::unique_ptr<Module> Win32Platform::LoadModule(const std::string& path) {
  HMODULE m = LoadLibraryExW(ToWide(path).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (!m) return nullptr;
  return std::make_unique<Win32Module>(m, true);
}

std::string Win32Platform::SjisToUtf8(const std::string& s) { return HostUtf8(s); }

std::string Win32Platform::Utf8ToSjis(const std::string& s) { return FromWide(ToWide(s, kCodePageUtf8)); }

}  // namespace win32

std::unique_ptr<Platform> CreateHostPlatform() { return std::make_unique<win32::Win32Platform>(); }

std::string HostUtf8(const std::string& sjis) { return win32::FromWide(win32::ToWide(sjis), win32::kCodePageUtf8); }

const bool kHostRefusesDeviceNames = true;

}  // namespace zarn
