#include "tags/unicode_text.h"

#include <algorithm>

#include "sys/sys.h"

namespace tags {

bool WriteUnicodeText = false;

bool HasHighBytes(std::string_view text) {
  return std::any_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

unsigned CodePageNumber(const CodePage& codePage) {
  switch (codePage.Kind) {
    case CodePageKind::Ansi: return sys::AnsiCodePage();
    case CodePageKind::Oem: return sys::OemCodePage();
    case CodePageKind::HostTable: break;
  }
  return 0;
}

std::u16string ToUnicode(std::string_view text, const CodePage& codePage) {
  std::string bytes(text);
  unsigned number = CodePageNumber(codePage);
  if (codePage.Kind == CodePageKind::HostTable) {
    for (char& c : bytes) c = static_cast<char>(codePage.Table.DecodeTable[static_cast<uint8_t>(c)]);
    number = sys::OemCodePage();
  }
  std::u16string units = sys::CodePageToWide(number, bytes.data(), bytes.size());
  if (units.size() != bytes.size()) {
    // A system without the code page: ASCII stays, the rest cannot be read.
    units.assign(bytes.size(), u'\xFFFD');
    for (size_t i = 0; i < bytes.size(); ++i)
      if (static_cast<uint8_t>(bytes[i]) < 0x80) units[i] = static_cast<char16_t>(bytes[i]);
  }
  return units;
}

}  // namespace tags
