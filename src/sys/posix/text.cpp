// OEM and ANSI text: the pair of code pages comes from TAGWRIGHT_CODEPAGES
// ("866:1251") or from the locale's language; each table is built once
// with iconv. Characters that a code page lacks become '?', the default
// character of a conversion without best fit. Whether the host's text is
// UTF-8 comes from TAGWRIGHT_HOST_TEXT or the locale's codeset.
#include <iconv.h>
#include <strings.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "sys/posix/posix_internal.h"
#include "sys/sys.h"

namespace sys {
namespace posix {
namespace {

constexpr char16_t kNone = 0xFFFF;

struct Pair {
  unsigned oem;
  unsigned ansi;
};

const CodePageTable* LoadTable(unsigned codePage) {
  static std::mutex mutex;
  static std::map<unsigned, std::unique_ptr<CodePageTable>> tables;
  std::lock_guard<std::mutex> lock(mutex);
  std::unique_ptr<CodePageTable>& slot = tables[codePage];
  if (!slot) slot = std::make_unique<CodePageTable>(codePage);
  return slot->Valid() ? slot.get() : nullptr;
}

bool ParsePair(const char* text, Pair* pair) {
  char* end = nullptr;
  const unsigned long oem = std::strtoul(text, &end, 10);
  if (end == text || *end != ':') return false;
  const char* second = end + 1;
  const unsigned long ansi = std::strtoul(second, &end, 10);
  if (end == second || *end != '\0' || oem == 0 || ansi == 0 || oem > 65535 || ansi > 65535)
    return false;
  pair->oem = static_cast<unsigned>(oem);
  pair->ansi = static_cast<unsigned>(ansi);
  return true;
}

// The locale variable in force for the character type: LC_ALL, else
// LC_CTYPE, else LANG; null when none is set.
const char* CharacterLocale() {
  for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return value;
  }
  return nullptr;
}

// Whether a locale name ("en_US.UTF-8", "C.utf8", "ru_RU.UTF-8@latin") names
// the UTF-8 codeset: the part after the '.' up to a '@', ignoring case and
// the '-'.
bool NamesUtf8(const char* locale) {
  const char* dot = std::strchr(locale, '.');
  if (dot == nullptr) return false;
  std::string codeset;
  for (const char* p = dot + 1; *p != '\0' && *p != '@'; ++p) {
    if (*p == '-' || *p == '_') continue;
    codeset.push_back(static_cast<char>(*p >= 'A' && *p <= 'Z' ? *p + 32 : *p));
  }
  return codeset == "utf8";
}

// TAGWRIGHT_HOST_TEXT ("utf8" or "oem", in any case) decides; any other value
// or none leaves it to the locale.
bool HostUtf8FromEnvironment() {
  if (const char* chosen = std::getenv("TAGWRIGHT_HOST_TEXT")) {
    if (strcasecmp(chosen, "oem") == 0) return false;
    if (strcasecmp(chosen, "utf8") == 0 || strcasecmp(chosen, "utf-8") == 0) return true;
  }
  const char* locale = CharacterLocale();
  return locale != nullptr && NamesUtf8(locale);
}

// The code pages from the locale's language, as Windows pairs them: the
// Cyrillic languages (Russian, Ukrainian, Belarusian, Bulgarian, Serbian)
// get 866 and 1251, Greek 737 and 1253; every other language (and the C
// locale) gets the Western pair, 437 and 1252.
Pair LocalePair() {
  const char* locale = CharacterLocale();
  if (locale != nullptr) {
    const size_t length = std::strcspn(locale, "_.@");
    const std::string language(locale, length);
    for (const char* cyrillic : {"ru", "uk", "be", "bg", "sr"})
      if (language == cyrillic) return {866, 1251};
    if (language == "el") return {737, 1253};
  }
  return {437, 1252};
}

Pair CurrentPair() {
  const char* configured = std::getenv("TAGWRIGHT_CODEPAGES");
  Pair pair;
  if (configured != nullptr && ParsePair(configured, &pair) && LoadTable(pair.oem) != nullptr &&
      LoadTable(pair.ansi) != nullptr)
    return pair;
  return LocalePair();
}

// The pair in force and its tables, read from the environment once: the
// conversions run per field of every file, and getenv walks the whole
// environment each time.
struct Pages {
  Pair pair;
  bool utf8Host;
  const CodePageTable* oem;
  const CodePageTable* ansi;
  // The byte of the other code page for each byte ('?' where it lacks the
  // character): the conversions between the two are a lookup per byte.
  std::array<char, 256> oemToAnsi;
  std::array<char, 256> ansiToOem;
};

uint8_t Convert(const CodePageTable& from, const CodePageTable& to, uint8_t byte) {
  if (byte < 0x80) return byte;
  const char16_t c = from.ToUnicode(byte);
  const int converted = c == kNone ? -1 : to.FromUnicode(c);
  return converted < 0 ? '?' : static_cast<uint8_t>(converted);
}

Pages ReadPages() {
  const Pair pair = CurrentPair();
  const CodePageTable* oem = LoadTable(pair.oem);
  const CodePageTable* ansi = LoadTable(pair.ansi);
  Pages pages{pair,
              HostUtf8FromEnvironment(),
              oem != nullptr ? oem : LoadTable(437),
              ansi != nullptr ? ansi : LoadTable(1252),
              {},
              {}};
  for (int b = 0; b < 256; ++b) {
    pages.oemToAnsi[b] = static_cast<char>(Convert(*pages.oem, *pages.ansi, static_cast<uint8_t>(b)));
    pages.ansiToOem[b] = static_cast<char>(Convert(*pages.ansi, *pages.oem, static_cast<uint8_t>(b)));
  }
  return pages;
}

Pages& InForce() {
  static Pages pages = ReadPages();
  return pages;
}

char16_t Upper(char16_t c) {
  if (c < 0x80) return (c >= 'a' && c <= 'z') ? c - 0x20 : c;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 0x20;
  if (c == 0xFF) return 0x178;
  if ((c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177)) return c & ~1u;
  if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return (c & 1) ? c : c - 1;
  if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) return c - 0x20;
  if (c == 0x3AC) return 0x386;
  if (c >= 0x3AD && c <= 0x3AF) return c - 37;
  if (c == 0x3CC) return 0x38C;
  if (c == 0x3CD || c == 0x3CE) return c - 63;
  if (c >= 0x430 && c <= 0x44F) return c - 0x20;
  if (c >= 0x450 && c <= 0x45F) return c - 0x50;
  if ((c >= 0x460 && c <= 0x481) || (c >= 0x48A && c <= 0x4BF) || (c >= 0x4D0 && c <= 0x52F))
    return c & ~1u;
  if (c >= 0x4C1 && c <= 0x4CE) return (c & 1) ? c : c - 1;
  if (c == 0x4CF) return 0x4C0;
  return c;
}

void AppendUtf8(std::string* out, char32_t c) {
  if (c < 0x80) {
    out->push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (c >> 6)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xE0 | (c >> 12)));
    out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

// Decodes one UTF-8 sequence at `text[*pos]`; -1 for a malformed one (then
// one byte is consumed).
long DecodeUtf8(const std::string& text, size_t* pos) {
  const auto byte = [&](size_t i) { return static_cast<uint8_t>(text[i]); };
  const uint8_t lead = byte(*pos);
  size_t length;
  char32_t c;
  if (lead < 0x80) {
    ++*pos;
    return lead;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    c = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    c = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    c = lead & 0x07;
  } else {
    ++*pos;
    return -1;
  }
  if (text.size() - *pos < length) {
    ++*pos;
    return -1;
  }
  for (size_t i = 1; i < length; ++i) {
    const uint8_t next = byte(*pos + i);
    if ((next & 0xC0) != 0x80) {
      ++*pos;
      return -1;
    }
    c = (c << 6) | (next & 0x3F);
  }
  const char32_t minimum = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
  if (c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
    ++*pos;
    return -1;
  }
  *pos += length;
  return static_cast<long>(c);
}

void ConvertBytes(const std::array<char, 256>& table, const char* in, char* out, size_t size) {
  for (size_t i = 0; i < size; ++i) out[i] = table[static_cast<uint8_t>(in[i])];
}

}  // namespace

