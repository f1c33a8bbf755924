#include "tags/write_access.h"

namespace tags {

bool KeepFileTimes = false;

namespace {

// The marks that stand in the way of a write or a replacement.
constexpr uint32_t kBlocking = sys::kAttrReadOnly | sys::kAttrHidden | sys::kAttrSystem;
// What SetFileAttributes accepts: read-only, hidden, system, archive, normal,
// temporary, offline, not content indexed. The rest (folder, compressed,
// sparse ...) the file system keeps by itself.
constexpr uint32_t kSettable =
    kBlocking | sys::kAttrArchive | sys::kAttrNormal | 0x100u | 0x1000u | 0x2000u;

uint32_t Settable(uint32_t attributes) {
  const uint32_t settable = attributes & kSettable & ~uint32_t{sys::kAttrNormal};
  return settable != 0 ? settable : uint32_t{sys::kAttrNormal};
}

}  // namespace

WriteAccess::WriteAccess(const std::string& fileName, bool keepTimes)
    : fileName_(fileName), keepTimes_(keepTimes) {
  if (!sys::GetAttributes(fileName_, &attributes_)) return;
  if ((attributes_ & sys::kAttrDirectory) != 0) {
    sys::SetLastError(sys::kErrorAccessDenied);
    return;
  }
  if (keepTimes_ && !sys::GetFileTimes(fileName_, &times_)) return;
  if ((attributes_ & kBlocking) != 0) {
    if (!sys::SetAttributes(fileName_, Settable(attributes_ & ~kBlocking))) {
      // Whatever the failed call did take off goes back on.
      const sys::KeepLastError keep;
      sys::SetAttributes(fileName_, Settable(attributes_));
      return;
    }
    cleared_ = true;
  }
  granted_ = true;
}

WriteAccess::~WriteAccess() {
  if (restored_) return;
  const sys::KeepLastError keep;
  try {
    Restore();
  } catch (...) {
  }
}

bool WriteAccess::Restore() {
  const bool due = granted_ && !restored_;
  restored_ = true;
  if (!due) return true;
  // The first failure is the one the caller reports.
  uint32_t error = sys::kErrorSuccess;
  if (keepTimes_ && !sys::SetFileTimes(fileName_, times_)) error = sys::LastError();
  const uint32_t wanted = Settable(attributes_ | (written_ ? uint32_t{sys::kAttrArchive} : 0u));
  // A file written in place whose marks were left on, and that had the
  // archive mark or was not written, has its attributes as they were.
  if (!cleared_ && !replaced_ && Settable(attributes_) == wanted) {
    if (error == sys::kErrorSuccess) return true;
    sys::SetLastError(error);
    return false;
  }
  uint32_t now = 0;
  // A rebuilt file has the attributes of the copy that took its place, so
  // they are compared, not assumed to be the cleared ones.
  const bool known = sys::GetAttributes(fileName_, &now);
  if ((cleared_ || !known || Settable(now) != wanted) && !sys::SetAttributes(fileName_, wanted) &&
      error == sys::kErrorSuccess)
    error = sys::LastError();
  if (error == sys::kErrorSuccess) return true;
  sys::SetLastError(error);
  return false;
}

}  // namespace tags
