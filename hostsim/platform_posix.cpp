// The stand-in on POSIX: code pages from iconv, the file system through
// POSIX calls with names in the host's text (OEM names converted to UTF-8,
// UTF-8 names as they are), modules through dlopen.
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <iconv.h>
#include <locale.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <cwchar>
#include <filesystem>
#include <system_error>

#include "hostsim/fs.h"
#include "hostsim/host_text.h"
#include "hostsim/platform.h"
#include "sys/sys.h"

namespace hostsim {

namespace {

// iconv's names for the Windows code page numbers the host can meet.
std::string IconvName(unsigned codePage) {
  switch (codePage) {
    case 20866: return "KOI8-R";
    case 21866: return "KOI8-U";
    case 28605: return "ISO-8859-15";
    case 10007: return "MAC-CYRILLIC";
    default: break;
  }
  if (codePage >= 28591 && codePage <= 28599) {
    return "ISO-8859-" + std::to_string(codePage - 28590);
  }
  return "CP" + std::to_string(codePage);
}

// One byte alone: its character, or kNoChar.
char32_t DecodeAlone(iconv_t cd, unsigned char byte) {
  char in = static_cast<char>(byte);
  unsigned char out[8] = {};
  char* inPtr = &in;
  size_t inLeft = 1;
  char* outPtr = reinterpret_cast<char*>(out);
  size_t outLeft = sizeof(out);
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  size_t r = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
  if (r == static_cast<size_t>(-1) || sizeof(out) - outLeft != 4) return kNoChar;
  return static_cast<char32_t>(out[0] | out[1] << 8 | out[2] << 16 |
                               static_cast<uint32_t>(out[3]) << 24);
}

bool LoadWithIconv(unsigned codePage, CodePageTable* table) {
  // UCS-4LE is built into the C library's converter (UTF-32LE would load a
  // module of its own) and gives the same characters.
  iconv_t cd = iconv_open("UCS-4LE", IconvName(codePage).c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  // The bytes in runs, each run in one conversion (a conversion per byte
  // costs iconv's set-up 256 times); a byte without a character ends a run
  // and is decoded alone. Where the characters do not line up with the bytes
  // (a code page that joins a letter and its accent), every byte alone.
  char bytes[256];
  for (int b = 0; b < 256; ++b) bytes[b] = static_cast<char>(b);
  uint32_t units[512];
  int b = 0;
  bool aligned = true;
  while (b < 256) {
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* inPtr = bytes + b;
    size_t inLeft = static_cast<size_t>(256 - b);
    char* outPtr = reinterpret_cast<char*>(units);
    size_t outLeft = sizeof(units);
    const size_t r = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    const size_t taken = static_cast<size_t>(256 - b) - inLeft;
    if ((sizeof(units) - outLeft) / sizeof(uint32_t) != taken) {
      aligned = false;
      break;
    }
    for (size_t i = 0; i < taken; ++i) (*table)[b + static_cast<int>(i)] = units[i];
    b += static_cast<int>(taken);
    if (r != static_cast<size_t>(-1) || b >= 256) break;
    (*table)[b] = DecodeAlone(cd, static_cast<unsigned char>(b));
    ++b;
  }
  if (!aligned)
    for (int each = 0; each < 256; ++each)
      (*table)[each] = DecodeAlone(cd, static_cast<unsigned char>(each));
  iconv_close(cd);
  return true;
}

FarFileTime ToFileTime(const struct timespec& t) {
  // 100-nanosecond steps since 1601-01-01.
  constexpr uint64_t kEpochDifference = 11644473600ULL;
  uint64_t v = (static_cast<uint64_t>(t.tv_sec) + kEpochDifference) * 10000000ULL +
               static_cast<uint64_t>(t.tv_nsec) / 100;
  return FarFileTime{static_cast<DWORD>(v & 0xFFFFFFFFu), static_cast<DWORD>(v >> 32)};
}

// `name` (native) in the folder open as `folder`, or AT_FDCWD for a path.
bool Describe(int folder, const char* name, const std::string& hostName, FAR_FIND_DATA* data) {
  struct stat link, target;
  if (fstatat(folder, name, &link, AT_SYMLINK_NOFOLLOW) != 0) return false;
  bool isLink = S_ISLNK(link.st_mode);
  const struct stat& st = (isLink && fstatat(folder, name, &target, 0) == 0) ? target : link;
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
  CopyToField(hostName, data->cFileName, sizeof(data->cFileName));
  return true;
}

}  // namespace

namespace platform {

bool LoadSystemCodePage(unsigned codePage, CodePageTable* table) {
  return LoadWithIconv(codePage, table);
}

int CharColumns(char32_t c) {
  // wcwidth reads the thread's locale: the Unicode one for the call, whatever
  // locale the program set.
  static const locale_t unicode =
      newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
  if (unicode == static_cast<locale_t>(nullptr)) return 1;
  const locale_t previous = uselocale(unicode);
  const int columns = wcwidth(static_cast<wchar_t>(c));
  uselocale(previous);
  return columns;
}

void UseOemFileNames() {}

bool ListFolderEntries(const std::string& folder, std::vector<FAR_FIND_DATA>* entries) {
  entries->clear();
  DIR* dir = opendir(NativePath(folder).c_str());
  if (dir == nullptr) return false;
  // Each entry is looked at relative to the open folder: no path is built
  // and walked again per name.
  const int at = dirfd(dir);
  // Room for a usual folder at once: the entries are large to move as the
  // list grows.
  entries->reserve(64);
  std::string hostName;
  for (;;) {
    errno = 0;
    const struct dirent* entry = readdir(dir);
    if (entry == nullptr) break;
    const char* name = entry->d_name;
    if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
    Utf8ToHost(name, &hostName);
    FAR_FIND_DATA data;
    if (Describe(at, name, hostName, &data)) entries->push_back(data);
  }
  const bool complete = errno == 0;
  closedir(dir);
  return complete;
}

void* OpenModule(const std::string& path, std::string* why) {
  // RTLD_NODELETE: the module stays mapped after dlclose, so that a sanitizer
  // report at exit can still name its functions; its static objects are
  // destroyed at exit instead.
  // The host's copy of the system layer publishes its last-error slot before
  // the module's copy can, so the slot both share is the one that outlives
  // every module (FMSG_ERRORTYPE shows the error the module left).
  sys::SetLastError(sys::LastError());
  void* module = dlopen(NativePath(path).c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
  if (module == nullptr) {
    const char* reason = dlerror();
    *why = reason != nullptr ? reason : "unknown reason";
  }
  return module;
}

void* ModuleSymbol(void* module, const char* name) { return dlsym(module, name); }

void CloseModule(void* module) { dlclose(module); }

}  // namespace platform

std::string NativePath(const std::string& hostPath) { return HostToUtf8(hostPath); }

bool FindOne(const std::string& path, FAR_FIND_DATA* data) {
  std::string native = NativePath(path);
  std::string name = path;
  size_t cut = name.find_last_of(sys::kPathSeparator);
  if (cut != std::string::npos) name = name.substr(cut + 1);
  return Describe(AT_FDCWD, native.c_str(), name, data);
}

std::string AbsolutePath(const std::string& path) {
  std::error_code ec;
  std::filesystem::path p = std::filesystem::absolute(NativePath(path), ec);
  if (ec) return path;
  std::string native = p.lexically_normal().string();
  if (native.size() > 1 && native.back() == '/') native.pop_back();
  std::string hostPath;
  Utf8ToHost(native, &hostPath);
  return hostPath;
}

bool ChangeFolder(const std::string& folder) {
  return chdir(NativePath(folder).c_str()) == 0;
}

std::string TemporaryFolder() {
  std::string dir;
  if (!sys::GetEnv("TMPDIR", &dir) || dir.empty()) dir = "/tmp";
  std::string hostPath;
  Utf8ToHost(dir, &hostPath);
  if (hostPath.back() != '/') hostPath.push_back('/');
  return hostPath;
}

}  // namespace hostsim