char16_t DecodeByte(void* iconvToUtf16, uint8_t byte, char16_t missing) {
  const auto cd = static_cast<iconv_t>(iconvToUtf16);
  char in = static_cast<char>(byte);
  char buffer[8];
  char* inPtr = &in;
  size_t inLeft = 1;
  char* outPtr = buffer;
  size_t outLeft = sizeof buffer;
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  const size_t done = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
  if (done != static_cast<size_t>(-1) && inLeft == 0 && sizeof buffer - outLeft == 2)
    return static_cast<char16_t>(static_cast<uint8_t>(buffer[0]) |
                                 (static_cast<uint8_t>(buffer[1]) << 8));
  if (byte >= 0x80 && byte <= 0x9F) return static_cast<char16_t>(byte);
  return missing;
}

void DecodeBytes(void* iconvToUtf16, char16_t* table, char16_t missing) {
  // A conversion per byte costs iconv's set-up each time; the bytes in a row
  // cost it once. Each byte of a single-byte code page gives one unit, so the
  // units of a run line up with its bytes; a byte without a character stops
  // the run and is decoded alone. A code page that joins characters (a base
  // and its accent) or gives a pair for a byte breaks the count: then every
  // byte is decoded alone, as the tables have it.
  const auto cd = static_cast<iconv_t>(iconvToUtf16);
  char bytes[256];
  for (int b = 0; b < 256; ++b) bytes[b] = static_cast<char>(b);
  char16_t units[512];
  int b = 0;
  while (b < 256) {
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* inPtr = bytes + b;
    size_t inLeft = static_cast<size_t>(256 - b);
    char* outPtr = reinterpret_cast<char*>(units);
    size_t outLeft = sizeof units;
    const size_t done = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    const size_t taken = static_cast<size_t>(256 - b) - inLeft;
    const size_t given = (sizeof units - outLeft) / sizeof(char16_t);
    if (given != taken) {
      for (int each = 0; each < 256; ++each)
        table[each] = DecodeByte(iconvToUtf16, static_cast<uint8_t>(each), missing);
      return;
    }
    for (size_t i = 0; i < taken; ++i) table[b + static_cast<int>(i)] = units[i];
    b += static_cast<int>(taken);
    if (done != static_cast<size_t>(-1) || b >= 256) break;
    table[b] = DecodeByte(iconvToUtf16, static_cast<uint8_t>(b), missing);
    ++b;
  }
}

