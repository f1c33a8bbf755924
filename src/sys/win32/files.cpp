// Files over kernel32. Paths go to the ...A functions as they are: the host
// has switched the process's file functions to the OEM code page.
#include <windows.h>

#include <algorithm>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "sys/internal.h"
#include "sys/sys.h"

namespace sys {
namespace {

HANDLE H(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

constexpr DWORD kChunk = 1u << 30;

bool ReadAll(HANDLE h, void* buffer, size_t size, size_t* got) {
  size_t done = 0;
  while (done < size) {
    const DWORD want = size - done > kChunk ? kChunk : static_cast<DWORD>(size - done);
    DWORD n = 0;
    if (!ReadFile(h, static_cast<char*>(buffer) + done, want, &n, nullptr)) {
      *got = done;
      return false;
    }
    if (n == 0) break;
    done += n;
  }
  *got = done;
  return true;
}

// INVALID_HANDLE_VALUE doubles as the current process's handle for some
// functions, so a closed File must not reach them.
bool NotOpen(intptr_t handle) {
  if (handle != -1) return false;
  ::SetLastError(ERROR_INVALID_HANDLE);
  return true;
}

bool Move(HANDLE h, int64_t distance, DWORD method) {
  LARGE_INTEGER li;
  li.QuadPart = distance;
  return SetFilePointerEx(h, li, nullptr, method) != 0;
}

}  // namespace

File::~File() {
  if (handle_ != -1) CloseHandle(H(handle_));
}

File::File(File&& other) noexcept : handle_(other.handle_) { other.handle_ = -1; }

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    if (handle_ != -1) CloseHandle(H(handle_));
    handle_ = other.handle_;
    other.handle_ = -1;
  }
  return *this;
}

bool File::IsOpen() const { return handle_ != -1; }

bool File::Open(const std::string& path, OpenMode mode) { return Open(path, mode, nullptr); }

