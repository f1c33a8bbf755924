// Tag text (single bytes in a tag code page) as Unicode: for the frames a save
// writes in UTF-16 and for converting old 8-bit tags.
#pragma once

#include <string>
#include <string_view>

#include "tags/codepage.h"

namespace tags {

// The configuration's "Write ID3v2 text in Unicode": the text frames a save
// builds are written in UTF-16 when they hold a byte of 128 or above. Off by
// default. Set when the configuration is loaded.
extern bool WriteUnicodeText;

// Whether `text` holds a byte of 128 or above.
bool HasHighBytes(std::string_view text);

// `text`, in the code page `codePage` names, as UTF-16 units. A host table
// decodes to OEM first; bytes below 128 are taken as ASCII.
std::u16string ToUnicode(std::string_view text, const CodePage& codePage);

// The Windows code page number of "Windows text" (ANSI) and "Dos text" (OEM);
// 0 for a host table, which has none.
unsigned CodePageNumber(const CodePage& codePage);

}  // namespace tags
