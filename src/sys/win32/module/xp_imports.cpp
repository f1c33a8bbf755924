// What the DLL imports must exist in the kernel32 of Windows XP, the system of
// FAR 1.70. The static winpthread (under the C++ runtime's threads and locks)
// calls GetTickCount64, which kernel32 has only from Vista on. This file, linked
// into the DLL itself (not from a library, so that it comes before the import
// library), defines the import's pointer: winpthread's calls reach
// TickCount64, and the DLL imports no GetTickCount64.
#include <windows.h>

namespace {

ULONGLONG WINAPI TickCount64() {
  using Function = ULONGLONG(WINAPI*)();
  // Vista and later: the system's own.
  static const Function system = reinterpret_cast<Function>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetTickCount64")));
  if (system != nullptr) return system();
  // XP: GetTickCount, which wraps every 49.7 days; each wrap seen adds 2^32.
  // The waits that use it last far less than a wrap.
  static volatile LONG wraps = 0;
  static volatile LONG last = 0;
  const DWORD now = GetTickCount();
  const DWORD before = static_cast<DWORD>(InterlockedExchange(&last, static_cast<LONG>(now)));
  if (now < before) InterlockedIncrement(&wraps);
  return (static_cast<ULONGLONG>(static_cast<DWORD>(wraps)) << 32) | now;
}

}  // namespace

extern "C" {
#if defined(__i386__)
__attribute__((used)) ULONGLONG(WINAPI* tagwright_imp_GetTickCount64)() __asm__(
    "__imp__GetTickCount64@0") = TickCount64;
#else
__attribute__((used)) ULONGLONG(WINAPI* tagwright_imp_GetTickCount64)() __asm__(
    "__imp_GetTickCount64") = TickCount64;
#endif
}
