#include "hostsim/host_text.h"

#include <algorithm>
#include <cstdint>

#include "hostsim/codepage.h"
#include "hostsim/oem_case.h"
#include "hostsim/platform.h"
#include "sys/sys.h"

namespace hostsim {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// The UTF-8 sequence at `at`: its character and its length, or a stray byte
// (length 1) for a byte that starts no valid sequence: a lead without its
// continuations, a continuation alone, an overlong form, a surrogate.
HostChar DecodeUtf8(std::string_view text, size_t at, size_t* length) {
  const uint8_t lead = static_cast<uint8_t>(text[at]);
  *length = 1;
  if (lead < 0x80) return lead;
  size_t n = 0;
  char32_t c = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    n = 2;
    c = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    n = 3;
    c = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    n = 4;
    c = lead & 0x07;
  } else {
    return kStrayByte + lead;
  }
  if (text.size() - at < n) return kStrayByte + lead;
  for (size_t k = 1; k < n; ++k) {
    const uint8_t next = static_cast<uint8_t>(text[at + k]);
    if ((next & 0xC0) != 0x80) return kStrayByte + lead;
    c = (c << 6) | (next & 0x3F);
  }
  const char32_t least = n == 2 ? 0x80 : n == 3 ? 0x800 : 0x10000;
  if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return kStrayByte + lead;
  *length = n;
  return c;
}

bool IsStray(HostChar c) { return c >= kStrayByte; }

void AppendUtf8Char(char32_t c, std::string* out) {
  if (IsStray(c)) {
    out->push_back(static_cast<char>(c - kStrayByte));
    return;
  }
  AppendUtf8(c, out);
}

}  // namespace

bool HostSpeaksUtf8() { return sys::HostTextIsUtf8(); }

HostChar NextHostChar(std::string_view text, size_t* at) {
  if (!HostSpeaksUtf8()) return static_cast<unsigned char>(text[(*at)++]);
  size_t length;
  const HostChar c = DecodeUtf8(text, *at, &length);
  *at += length;
  return c;
}

size_t PreviousHostChar(std::string_view text, size_t at) {
  if (at == 0) return 0;
  if (!HostSpeaksUtf8()) return at - 1;
  size_t start = at - 1;
  while (start > 0 && at - start < 4 && (static_cast<uint8_t>(text[start]) & 0xC0) == 0x80) --start;
  size_t length;
  DecodeUtf8(text, start, &length);
  return start + length == at ? start : at - 1;
}

void AppendHostChar(HostChar c, std::string* out) {
  if (HostSpeaksUtf8()) {
    AppendUtf8Char(c, out);
  } else if (c < 0x100) {
    out->push_back(static_cast<char>(c));
  }
}

size_t HostCharCount(std::string_view text) {
  if (!HostSpeaksUtf8()) return text.size();
  size_t count = 0;
  for (size_t at = 0; at < text.size(); ++count) NextHostChar(text, &at);
  return count;
}

size_t HostCharsBytes(std::string_view text, size_t chars) {
  if (!HostSpeaksUtf8()) return std::min(chars, text.size());
  size_t at = 0;
  for (size_t n = 0; n < chars && at < text.size(); ++n) NextHostChar(text, &at);
  return at;
}

size_t HostFitBytes(std::string_view text, size_t room) {
  if (text.size() <= room) return text.size();
  if (!HostSpeaksUtf8()) return room;
  // The character that would cross the end of the room is left out whole.
  size_t start = room;
  while (start > 0 && room - start < 3 && (static_cast<uint8_t>(text[start]) & 0xC0) == 0x80)
    --start;
  size_t length;
  DecodeUtf8(text, start, &length);
  return start + length > room ? start : room;
}

std::string CutHostText(std::string_view text, size_t chars, size_t bytes) {
  const size_t n = HostCharsBytes(text, chars);
  return std::string(text.substr(0, HostFitBytes(text.substr(0, n), bytes)));
}

void CopyToField(std::string_view text, char* field, size_t size) {
  if (field == nullptr || size == 0) return;
  const size_t n = HostFitBytes(text, size - 1);
  std::copy(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(n), field);
  field[n] = '\0';
}

HostChar HostUpper(HostChar c) {
  if (!HostSpeaksUtf8()) return c < 0x100 ? OemCase().upper[c] : c;
  if (c < 0x80) return c >= 'a' && c <= 'z' ? c - 32 : c;
  return IsStray(c) ? c : sys::UpperCase(c);
}

HostChar HostLower(HostChar c) {
  if (!HostSpeaksUtf8()) return c < 0x100 ? OemCase().lower[c] : c;
  if (c < 0x80) return c >= 'A' && c <= 'Z' ? c + 32 : c;
  return IsStray(c) ? c : sys::LowerCase(c);
}

bool HostIsAlpha(HostChar c) {
  if (!HostSpeaksUtf8()) return c < 0x100 && OemCase().isAlpha[c];
  if (c < 0x80) return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
  return !IsStray(c) && sys::IsLetter(c);
}

