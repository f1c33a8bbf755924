// What sys::File builds from its own system-specific operations.
#include "sys/sys.h"

namespace sys {

bool File::ReadExactAt(int64_t position, void* buffer, size_t size) {
  size_t got = 0;
  if (!ReadAt(position, buffer, size, &got)) return false;
  if (got != size) {
    SetLastError(kErrorHandleEof);
    return false;
  }
  return true;
}

}  // namespace sys
