// The program must load on Windows XP: none of its imports may be a function that only
// later versions of Windows have. Read from the import table of the running program.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "platform/win32/win32_api.h"
#include "runtime/sjis.h"

namespace zarn {
namespace {

// "DLL!Function" for every import by name of the running program.
std::vector<std::string> ImportsOfThisProgram() {
  std::vector<std::string> out;
  const BYTE* base = reinterpret_cast<const BYTE*>(GetModuleHandleW(nullptr));
  auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  auto nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (!dir.VirtualAddress) return out;
  for (auto imp = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); imp->Name; ++imp) {
    std::string dll = UpperCase(reinterpret_cast<const char*>(base + imp->Name));
    DWORD thunks = imp->OriginalFirstThunk ? imp->OriginalFirstThunk : imp->FirstThunk;
    for (auto t = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + thunks); t->u1.AddressOfData; ++t) {
      if (IMAGE_SNAP_BY_ORDINAL(t->u1.Ordinal)) continue;
      auto byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + t->u1.AddressOfData);
      out.push_back(dll + "!" + reinterpret_cast<const char*>(byName->Name));
    }
  }
  return out;
}

TEST(Win32Imports, NothingNewerThanWindowsXP) {
  const std::set<std::string> tooNew = {
      "KERNEL32.DLL!GetTickCount64",          "KERNEL32.DLL!InitializeSRWLock",
      "KERNEL32.DLL!AcquireSRWLockExclusive", "KERNEL32.DLL!InitializeConditionVariable",
      "KERNEL32.DLL!SleepConditionVariableCS", "KERNEL32.DLL!WakeAllConditionVariable",
      "KERNEL32.DLL!InitOnceExecuteOnce",     "KERNEL32.DLL!GetSystemTimePreciseAsFileTime",
      "KERNEL32.DLL!FlsAlloc",                "KERNEL32.DLL!CreateSymbolicLinkW",
      "KERNEL32.DLL!GetFinalPathNameByHandleW", "KERNEL32.DLL!GetFileInformationByHandleEx",
      "KERNEL32.DLL!SetFileInformationByHandle", "KERNEL32.DLL!CompareStringEx",
      "KERNEL32.DLL!LCMapStringEx",           "KERNEL32.DLL!GetLocaleInfoEx",
      "KERNEL32.DLL!CancelIoEx",              "KERNEL32.DLL!CreateEventExW",
      "KERNEL32.DLL!CreateMutexExW",          "ADVAPI32.DLL!RegDeleteTreeW",
      "ADVAPI32.DLL!RegGetValueW",            "SHELL32.DLL!SHGetKnownFolderPath",
  };
  std::vector<std::string> imports = ImportsOfThisProgram();
  ASSERT_GT(imports.size(), 20u);
  bool sawKernel = false;
  for (const std::string& name : imports) {
    EXPECT_EQ(tooNew.count(name), 0u) << name << " is missing on Windows XP";
    sawKernel = sawKernel || name == "KERNEL32.DLL!CreateFileW";
  }
  EXPECT_TRUE(sawKernel);
  // Only system libraries: nothing of the compiler's runtime as a DLL of its own.
  for (const std::string& name : imports) {
    std::string dll = name.substr(0, name.find('!'));
    EXPECT_TRUE(dll == "KERNEL32.DLL" || dll == "USER32.DLL" || dll == "GDI32.DLL" || dll == "ADVAPI32.DLL" ||
                dll == "SHELL32.DLL" || dll == "OLE32.DLL" || dll == "OLEAUT32.DLL" || dll == "COMCTL32.DLL" ||
                dll == "COMDLG32.DLL" || dll == "SHLWAPI.DLL" || dll == "MSVCRT.DLL" || dll == "UUID.DLL" ||
                dll == "WINSPOOL.DRV" || dll == "VERSION.DLL")
        << name;
  }
}

}  // namespace
}  // namespace zarn
