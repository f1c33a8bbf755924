// The registry subset: the advapi32 functions themselves, HKEY_CURRENT_USER.
#include <windows.h>

#include "sys/sys.h"

namespace sys {
namespace {

HKEY K(RegKey key) { return static_cast<HKEY>(key); }

}  // namespace

RegKey CurrentUserKey() { return HKEY_CURRENT_USER; }

long RegOpenKeyEx(RegKey parent, const char* subkey, uint32_t access, RegKey* result) {
  HKEY opened = nullptr;
  const LONG status = RegOpenKeyExA(K(parent), subkey, 0, access, &opened);
  if (result != nullptr) *result = status == ERROR_SUCCESS ? opened : nullptr;
  return status;
}

long RegCreateKeyEx(RegKey parent, const char* subkey, uint32_t access, RegKey* result) {
  HKEY created = nullptr;
  const LONG status = RegCreateKeyExA(K(parent), subkey != nullptr ? subkey : "", 0, nullptr, 0,
                                      access, nullptr, &created, nullptr);
  if (result != nullptr) *result = status == ERROR_SUCCESS ? created : nullptr;
  return status;
}

long RegQueryValueEx(RegKey key, const char* name, uint32_t* type, uint8_t* data,
                     uint32_t* size) {
  DWORD t = 0;
  DWORD s = size != nullptr ? *size : 0;
  const LONG status =
      RegQueryValueExA(K(key), name, nullptr, &t, data, size != nullptr ? &s : nullptr);
  if (type != nullptr) *type = t;
  if (size != nullptr) *size = s;
  return status;
}

long RegSetValueEx(RegKey key, const char* name, uint32_t type, const uint8_t* data,
                   uint32_t size) {
  return RegSetValueExA(K(key), name, 0, type, data, size);
}

long RegDeleteValue(RegKey key, const char* name) { return RegDeleteValueA(K(key), name); }

long RegEnumValue(RegKey key, uint32_t index, char* name, uint32_t* nameSize, uint32_t* type,
                  uint8_t* data, uint32_t* dataSize) {
  DWORD n = nameSize != nullptr ? *nameSize : 0;
  DWORD t = 0;
  DWORD d = dataSize != nullptr ? *dataSize : 0;
  const LONG status = RegEnumValueA(K(key), index, name, nameSize != nullptr ? &n : nullptr,
                                    nullptr, &t, data, dataSize != nullptr ? &d : nullptr);
  if (nameSize != nullptr) *nameSize = n;
  if (type != nullptr) *type = t;
  if (dataSize != nullptr) *dataSize = d;
  return status;
}

long RegEnumKeyEx(RegKey key, uint32_t index, char* name, uint32_t* nameSize) {
  DWORD n = nameSize != nullptr ? *nameSize : 0;
  const LONG status = RegEnumKeyExA(K(key), index, name, nameSize != nullptr ? &n : nullptr,
                                    nullptr, nullptr, nullptr, nullptr);
  if (nameSize != nullptr) *nameSize = n;
  return status;
}

long RegDeleteKey(RegKey parent, const char* subkey) { return RegDeleteKeyA(K(parent), subkey); }

long RegCloseKey(RegKey key) { return ::RegCloseKey(K(key)); }

// The registry itself keeps each change; there is nothing to group.
bool RegStorable(std::string* where) {
  where->clear();
  return true;
}

void RegBeginChanges() {}
long RegCommitChanges() { return ERROR_SUCCESS; }

}  // namespace sys
