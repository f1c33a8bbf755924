#include "text.h"

#include <iconv.h>

#include <cstdio>

#include "sys/sys.h"

namespace inspect {
namespace {

// iconv's names of the Windows code page numbers a tag may be written in.
std::string IconvName(unsigned codePage) {
  switch (codePage) {
    case 20866: return "KOI8-R";
    case 21866: return "KOI8-U";
    case 28591: case 28592: case 28593: case 28594: case 28595: case 28596:
    case 28597: case 28598: case 28599:
      return "ISO-8859-" + std::to_string(codePage - 28590);
    case 28605: return "ISO-8859-15";
    case 10000: return "MACINTOSH";
    case 10007: return "MAC-CYRILLIC";
    default: return "CP" + std::to_string(codePage);
  }
}

std::string Escaped(unsigned char byte) {
  char text[5];
  std::snprintf(text, sizeof text, "\\x%02X", byte);
  return text;
}

// Converts all of `in`; nothing when a character has no equivalent.
std::optional<std::string> Convert(iconv_t cd, const std::string& in) {
  std::string out(in.size() * 4 + 4, '\0');
  char* source = const_cast<char*>(in.data());
  size_t sourceLeft = in.size();
  char* target = out.data();
  size_t targetLeft = out.size();
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  if (iconv(cd, &source, &sourceLeft, &target, &targetLeft) == static_cast<size_t>(-1) ||
      iconv(cd, nullptr, nullptr, &target, &targetLeft) == static_cast<size_t>(-1)) {
    return std::nullopt;
  }
  out.resize(out.size() - targetLeft);
  return out;
}

size_t Utf8SequenceLength(const std::string& s, size_t i) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char lead = byte(i);
  size_t length;
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) length = 2;
  else if (lead >= 0xE0 && lead <= 0xEF) length = 3;
  else if (lead >= 0xF0 && lead <= 0xF4) length = 4;
  else return 0;
  if (i + length > s.size()) return 0;
  for (size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
  }
  // Overlong forms, surrogates and code points above U+10FFFF (RFC 3629).
  const unsigned char second = byte(i + 1);
  if (lead == 0xE0 && second < 0xA0) return 0;
  if (lead == 0xED && second > 0x9F) return 0;
  if (lead == 0xF0 && second < 0x90) return 0;
  if (lead == 0xF4 && second > 0x8F) return 0;
  return length;
}

}  // namespace

bool KnownCodePage(unsigned codePage) {
  iconv_t cd = iconv_open("UTF-8", IconvName(codePage).c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  iconv_close(cd);
  return true;
}

std::string SanitizeUtf8(const std::string& text) {
  bool ascii = true;
  for (unsigned char c : text) ascii = ascii && c < 0x80;
  if (ascii) return text;
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const size_t length = Utf8SequenceLength(text, i);
    if (length == 0) {
      out += Escaped(static_cast<unsigned char>(text[i]));
      ++i;
    } else {
      out.append(text, i, length);
      i += length;
    }
  }
  return out;
}

std::string TerminalText(const std::string& text) {
  const std::string valid = SanitizeUtf8(text);
  std::string out;
  out.reserve(valid.size());
  for (size_t i = 0; i < valid.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(valid[i]);
    if (c < 0x20 || c == 0x7F) {
      out += Escaped(c);
    } else if (c == 0xC2 && i + 1 < valid.size() &&
               static_cast<unsigned char>(valid[i + 1]) < 0xA0) {
      // A C1 control (U+0080 to U+009F): the terminal takes U+009B as CSI.
      out += Escaped(static_cast<unsigned char>(valid[++i]));
    } else {
      out += valid[i];
    }
  }
  return out;
}

std::optional<std::string> SysPath(const std::string& name) {
  // The system layer takes a UTF-8 host's paths as they are.
  if (sys::HostTextIsUtf8()) return name;
  bool ascii = true;
  for (unsigned char c : name) ascii = ascii && c < 0x80;
  if (ascii) return name;  // the same in every OEM code page
  static const iconv_t cd = iconv_open(IconvName(sys::OemCodePage()).c_str(), "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  return Convert(cd, name);
}

}  // namespace inspect
