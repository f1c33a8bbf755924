#include "tags/id3v2_text.h"

#include <limits>

#include "tags/codepage.h"
#include "tags/utf8.h"

namespace tags::id3v2 {

namespace {

constexpr char16_t kByteOrderMark = 0xFEFF;

std::string_view TrimmedView(std::string_view text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && static_cast<unsigned char>(text[begin]) <= 0x20) ++begin;
  while (end > begin && static_cast<unsigned char>(text[end - 1]) <= 0x20) --end;
  return text.substr(begin, end - begin);
}

// UTF-16 units of `data` up to the first zero unit. A leading byte order mark
// decides the byte order and is dropped; without one `bigEndian` holds.
std::u16string Utf16Units(ByteView data, bool bigEndian) {
  std::u16string units;
  size_t i = 0;
  if (data.size() >= 2) {
    if (data[0] == 0xFF && data[1] == 0xFE) {
      bigEndian = false;
      i = 2;
    } else if (data[0] == 0xFE && data[1] == 0xFF) {
      bigEndian = true;
      i = 2;
    }
  }
  for (; i + 1 < data.size(); i += 2) {
    const char16_t unit = bigEndian ? static_cast<char16_t>((data[i] << 8) | data[i + 1])
                                    : static_cast<char16_t>((data[i + 1] << 8) | data[i]);
    if (unit == 0) break;
    units.push_back(unit);
  }
  return units;
}

// Offset of the terminator of the string that starts at `from`, or npos;
// UTF-16 terminators are searched on unit boundaries.
size_t FindTerminator(ByteView data, size_t from, uint8_t encoding) {
  if (encoding == kUtf16 || encoding == kUtf16BE) {
    for (size_t i = from; i + 1 < data.size(); i += 2)
      if (data[i] == 0 && data[i + 1] == 0) return i;
    return std::string::npos;
  }
  for (size_t i = from; i < data.size(); ++i)
    if (data[i] == 0) return i;
  return std::string::npos;
}

size_t TerminatorSize(uint8_t encoding) {
  return encoding == kUtf16 || encoding == kUtf16BE ? 2 : 1;
}

void AppendUtf16LE(Bytes& out, const std::u16string& units) {
  out.push_back(0xFF);
  out.push_back(0xFE);
  for (char16_t u : units) {
    out.push_back(static_cast<uint8_t>(u & 0xFF));
    out.push_back(static_cast<uint8_t>(u >> 8));
  }
}

}  // namespace

std::u16string Utf8ToUtf16(ByteView data) {
  const std::string_view text(reinterpret_cast<const char*>(data.data()), data.size());
  std::u16string out;
  out.reserve(text.size());
  for (size_t at = 0; at < text.size();) {
    bool cut = false;
    char32_t code = NextChar(text, &at, &cut);
    if (cut) break;  // a sequence cut off at the end
    if (code >= 0x10000) {
      code -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(code));
    }
  }
  return out;
}

std::u16string StringUnits(ByteView text, uint8_t encoding) {
  if (encoding == kUtf16 || encoding == kUtf16BE) return Utf16Units(text, encoding == kUtf16BE);
  const size_t end = FindTerminator(text, 0, kUtf8);
  std::u16string units = Utf8ToUtf16(text.first(end == std::string::npos ? text.size() : end));
  if (!units.empty() && units[0] == kByteOrderMark) units.erase(0, 1);
  return units;
}

namespace {

// DecodeText of `text` after an encoding byte of 0x20 or below (which the
// trimming would drop), into `out`.
void DecodeAfterEncoding(uint8_t encoding, ByteView text, std::string* out) {
  switch (encoding) {
    case kUtf16:
    case kUtf16BE:
    case kUtf8: {
      Utf8FromUnits(StringUnits(text, encoding), out);
      const std::string_view trimmed = TrimmedView(*out);
      if (trimmed.size() != out->size()) *out = std::string(trimmed);
      return;
    }
    default:
      // 8-bit text is in the tag code page. Zero bytes inside (separators of
      // several values) stay.
      BytesToUtf8(TrimmedView(std::string_view(reinterpret_cast<const char*>(text.data()), text.size())),
                  TagCodePage, out);
  }
}

}  // namespace

void DecodeText(ByteView data, std::string* out) {
  if (data.empty()) {
    out->clear();
  } else if (data[0] <= 0x20) {
    DecodeAfterEncoding(data[0], data.subspan(1), out);
  } else {
    // Not an encoding at all: the byte is read as 8-bit text with the rest.
    BytesToUtf8(TrimmedView(std::string_view(reinterpret_cast<const char*>(data.data()), data.size())),
                TagCodePage, out);
  }
}