bool File::Open(const std::string& path, OpenMode mode, int64_t* size) {
  if (handle_ != -1) {
    CloseHandle(H(handle_));
    handle_ = -1;
  }
  if (detail::InjectFault()) return false;
  DWORD access = GENERIC_READ | GENERIC_WRITE;
  // Others may read.
  DWORD share = FILE_SHARE_READ;
  DWORD disposition = OPEN_EXISTING;
  switch (mode) {
    case OpenMode::Read:
      access = GENERIC_READ;
      // Other readers, and a rename or delete of the name, but no writer: a
      // file that another program is writing is not read half-written.
      share = FILE_SHARE_READ | FILE_SHARE_DELETE;
      break;
    case OpenMode::ReadWrite: break;
    case OpenMode::CreateNew: disposition = CREATE_NEW; break;
    case OpenMode::CreateAlways: disposition = CREATE_ALWAYS; break;
    case OpenMode::OpenAlways:
    case OpenMode::Append: disposition = OPEN_ALWAYS; break;
  }
  const HANDLE h = CreateFileA(path.c_str(), access, share, nullptr, disposition,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  if (size != nullptr) {
    LARGE_INTEGER li;
    if (!GetFileSizeEx(h, &li)) {
      const DWORD error = GetLastError();
      CloseHandle(h);
      ::SetLastError(error);
      return false;
    }
    *size = li.QuadPart;
  }
  if (mode == OpenMode::Append && !SetFilePointerEx(h, LARGE_INTEGER{}, nullptr, FILE_END)) {
    const DWORD error = GetLastError();
    CloseHandle(h);
    ::SetLastError(error);
    return false;
  }
  handle_ = reinterpret_cast<intptr_t>(h);
  return true;
}

bool File::Read(void* buffer, size_t size, size_t* got) {
  size_t dummy = 0;
  if (got == nullptr) got = &dummy;
  *got = 0;
  if (detail::InjectFault()) return false;
  if (NotOpen(handle_)) return false;
  return ReadAll(H(handle_), buffer, size, got);
}

bool File::ReadExact(void* buffer, size_t size) {
  if (detail::InjectFault()) return false;
  if (NotOpen(handle_)) return false;
  size_t got = 0;
  if (!ReadAll(H(handle_), buffer, size, &got)) return false;
  if (got != size) {
    ::SetLastError(ERROR_HANDLE_EOF);
    return false;
  }
  return true;
}

bool File::ReadAt(int64_t position, void* buffer, size_t size, size_t* got) {
  size_t dummy = 0;
  if (got == nullptr) got = &dummy;
  *got = 0;
  if (detail::InjectFault()) return false;
  if (NotOpen(handle_)) return false;
  if (position < 0) {
    ::SetLastError(ERROR_NEGATIVE_SEEK);
    return false;
  }
  size_t done = 0;
  while (done < size) {
    const DWORD want = size - done > kChunk ? kChunk : static_cast<DWORD>(size - done);
    // On a handle opened for synchronous access the offset in OVERLAPPED
    // positions this one read; the call still waits for it.
    const uint64_t at = static_cast<uint64_t>(position) + done;
    OVERLAPPED overlapped{};
    overlapped.Offset = static_cast<DWORD>(at);
    overlapped.OffsetHigh = static_cast<DWORD>(at >> 32);
    DWORD n = 0;
    if (!ReadFile(H(handle_), static_cast<char*>(buffer) + done, want, &n, &overlapped)) {
      // A read that starts at or past the end reports it as this error.
      if (GetLastError() == ERROR_HANDLE_EOF) break;
      *got = done;
      return false;
    }
    if (n == 0) break;
    done += n;
  }
  *got = done;
  return true;
}

bool File::Write(const void* buffer, size_t size) {
  if (detail::InjectFault()) return false;
  if (NotOpen(handle_)) return false;
  size_t done = 0;
  while (done < size) {
    const DWORD want = size - done > kChunk ? kChunk : static_cast<DWORD>(size - done);
    DWORD n = 0;
    if (!WriteFile(H(handle_), static_cast<const char*>(buffer) + done, want, &n, nullptr))
      return false;
    if (n == 0) {
      ::SetLastError(ERROR_DISK_FULL);
      return false;
    }
    done += n;
  }
  return true;
}

bool File::TakeOwnerAndModeOf(const std::string& /*path*/) {
  if (detail::InjectFault()) return false;
  return !NotOpen(handle_);
}

bool CopyRange(File& from, File& to, int64_t count) {
  if (detail::InjectFault()) return false;
  if (NotOpen(from.handle_) || NotOpen(to.handle_)) return false;
  if (count < 0) {
    ::SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  const size_t size = static_cast<size_t>(std::min<int64_t>(count, kCopyBufferSize));
  if (size == 0) return true;
  const std::unique_ptr<char[]> buffer(new (std::nothrow) char[size]);
  if (!buffer) {
    ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return false;
  }
  while (count > 0) {
    size_t got = 0;
    if (!ReadAll(H(from.handle_), buffer.get(),
                 static_cast<size_t>(std::min<int64_t>(count, static_cast<int64_t>(size))), &got))
      return false;
    if (got == 0) {
      ::SetLastError(ERROR_HANDLE_EOF);  // the file is shorter than it was
      return false;
    }
    for (size_t done = 0; done < got;) {
      DWORD n = 0;
      if (!WriteFile(H(to.handle_), buffer.get() + done, static_cast<DWORD>(got - done), &n,
                     nullptr))
        return false;
      if (n == 0) {
        ::SetLastError(ERROR_DISK_FULL);
        return false;
      }
      done += n;
    }
    count -= static_cast<int64_t>(got);
  }
  return true;
}

bool File::Seek(int64_t position) {
  if (detail::InjectFault()) return false;
  if (NotOpen(handle_)) return false;
  return Move(H(handle_), position, FILE_BEGIN);
}

bool File::SeekFromEnd(int64_t offset) {
  if (detail::InjectFault()) return false;
  if (NotOpen(handle_)) return false;
  return Move(H(handle_), offset, FILE_END);
}

bool File::Tell(int64_t* position) {
  if (NotOpen(handle_)) return false;
  LARGE_INTEGER zero, at;
  zero.QuadPart = 0;
  if (!SetFilePointerEx(H(handle_), zero, &at, FILE_CURRENT)) return false;
  *position = at.QuadPart;
  return true;
}

bool File::Size(int64_t* size) {
  if (detail::InjectFault()) return false;
  if (NotOpen(handle_)) return false;
  LARGE_INTEGER li;
  if (!GetFileSizeEx(H(handle_), &li)) return false;
  *size = li.QuadPart;
  return true;
}

bool File::Truncate() {
  if (detail::InjectFault()) return false;
  if (NotOpen(handle_)) return false;
  return SetEndOfFile(H(handle_)) != 0;
}

bool File::Flush() {
  if (detail::InjectFault()) return false;
  if (NotOpen(handle_)) return false;
  return FlushFileBuffers(H(handle_)) != 0;
}

bool File::Close() {
  const bool injected = detail::InjectFault();
  if (handle_ == -1) {
    if (!injected) ::SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  // The handle is released even when the close reports a failure.
  const BOOL closed = CloseHandle(H(handle_));
  handle_ = -1;
  if (injected) {
    ::SetLastError(ERROR_WRITE_FAULT);
    return false;
  }
  return closed != 0;
}

bool DeleteFile(const std::string& path) {
  if (detail::InjectFault()) return false;
  if (!DeleteFileA(path.c_str())) return false;
  detail::ForgetWritten(path);
  return true;
}

bool MoveFile(const std::string& from, const std::string& to) {
  if (detail::InjectFault()) return false;
  if (!MoveFileA(from.c_str(), to.c_str())) return false;
  detail::MoveWritten(from, to);
  return true;
}

bool ReplaceFile(const std::string& from, const std::string& to) {
  if (detail::InjectFault()) return false;
  // NTFS logs the change of name; the new file is flushed with the others.
  if (!MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return false;
  detail::ForgetWritten(from);
  NoteWritten(to);
  return true;
}

namespace {

// The marks SetFileAttributes takes (see tags::WriteAccess).
constexpr DWORD kSettableAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                      FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                      FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_OFFLINE |
                                      FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

HANDLE OpenForFlush(const std::string& path) {
  return CreateFileA(path.c_str(), GENERIC_WRITE,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// FlushFileBuffers needs a handle that may write. A file whose read-only
// mark went back on after the write loses it for the flush and gets it back.
// A file that is gone has nothing left to flush.
bool FlushByName(const std::string& path) {
  if (detail::InjectFault()) return false;
  HANDLE h = OpenForFlush(path);
  DWORD restore = INVALID_FILE_ATTRIBUTES;
  if (h == INVALID_HANDLE_VALUE && GetLastError() == ERROR_ACCESS_DENIED) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
        (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
      const DWORD writable = attributes & kSettableAttributes & ~DWORD{FILE_ATTRIBUTE_READONLY};
      if (SetFileAttributesA(path.c_str(), writable != 0 ? writable : FILE_ATTRIBUTE_NORMAL)) {
        restore = attributes & kSettableAttributes;
        h = OpenForFlush(path);
      }
    }
    if (h == INVALID_HANDLE_VALUE) ::SetLastError(ERROR_ACCESS_DENIED);
  }
  bool flushed = false;
  DWORD error = GetLastError();
  if (h != INVALID_HANDLE_VALUE) {
    flushed = FlushFileBuffers(h) != 0;
    error = GetLastError();
    CloseHandle(h);
  } else if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
    flushed = true;
  }
  if (restore != INVALID_FILE_ATTRIBUTES) SetFileAttributesA(path.c_str(), restore);
  ::SetLastError(error);
  return flushed;
}

}  // namespace

bool SyncWritten(std::vector<SyncFailure>* failures) {
  if (failures != nullptr) failures->clear();
  bool ok = true;
  for (const std::string& path : detail::TakeWritten()) {
    if (!FlushByName(path)) {
      ok = false;
      detail::AddSyncFailure(failures, path);
    }
  }
  return ok;
}

bool GetAttributes(const std::string& path, uint32_t* attributes) {
  const DWORD found = GetFileAttributesA(path.c_str());
  if (found == INVALID_FILE_ATTRIBUTES) return false;
  if (attributes != nullptr) *attributes = found;
  return true;
}

bool SetAttributes(const std::string& path, uint32_t attributes) {
  if (detail::InjectFault()) return false;
  return SetFileAttributesA(path.c_str(), attributes) != 0;
}

namespace {

// FILETIME counts 100 ns from 1601-01-01; FileTime counts from 1970-01-01.
constexpr int64_t kTicksPerSecond = 10000000;
constexpr int64_t kSecondsFrom1601To1970 = 11644473600;

FileTime FromFiletime(const FILETIME& ft) {
  const int64_t ticks =
      static_cast<int64_t>((static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime);
  const int64_t seconds = ticks / kTicksPerSecond;
  const int64_t rest = ticks % kTicksPerSecond;
  return {seconds - kSecondsFrom1601To1970, static_cast<int32_t>(rest * 100)};
}

FILETIME ToFiletime(const FileTime& time) {
  const int64_t ticks =
      (time.seconds + kSecondsFrom1601To1970) * kTicksPerSecond + time.nanoseconds / 100;
  FILETIME ft;
  ft.dwLowDateTime = static_cast<DWORD>(static_cast<uint64_t>(ticks) & 0xFFFFFFFFu);
  ft.dwHighDateTime = static_cast<DWORD>(static_cast<uint64_t>(ticks) >> 32);
  return ft;
}

}  // namespace

bool GetFileTimes(const std::string& path, FileTimes* times) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return false;
  if (times != nullptr) {
    times->modified = FromFiletime(data.ftLastWriteTime);
    times->accessed = FromFiletime(data.ftLastAccessTime);
  }
  return true;
}

bool SetFileTimes(const std::string& path, const FileTimes& times) {
  if (detail::InjectFault()) return false;
  // Changing times needs no write access to the data, so a read-only file
  // takes them too; FILE_FLAG_BACKUP_SEMANTICS lets a folder be opened.
  const HANDLE h = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  const FILETIME accessed = ToFiletime(times.accessed);
  const FILETIME modified = ToFiletime(times.modified);
  const BOOL set = ::SetFileTime(h, nullptr, &accessed, &modified);
  const DWORD error = GetLastError();
  CloseHandle(h);
  if (!set) {
    ::SetLastError(error);
    return false;
  }
  return true;
}

bool CreateFolder(const std::string& path) {
  if (detail::InjectFault()) return false;
  return CreateDirectoryA(path.c_str(), nullptr) != 0;
}

bool Exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsFolder(const std::string& path) {
  const DWORD found = GetFileAttributesA(path.c_str());
  return found != INVALID_FILE_ATTRIBUTES && (found & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool CanListFolder(const std::string& path) {
  if (detail::InjectFault()) return false;
  std::string pattern = path;
  if (!pattern.empty() && pattern.back() != '\\' && pattern.back() != '/' && pattern.back() != ':')
    pattern += '\\';
  pattern += '*';
  WIN32_FIND_DATAA data;
  const HANDLE h = FindFirstFileA(pattern.c_str(), &data);
  if (h == INVALID_HANDLE_VALUE) {
    // Nothing at all, not even "." (a drive's root folder): an empty folder.
    return GetLastError() == ERROR_FILE_NOT_FOUND;
  }
  FindClose(h);
  return true;
}

std::string NativePath(const std::string& hostPath) { return hostPath; }
std::string HostNameFromNative(const std::string& nativeName) { return nativeName; }

uint32_t LastError() { return GetLastError(); }
void SetLastError(uint32_t code) { ::SetLastError(code); }

std::string SystemErrorText() { return ErrorText(LastError()); }

std::string ErrorText(uint32_t code) {
  char text[512];
  DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                           code, 0, text, sizeof text, nullptr);
  while (n > 0 && (text[n - 1] == '\r' || text[n - 1] == '\n' || text[n - 1] == ' ')) --n;
  if (n == 0) return "Error " + std::to_string(code) + ".";
  text[n] = '\0';
  CharToOemA(text, text);
  return std::string(text, n);
}

}  // namespace sys
