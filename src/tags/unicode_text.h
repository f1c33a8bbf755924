// Unicode in the frames a save writes, and 8-bit text of old tags read as
// Unicode for converting them.
#pragma once

#include <string>
#include <string_view>

#include "tags/codepage.h"

namespace tags {

// The configuration's "Write ID3v2 text in Unicode": the text frames a save
// builds are written in UTF-16 when they hold a character beyond ASCII;
// without it, in the tag code page. Off by default. Set when the
// configuration is loaded.
extern bool WriteUnicodeText;

// Whether `text` holds a byte of 128 or above.
bool HasHighBytes(std::string_view text);

// 8-bit `text`, in the code page `codePage` names, as UTF-16 units (see
// BytesToUtf8).
std::u16string ToUnicode(std::string_view text, const CodePage& codePage);

}  // namespace tags