std::string DecodeText(ByteView data) {
  std::string out;
  DecodeText(data, &out);
  return out;
}

void StripDescription(ByteView data, bool withLanguage, std::string* out) {
  out->clear();
  if (data.empty()) return;
  const uint8_t encoding = data[0];
  const size_t skip = withLanguage ? 4 : 1;
  if (data.size() <= skip) return;
  const size_t terminator = FindTerminator(data, skip, encoding);
  if (terminator == std::string::npos) return;
  const ByteView text = data.subspan(terminator + TerminatorSize(encoding));
  // The link of a WXXX frame is always ISO-8859-1 (ID3v2.3 section 4.3.2).
  const uint8_t textEncoding = withLanguage ? encoding : static_cast<uint8_t>(kLatin1);
  if (textEncoding <= 0x20) {
    DecodeAfterEncoding(textEncoding, text, out);
    return;
  }
  Bytes decoded;
  decoded.reserve(text.size() + 1);
  decoded.push_back(textEncoding);
  decoded.insert(decoded.end(), text.begin(), text.end());
  DecodeText(decoded, out);
}

std::string StripDescription(ByteView data, bool withLanguage) {
  std::string out;
  StripDescription(data, withLanguage, &out);
  return out;
}

uint16_t ParseTrackNumber(const std::string& text) {
  std::string_view s(text);
  s = s.substr(0, s.find('/'));
  bool negative = false;
  if (!s.empty() && (s[0] == '+' || s[0] == '-')) {
    negative = s[0] == '-';
    s.remove_prefix(1);
  }
  unsigned base = 10;
  if (s.size() >= 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    base = 16;
    s.remove_prefix(2);
  } else if (!s.empty() && (s[0] == '$' || s[0] == 'x' || s[0] == 'X')) {
    base = 16;
    s.remove_prefix(1);
  }
  if (s.empty()) return 0;
  uint64_t value = 0;
  for (char c : s) {
    unsigned digit;
    if (c >= '0' && c <= '9')
      digit = static_cast<unsigned>(c - '0');
    else if (base == 16 && c >= 'a' && c <= 'f')
      digit = static_cast<unsigned>(c - 'a' + 10);
    else if (base == 16 && c >= 'A' && c <= 'F')
      digit = static_cast<unsigned>(c - 'A' + 10);
    else
      return 0;
    value = value * base + digit;
    if (value > std::numeric_limits<uint32_t>::max()) return 0;  // not a 32-bit number
  }
  if (negative) value = (~value + 1);
  return static_cast<uint16_t>(value & 0xFFFF);
}

Bytes ReencodeForV23(ByteView data, size_t prefix, size_t maxStrings) {
  if (data.empty() || (data[0] != kUtf8 && data[0] != kUtf16BE) || data.size() < 1 + prefix)
    return Bytes(data.begin(), data.end());
  const uint8_t encoding = data[0];
  Bytes out;
  out.reserve(data.size() * 2 + 8);
  out.push_back(kUtf16);
  out.insert(out.end(), data.begin() + 1, data.begin() + 1 + static_cast<ptrdiff_t>(prefix));
  size_t at = 1 + prefix;
  for (size_t n = 0; n < maxStrings && at < data.size(); ++n) {
    const size_t end = FindTerminator(data, at, encoding);
    const ByteView piece = data.subspan(at, (end == std::string::npos ? data.size() : end) - at);
    if (encoding == kUtf8) {
      std::u16string units = Utf8ToUtf16(piece);
      if (!units.empty() && units[0] == kByteOrderMark) units.erase(0, 1);
      AppendUtf16LE(out, units);
    } else {
      const bool hasMark = piece.size() >= 2 && ((piece[0] == 0xFE && piece[1] == 0xFF) ||
                                                 (piece[0] == 0xFF && piece[1] == 0xFE));
      if (!hasMark) {
        out.push_back(0xFE);
        out.push_back(0xFF);
      }
      // A last odd byte is no unit: readers drop it, and so does the copy
      // (padded, it would become a character).
      out.insert(out.end(), piece.begin(), piece.end() - static_cast<ptrdiff_t>(piece.size() % 2));
    }
    if (end == std::string::npos) {
      at = data.size();
      break;
    }
    out.push_back(0);
    out.push_back(0);
    at = end + TerminatorSize(encoding);
  }
  out.insert(out.end(), data.begin() + static_cast<ptrdiff_t>(at), data.end());
  return out;
}

}  // namespace tags::id3v2
