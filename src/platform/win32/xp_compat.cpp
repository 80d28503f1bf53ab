// Keeps the program loadable on Windows XP. The MinGW thread library that the C++
// runtime links statically imports GetTickCount64, which kernel32 has only from Vista
// on; an import the system lacks stops the program before it starts. This file defines
// that import slot itself, with a function that calls the real one where it exists and
// counts on from GetTickCount elsewhere. The top-level CMakeLists makes the linker take this
// definition (-u) before it reaches kernel32's.
#include "platform/win32/win32_api.h"

namespace {

typedef ULONGLONG(WINAPI* TickCount64Fn)();

TickCount64Fn realTickCount64 = nullptr;
bool resolved = false;
DWORD lastTicks = 0;
ULONGLONG wraps = 0;

// No function-local statics: their guards would call into the thread library, which
// may be what is asking for the time.
ULONGLONG WINAPI TickCount64() {
  if (!resolved) {
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    realTickCount64 = kernel ? reinterpret_cast<TickCount64Fn>(
                                   reinterpret_cast<void*>(GetProcAddress(kernel, "GetTickCount64")))
                             : nullptr;
    resolved = true;
  }
  if (realTickCount64) return realTickCount64();
  // The 32-bit count wraps after 49.7 days; carry the wraps into the high part.
  DWORD now = GetTickCount();
  if (now < lastTicks) wraps += ULONGLONG(1) << 32;
  lastTicks = now;
  return wraps + now;
}

}  // namespace

extern "C" {
// The import slot, under the name the import library gives it: decorated (stdcall,
// leading underscore) on i686, plain on x86_64.
#if defined(__x86_64__)
TickCount64Fn zarnTickCount64Slot __asm__("__imp_GetTickCount64") = TickCount64;
#else
TickCount64Fn zarnTickCount64Slot __asm__("__imp__GetTickCount64@0") = TickCount64;
#endif
}
