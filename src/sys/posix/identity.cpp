// Which file a name or an open file stands for: device, inode, size and the
// time of the last change of its inode (which every write and rename moves).
#include <sys/stat.h>

#include "sys/internal.h"
#include "sys/posix/posix_internal.h"
#include "sys/sys.h"

namespace sys {

namespace {

FileIdentity FromStat(const struct stat& st) {
  FileIdentity id;
  id.volume = static_cast<uint64_t>(st.st_dev);
  id.index = static_cast<uint64_t>(st.st_ino);
  id.size = static_cast<int64_t>(st.st_size);
  id.changed = static_cast<int64_t>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
  return id;
}

}  // namespace

bool File::Identity(FileIdentity* identity) {
  if (detail::InjectFault()) return false;
  struct stat st;
  if (fstat(static_cast<int>(handle_), &st) != 0) {
    posix::SetErrno(errno);
    return false;
  }
  *identity = FromStat(st);
  return true;
}

bool IdentityOf(const std::string& path, FileIdentity* identity) {
  if (detail::InjectFault()) return false;
  const std::string native = NativePath(path);
  struct stat st;
  if (stat(native.c_str(), &st) != 0) {
    posix::SetErrno(errno, native.c_str());
    return false;
  }
  *identity = FromStat(st);
  return true;
}

}  // namespace sys
