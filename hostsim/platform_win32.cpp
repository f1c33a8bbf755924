// The stand-in on Windows: code pages from the system's tables, the file
// system through the Win32 calls that take OEM names (as the host sets them),
// modules through LoadLibrary.
#include <windows.h>
// The system layer's functions of the same names.
#undef DeleteFile
#undef MoveFile
#undef ReplaceFile

#include <algorithm>
#include <cstring>

#include "hostsim/fs.h"
#include "hostsim/platform.h"
#include "sys/sys.h"

namespace hostsim {

namespace {

void CopyName(const std::string& name, char* field, size_t size) {
  size_t n = std::min(name.size(), size - 1);
  std::memcpy(field, name.data(), n);
  field[n] = '\0';
}

void FromWin32(const WIN32_FIND_DATAA& w, FAR_FIND_DATA* data) {
  std::memset(data, 0, sizeof(*data));
  data->dwFileAttributes = w.dwFileAttributes;
  data->ftCreationTime = {w.ftCreationTime.dwLowDateTime, w.ftCreationTime.dwHighDateTime};
  data->ftLastAccessTime = {w.ftLastAccessTime.dwLowDateTime, w.ftLastAccessTime.dwHighDateTime};
  data->ftLastWriteTime = {w.ftLastWriteTime.dwLowDateTime, w.ftLastWriteTime.dwHighDateTime};
  data->nFileSizeHigh = w.nFileSizeHigh;
  data->nFileSizeLow = w.nFileSizeLow;
  data->dwReserved0 = w.dwReserved0;
  data->dwReserved1 = w.dwReserved1;
  CopyName(w.cFileName, data->cFileName, sizeof(data->cFileName));
  CopyName(w.cAlternateFileName, data->cAlternateFileName, sizeof(data->cAlternateFileName));
}

}  // namespace

namespace platform {

bool LoadSystemCodePage(unsigned codePage, CodePageTable* table) {
  if (!IsValidCodePage(codePage)) return false;
  for (int b = 0; b < 256; ++b) {
    char in = static_cast<char>(b);
    wchar_t out[2] = {};
    int n = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, &in, 1, out, 2);
    (*table)[b] = n == 1 ? static_cast<char32_t>(out[0]) : kNoChar;
  }
  return true;
}

// The host's text is OEM here: every character takes one column.
int CharColumns(char32_t c) { return c < 0x20 ? -1 : 1; }

void UseOemFileNames() { SetFileApisToOEM(); }

bool ListFolderEntries(const std::string& folder, std::vector<FAR_FIND_DATA>* entries) {
  entries->clear();
  WIN32_FIND_DATAA w;
  HANDLE h = FindFirstFileA(JoinPath(folder, "*").c_str(), &w);
  if (h == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
  do {
    if (std::strcmp(w.cFileName, ".") == 0 || std::strcmp(w.cFileName, "..") == 0) continue;
    FAR_FIND_DATA data;
    FromWin32(w, &data);
    entries->push_back(data);
  } while (FindNextFileA(h, &w));
  FindClose(h);
  return true;
}

void* OpenModule(const std::string& path, std::string* why) {
  HMODULE module = LoadLibraryA(path.c_str());
  if (module == nullptr) *why = sys::ErrorText(GetLastError());
  return module;
}

void* ModuleSymbol(void* module, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}

void CloseModule(void* module) { FreeLibrary(static_cast<HMODULE>(module)); }

}  // namespace platform

std::string NativePath(const std::string& oem) {
  return oem;
}

bool FindOne(const std::string& path, FAR_FIND_DATA* data) {
  WIN32_FIND_DATAA w;
  HANDLE h = FindFirstFileA(path.c_str(), &w);
  if (h == INVALID_HANDLE_VALUE) return false;
  FindClose(h);
  FromWin32(w, data);
  return true;
}

std::string AbsolutePath(const std::string& path) {
  char buffer[MAX_PATH * 2];
  std::string slashed = path;
  std::replace(slashed.begin(), slashed.end(), '/', '\\');
  DWORD n = GetFullPathNameA(slashed.c_str(), sizeof(buffer), buffer, nullptr);
  if (n == 0 || n >= sizeof(buffer)) return slashed;
  std::string out(buffer, n);
  // A root keeps its backslash ("C:\"); any other folder loses a trailing one.
  if (out.size() > 3 && out.back() == '\\') out.pop_back();
  return out;
}

bool ChangeFolder(const std::string& folder) {
  return SetCurrentDirectoryA(folder.c_str()) != 0;
}

std::string TemporaryFolder() {
  char buffer[MAX_PATH + 1];
  DWORD n = GetTempPathA(sizeof(buffer), buffer);
  if (n == 0 || n > MAX_PATH) return "C:\\";
  return std::string(buffer, n);
}

}  // namespace hostsim
