// Windows error codes from errno, the last error of the thread, and the short
// texts that the host shows for them (FMSG_ERRORTYPE).
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include "sys/posix/posix_internal.h"
#include "sys/sys.h"

namespace sys {
namespace {

// On Windows the last error belongs to the thread, whichever module set it:
// the host shows the plug-in's error with FMSG_ERRORTYPE. Here the host
// program and the plug-in module each carry a copy of this layer, so the
// first copy publishes its slot through the environment (tagged with the
// process id, so that a child process never trusts an inherited address)
// and every later copy in the same process uses that slot.
constexpr const char* kSlotVariable = "TAGWRIGHT_SYS_LAST_ERROR_SLOT";

uint32_t* FindOrPublishSlot() {
  static uint32_t ownSlot = 0;
  if (const char* published = std::getenv(kSlotVariable)) {
    long long pid = 0;
    uintptr_t address = 0;
    if (std::sscanf(published, "%lld:%" SCNxPTR, &pid, &address) == 2 &&
        pid == static_cast<long long>(getpid()) && address != 0)
      return reinterpret_cast<uint32_t*>(address);
  }
  char text[64];
  std::snprintf(text, sizeof text, "%lld:%" PRIxPTR, static_cast<long long>(getpid()),
                reinterpret_cast<uintptr_t>(&ownSlot));
  setenv(kSlotVariable, text, 1);
  return &ownSlot;
}

// The last errno taken (SetErrno) and the error code made of it, in this copy
// of the layer.
int lastErrno = 0;
uint32_t lastErrnoCode = 0;

uint32_t& LastErrorSlot() {
  static uint32_t* const slot = FindOrPublishSlot();
  return *slot;
}

struct ErrorEntry {
  uint32_t code;
  const char* text;
};

constexpr ErrorEntry kTexts[] = {
    {0, "The operation completed successfully."},
    {1, "Incorrect function."},
    {2, "The file cannot be found."},
    {3, "The path cannot be found."},
    {4, "Too many files are open."},
    {5, "Access is denied."},
    {6, "The handle is invalid."},
    {8, "Not enough memory."},
    {17, "The file cannot be moved to another disk."},
    {19, "The medium is write-protected."},
    {29, "The device cannot be written to."},
    {30, "The device cannot be read from."},
    {31, "A device does not work."},
    {32, "The file is in use by another process."},
    {33, "The process cannot access the file because another process has locked a portion of the file."},
    {38, "The end of the file was reached."},
    {80, "The file exists."},
    {87, "The parameter is incorrect."},
    {112, "There is not enough space on the disk."},
    {123, "The file name is not valid."},
    {131, "The position lies before the start of the file."},
    {145, "The folder is not empty."},
    {161, "The path is not valid."},
    {183, "A file with that name already exists."},
    {206, "The file name or path is too long."},
    {223, "The file is too large."},
    {234, "More data is available."},
    {259, "No more data is available."},
    {1018, "The registry key has been deleted."},
    {1113, "A character of the name has no equivalent in the OEM code page."},
    {1117, "An input or output error occurred."},
};

}  // namespace

uint32_t LastError() { return LastErrorSlot(); }
void SetLastError(uint32_t code) { LastErrorSlot() = code; }

std::string ErrorText(uint32_t code) {
  for (const ErrorEntry& e : kTexts)
    if (e.code == code) return e.text;
  return "Error " + std::to_string(code) + ".";
}

std::string SystemErrorText() {
  const uint32_t code = LastError();
  // A name the OEM code page cannot spell is this layer's reason, not the
  // system's.
  if (lastErrno != 0 && code == lastErrnoCode && code != kErrorNoUnicodeTranslation)
    return std::strerror(lastErrno);
  return ErrorText(code);
}

namespace posix {

uint32_t WindowsError(int error) {
  switch (error) {
    case 0: return 0;
    case ENOENT: return kErrorFileNotFound;
    case ENOTDIR: return kErrorPathNotFound;
    case EACCES:
    case EPERM:
    case EISDIR: return kErrorAccessDenied;
    case EEXIST: return kErrorFileExists;
    case EROFS: return 19;
    case ENOSPC:
    case EDQUOT: return kErrorDiskFull;
    case EMFILE:
    case ENFILE: return 4;
    case EBADF: return 6;
    case ENOMEM: return 8;
    case EXDEV: return 17;
    case EBUSY:
    case ETXTBSY: return 32;
    case EINVAL: return kErrorInvalidParameter;
    case EILSEQ: return 123;
    case ENOTEMPTY: return 145;
    case ENAMETOOLONG: return 206;
    case EFBIG: return 223;
    case EIO: return 1117;
    default: return 31;
  }
}

namespace {

// Whether the folder holds, instead of `name`, a name that the OEM code page
// spells as `name` does: its characters that the code page lacks became '?'
// on the way to the plug-in, and the path it gave back names no file.
bool HoldsUnspellableTwin(const std::string& folder, const std::string& name) {
  if (name.find('?') == std::string::npos || HostTextIsUtf8()) return false;
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return false;
  const std::string spelled = HostNameFromNative(name);
  bool found = false;
  while (const dirent* entry = readdir(dir)) {
    const std::string other = entry->d_name;
    if (other != name && HostNameFromNative(other) == spelled) {
      found = true;
      break;
    }
  }
  closedir(dir);
  return found;
}

}  // namespace

void SetErrno(int error, const char* path) {
  uint32_t code = WindowsError(error);
  if (error == ENOENT && path != nullptr) {
    // Windows tells a missing file from a missing folder on the way to it.
    std::string folder(path);
    const size_t slash = folder.find_last_of('/');
    const std::string name = slash == std::string::npos ? folder : folder.substr(slash + 1);
    if (slash == std::string::npos) {
      folder = ".";
    } else {
      folder.resize(slash == 0 ? 1 : slash);
    }
    struct stat st;
    if (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
      if (slash != std::string::npos && slash != 0) code = kErrorPathNotFound;
    } else if (HoldsUnspellableTwin(folder, name)) {
      code = kErrorNoUnicodeTranslation;
    }
  }
  LastErrorSlot() = code;
  lastErrno = error;
  lastErrnoCode = code;
}

}  // namespace posix
}  // namespace sys
