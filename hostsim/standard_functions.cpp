// FarStandardFunctions: number conversion, sorting, case over the host's text
// (the OEM code page, or Unicode where the host speaks UTF-8), masks, the
// recursive search, temporary names, path helpers.
//
// Functions whose destination has no size in the interface (itoa, MkTemp,
// AddEndSlash, GetPathRoot, ProcessName with PN_GENERATENAME ...) write at
// most NM bytes, the size the host's documentation gives such buffers.
#include <algorithm>
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string_view>
#include <vector>

#include "hostsim/fs.h"
#include "hostsim/host.h"
#include "hostsim/host_text.h"
#include "hostsim/keys.h"
#include "hostsim/masks.h"
#include "hostsim/oem_case.h"
#include "hostsim/services.h"
#include "sys/sys.h"

namespace hostsim {

namespace {

size_t Len(const char* s, size_t max = 65536) { return s != nullptr ? strnlen(s, max) : 0; }

// At most `room` bytes with the zero, never half a character.
void PutText(const std::string& text, char* dest, size_t room) { CopyToField(text, dest, room); }

// ---------------------------------------------------------------- numbers

template <typename T>
T ParseDecimal(const char* s) {
  if (s == nullptr) return 0;
  while (*s == ' ' || *s == '\t' || *s == '\n' || *s == '\r' || *s == '\v' || *s == '\f') ++s;
  bool negative = false;
  if (*s == '-' || *s == '+') negative = *s++ == '-';
  unsigned long long v = 0;
  for (; *s >= '0' && *s <= '9'; ++s) v = v * 10 + static_cast<unsigned>(*s - '0');
  if (negative) v = 0 - v;
  return static_cast<T>(v);
}

int WINAPI AtoiService(const char* s) { return ParseDecimal<int>(s); }
long long WINAPI Atoi64Service(const char* s) { return ParseDecimal<long long>(s); }

char* FormatNumber(long long value, char* string, int radix) {
  if (string == nullptr) return nullptr;
  if (radix < 2 || radix > 36) radix = 10;
  static const char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  bool negative = radix == 10 && value < 0;
  unsigned long long v = negative ? 0 - static_cast<unsigned long long>(value)
                                  : static_cast<unsigned long long>(value);
  char buffer[72];
  size_t n = 0;
  do {
    buffer[n++] = kDigits[v % static_cast<unsigned>(radix)];
    v /= static_cast<unsigned>(radix);
  } while (v != 0);
  size_t out = 0;
  if (negative) string[out++] = '-';
  while (n > 0) string[out++] = buffer[--n];
  string[out] = '\0';
  return string;
}

char* WINAPI ItoaService(int value, char* string, int radix) {
  // Other radixes print the bits of the int, as C's itoa does.
  long long v = radix == 10 ? value : static_cast<long long>(static_cast<unsigned>(value));
  return FormatNumber(v, string, radix);
}

char* WINAPI Itoa64Service(long long value, char* string, int radix) {
  return FormatNumber(value, string, radix);
}

int WINAPIV SprintfService(char* Buffer, const char* Format, ...) {
  if (Buffer == nullptr || Format == nullptr) return -1;
  va_list args;
  va_start(args, Format);
  int r = std::vsprintf(Buffer, Format, args);
  va_end(args);
  return r;
}

int WINAPIV SscanfService(const char* Buffer, const char* Format, ...) {
  if (Buffer == nullptr || Format == nullptr) return -1;
  va_list args;
  va_start(args, Format);
  int r = std::vsscanf(Buffer, Format, args);
  va_end(args);
  return r;
}

// ---------------------------------------------------------------- sorting

// A stable merge sort of element indices that works with any comparison
// function (the C library's qsort may misbehave when one is inconsistent),
// and gives the same order on every platform.
template <typename Less>
void SortBytes(void* base, size_t nelem, size_t width, Less less) {
  if (base == nullptr || nelem < 2 || width == 0) return;
  auto* bytes = static_cast<char*>(base);
  std::vector<size_t> order(nelem), scratch(nelem);
  for (size_t i = 0; i < nelem; ++i) order[i] = i;
  for (size_t run = 1; run < nelem; run *= 2) {
    for (size_t lo = 0; lo < nelem; lo += 2 * run) {
      size_t mid = std::min(lo + run, nelem), hi = std::min(lo + 2 * run, nelem);
      size_t a = lo, b = mid, out = lo;
      while (a < mid && b < hi) {
        // Take from the right run only when it is strictly smaller: stable.
        if (less(bytes + order[b] * width, bytes + order[a] * width)) {
          scratch[out++] = order[b++];
        } else {
          scratch[out++] = order[a++];
        }
      }
      while (a < mid) scratch[out++] = order[a++];
      while (b < hi) scratch[out++] = order[b++];
    }
    order.swap(scratch);
  }
  std::vector<char> sorted(nelem * width);
  for (size_t i = 0; i < nelem; ++i) std::memcpy(&sorted[i * width], bytes + order[i] * width, width);
  std::memcpy(bytes, sorted.data(), sorted.size());
}

void WINAPI QsortService(void* base, size_t nelem, size_t width, FARSTDCMP fcmp) {
  if (fcmp == nullptr) return;
  SortBytes(base, nelem, width, [fcmp](const void* a, const void* b) { return fcmp(a, b) < 0; });
}

void WINAPI QsortexService(void* base, size_t nelem, size_t width, FARSTDCMPEX fcmp,
                           void* userparam) {
  if (fcmp == nullptr) return;
  SortBytes(base, nelem, width,
            [fcmp, userparam](const void* a, const void* b) { return fcmp(a, b, userparam) < 0; });
}

void* WINAPI BsearchService(const void* key, const void* base, size_t nelem, size_t width,
                            FARSTDCMP fcmp) {
  if (base == nullptr || fcmp == nullptr || width == 0) return nullptr;
  const char* bytes = static_cast<const char*>(base);
  size_t lo = 0, hi = nelem;
  while (lo < hi) {
    size_t mid = lo + (hi - lo) / 2;
    int c = fcmp(key, bytes + mid * width);
    if (c == 0) return const_cast<char*>(bytes + mid * width);
    if (c < 0) {
      hi = mid;
    } else {
      lo = mid + 1;
    }
  }
  return nullptr;
}

// ---------------------------------------------------------------- case

// One character: in OEM a byte (other values are none). In UTF-8 an ASCII
// character or a Unicode value from U+0100; 0x80 to 0xFF are what a plug-in
// that goes byte by byte passes, pieces of UTF-8 sequences that no case
// change may touch.
bool IsCharacter(unsigned ch) {
  if (!HostSpeaksUtf8()) return ch < 256;
  return ch < 0x80 || (ch >= 0x100 && ch <= 0x10FFFF);
}

int WINAPI LIsLowerService(unsigned Ch) { return IsCharacter(Ch) && HostIsLower(Ch); }
int WINAPI LIsUpperService(unsigned Ch) { return IsCharacter(Ch) && HostIsUpper(Ch); }
int WINAPI LIsAlphaService(unsigned Ch) { return IsCharacter(Ch) && HostIsAlpha(Ch); }
int WINAPI LIsAlphanumService(unsigned Ch) {
  return IsCharacter(Ch) && (HostIsAlpha(Ch) || (Ch >= '0' && Ch <= '9'));
}
unsigned WINAPI LUpperService(unsigned Ch) { return IsCharacter(Ch) ? HostUpper(Ch) : Ch; }
unsigned WINAPI LLowerService(unsigned Ch) { return IsCharacter(Ch) ? HostLower(Ch) : Ch; }

void WINAPI LUpperBufService(char* Buf, int Length) {
  if (Buf != nullptr && Length > 0) ChangeCaseInPlace(Buf, static_cast<size_t>(Length), true);
}

void WINAPI LLowerBufService(char* Buf, int Length) {
  if (Buf != nullptr && Length > 0) ChangeCaseInPlace(Buf, static_cast<size_t>(Length), false);
}

void WINAPI LStruprService(char* s1) {
  if (s1 != nullptr) LUpperBufService(s1, static_cast<int>(std::strlen(s1)));
}

void WINAPI LStrlwrService(char* s1) {
  if (s1 != nullptr) LLowerBufService(s1, static_cast<int>(std::strlen(s1)));
}

int WINAPI LStricmpService(const char* s1, const char* s2) {
  if (s1 == nullptr || s2 == nullptr) return s1 == s2 ? 0 : (s1 == nullptr ? -1 : 1);
  return CompareNoCase(s1, s2);
}

// `n` characters.
int WINAPI LStrnicmpService(const char* s1, const char* s2, int n) {
  if (n <= 0) return 0;
  if (s1 == nullptr || s2 == nullptr) return s1 == s2 ? 0 : (s1 == nullptr ? -1 : 1);
  return CompareNoCase(s1, s2, static_cast<size_t>(n));
}

// ---------------------------------------------------------------- strings and paths

void WINAPI UnquoteService(char* Str) {
  if (Str == nullptr) return;
  char* out = Str;
  for (char* in = Str; *in != '\0'; ++in) {
    if (*in != '"') *out++ = *in;
  }
  *out = '\0';
}

DWORD WINAPI ExpandEnvironmentStrService(const char* src, char* dst, size_t size) {
  std::string in(src != nullptr ? src : ""), out;
  for (size_t i = 0; i < in.size(); ++i) {
    size_t close = in[i] == '%' ? in.find('%', i + 1) : std::string::npos;
    std::string value;
    if (close != std::string::npos && close > i + 1 &&
        sys::GetEnv(in.substr(i + 1, close - i - 1).c_str(), &value)) {
      out += value;
      i = close;
    } else {
      out.push_back(in[i]);
    }
  }
  PutText(out, dst, size);
  return static_cast<DWORD>(out.size() + 1);
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

char* WINAPI LTrimService(char* Str) {
  if (Str == nullptr) return nullptr;
  size_t skip = 0;
  while (IsBlank(Str[skip])) ++skip;
  std::memmove(Str, Str + skip, std::strlen(Str + skip) + 1);
  return Str;
}

char* WINAPI RTrimService(char* Str) {
  if (Str == nullptr) return nullptr;
  size_t n = std::strlen(Str);
  while (n > 0 && IsBlank(Str[n - 1])) Str[--n] = '\0';
  return Str;
}

char* WINAPI TrimService(char* Str) { return RTrimService(LTrimService(Str)); }

// Longer than MaxLength characters: "..." and the end of the text (or just
// the start when there is no room for the dots). Whole characters only.
char* WINAPI TruncStrService(char* Str, int MaxLength) {
  if (Str == nullptr || MaxLength < 0) return Str;
  const std::string_view text(Str);
  const size_t len = HostCharCount(text), max = static_cast<size_t>(MaxLength);
  if (len <= max) return Str;
  if (max > 3) {
    const size_t from = HostCharsBytes(text, len - (max - 3));
    std::memmove(Str + 3, Str + from, text.size() - from + 1);
    std::memcpy(Str, "...", 3);
  } else {
    Str[HostCharsBytes(text, max)] = '\0';
  }
  return Str;
}

size_t RootLength(const char* path) {
  size_t len = std::strlen(path);
  if (len >= 3 && path[1] == ':' && (path[2] == '\\' || path[2] == '/')) return 3;
  if (len >= 2 && path[0] == '\\' && path[1] == '\\') {
    // \\server\share\ .
    const char* server = std::strchr(path + 2, '\\');
    const char* share = server != nullptr ? std::strchr(server + 1, '\\') : nullptr;
    if (share != nullptr) return static_cast<size_t>(share - path) + 1;
  }
  if (len >= 1 && path[0] == '/') return 1;
  return 0;
}

// Longer than MaxLength characters: the root kept, then "...", then the end
// of the path, in whole characters.
char* WINAPI TruncPathStrService(char* Str, int MaxLength) {
  if (Str == nullptr || MaxLength < 0) return Str;
  const std::string_view text(Str);
  const size_t len = HostCharCount(text), max = static_cast<size_t>(MaxLength);
  if (len <= max) return Str;
  const size_t root = RootLength(Str);
  const size_t rootChars = HostCharCount(text.substr(0, root));
  // The root, the dots and at least two characters of the end must fit.
  if (root == 0 || rootChars + 5 > max) return TruncStrService(Str, MaxLength);
  const size_t tail = max - rootChars - 3;
  const size_t from = HostCharsBytes(text, len - tail);
  std::memmove(Str + root + 3, Str + from, text.size() - from + 1);
  std::memcpy(Str + root, "...", 3);
  return Str;
}

char* WINAPI QuoteSpaceOnlyService(char* Str) {
  if (Str == nullptr) return nullptr;
  size_t len = std::strlen(Str);
  if (std::strchr(Str, ' ') == nullptr || (len >= 2 && Str[0] == '"' && Str[len - 1] == '"')) {
    return Str;
  }
  if (len + 3 > static_cast<size_t>(NM)) return Str;
  std::memmove(Str + 1, Str, len);
  Str[0] = '"';
  Str[len + 1] = '"';
  Str[len + 2] = '\0';
  return Str;
}

char* WINAPI PointToNameService(const char* Path) {
  if (Path == nullptr) return nullptr;
  const char* name = Path;
  for (const char* p = Path; *p != '\0'; ++p) {
    if (std::strchr(sys::kPathSeparators, *p) != nullptr) name = p + 1;
  }
  return const_cast<char*>(name);
}

void WINAPI GetPathRootService(const char* Path, char* Root) {
  if (Root == nullptr) return;
  std::string path(Path != nullptr ? Path : "");
  PutText(path.substr(0, RootLength(path.c_str())), Root, NM);
}

BOOL WINAPI AddEndSlashService(char* Path) {
  if (Path == nullptr) return 0;
  size_t len = std::strlen(Path);
  if (len > 0 && (Path[len - 1] == sys::kPathSeparator || Path[len - 1] == '/')) return 1;
  if (len + 2 > static_cast<size_t>(NM)) return 0;
  Path[len] = sys::kPathSeparator;
  Path[len + 1] = '\0';
  return 1;
}

int WINAPI CopyToClipboardService(const char* Data) {
  Host::Current().clipboard() = Data != nullptr ? Data : "";
  return 1;
}

char* WINAPI PasteFromClipboardService() {
  const std::string& text = Host::Current().clipboard();
  char* copy = new char[text.size() + 1];
  std::memcpy(copy, text.c_str(), text.size() + 1);
  return copy;
}

void WINAPI DeleteBufferService(char* Buffer) { delete[] Buffer; }

BOOL WINAPI FarKeyToNameService(int Key, char* KeyText, int Size) {
  if (KeyText == nullptr || Size <= 0) return 0;
  PutText(KeyName(static_cast<DWORD>(Key)), KeyText, static_cast<size_t>(Size));
  return 1;
}

int WINAPI FarNameToKeyService(const char* Name) {
  DWORD key;
  return Name != nullptr && ParseKeyName(Name, &key) ? static_cast<int>(key) : -1;
}

int WINAPI FarInputRecordToKeyService(const void*) { return 0; }

char* WINAPI XLatService(char* Line, int, int, const CharTableSet*, DWORD) { return Line; }

int WINAPI GetFileOwnerService(const char*, const char*, char* Owner) {
  if (Owner != nullptr) Owner[0] = '\0';
  return 0;
}

int WINAPI GetNumberOfLinksService(const char*) { return 1; }

// ---------------------------------------------------------------- search, names, temporary files

constexpr int kMaxSearchDepth = 64;  // a loop of links ends here

bool Search(const std::string& folder, const MaskList& masks, FRSUSERFUNC func, DWORD flags,
            void* param, int depth) {
  std::vector<FAR_FIND_DATA> entries;
  if (!ListFolder(folder, &entries)) return true;
  // The folder's part of every full path is laid down once.
  std::string full = JoinPath(folder, "");
  const size_t folderLength = full.size();
  for (const FAR_FIND_DATA& e : entries) {
    full.resize(folderLength);
    full += e.cFileName;
    bool matches = MatchMaskList(masks, e.cFileName);
    if (matches && func(&e, full.c_str(), param) == 0) return false;
    bool isFolder = (e.dwFileAttributes & FAR_FILE_ATTRIBUTE_DIRECTORY) != 0;
    bool isLink = (e.dwFileAttributes & kAttrReparsePoint) != 0;
    if (isFolder && (flags & FRS_RECUR) && (!isLink || (flags & FRS_SCANSYMLINK)) &&
        depth < kMaxSearchDepth) {
      if (!Search(full, masks, func, flags, param, depth + 1)) return false;
      // FRS_RETUPDIR: the folder once more on the way back up.
      if ((flags & FRS_RETUPDIR) && matches && func(&e, full.c_str(), param) == 0) return false;
    }
  }
  return true;
}

// Every file and folder below InitDir whose name matches Mask, folder by
// folder in name order, a folder before its content; Func's 0 stops it all.
void WINAPI FarRecursiveSearchService(const char* InitDir, const char* Mask, FRSUSERFUNC Func,
                                      DWORD Flags, void* Param) {
  if (Func == nullptr || InitDir == nullptr || *InitDir == '\0' || Mask == nullptr || *Mask == '\0') {
    return;
  }
  MaskList masks;
  if (!ParseMaskList(std::string(Mask, Len(Mask)), &masks)) return;
  Search(std::string(InitDir, Len(InitDir)), masks, Func, Flags, Param, 0);
}

char* WINAPI MkTempService(char* Dest, const char* Prefix) {
  if (Dest == nullptr) return nullptr;
  static std::atomic<unsigned> counter{static_cast<unsigned>(std::time(nullptr)) & 0xFFFFF};
  std::string prefix("FAR");
  if (Prefix != nullptr && *Prefix != '\0') {
    const std::string_view given(Prefix, Len(Prefix, 64));
    prefix.assign(given.substr(0, HostFitBytes(given, 8)));
  }
  std::string folder = TemporaryFolder();
  for (int attempt = 0; attempt < 1000; ++attempt) {
    char unique[16];
    std::snprintf(unique, sizeof(unique), "%05X", counter++ & 0xFFFFF);
    std::string name = folder + prefix + unique + ".tmp";
    if (name.size() >= static_cast<size_t>(NM)) return nullptr;
    if (!sys::Exists(name)) {
      PutText(name, Dest, NM);
      return Dest;
    }
  }
  return nullptr;
}

int WINAPI ProcessNameService(const char* param1, char* param2, DWORD flags) {
  if (param1 == nullptr || param2 == nullptr) return 0;
  std::string name(param2, Len(param2));
  if (flags & PN_SKIPPATH) name = PointToNameService(param2);
  std::string mask(param1, Len(param1));
  if (flags & PN_CMPNAMELIST) return MatchMaskList(mask, name) ? 1 : 0;
  if (flags & PN_GENERATENAME) {
    PutText(GenerateName(mask, name), param2, NM);
    return 1;
  }
  return MatchMask(mask, name) ? 1 : 0;
}

int WINAPI MkLinkService(const char*, const char*, DWORD) { return 0; }

int WINAPI ConvertNameToRealService(const char* Src, char* Dest, int DestSize) {
  std::string real = AbsolutePath(Src != nullptr ? Src : "");
  if (Dest != nullptr && DestSize > 0) PutText(real, Dest, static_cast<size_t>(DestSize));
  return static_cast<int>(real.size() + 1);
}

int WINAPI GetReparsePointInfoService(const char*, char* Dest, int DestSize) {
  if (Dest != nullptr && DestSize > 0) Dest[0] = '\0';
  return 0;
}

}  // namespace

void FillStandardFunctions(FarStandardFunctions* fsf) {
  std::memset(fsf, 0, sizeof(*fsf));
  fsf->StructSize = sizeof(FarStandardFunctions);
  fsf->atoi = AtoiService;
  fsf->atoi64 = Atoi64Service;
  fsf->itoa = ItoaService;
  fsf->itoa64 = Itoa64Service;
  fsf->sprintf = SprintfService;
  fsf->sscanf = SscanfService;
  fsf->qsort = QsortService;
  fsf->bsearch = BsearchService;
  fsf->qsortex = QsortexService;
  fsf->LIsLower = LIsLowerService;
  fsf->LIsUpper = LIsUpperService;
  fsf->LIsAlpha = LIsAlphaService;
  fsf->LIsAlphanum = LIsAlphanumService;
  fsf->LUpper = LUpperService;
  fsf->LLower = LLowerService;
  fsf->LUpperBuf = LUpperBufService;
  fsf->LLowerBuf = LLowerBufService;
  fsf->LStrupr = LStruprService;
  fsf->LStrlwr = LStrlwrService;
  fsf->LStricmp = LStricmpService;
  fsf->LStrnicmp = LStrnicmpService;
  fsf->Unquote = UnquoteService;
  fsf->ExpandEnvironmentStr = ExpandEnvironmentStrService;
  fsf->LTrim = LTrimService;
  fsf->RTrim = RTrimService;
  fsf->Trim = TrimService;
  fsf->TruncStr = TruncStrService;
  fsf->TruncPathStr = TruncPathStrService;
  fsf->QuoteSpaceOnly = QuoteSpaceOnlyService;
  fsf->PointToName = PointToNameService;
  fsf->GetPathRoot = GetPathRootService;
  fsf->AddEndSlash = AddEndSlashService;
  fsf->CopyToClipboard = CopyToClipboardService;
  fsf->PasteFromClipboard = PasteFromClipboardService;
  fsf->FarKeyToName = FarKeyToNameService;
  fsf->FarNameToKey = FarNameToKeyService;
  fsf->FarInputRecordToKey = FarInputRecordToKeyService;
  fsf->XLat = XLatService;
  fsf->GetFileOwner = GetFileOwnerService;
  fsf->GetNumberOfLinks = GetNumberOfLinksService;
  fsf->FarRecursiveSearch = FarRecursiveSearchService;
  fsf->MkTemp = MkTempService;
  fsf->DeleteBuffer = DeleteBufferService;
  fsf->ProcessName = ProcessNameService;
  fsf->MkLink = MkLinkService;
  fsf->ConvertNameToReal = ConvertNameToRealService;
  fsf->GetReparsePointInfo = GetReparsePointInfoService;
}

}  // namespace hostsim
