// Fault injection for tests: a file layer that fails from its Nth operation on,
// so that tests can prove a failed write at any step loses nothing.
//
// A scenario test arms it in the test program while the plug-in module, with a
// copy of this layer of its own, does the writing; so the state that a copy
// shares (a host program before it loads a module, a test when it arms) is
// published through the environment and the other copies find it. A module
// never publishes its own: it could be unloaded while the address stays.
#include <atomic>

#include "sys/internal.h"
#include "sys/sys.h"

namespace sys {
namespace {

constexpr char kStateVariable[] = "TAGWRIGHT_SYS_FAULT_STATE";

struct FaultState {
  std::atomic<int> failFrom{0};
  std::atomic<int> failCount{0};
  std::atomic<int> count{0};
  std::atomic<int> actAt{0};
  void (*action)(void*) = nullptr;
  void* context = nullptr;
};

FaultState g_own;
std::atomic<FaultState*> g_shared{nullptr};

// The state this copy uses: the one published in the process when it first
// asks, else its own. Looked up once: every file operation asks.
FaultState* Shared() {
  FaultState* state = g_shared.load(std::memory_order_acquire);
  if (state != nullptr) return state;
  state = static_cast<FaultState*>(detail::FindPublishedAddress(kStateVariable));
  if (state == nullptr) state = &g_own;
  g_shared.store(state, std::memory_order_release);
  return state;
}

FaultState& State() { return *Shared(); }

}  // namespace

void ShareFileOperationState() {
  FaultState* state = Shared();
  if (detail::FindPublishedAddress(kStateVariable) == nullptr)
    detail::PublishAddress(kStateVariable, state);
}

void FailFileOperationsFrom(int n, int count) {
  ShareFileOperationState();
  FaultState* state = Shared();
  state->failFrom = n < 0 ? 0 : n;
  state->failCount = count < 0 ? 0 : count;
  state->count = 0;
}

void RunBeforeFileOperation(int n, void (*action)(void*), void* context) {
  FailFileOperationsFrom(0);
  FaultState& state = *Shared();
  state.action = action;
  state.context = context;
  state.actAt = action != nullptr ? n : 0;
}

int FileOperationCount() { return State().count; }

namespace detail {

bool InjectFault() {
  FaultState& state = State();
  // Every file operation passes here. The file operations a test counts run
  // on one thread, so the count needs no locked increment.
  const int count = state.count.load(std::memory_order_relaxed) + 1;
  state.count.store(count, std::memory_order_relaxed);
  if (count == state.actAt.load(std::memory_order_relaxed) && state.action != nullptr) {
    // What another program does meanwhile; it does not count.
    const int before = state.count;
    state.actAt = 0;
    state.action(state.context);
    state.count = before;
  }
  const int from = state.failFrom.load(std::memory_order_relaxed);
  if (from == 0 || count < from || count - from >= state.failCount.load(std::memory_order_relaxed))
    return false;
  SetLastError(kErrorWriteFault);
  return true;
}

}  // namespace detail
}  // namespace sys