bool HostIsUpper(HostChar c) {
  if (!HostSpeaksUtf8()) return c < 0x100 && OemCase().isUpper[c];
  return HostLower(c) != c;
}

bool HostIsLower(HostChar c) {
  if (!HostSpeaksUtf8()) return c < 0x100 && OemCase().isLower[c];
  return HostUpper(c) != c;
}

void ChangeCaseInPlace(char* text, size_t length, bool upper) {
  if (text == nullptr) return;
  if (!HostSpeaksUtf8()) {
    const unsigned char* table = upper ? OemCase().upper : OemCase().lower;
    for (size_t i = 0; i < length; ++i)
      text[i] = static_cast<char>(table[static_cast<unsigned char>(text[i])]);
    return;
  }
  const std::string_view view(text, length);
  std::string changed;
  for (size_t at = 0; at < length;) {
    const size_t start = at;
    const HostChar c = NextHostChar(view, &at);
    const HostChar other = upper ? HostUpper(c) : HostLower(c);
    if (other == c) continue;
    changed.clear();
    AppendUtf8Char(other, &changed);
    if (changed.size() == at - start) std::copy(changed.begin(), changed.end(), text + start);
  }
}

std::u32string FoldedKey(std::string_view text) {
  std::u32string key;
  FoldedKey(text, &key);
  return key;
}

void FoldedKey(std::string_view text, std::u32string* key) {
  key->clear();
  if (!HostSpeaksUtf8()) {
    const unsigned char* upper = OemCase().upper;
    for (const char c : text) key->push_back(upper[static_cast<unsigned char>(c)]);
    return;
  }
  for (size_t at = 0; at < text.size();) {
    // ASCII, most of most names, is folded here without the Unicode tables.
    const auto byte = static_cast<unsigned char>(text[at]);
    if (byte < 0x80) {
      key->push_back(byte >= 'a' && byte <= 'z' ? byte - 0x20 : byte);
      ++at;
      continue;
    }
    key->push_back(HostUpper(NextHostChar(text, &at)));
  }
}

char32_t HostCharToUnicode(HostChar c) {
  if (HostSpeaksUtf8()) return IsStray(c) ? kReplacement : c;
  if (c >= 0x100) return kReplacement;
  const char32_t u = OemTable()[c];
  return u == kNoChar ? kReplacement : u;
}

bool UnicodeToHostChar(char32_t u, HostChar* c) {
  if (HostSpeaksUtf8()) {
    if (u > 0x10FFFF || (u >= 0xD800 && u <= 0xDFFF)) return false;
    *c = u;
    return true;
  }
  const int byte = EncodeChar(OemTable(), u);
  if (byte < 0) return false;
  *c = static_cast<HostChar>(byte);
  return true;
}

int HostCharColumns(HostChar c) {
  if (!HostSpeaksUtf8() || c < 0x80 || IsStray(c)) return 1;
  const int columns = platform::CharColumns(c);
  return columns < 0 ? 1 : columns;
}

int HostColumns(std::string_view text) {
  if (!HostSpeaksUtf8()) return static_cast<int>(text.size());
  int columns = 0;
  for (size_t at = 0; at < text.size();) columns += HostCharColumns(NextHostChar(text, &at));
  return columns;
}

size_t HostColumnsBytes(std::string_view text, int columns) {
  if (columns <= 0) return 0;
  if (!HostSpeaksUtf8()) return std::min(text.size(), static_cast<size_t>(columns));
  int used = 0;
  size_t at = 0;
  while (at < text.size()) {
    size_t next = at;
    const int width = HostCharColumns(NextHostChar(text, &next));
    if (used + width > columns) break;
    used += width;
    at = next;
  }
  return at;
}

std::string HostToUtf8(std::string_view text) {
  if (HostSpeaksUtf8()) return std::string(text);
  return OemToUtf8(std::string(text));
}

bool Utf8ToHost(std::string_view utf8, std::string* text) {
  if (HostSpeaksUtf8()) {
    text->assign(utf8);
    return true;
  }
  return Utf8ToOem(std::string(utf8), text);
}

DWORD CharKey(HostChar c) {
  if (!HostSpeaksUtf8()) return c >= 0x20 && c <= 0xFF && c != 0x7F ? c : 0;
  if (c < 0x80) return c >= 0x20 && c != 0x7F ? c : 0;
  if (IsStray(c) || c < 0xA0) return 0;
  return kCharKeyBase + c;
}

HostChar KeyChar(DWORD key) {
  if (!HostSpeaksUtf8()) return key >= 0x20 && key <= 0xFF && key != 0x7F ? key : 0;
  if (key < 0x80) return key >= 0x20 && key != 0x7F ? key : 0;
  if (key >= kCharKeyBase + 0xA0 && key < kCharKeyBase + kStrayByte) return key - kCharKeyBase;
  return 0;
}

}  // namespace hostsim
