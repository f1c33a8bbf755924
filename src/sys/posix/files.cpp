// Files over POSIX: OEM paths become UTF-8 at the boundary, errno becomes a
// Windows error code, and the few Windows rules that callers rely on are kept
// (a read-only file cannot be opened for writing or deleted, a taken name is
// never replaced by MoveFile, a folder is not a file).
#define _FILE_OFFSET_BITS 64

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <new>
#include <set>
#include <string>
#include <vector>

#include "sys/internal.h"
#include "sys/posix/posix_internal.h"
#include "sys/sys.h"

namespace sys {
namespace {

using posix::SetErrno;

constexpr uint32_t kErrorInvalidHandle = 6;
constexpr uint32_t kErrorNegativeSeek = 131;

// Hidden, system and archive marks (and read-only on a folder, where the mode
// bits keep their POSIX meaning) live in an extended attribute when the file
// system has them; without one a file is "archive", like a fresh Windows file.
constexpr char kAttributeName[] = "user.tagwright.attributes";

int Fd(intptr_t handle) { return static_cast<int>(handle); }

bool IsReadOnlyMode(mode_t mode) { return S_ISREG(mode) && !(mode & S_IWUSR); }
bool IsReadOnlyFile(const struct stat& st) { return IsReadOnlyMode(st.st_mode); }

std::string FolderOf(const std::string& native) {
  const size_t slash = native.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return native.substr(0, slash);
}

// Reads until `size` bytes or the end of the file: from the file's position,
// or from `at` when it is not negative, without moving the position.
bool ReadAll(int fd, void* buffer, size_t size, size_t* got, int64_t at = -1) {
  size_t done = 0;
  while (done < size) {
    char* into = static_cast<char*>(buffer) + done;
    const ssize_t n =
        at < 0 ? read(fd, into, size - done)
               : pread(fd, into, size - done, static_cast<off_t>(at + static_cast<int64_t>(done)));
    if (n < 0) {
      if (errno == EINTR) continue;
      SetErrno(errno == EBADF ? EACCES : errno);
      *got = done;
      return false;
    }
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  *got = done;
  return true;
}

// Writes all `size` bytes at the file's position.
bool WriteAll(int fd, const void* buffer, size_t size) {
  size_t done = 0;
  while (done < size) {
    const ssize_t n = write(fd, static_cast<const char*>(buffer) + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const int error = n < 0 ? errno : ENOSPC;
      SetErrno(error == EBADF ? EACCES : error);
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

int OpenRetrying(const std::string& native, int flags) {
  int fd;
  do {
    fd = open(native.c_str(), flags, 0666);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

// Moves a regular file to another file system: copied to a name that must be
// new, flushed, then the source removed. A failure removes the copy only.
bool CopyAcross(const std::string& from, const std::string& to) {
  const int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) {
    SetErrno(errno, from.c_str());
    return false;
  }
  struct stat st;
  if (fstat(in, &st) != 0) {
    SetErrno(errno);
    close(in);
    return false;
  }
  const int out = open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, st.st_mode & 07777);
  if (out < 0) {
    const int error = errno;
    if (error == EEXIST)
      SetLastError(kErrorAlreadyExists);
    else
      SetErrno(error, to.c_str());
    close(in);
    return false;
  }
  bool ok = true;
  char buffer[1 << 16];
  for (;;) {
    size_t got = 0;
    if (!ReadAll(in, buffer, sizeof buffer, &got)) {
      ok = false;
      break;
    }
    if (got == 0) break;
    for (size_t done = 0; done < got;) {
      const ssize_t n = write(out, buffer + done, got - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        SetErrno(n < 0 ? errno : ENOSPC);
        ok = false;
        break;
      }
      done += static_cast<size_t>(n);
    }
    if (!ok) break;
  }
  if (ok && fsync(out) != 0) {
    SetErrno(errno);
    ok = false;
  }
  if (close(out) != 0 && ok) {
    SetErrno(errno);
    ok = false;
  }
  close(in);
  if (ok && unlink(from.c_str()) != 0) {
    SetErrno(errno, from.c_str());
    ok = false;
  }
  if (!ok) unlink(to.c_str());
  return ok;
}

bool ReadStoredAttributes(const std::string& native, uint32_t* stored) {
  char text[16];
  const ssize_t n = getxattr(native.c_str(), kAttributeName, text, sizeof text - 1);
  if (n <= 0) return false;
  text[n] = '\0';
  char* end = nullptr;
  const unsigned long value = std::strtoul(text, &end, 10);
  if (end == text || *end != '\0') return false;
  *stored = static_cast<uint32_t>(value);
  return true;
}

}  // namespace

// ---------------------------------------------------------------- File

namespace {

// Where every call on an open file starts: an injected fault, or no open
// file, fails it.
bool Ready(int handle) {
  if (detail::InjectFault()) return false;
  if (handle < 0) {
    SetLastError(kErrorInvalidHandle);
    return false;
  }
  return true;
}

}  // namespace

File::~File() {
  if (handle_ >= 0) close(Fd(handle_));
}

File::File(File&& other) noexcept : handle_(other.handle_) { other.handle_ = -1; }

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    if (handle_ >= 0) close(Fd(handle_));
    handle_ = other.handle_;
    other.handle_ = -1;
  }
  return *this;
}

bool File::IsOpen() const { return handle_ >= 0; }

bool File::Open(const std::string& path, OpenMode mode) { return Open(path, mode, nullptr); }

bool File::Open(const std::string& path, OpenMode mode, int64_t* size) {
  if (handle_ >= 0) {
    close(Fd(handle_));
    handle_ = -1;
  }
  if (detail::InjectFault()) return false;
  std::string storage;
  const std::string& native = posix::NativeForm(path, &storage);
  int flags = O_CLOEXEC;
  switch (mode) {
    case OpenMode::Read: flags |= O_RDONLY; break;
    case OpenMode::ReadWrite:
    case OpenMode::OpenAlways: flags |= O_RDWR; break;
    case OpenMode::Append: flags |= O_RDWR | O_APPEND; break;
    case OpenMode::CreateNew: flags |= O_RDWR | O_CREAT | O_EXCL; break;
    case OpenMode::CreateAlways: flags |= O_RDWR | O_CREAT | O_TRUNC; break;
  }
  // Windows keeps a read-only file from being written even by an
  // administrator; root on POSIX would not be stopped by the mode bits. An
  // open file is looked at through its handle; only a truncation must be
  // kept from the file before it happens.
  if (mode == OpenMode::CreateAlways) {
    struct stat st;
    if (stat(native.c_str(), &st) == 0 && (IsReadOnlyFile(st) || S_ISDIR(st.st_mode))) {
      SetLastError(kErrorAccessDenied);
      return false;
    }
  }
  bool created = mode == OpenMode::CreateNew || mode == OpenMode::CreateAlways;
  int fd = OpenRetrying(native, flags);
  if (fd < 0 && errno == ENOENT && (mode == OpenMode::OpenAlways || mode == OpenMode::Append)) {
    created = true;
    fd = OpenRetrying(native, flags | O_CREAT | O_EXCL);
    if (fd < 0 && errno == EEXIST) {  // another program was quicker
      created = false;
      fd = OpenRetrying(native, flags);
    }
  }
  if (fd < 0) {
    SetErrno(errno, native.c_str());
    return false;
  }
  // Only the type, mode and size are asked for: a look at the times would
  // make the file system give every later write of ours a fine-grained
  // timestamp (and an inode update) instead of a coarse one. Where the kernel
  // or a sandbox has no statx, the C library answers it with fstatat.
  struct statx st;
  const bool known = statx(fd, "", AT_EMPTY_PATH, STATX_TYPE | STATX_MODE | STATX_SIZE, &st) == 0;
  if (!known && size != nullptr) {
    SetErrno(errno);
    close(fd);
    return false;
  }
  if (known && (S_ISDIR(st.stx_mode) || (mode != OpenMode::Read && !created && IsReadOnlyMode(st.stx_mode)))) {
    close(fd);
    SetLastError(kErrorAccessDenied);
    return false;
  }
  if (size != nullptr) *size = static_cast<int64_t>(st.stx_size);
  handle_ = fd;
  return true;
}

bool File::Read(void* buffer, size_t size, size_t* got) {
  size_t dummy = 0;
  if (got == nullptr) got = &dummy;
  *got = 0;
  if (!Ready(handle_)) return false;
  return ReadAll(Fd(handle_), buffer, size, got);
}

bool File::ReadExact(void* buffer, size_t size) {
  if (!Ready(handle_)) return false;
  size_t got = 0;
  if (!ReadAll(Fd(handle_), buffer, size, &got)) return false;
  if (got != size) {
    SetLastError(kErrorHandleEof);
    return false;
  }
  return true;
}

bool File::ReadAt(int64_t position, void* buffer, size_t size, size_t* got) {
  size_t dummy = 0;
  if (got == nullptr) got = &dummy;
  *got = 0;
  if (!Ready(handle_)) return false;
  if (position < 0) {
    SetLastError(kErrorNegativeSeek);
    return false;
  }
  return ReadAll(Fd(handle_), buffer, size, got, position);
}

bool File::Write(const void* buffer, size_t size) {
  if (!Ready(handle_)) return false;
  return WriteAll(Fd(handle_), buffer, size);
}

bool File::TakeOwnerAndModeOf(const std::string& path) {
  if (!Ready(handle_)) return false;
  const std::string native = NativePath(path);
  struct stat old, own;
  if (stat(native.c_str(), &old) != 0) {
    SetErrno(errno, native.c_str());
    return false;
  }
  if (fstat(Fd(handle_), &own) != 0) {
    SetErrno(errno);
    return false;
  }
  if ((own.st_uid != old.st_uid || own.st_gid != old.st_gid) &&
      fchown(Fd(handle_), old.st_uid, old.st_gid) != 0) {
    // An ordinary user may not give a file away; the group may still be kept.
    [[maybe_unused]] const int groupOnly = fchown(Fd(handle_), static_cast<uid_t>(-1), old.st_gid);
  }
  // After the owner: a change of owner clears the set-user-ID bits.
  if ((own.st_mode & 07777) != (old.st_mode & 07777) &&
      fchmod(Fd(handle_), old.st_mode & 07777) != 0) {
    SetErrno(errno);
    return false;
  }
  return true;
}

bool File::Seek(int64_t position) {
  if (!Ready(handle_)) return false;
  if (position < 0) {
    SetLastError(kErrorNegativeSeek);
    return false;
  }
  if (lseek(Fd(handle_), static_cast<off_t>(position), SEEK_SET) < 0) {
    SetErrno(errno);
    return false;
  }
  return true;
}

bool File::SeekFromEnd(int64_t offset) {
  if (!Ready(handle_)) return false;
  struct stat st;
  if (fstat(Fd(handle_), &st) != 0) {
    SetErrno(errno);
    return false;
  }
  if (offset < -static_cast<int64_t>(st.st_size)) {
    SetLastError(kErrorNegativeSeek);
    return false;
  }
  if (lseek(Fd(handle_), static_cast<off_t>(st.st_size + offset), SEEK_SET) < 0) {
    SetErrno(errno);
    return false;
  }
  return true;
}

bool File::Tell(int64_t* position) {
  if (handle_ < 0) {
    SetLastError(kErrorInvalidHandle);
    return false;
  }
  const off_t at = lseek(Fd(handle_), 0, SEEK_CUR);
  if (at < 0) {
    SetErrno(errno);
    return false;
  }
  *position = at;
  return true;
}

bool File::Size(int64_t* size) {
  if (!Ready(handle_)) return false;
  struct stat st;
  if (fstat(Fd(handle_), &st) != 0) {
    SetErrno(errno);
    return false;
  }
  *size = st.st_size;
  return true;
}

bool File::Truncate() {
  if (!Ready(handle_)) return false;
  const off_t at = lseek(Fd(handle_), 0, SEEK_CUR);
  if (at < 0 || ftruncate(Fd(handle_), at) != 0) {
    SetErrno(errno == EBADF || errno == EINVAL ? EACCES : errno);
    return false;
  }
  return true;
}

bool File::Flush() {
  if (!Ready(handle_)) return false;
  if (fsync(Fd(handle_)) != 0) {
    SetErrno(errno);
    return false;
  }
  return true;
}

bool CopyRange(File& from, File& to, int64_t count) {
  if (!Ready(from.handle_)) return false;
  if (to.handle_ < 0) {
    SetLastError(kErrorInvalidHandle);
    return false;
  }
  if (count < 0) {
    SetLastError(kErrorInvalidParameter);
    return false;
  }
  const int in = Fd(from.handle_);
  const int out = Fd(to.handle_);
  // The kernel copies without bringing the bytes up here, and where the file
  // system can, without copying them at all. Where it cannot (another file
  // system, an old kernel) the buffer goes on from where it stopped.
  // A piece at a time: the disk starts writing each piece while the next is
  // copied, so the flush that follows finds little left to write, and the
  // source's pages, which the copy will not read again (it is the file the
  // copy replaces), leave the cache instead of pushing other files out. A
  // 1 GiB copy took two thirds of the time of one request and a flush.
  constexpr int64_t kPiece = int64_t{32} << 20;
  off_t inAt = lseek(in, 0, SEEK_CUR);
  off_t outAt = lseek(out, 0, SEEK_CUR);
  while (count > 0) {
    const size_t want = static_cast<size_t>(std::min<int64_t>(count, kPiece));
    const ssize_t n = copy_file_range(in, nullptr, out, nullptr, want, 0);
    if (n > 0) {
      count -= n;
      // Hints only: a failure changes nothing that is written.
      if (outAt >= 0) {
        sync_file_range(out, outAt, n, SYNC_FILE_RANGE_WRITE);
        outAt += n;
      }
      if (inAt >= 0) {
        posix_fadvise(in, inAt, n, POSIX_FADV_DONTNEED);
        inAt += n;
      }
      continue;
    }
    if (n == 0) {
      SetLastError(kErrorHandleEof);  // the file is shorter than it was
      return false;
    }
    if (errno == EINTR) continue;
    if (errno == EXDEV || errno == ENOSYS || errno == EOPNOTSUPP || errno == EINVAL) break;
    SetErrno(errno == EBADF ? EACCES : errno);
    return false;
  }
  if (count <= 0) return true;
  const size_t size = static_cast<size_t>(std::min<int64_t>(count, kCopyBufferSize));
  const std::unique_ptr<char[]> buffer(new (std::nothrow) char[size]);
  if (!buffer) {
    SetLastError(kErrorNotEnoughMemory);
    return false;
  }
  while (count > 0) {
    size_t got = 0;
    if (!ReadAll(in, buffer.get(), static_cast<size_t>(std::min<int64_t>(count, size)), &got))
      return false;
    if (got == 0) {
      SetLastError(kErrorHandleEof);
      return false;
    }
    if (!WriteAll(out, buffer.get(), got)) return false;
    count -= static_cast<int64_t>(got);
  }
  return true;
}

bool File::Close() {
  const bool injected = detail::InjectFault();
  if (handle_ < 0) {
    if (!injected) SetLastError(kErrorInvalidHandle);
    return false;
  }
  // The descriptor is released even when the close reports a failure.
  const int result = close(Fd(handle_));
  const int error = errno;
  handle_ = -1;
  if (injected) return false;
  if (result != 0 && error != EINTR) {
    SetErrno(error);
    return false;
  }
  return true;
}

// ---------------------------------------------------------------- names

bool DeleteFile(const std::string& path) {
  if (detail::InjectFault()) return false;
  const std::string native = NativePath(path);
  struct stat st;
  if (lstat(native.c_str(), &st) != 0) {
    SetErrno(errno, native.c_str());
    return false;
  }
  if (S_ISDIR(st.st_mode) || IsReadOnlyFile(st)) {
    SetLastError(kErrorAccessDenied);
    return false;
  }
  if (unlink(native.c_str()) != 0) {
    SetErrno(errno, native.c_str());
    return false;
  }
  detail::ForgetWritten(path);
  return true;
}

namespace {

bool Move(const std::string& from, const std::string& to) {
  const std::string source = NativePath(from);
  const std::string target = NativePath(to);
  struct stat same;
  if (source == target && lstat(source.c_str(), &same) == 0) return true;  // as Windows does
  if (renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0)
    return true;
  int error = errno;
  if (error == EINVAL || error == ENOSYS) {
    // A file system without RENAME_NOREPLACE: a hard link cannot take a name
    // that exists either; a folder is checked first and renamed.
    struct stat st;
    if (lstat(source.c_str(), &st) != 0) {
      SetErrno(errno, source.c_str());
      return false;
    }
    if (!S_ISDIR(st.st_mode) && link(source.c_str(), target.c_str()) == 0) {
      unlink(source.c_str());
      return true;
    }
    error = S_ISDIR(st.st_mode) ? EPERM : errno;
    if (error == EPERM || error == EOPNOTSUPP) {
      struct stat taken;
      if (lstat(target.c_str(), &taken) == 0) {
        error = EEXIST;
      } else if (rename(source.c_str(), target.c_str()) == 0) {
        return true;
      } else {
        error = errno;
      }
    }
  }
  if (error == EXDEV) {
    struct stat st;
    if (lstat(source.c_str(), &st) == 0 && S_ISREG(st.st_mode)) return CopyAcross(source, target);
  }
  if (error == EEXIST || error == ENOTEMPTY) {
    SetLastError(kErrorAlreadyExists);
  } else {
    SetErrno(error, error == ENOENT && access(source.c_str(), F_OK) == 0 ? target.c_str()
                                                                           : source.c_str());
  }
  return false;
}

}  // namespace

bool MoveFile(const std::string& from, const std::string& to) {
  if (detail::InjectFault()) return false;
  if (!Move(from, to)) return false;
  detail::MoveWritten(from, to);
  return true;
}

bool ReplaceFile(const std::string& from, const std::string& to) {
  if (detail::InjectFault()) return false;
  const std::string source = NativePath(from);
  const std::string target = NativePath(to);
  struct stat st;
  const bool exists = lstat(target.c_str(), &st) == 0;
  if (exists && (S_ISDIR(st.st_mode) || IsReadOnlyFile(st))) {
    SetLastError(kErrorAccessDenied);
    return false;
  }
  // The replacement keeps the owner and permissions of the file it replaces:
  // a private file must not become readable by others through a tag save.
  // The caller gave them to the copy before flushing it; one that did not
  // gets them here, without the flush.
  struct stat old, own;
  if (exists && stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode) &&
      stat(source.c_str(), &own) == 0) {
    if ((own.st_uid != old.st_uid || own.st_gid != old.st_gid) &&
        chown(source.c_str(), old.st_uid, old.st_gid) != 0) {
      [[maybe_unused]] const int groupOnly =
          chown(source.c_str(), static_cast<uid_t>(-1), old.st_gid);
    }
    if ((own.st_mode & 07777) != (old.st_mode & 07777)) chmod(source.c_str(), old.st_mode & 07777);
  }
  if (rename(source.c_str(), target.c_str()) != 0) {
    const int error = errno;
    SetErrno(error, error == ENOENT && access(source.c_str(), F_OK) == 0 ? target.c_str()
                                                                          : source.c_str());
    return false;
  }
  // The new name reaches the disk with the folder, at the next SyncWritten.
  detail::ForgetWritten(from);
  NoteWritten(to);
  return true;
}

// ---------------------------------------------------------------- durability

namespace {

// Up to this many files are synced one by one, with their folders; more go
// through their file systems at once (syncfs), which costs about as much as
// a few of them, but also waits for whatever else on the file system is
// not yet on the disk.
constexpr size_t kSyncOneByOneLimit = 32;

// fsync of one file or folder by its name. A file that is gone has nothing
// left to sync; a folder on a file system that cannot sync folders has its
// entries synced with the file system's own journal.
bool SyncPath(const std::string& native, bool folder) {
  if (detail::InjectFault()) return false;
  const int fd = OpenRetrying(native, O_RDONLY | O_CLOEXEC | (folder ? O_DIRECTORY : 0));
  if (fd < 0) {
    if (errno == ENOENT) return true;
    SetErrno(errno, native.c_str());
    return false;
  }
  const int result = fsync(fd);
  const int error = errno;
  close(fd);
  if (result == 0 || (folder && error == EINVAL)) return true;
  SetErrno(error);
  return false;
}

bool SyncOneByOne(const std::vector<std::string>& noted, std::vector<SyncFailure>* failures) {
  bool ok = true;
  std::map<std::string, std::string> folders;  // native folder: the first file noted in it
  for (const std::string& path : noted) {
    const std::string native = NativePath(path);
    folders.emplace(FolderOf(native), path);
    if (!SyncPath(native, false)) {
      ok = false;
      detail::AddSyncFailure(failures, path);
    }
  }
  for (const auto& [folder, path] : folders) {
    if (!SyncPath(folder, true)) {
      ok = false;
      detail::AddSyncFailure(failures, path);
    }
  }
  return ok;
}

// syncfs of every file system that holds a noted file; false when one of
// them failed or could not be reached.
bool SyncFileSystems(const std::vector<std::string>& noted) {
  std::set<std::string> folders;
  for (const std::string& path : noted) folders.insert(FolderOf(NativePath(path)));
  std::set<dev_t> done;
  bool ok = true;
  for (const std::string& folder : folders) {
    const int fd = OpenRetrying(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
      ok = false;
      continue;
    }
    struct stat st;
    if (fstat(fd, &st) == 0 && done.insert(st.st_dev).second &&
        (detail::InjectFault() || syncfs(fd) != 0))
      ok = false;
    close(fd);
  }
  return ok;
}

}  // namespace

bool SyncWritten(std::vector<SyncFailure>* failures) {
  if (failures != nullptr) failures->clear();
  const std::vector<std::string> noted = detail::TakeWritten();
  if (noted.empty()) return true;
  if (noted.size() > kSyncOneByOneLimit && SyncFileSystems(noted)) return true;
  // Also after a failed syncfs, which may concern any file on the file
  // system: each of ours says whether it reached the disk.
  return SyncOneByOne(noted, failures);
}

bool GetAttributes(const std::string& path, uint32_t* attributes) {
  const std::string native = NativePath(path);
  struct stat st;
  if (stat(native.c_str(), &st) != 0) {
    SetErrno(errno, native.c_str());
    return false;
  }
  const bool folder = S_ISDIR(st.st_mode);
  uint32_t result = folder ? uint32_t{kAttrDirectory} : 0u;
  if (IsReadOnlyFile(st)) result |= kAttrReadOnly;
  uint32_t stored = 0;
  if (ReadStoredAttributes(native, &stored)) {
    result |= stored & (kAttrHidden | kAttrSystem | kAttrArchive | (folder ? uint32_t{kAttrReadOnly} : 0u));
  } else {
    if (!folder) result |= kAttrArchive;
    const size_t slash = native.find_last_of('/');
    const std::string name = slash == std::string::npos ? native : native.substr(slash + 1);
    if (name.size() > 1 && name[0] == '.' && name != "..") result |= kAttrHidden;
  }
  if (result == 0) result = kAttrNormal;
  if (attributes != nullptr) *attributes = result;
  return true;
}

bool SetAttributes(const std::string& path, uint32_t attributes) {
  if (detail::InjectFault()) return false;
  const std::string native = NativePath(path);
  struct stat st;
  if (stat(native.c_str(), &st) != 0) {
    SetErrno(errno, native.c_str());
    return false;
  }
  const bool folder = S_ISDIR(st.st_mode);
  const uint32_t keep = kAttrHidden | kAttrSystem | kAttrArchive | (folder ? uint32_t{kAttrReadOnly} : 0u);
  const std::string text = std::to_string(attributes & keep);
  const auto store = [&] {
    // Without extended attributes these marks are simply not kept.
    setxattr(native.c_str(), kAttributeName, text.data(), text.size(), 0);
  };
  if (folder) {
    store();
    return true;
  }
  const bool readOnly = (attributes & kAttrReadOnly) != 0;
  mode_t mode = st.st_mode & 07777;
  if (readOnly) {
    store();
    mode &= ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH);
  } else if (!(mode & S_IWUSR)) {
    mode |= S_IWUSR;
  }
  if (mode != (st.st_mode & 07777) && chmod(native.c_str(), mode) != 0) {
    SetErrno(errno, native.c_str());
    return false;
  }
  if (!readOnly) store();
  return true;
}

bool GetFileTimes(const std::string& path, FileTimes* times) {
  const std::string native = NativePath(path);
  struct stat st;
  if (stat(native.c_str(), &st) != 0) {
    SetErrno(errno, native.c_str());
    return false;
  }
  if (times != nullptr) {
    times->modified = {static_cast<int64_t>(st.st_mtim.tv_sec),
                       static_cast<int32_t>(st.st_mtim.tv_nsec)};
    times->accessed = {static_cast<int64_t>(st.st_atim.tv_sec),
                       static_cast<int32_t>(st.st_atim.tv_nsec)};
  }
  return true;
}

bool SetFileTimes(const std::string& path, const FileTimes& times) {
  if (detail::InjectFault()) return false;
  const std::string native = NativePath(path);
  const struct timespec stamps[2] = {
      {static_cast<time_t>(times.accessed.seconds), static_cast<long>(times.accessed.nanoseconds)},
      {static_cast<time_t>(times.modified.seconds), static_cast<long>(times.modified.nanoseconds)},
  };
  if (utimensat(AT_FDCWD, native.c_str(), stamps, 0) != 0) {
    SetErrno(errno, native.c_str());
    return false;
  }
  return true;
}

bool CreateFolder(const std::string& path) {
  if (detail::InjectFault()) return false;
  const std::string native = NativePath(path);
  if (mkdir(native.c_str(), 0777) != 0) {
    const int error = errno;
    if (error == EEXIST)
      SetLastError(kErrorAlreadyExists);
    else if (error == ENOENT)
      SetLastError(kErrorPathNotFound);
    else
      SetErrno(error, native.c_str());
    return false;
  }
  return true;
}

bool Exists(const std::string& path) {
  struct stat st;
  return stat(NativePath(path).c_str(), &st) == 0;
}

bool IsFolder(const std::string& path) {
  struct stat st;
  return stat(NativePath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool CanListFolder(const std::string& path) {
  if (detail::InjectFault()) return false;
  const std::string native = NativePath(path);
  DIR* folder = opendir(native.c_str());
  if (folder == nullptr) {
    const int error = errno;
    // Windows lists "folder\*" and so misses a path, not a file.
    if (error == ENOENT || error == ENOTDIR)
      SetLastError(kErrorPathNotFound);
    else
      SetErrno(error, native.c_str());
    return false;
  }
  closedir(folder);
  return true;
}

}  // namespace sys
