// 8-bit text of a code page to UTF-8 and back, through a table of the code
// page's 256 characters made once per code page, and the host's text.
#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "sys/sys.h"
#include "tags/codepage.h"
#include "tags/utf8.h"

namespace tags {

CodePage HostCodePage = {CodePageKind::Oem, {}};

namespace {

constexpr char32_t kPrivateUse = 0xF700;

struct Codec {
  std::array<char32_t, 256> decode{};
  // Each byte's character in UTF-8 (at most 3 bytes: every character of an
  // 8-bit code page is in the 16-bit plane) and its length.
  std::array<std::array<char, 4>, 256> utf8{};
  std::array<uint8_t, 256> utf8Length{};
  std::vector<std::pair<char32_t, uint8_t>> encode;  // sorted by character; bytes of 128 and above
  bool asciiIsAscii = true;  // bytes below 128 read as themselves

  int Encode(char32_t c) const {
    if (c < 0x80 && asciiIsAscii) return static_cast<int>(c);
    const auto it = std::lower_bound(encode.begin(), encode.end(), std::make_pair(c, uint8_t{0}));
    return it != encode.end() && it->first == c ? it->second : -1;
  }
};

// The characters of the code page's bytes as the system reads them; a byte it
// has none for gets a character of its own (see codepage.h).
void Complete(Codec& codec) {
  std::vector<char32_t> used(codec.decode.begin(), codec.decode.end());
  std::sort(used.begin(), used.end());
  auto isUsed = [&](char32_t c) { return std::binary_search(used.begin(), used.end(), c); };
  for (int b = 0; b < 256; ++b) {
    char32_t& c = codec.decode[static_cast<size_t>(b)];
    if (c != kReplacementChar && c != 0) continue;
    if (b == 0) continue;
    c = isUsed(static_cast<char32_t>(b)) ? kPrivateUse + static_cast<char32_t>(b) : static_cast<char32_t>(b);
  }
  for (int b = 0; b < 128; ++b)
    if (codec.decode[static_cast<size_t>(b)] != static_cast<char32_t>(b)) codec.asciiIsAscii = false;
  for (size_t b = 0; b < 256; ++b) {
    std::string one;
    AppendUtf8(one, codec.decode[b]);
    std::copy(one.begin(), one.end(), codec.utf8[b].begin());
    codec.utf8Length[b] = static_cast<uint8_t>(one.size());
  }
  for (int b = codec.asciiIsAscii ? 128 : 0; b < 256; ++b)
    codec.encode.emplace_back(codec.decode[static_cast<size_t>(b)], static_cast<uint8_t>(b));
  // The lowest byte of a character wins where two bytes read alike.
  auto byChar = [](const auto& a, const auto& b) { return a.first < b.first; };
  std::stable_sort(codec.encode.begin(), codec.encode.end(), byChar);
  codec.encode.erase(std::unique(codec.encode.begin(), codec.encode.end(),
                                 [](const auto& a, const auto& b) { return a.first == b.first; }),
                     codec.encode.end());
}

// ISO-8859-1 where the system has not got the code page, so that ASCII
// still reads and nothing is lost.
std::unique_ptr<Codec> MakeCodec(unsigned number) {
  auto codec = std::make_unique<Codec>();
  char bytes[256];
  for (int b = 0; b < 256; ++b) bytes[b] = static_cast<char>(b);
  const std::u16string units = number == 0 ? std::u16string() : sys::CodePageToWide(number, bytes, 256);
  for (size_t b = 0; b < 256; ++b)
    codec->decode[b] = units.size() == 256 ? static_cast<char32_t>(units[b]) : static_cast<char32_t>(b);
  if (units.size() == 256) codec->decode[0] = 0;
  Complete(*codec);
  return codec;
}

const Codec& CodecOfNumber(unsigned number) {
  static std::map<unsigned, std::unique_ptr<Codec>> codecs;
  static unsigned lastNumber = 0;
  static const Codec* last = nullptr;
  if (last != nullptr && number == lastNumber) return *last;
  std::unique_ptr<Codec>& slot = codecs[number];
  if (!slot) slot = MakeCodec(number);
  lastNumber = number;
  last = slot.get();
  return *last;
}

bool SameAsciiNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

// A host table whose name is a known code page ("CP" and its number too)
// reads bytes as that code page does; another one through its decoding to OEM.
unsigned NumberOfTableName(const char* name) {
  struct Known {
    const char* name;
    unsigned number;
  };
  static constexpr Known kKnown[] = {
      {"KOI8-R", 20866},      {"KOI8-U", 21866},      {"ISO-8859-1", 28591},
      {"ISO-8859-2", 28592},  {"ISO-8859-5", 28595},  {"ISO-8859-7", 28597},
      {"ISO-8859-13", 28603}, {"Windows-1250", 1250}, {"Windows-1251", 1251},
      {"Windows-1252", 1252}, {"Windows-1253", 1253}, {"Windows-1257", 1257},
      {"CP866", 866},         {"CP437", 437},
  };
  for (const Known& k : kKnown)
    if (SameAsciiNoCase(name, k.name)) return k.number;
  const std::string_view text(name);
  if (text.size() > 2 && text.size() <= 7 && SameAsciiNoCase(text.substr(0, 2), "CP") &&
      text.find_first_not_of("0123456789", 2) == std::string_view::npos)
    return static_cast<unsigned>(std::stoul(std::string(text.substr(2))));
  return 0;
}

// The last table asked for is kept: a walk asks for the same one for every
// text. A name that names a code page decides alone.
const Codec& CodecOfTable(const CodePageTable& table) {
  static std::string lastName;
  static uint8_t lastDecode[256];
  static unsigned lastNumber = 0;
  static const Codec* lastCodec = nullptr;
  static Codec ownCodec;
  const std::string_view name(table.TableName, strnlen(table.TableName, sizeof table.TableName));
  if (lastCodec != nullptr && name == lastName &&
      (lastNumber != 0 || std::memcmp(lastDecode, table.DecodeTable, sizeof lastDecode) == 0))
    return *lastCodec;
  lastName.assign(name);
  std::memcpy(lastDecode, table.DecodeTable, sizeof lastDecode);
  lastNumber = NumberOfTableName(lastName.c_str());
  if (lastNumber != 0) {
    lastCodec = &CodecOfNumber(lastNumber);
  } else {
    const Codec& oem = CodecOfNumber(sys::OemCodePage());
    ownCodec = Codec();
    for (size_t b = 0; b < 256; ++b) ownCodec.decode[b] = oem.decode[table.DecodeTable[b]];
    Complete(ownCodec);
    lastCodec = &ownCodec;
  }
  return *lastCodec;
}

const Codec& CodecOf(const CodePage& codePage) {
  if (codePage.Kind == CodePageKind::HostTable) return CodecOfTable(codePage.Table);
  return CodecOfNumber(CodePageNumber(codePage));
}

// UTF-8 as it stands, malformed bytes made U+FFFD.
void CleanUtf8(std::string_view bytes, std::string* out) {
  out->clear();
  out->reserve(bytes.size());
  for (size_t at = 0; at < bytes.size();) AppendUtf8(*out, NextChar(bytes, &at));
}

}  // namespace

unsigned CodePageNumber(const CodePage& codePage) {
  switch (codePage.Kind) {
    case CodePageKind::Ansi: return sys::AnsiCodePage();
    case CodePageKind::Oem: return sys::OemCodePage();
    case CodePageKind::Utf8: return 65001;
    case CodePageKind::HostTable: return NumberOfTableName(codePage.Table.TableName);
  }
  return 0;
}

void BytesToUtf8(std::string_view bytes, const CodePage& codePage, std::string* utf8) {
  // Every code page of Windows reads ASCII as ASCII; a host table may not.
  const bool ascii = IsAscii(bytes);
  if (ascii && codePage.Kind != CodePageKind::HostTable) {
    utf8->assign(bytes);
    return;
  }
  if (codePage.Kind == CodePageKind::Utf8) {
    CleanUtf8(bytes, utf8);
    return;
  }
  const Codec& codec = CodecOf(codePage);
  if (ascii && codec.asciiIsAscii) {
    utf8->assign(bytes);
    return;
  }
  // Each byte's UTF-8 is copied as four bytes, of which its length count.
  utf8->resize(bytes.size() * 3 + 1);
  char* out = utf8->data();
  for (const char b : bytes) {
    const auto byte = static_cast<uint8_t>(b);
    std::memcpy(out, codec.utf8[byte].data(), 4);
    out += codec.utf8Length[byte];
  }
  utf8->resize(static_cast<size_t>(out - utf8->data()));
}

std::string BytesToUtf8(std::string_view bytes, const CodePage& codePage) {
  std::string out;
  BytesToUtf8(bytes, codePage, &out);
  return out;
}

bool Utf8ToBytes(std::string_view utf8, const CodePage& codePage, std::string* bytes) {
  if (codePage.Kind == CodePageKind::Utf8) {
    bytes->assign(utf8);
    return true;
  }
  const Codec& codec = CodecOf(codePage);
  if (IsAscii(utf8) && codec.asciiIsAscii) {
    bytes->assign(utf8);
    return true;
  }
  bool whole = true;
  bytes->clear();
  bytes->reserve(utf8.size());
  for (size_t at = 0; at < utf8.size();) {
    const int b = codec.Encode(NextChar(utf8, &at));
    if (b < 0) whole = false;
    bytes->push_back(static_cast<char>(b < 0 ? '?' : b));
  }
  return whole;
}

char32_t FirstUnencodable(std::string_view utf8, const CodePage& codePage) {
  if (codePage.Kind == CodePageKind::Utf8) return 0;
  const Codec& codec = CodecOf(codePage);
  if (IsAscii(utf8) && codec.asciiIsAscii) return 0;
  for (size_t at = 0; at < utf8.size();) {
    const char32_t c = NextChar(utf8, &at);
    if (codec.Encode(c) < 0) return c;
  }
  return 0;
}

std::string ToHost(std::string_view utf8) {
  std::string out;
  Utf8ToBytes(utf8, HostCodePage, &out);
  return out;
}

std::string FromHost(std::string_view hostText) { return BytesToUtf8(hostText, HostCodePage); }

size_t HostCharCount(std::string_view hostText) {
  return HostCodePage.Kind == CodePageKind::Utf8 ? CharCount(hostText) : hostText.size();
}

std::string_view HostPrefix(std::string_view hostText, size_t chars, size_t bytes) {
  if (HostCodePage.Kind != CodePageKind::Utf8) return hostText.substr(0, std::min(chars, bytes));
  if (chars < hostText.size()) hostText = hostText.substr(0, PrefixBytes(hostText, chars));
  return hostText.substr(0, FitBytes(hostText, bytes));
}

}  // namespace tags
