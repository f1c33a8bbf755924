// Which file a name or an open file stands for: volume serial number, file
// index, size and the time of the last write.
#include <windows.h>

#include "sys/internal.h"
#include "sys/sys.h"

namespace sys {

namespace {

bool FromHandle(HANDLE handle, FileIdentity* identity) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(handle, &info)) return false;
  identity->volume = info.dwVolumeSerialNumber;
  identity->index = (uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
  identity->size = static_cast<int64_t>((uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow);
  identity->changed = static_cast<int64_t>((uint64_t{info.ftLastWriteTime.dwHighDateTime} << 32) |
                                           info.ftLastWriteTime.dwLowDateTime);
  return true;
}

}  // namespace

bool File::Identity(FileIdentity* identity) {
  if (detail::InjectFault()) return false;
  return FromHandle(reinterpret_cast<HANDLE>(handle_), identity);
}

bool IdentityOf(const std::string& path, FileIdentity* identity) {
  if (detail::InjectFault()) return false;
  // Opened for its attributes only, sharing everything: no other program's
  // use of the file is disturbed.
  HANDLE handle = CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  const bool ok = FromHandle(handle, identity);
  const DWORD error = GetLastError();
  CloseHandle(handle);
  if (!ok) ::SetLastError(error);
  return ok;
}

}  // namespace sys
