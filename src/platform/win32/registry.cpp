// The registry through the W functions. Text values cross as Shift-JIS with one
// terminating NUL (REG_SZ, REG_EXPAND_SZ) or as the NUL-separated list (REG_MULTI_SZ);
// every other type is handed over byte for byte.
#include <vector>

#include "platform/win32/text.h"
#include "platform/win32/win32_api.h"
#include "platform/win32/win32_platform.h"

namespace zarn {
namespace win32 {

namespace {

bool IsTextType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

// Stored UTF-16 data to the Shift-JIS form callers see.
std::string TextFromRegistry(DWORD type, const std::vector<BYTE>& raw) {
  std::wstring w(raw.size() / 2, L'\0');
  if (!w.empty()) memcpy(&w[0], raw.data(), w.size() * 2);
  if (type == REG_MULTI_SZ) {
    if (w.empty() || w.back() != L'\0') w.push_back(L'\0');
    return FromWide(w);
  }
  // A single string: up to its first NUL (some writers store several, some none).
  size_t end = w.find(L'\0');
  if (end != std::wstring::npos) w.resize(end);
  return FromWide(w) + '\0';
}

std::wstring TextToRegistry(DWORD type, const std::string& data) {
  if (type == REG_MULTI_SZ) {
    std::wstring w = ToWide(data);
    if (w.empty() || w.back() != L'\0') w.push_back(L'\0');
    if (w.size() < 2 || w[w.size() - 2] != L'\0') w.push_back(L'\0');
    return w;
  }
  std::string text = data.substr(0, data.find('\0'));
  return ToWide(text) + L'\0';
}

HKEY RootKey(RegRoot root) {
  switch (root) {
    case RegRoot::ClassesRoot: return HKEY_CLASSES_ROOT;
    case RegRoot::LocalMachine: return HKEY_LOCAL_MACHINE;
    case RegRoot::Users: return HKEY_USERS;
    case RegRoot::CurrentUser: break;
  }
  return HKEY_CURRENT_USER;
}

// Names of all subkeys (or values) of an open key.
std::vector<std::wstring> EnumNames(HKEY key, bool values) {
  std::vector<std::wstring> names;
  DWORD maxSubKey = 0, maxValue = 0;
  if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, &maxSubKey, nullptr, nullptr, &maxValue, nullptr,
                       nullptr, nullptr) != ERROR_SUCCESS)
    return names;
  std::vector<wchar_t> buf((values ? maxValue : maxSubKey) + 2);
  for (DWORD i = 0;; ++i) {
    DWORD len = static_cast<DWORD>(buf.size());
    LONG r = values ? RegEnumValueW(key, i, buf.data(), &len, nullptr, nullptr, nullptr, nullptr)
                    : RegEnumKeyExW(key, i, buf.data(), &len, nullptr, nullptr, nullptr, nullptr);
    if (r == ERROR_MORE_DATA) {  // a longer name was added meanwhile
      buf.resize(buf.size() * 2 + 256);
      --i;
      continue;
    }
    if (r != ERROR_SUCCESS) break;
    names.emplace_back(buf.data(), len);
  }
  return names;
}

// Deletes `path` below `parent` with everything under it, without RegDeleteTree (absent
// before Vista): subkeys first, deepest first.
bool DeleteTree(HKEY parent, const std::wstring& path) {
  if (path.empty() || path.find_first_not_of(L'\\') == std::wstring::npos) return false;  // never the parent itself
  HKEY key;
  if (RegOpenKeyExW(parent, path.c_str(), 0, KEY_READ | DELETE, &key) != ERROR_SUCCESS) return false;
  for (const std::wstring& sub : EnumNames(key, false)) DeleteTree(key, sub);
  RegCloseKey(key);
  return RegDeleteKeyW(parent, path.c_str()) == ERROR_SUCCESS;
}

class Win32Key : public RegistryKey {
 public:
  explicit Win32Key(HKEY key) : key_(key) {}
  ~Win32Key() override { RegCloseKey(key_); }

  bool QueryValue(const std::string& name, uint32_t& type, std::string& data) override {
    std::wstring wname = ToWide(name);
    std::vector<BYTE> raw;
    DWORD t = 0, size = 0;
    LONG r = RegQueryValueExW(key_, wname.c_str(), nullptr, &t, nullptr, &size);
    while (r == ERROR_SUCCESS || r == ERROR_MORE_DATA) {
      raw.resize(size);
      r = RegQueryValueExW(key_, wname.c_str(), nullptr, &t, raw.empty() ? nullptr : raw.data(), &size);
      if (r == ERROR_SUCCESS) {
        raw.resize(size);
        type = t;
        data = IsTextType(t) ? TextFromRegistry(t, raw) : std::string(raw.begin(), raw.end());
        return true;
      }
      // ERROR_MORE_DATA: the value grew between the two calls; `size` has its new size.
    }
    return false;
  }

  bool SetValue(const std::string& name, uint32_t type, const std::string& data) override {
    std::wstring wname = ToWide(name);
    if (IsTextType(type)) {
      std::wstring w = TextToRegistry(type, data);
      return RegSetValueExW(key_, wname.c_str(), 0, type, reinterpret_cast<const BYTE*>(w.data()),
                            static_cast<DWORD>(w.size() * 2)) == ERROR_SUCCESS;
    }
    return RegSetValueExW(key_, wname.c_str(), 0, type, reinterpret_cast<const BYTE*>(data.data()),
                          static_cast<DWORD>(data.size())) == ERROR_SUCCESS;
  }

  bool DeleteValue(const std::string& name) override {
    return RegDeleteValueW(key_, ToWide(name).c_str()) == ERROR_SUCCESS;
  }

  std::vector<std::string> SubKeyNames() override { return Narrow(EnumNames(key_, false)); }
  std::vector<std::string> ValueNames() override { return Narrow(EnumNames(key_, true)); }

  bool DeleteSubKeyTree(const std::string& path) override { return DeleteTree(key_, ToWide(path)); }

 private:
  static std::vector<std::string> Narrow(const std::vector<std::wstring>& names) {
    std::vector<std::string> out;
    out.reserve(names.size());
    for (const auto& n : names) out.push_back(FromWide(n));
    return out;
  }

  HKEY key_;
};

}  // namespace

std::unique_ptr<RegistryKey> Win32Platform::OpenKey(RegRoot root, const std::string& path, bool create) {
  std::wstring wpath = ToWide(path);
  HKEY key;
  const REGSAM full = KEY_READ | KEY_WRITE | DELETE;
  LONG r;
  if (create) {
    r = RegCreateKeyExW(RootKey(root), wpath.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, full, nullptr, &key,
                        nullptr);
  } else {
    r = RegOpenKeyExW(RootKey(root), wpath.c_str(), 0, full, &key);
    // Keys of the machine are read-only to ordinary users; reading them must still work.
    if (r == ERROR_ACCESS_DENIED) r = RegOpenKeyExW(RootKey(root), wpath.c_str(), 0, KEY_READ, &key);
  }
  if (r != ERROR_SUCCESS) return nullptr;
  return std::make_unique<Win32Key>(key);
}

bool Win32Platform::DeleteKeyTree(RegRoot root, const std::string& path) {
  return DeleteTree(RootKey(root), ToWide(path));
}

}  // namespace win32
}  // namespace zarn
