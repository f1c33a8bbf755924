#include "tags/utf8.h"

#include <cstdint>
#include <cstring>

#include "sys/sys.h"

namespace tags {

bool IsAscii(std::string_view text) {
  const char* p = text.data();
  size_t left = text.size();
  for (; left >= 8; p += 8, left -= 8) {
    uint64_t word;
    std::memcpy(&word, p, 8);
    if ((word & 0x8080808080808080ull) != 0) return false;
  }
  for (; left > 0; ++p, --left)
    if (static_cast<unsigned char>(*p) >= 0x80) return false;
  return true;
}

char32_t NextChar(std::string_view text, size_t* at, bool* cut) {
  const size_t i = *at;
  const uint8_t lead = static_cast<uint8_t>(text[i]);
  if (lead < 0x80) {
    *at = i + 1;
    return lead;
  }
  size_t length = 0;
  char32_t code = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    code = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    code = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    code = lead & 0x07;
  } else {
    *at = i + 1;
    return kReplacementChar;
  }
  size_t k = 1;
  for (; k < length && i + k < text.size(); ++k) {
    const uint8_t b = static_cast<uint8_t>(text[i + k]);
    if ((b & 0xC0) != 0x80) break;
    code = (code << 6) | (b & 0x3F);
  }
  *at = i + k;
  if (cut != nullptr) *cut = k < length && i + k == text.size();
  const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
  if (k < length || overlong || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return kReplacementChar;
  return code;
}

size_t FitBytes(std::string_view text, size_t room) {
  if (text.size() <= room) return text.size();
  const auto continues = [&](size_t i) { return (static_cast<uint8_t>(text[i]) & 0xC0) == 0x80; };
  // A byte that continues no sequence is a character of its own: a cut
  // before it halves nothing. Otherwise the cut goes before the character
  // that would cross the end of the room.
  if (!continues(room)) return room;
  size_t start = room;
  while (start > 0 && room - start < 3 && continues(start)) --start;
  size_t end = start;
  NextChar(text, &end);
  return end > room ? start : room;
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    if (c >= 0xD800 && c <= 0xDFFF) c = kReplacementChar;
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c <= 0x10FFFF) {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    AppendUtf8(out, kReplacementChar);
  }
}

size_t CharCount(std::string_view text) {
  size_t count = 0;
  for (size_t at = 0; at < text.size(); ++count) NextChar(text, &at);
  return count;
}

size_t PrefixBytes(std::string_view text, size_t chars) {
  size_t at = 0;
  for (size_t n = 0; n < chars && at < text.size(); ++n) NextChar(text, &at);
  return at;
}

size_t SuffixStart(std::string_view text, size_t chars) {
  const size_t count = CharCount(text);
  return count <= chars ? 0 : PrefixBytes(text, count - chars);
}

void Utf8FromUnits(std::u16string_view units, std::string* out) {
  // A unit takes at most 3 bytes; a pair of surrogates 4 for its 2 units.
  out->resize(units.size() * 3);
  char* p = out->data();
  for (size_t i = 0; i < units.size(); ++i) {
    char32_t c = units[i];
    if (c < 0x80) {
      *p++ = static_cast<char>(c);
      continue;
    }
    if (c < 0x800) {
      *p++ = static_cast<char>(0xC0 | (c >> 6));
      *p++ = static_cast<char>(0x80 | (c & 0x3F));
      continue;
    }
    if (c >= 0xD800 && c <= 0xDFFF) {
      if (c <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
        c = 0x10000 + ((c - 0xD800) << 10) + (units[i + 1] - 0xDC00);
        ++i;
        *p++ = static_cast<char>(0xF0 | (c >> 18));
        *p++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        *p++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *p++ = static_cast<char>(0x80 | (c & 0x3F));
        continue;
      }
      c = kReplacementChar;  // a lone surrogate
    }
    *p++ = static_cast<char>(0xE0 | (c >> 12));
    *p++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *p++ = static_cast<char>(0x80 | (c & 0x3F));
  }
  out->resize(static_cast<size_t>(p - out->data()));
}

std::string Utf8FromUnits(std::u16string_view units) {
  std::string out;
  Utf8FromUnits(units, &out);
  return out;
}

std::u16string UnitsFromUtf8(std::string_view text) {
  std::u16string units;
  units.reserve(text.size());
  for (size_t at = 0; at < text.size();) {
    char32_t c = NextChar(text, &at);
    if (c >= 0x10000) {
      c -= 0x10000;
      units.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
      units.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    } else {
      units.push_back(static_cast<char16_t>(c));
    }
  }
  return units;
}

char32_t UpperChar(char32_t c) {
  if (c < 0x80) return (c >= 'a' && c <= 'z') ? c - 0x20 : c;
  return sys::UpperCase(c);
}

char32_t LowerChar(char32_t c) {
  if (c < 0x80) return (c >= 'A' && c <= 'Z') ? c + 0x20 : c;
  return sys::LowerCase(c);
}

bool IsLetter(char32_t c) {
  if (c < 0x80) return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
  return sys::IsLetter(c);
}

namespace {

template <typename Map>
std::string MapChars(std::string_view text, Map map) {
  std::string out;
  out.reserve(text.size());
  for (size_t at = 0; at < text.size();) AppendUtf8(out, map(NextChar(text, &at)));
  return out;
}

}  // namespace

std::string UpperText(std::string_view text) { return MapChars(text, UpperChar); }
std::string LowerText(std::string_view text) { return MapChars(text, LowerChar); }

}  // namespace tags