CodePageTable::CodePageTable(unsigned codePage) {
  const std::string name = "CP" + std::to_string(codePage);
  iconv_t cd = iconv_open(kIconvUnits, name.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return;
  DecodeBytes(cd, toUnicode_, kNone);
  toUnicode_[0] = 0;
  iconv_close(cd);
  for (int b = 255; b >= 0; --b) {  // the lowest byte wins when two share a character
    const char16_t c = toUnicode_[b];
    if (c == kNone) continue;
    uint16_t& block = blockOf_[c >> 8];
    if (block == 0) {
      blocks_.emplace_back().fill(0);
      block = static_cast<uint16_t>(blocks_.size());
    }
    blocks_[block - 1][c & 0xFF] = static_cast<uint16_t>(b + 1);
  }
  valid_ = true;
}

int CodePageTable::FromUnicode(char32_t c) const {
  if (c == 0) return 0;
  if (c > 0xFFFF) return -1;
  const uint16_t block = blockOf_[c >> 8];
  if (block == 0) return -1;
  const uint16_t entry = blocks_[block - 1][c & 0xFF];
  return entry == 0 ? -1 : entry - 1;
}

const CodePageTable& OemTable() { return *InForce().oem; }

const CodePageTable& AnsiTable() { return *InForce().ansi; }

int CompareNames(const std::string& a, const std::string& b) {
  const CodePageTable& ansi = AnsiTable();
  const auto fold = [&](char byte) {
    const uint8_t u = static_cast<uint8_t>(byte);
    const char16_t c = ansi.ToUnicode(u);
    return Upper(c == kNone ? u : c);
  };
  const size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    const char16_t x = fold(a[i]);
    const char16_t y = fold(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

std::u16string FoldName(const std::string& name) {
  const CodePageTable& ansi = AnsiTable();
  std::u16string folded(name.size(), u'\0');
  for (size_t i = 0; i < name.size(); ++i) {
    const uint8_t u = static_cast<uint8_t>(name[i]);
    const char16_t c = ansi.ToUnicode(u);
    folded[i] = Upper(c == kNone ? u : c);
  }
  return folded;
}

}  // namespace posix

unsigned OemCodePage() { return posix::InForce().pair.oem; }
unsigned AnsiCodePage() { return posix::InForce().pair.ansi; }
void RereadCodePages() { posix::InForce() = posix::ReadPages(); }
bool HostTextIsUtf8() { return posix::InForce().utf8Host; }

void CharToOem(const char* in, char* out) {
  CharToOemBuff(in, out, std::strlen(in) + 1);
}

void OemToChar(const char* in, char* out) {
  OemToCharBuff(in, out, std::strlen(in) + 1);
}

void CharToOemBuff(const char* in, char* out, size_t size) {
  posix::ConvertBytes(posix::InForce().ansiToOem, in, out, size);
}

void OemToCharBuff(const char* in, char* out, size_t size) {
  posix::ConvertBytes(posix::InForce().oemToAnsi, in, out, size);
}

std::string WideToAnsi(const char16_t* text, size_t length) {
  const posix::CodePageTable& ansi = posix::AnsiTable();
  std::string out;
  out.reserve(length);
  for (size_t i = 0; i < length; ++i) {
    const char16_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < length && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      ++i;  // a character beyond the BMP: no single-byte code page has it
      out.push_back('?');
      continue;
    }
    const int byte = (c >= 0xD800 && c <= 0xDFFF) ? -1 : ansi.FromUnicode(c);
    out.push_back(byte < 0 ? '?' : static_cast<char>(byte));
  }
  return out;
}

namespace {

// Eight bytes at a time: paths are mostly ASCII and checked per file operation.
bool IsAscii(const std::string& text) {
  const char* p = text.data();
  size_t left = text.size();
  for (; left >= 8; p += 8, left -= 8) {
    uint64_t word;
    std::memcpy(&word, p, 8);
    if (word & 0x8080808080808080u) return false;
  }
  for (; left > 0; ++p, --left)
    if (static_cast<uint8_t>(*p) >= 0x80) return false;
  return true;
}

}  // namespace

namespace posix {

const std::string& NativeForm(const std::string& path, std::string* storage) {
  if (IsAscii(path) || HostTextIsUtf8()) return path;
  *storage = NativePath(path);
  return *storage;
}

}  // namespace posix

std::string NativePath(const std::string& hostPath) {
  // ASCII is the same in every OEM code page, without building its table.
  if (IsAscii(hostPath) || HostTextIsUtf8()) return hostPath;
  const posix::CodePageTable& oem = posix::OemTable();
  std::string out;
  out.reserve(hostPath.size() * 2);
  for (const char byte : hostPath) {
    const uint8_t u = static_cast<uint8_t>(byte);
    if (u < 0x80) {
      out.push_back(byte);
    } else {
      const char16_t c = oem.ToUnicode(u);
      posix::AppendUtf8(&out, c == posix::kNone ? 0xFFFD : c);
    }
  }
  return out;
}

std::string HostNameFromNative(const std::string& nativeName) {
  if (HostTextIsUtf8()) return nativeName;
  const posix::CodePageTable& oem = posix::OemTable();
  std::string out;
  out.reserve(nativeName.size());
  size_t pos = 0;
  while (pos < nativeName.size()) {
    const long c = posix::DecodeUtf8(nativeName, &pos);
    const int byte = c < 0 ? -1 : c < 0x80 ? static_cast<int>(c) : oem.FromUnicode(static_cast<char32_t>(c));
    out.push_back(byte < 0 ? '?' : static_cast<char>(byte));
  }
  return out;
}

bool GetEnv(const char* name, std::string* value) {
  const char* found = std::getenv(name);
  if (found == nullptr) return false;
  if (value != nullptr) *value = found;
  return true;
}

}  // namespace sys
