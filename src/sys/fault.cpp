// Fault injection for tests: a file layer that fails from its Nth operation on,
// so that tests can prove a failed write at any step loses nothing.
#include <atomic>

#include "sys/internal.h"
#include "sys/sys.h"

namespace sys {
namespace {

std::atomic<int> g_failFrom{0};
std::atomic<int> g_count{0};

}  // namespace

void FailFileOperationsFrom(int n) {
  g_failFrom = n < 0 ? 0 : n;
  g_count = 0;
}

int FileOperationCount() { return g_count; }

namespace detail {

bool InjectFault() {
  const int count = ++g_count;
  const int from = g_failFrom;
  if (from == 0 || count < from) return false;
  SetLastError(kErrorWriteFault);
  return true;
}

}  // namespace detail
}  // namespace sys
