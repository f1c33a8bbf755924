// Addresses shared by the copies of the system layer in one process, through
// the environment (see sys/internal.h).
#include <unistd.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>

#include "sys/internal.h"

namespace sys::detail {

void PublishAddress(const char* variable, void* address) {
  char text[64];
  std::snprintf(text, sizeof text, "%lld:%" PRIxPTR, static_cast<long long>(getpid()),
                reinterpret_cast<uintptr_t>(address));
  setenv(variable, text, 1);
}

void* FindPublishedAddress(const char* variable) {
  const char* published = std::getenv(variable);
  if (published == nullptr) return nullptr;
  long long pid = 0;
  uintptr_t address = 0;
  if (std::sscanf(published, "%lld:%" SCNxPTR, &pid, &address) != 2 ||
      pid != static_cast<long long>(getpid()))
    return nullptr;
  return reinterpret_cast<void*>(address);
}

}  // namespace sys::detail
