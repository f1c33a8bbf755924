// The files written since the last SyncWritten, which the platform's part of
// the layer makes durable (posix/files.cpp, win32/files.cpp).
#include <mutex>
#include <set>

#include "sys/internal.h"
#include "sys/sys.h"

namespace sys {
namespace {

struct Written {
  std::mutex lock;
  std::set<std::string> paths;  // in order of their names: a folder's files together
};

Written& State() {
  static Written state;
  return state;
}

}  // namespace

void NoteWritten(const std::string& path) {
  Written& state = State();
  const std::lock_guard<std::mutex> hold(state.lock);
  state.paths.insert(path);
}

size_t PendingWrites() {
  Written& state = State();
  const std::lock_guard<std::mutex> hold(state.lock);
  return state.paths.size();
}

namespace detail {

std::vector<std::string> TakeWritten() {
  Written& state = State();
  const std::lock_guard<std::mutex> hold(state.lock);
  std::vector<std::string> taken(state.paths.begin(), state.paths.end());
  state.paths.clear();
  return taken;
}

void MoveWritten(const std::string& from, const std::string& to) {
  Written& state = State();
  const std::lock_guard<std::mutex> hold(state.lock);
  if (state.paths.erase(from) != 0) state.paths.insert(to);
}

void ForgetWritten(const std::string& path) {
  Written& state = State();
  const std::lock_guard<std::mutex> hold(state.lock);
  state.paths.erase(path);
}

void AddSyncFailure(std::vector<SyncFailure>* failures, const std::string& path) {
  if (failures == nullptr) return;
  for (const SyncFailure& failure : *failures)
    if (failure.path == path) return;
  failures->push_back({path, LastError()});
}

}  // namespace detail
}  // namespace sys
