// Addresses shared by the copies of the system layer in one process (the test
// program's and the plug-in DLL's), through the process's environment block,
// which every module of the process sees (see sys/internal.h).
#include <windows.h>

#include <cinttypes>
#include <cstdio>

#include "sys/internal.h"

namespace sys::detail {

void PublishAddress(const char* variable, void* address) {
  char text[64];
  std::snprintf(text, sizeof text, "%lu:%" PRIxPTR,
                static_cast<unsigned long>(GetCurrentProcessId()),
                reinterpret_cast<uintptr_t>(address));
  const DWORD error = GetLastError();
  SetEnvironmentVariableA(variable, text);
  SetLastError(error);
}

void* FindPublishedAddress(const char* variable) {
  const DWORD error = GetLastError();
  char text[64];
  const DWORD n = GetEnvironmentVariableA(variable, text, sizeof text);
  SetLastError(error);
  if (n == 0 || n >= sizeof text) return nullptr;
  unsigned long pid = 0;
  uintptr_t address = 0;
  if (std::sscanf(text, "%lu:%" SCNxPTR, &pid, &address) != 2 || pid != GetCurrentProcessId())
    return nullptr;
  return reinterpret_cast<void*>(address);
}

}  // namespace sys::detail
