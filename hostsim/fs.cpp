#if defined(_WIN32)
#include <windows.h>
// The system layer's functions of the same names.
#undef DeleteFile
#undef MoveFile
#undef ReplaceFile
#else
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <system_error>
#endif

#include "hostsim/fs.h"

#include <algorithm>
#include <cstring>

#include "hostsim/codepage.h"
#include "hostsim/oem_case.h"
#include "sys/sys.h"

namespace hostsim {

namespace {

void CopyName(const std::string& name, char* field, size_t size) {
  size_t n = std::min(name.size(), size - 1);
  std::memcpy(field, name.data(), n);
  field[n] = '\0';
}

#if !defined(_WIN32)

FarFileTime ToFileTime(const struct timespec& t) {
  // 100-nanosecond steps since 1601-01-01.
  constexpr uint64_t kEpochDifference = 11644473600ULL;
  uint64_t v = (static_cast<uint64_t>(t.tv_sec) + kEpochDifference) * 10000000ULL +
               static_cast<uint64_t>(t.tv_nsec) / 100;
  return FarFileTime{static_cast<DWORD>(v & 0xFFFFFFFFu), static_cast<DWORD>(v >> 32)};
}

bool Describe(const std::string& native, const std::string& oemName, FAR_FIND_DATA* data) {
  struct stat link, target;
  if (lstat(native.c_str(), &link) != 0) return false;
  bool isLink = S_ISLNK(link.st_mode);
  const struct stat& st = (isLink && stat(native.c_str(), &target) == 0) ? target : link;
  std::memset(data, 0, sizeof(*data));
  DWORD attributes = 0;
  if (S_ISDIR(st.st_mode)) {
    attributes |= FAR_FILE_ATTRIBUTE_DIRECTORY;
  } else {
    attributes |= 0x20;  // archive, as Windows shows an ordinary file
  }
  // Read-only as the plug-in's own file layer sees it: an ordinary file
  // without the owner's write permission (whoever runs the host).
  if (S_ISREG(st.st_mode) && !(st.st_mode & S_IWUSR)) attributes |= 0x01;
  if (isLink) attributes |= kAttrReparsePoint;
  data->dwFileAttributes = attributes;
  data->ftCreationTime = ToFileTime(st.st_mtim);
  data->ftLastAccessTime = ToFileTime(st.st_atim);
  data->ftLastWriteTime = ToFileTime(st.st_mtim);
  if (!S_ISDIR(st.st_mode)) {
    uint64_t size = static_cast<uint64_t>(st.st_size);
    data->nFileSizeHigh = static_cast<DWORD>(size >> 32);
    data->nFileSizeLow = static_cast<DWORD>(size & 0xFFFFFFFFu);
  }
  CopyName(oemName, data->cFileName, sizeof(data->cFileName));
  return true;
}

#else

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

#endif

}  // namespace

std::string NativePath(const std::string& oem) {
#if defined(_WIN32)
  return oem;
#else
  return OemToUtf8(oem);
#endif
}

bool NameLess(const char* a, const char* b) {
  int c = CompareNoCase(a, b);
  if (c != 0) return c < 0;
  return std::strcmp(a, b) < 0;
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  // '/' ends a folder on both systems (Windows takes it for '\\').
  char last = folder.back();
  if (last == sys::kPathSeparator || last == '/') return folder + name;
  return folder + sys::kPathSeparator + name;
}

bool ListFolder(const std::string& folder, std::vector<FAR_FIND_DATA>* entries) {
  entries->clear();
#if defined(_WIN32)
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
#else
  std::error_code ec;
  std::filesystem::directory_iterator it(NativePath(folder), ec);
  if (ec) return false;
  for (; it != std::filesystem::directory_iterator(); it.increment(ec)) {
    if (ec) return false;
    std::string utf8Name = it->path().filename().string();
    std::string oemName;
    Utf8ToOem(utf8Name, &oemName);
    FAR_FIND_DATA data;
    if (Describe(it->path().string(), oemName, &data)) entries->push_back(data);
  }
#endif
  std::sort(entries->begin(), entries->end(), [](const FAR_FIND_DATA& a, const FAR_FIND_DATA& b) {
    return NameLess(a.cFileName, b.cFileName);
  });
  return true;
}

bool FindOne(const std::string& path, FAR_FIND_DATA* data) {
#if defined(_WIN32)
  WIN32_FIND_DATAA w;
  HANDLE h = FindFirstFileA(path.c_str(), &w);
  if (h == INVALID_HANDLE_VALUE) return false;
  FindClose(h);
  FromWin32(w, data);
  return true;
#else
  std::string native = NativePath(path);
  std::string name = path;
  size_t cut = name.find_last_of(sys::kPathSeparator);
  if (cut != std::string::npos) name = name.substr(cut + 1);
  return Describe(native, name, data);
#endif
}

std::string AbsolutePath(const std::string& path) {
#if defined(_WIN32)
  char buffer[MAX_PATH * 2];
  std::string slashed = path;
  std::replace(slashed.begin(), slashed.end(), '/', '\\');
  DWORD n = GetFullPathNameA(slashed.c_str(), sizeof(buffer), buffer, nullptr);
  if (n == 0 || n >= sizeof(buffer)) return slashed;
  std::string out(buffer, n);
  // A root keeps its backslash ("C:\"); any other folder loses a trailing one.
  if (out.size() > 3 && out.back() == '\\') out.pop_back();
  return out;
#else
  std::error_code ec;
  std::filesystem::path p = std::filesystem::absolute(NativePath(path), ec);
  if (ec) return path;
  std::string native = p.lexically_normal().string();
  if (native.size() > 1 && native.back() == '/') native.pop_back();
  std::string oem;
  Utf8ToOem(native, &oem);
  return oem;
#endif
}

bool ChangeFolder(const std::string& folder) {
#if defined(_WIN32)
  return SetCurrentDirectoryA(folder.c_str()) != 0;
#else
  return chdir(NativePath(folder).c_str()) == 0;
#endif
}

std::string TemporaryFolder() {
#if defined(_WIN32)
  char buffer[MAX_PATH + 1];
  DWORD n = GetTempPathA(sizeof(buffer), buffer);
  if (n == 0 || n > MAX_PATH) return "C:\\";
  return std::string(buffer, n);
#else
  std::string dir;
  if (!sys::GetEnv("TMPDIR", &dir) || dir.empty()) dir = "/tmp";
  std::string oem;
  Utf8ToOem(dir, &oem);
  if (oem.back() != '/') oem.push_back('/');
  return oem;
#endif
}

bool ReadWholeFile(const std::string& path, std::string* content) {
  content->clear();
  sys::File f;
  if (!f.Open(path, sys::OpenMode::Read)) return false;
  char buffer[65536];
  for (;;) {
    size_t got = 0;
    if (!f.Read(buffer, sizeof(buffer), &got)) return false;
    if (got == 0) break;
    content->append(buffer, got);
  }
  return true;
}

bool WriteWholeFile(const std::string& path, const std::string& content) {
  std::string temporary = path + ".hostsim~";
  sys::File f;
  if (!f.Open(temporary, sys::OpenMode::CreateAlways)) return false;
  bool ok = f.Write(content.data(), content.size()) && f.Flush();
  ok = f.Close() && ok;
  if (!ok || !sys::ReplaceFile(temporary, path)) {
    sys::DeleteFile(temporary);
    return false;
  }
  return true;
}

}  // namespace hostsim
