#include "tags/unicode_text.h"

#include <algorithm>

#include "tags/utf8.h"

namespace tags {

bool WriteUnicodeText = false;

bool HasHighBytes(std::string_view text) {
  return std::any_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

std::u16string ToUnicode(std::string_view text, const CodePage& codePage) {
  return UnitsFromUtf8(BytesToUtf8(text, codePage));
}

}  // namespace tags
