// Text inside ID3v2 frames: the four text encodings (ID3v2.4 section 4:
// 0 ISO-8859-1, 1 UTF-16 with byte order mark, 2 UTF-16 big-endian without
// mark, 3 UTF-8) and the few frame layouts the tag object reads.
// Internal to src/tags.
#pragma once

#include <cstdint>
#include <string>

#include "tags/bytes.h"

namespace tags::id3v2 {

enum Encoding : uint8_t { kLatin1 = 0, kUtf16 = 1, kUtf16BE = 2, kUtf8 = 3 };

// Frame data (encoding byte first) to UTF-8: 8-bit text through the tag code
// page (zero bytes inside stay), Unicode ended at the first zero character.
// Characters of 0x20 or below are removed from both ends.
std::string DecodeText(ByteView data);
// The same into `out`, whose memory is used again.
void DecodeText(ByteView data, std::string* out);

// COMM (`withLanguage`) or WXXX data: the text after the content description.
// Empty when the description has no terminator.
std::string StripDescription(ByteView data, bool withLanguage);
void StripDescription(ByteView data, bool withLanguage, std::string* out);

// A track number as the track frame gives it ("3/12", "+4", "$1F", "0x10"):
// the part before "/", read as a signed decimal or hexadecimal integer;
// 0 when that is not a number. The low 16 bits are kept.
uint16_t ParseTrackNumber(const std::string& text);

// The UTF-16 units of the string that starts `text` in a Unicode `encoding`
// (UTF-16 with or without byte order mark, UTF-8), up to its terminator,
// without a leading byte order mark.
std::u16string StringUnits(ByteView text, uint8_t encoding);

// UTF-8 to UTF-16 units; a malformed sequence gives U+FFFD, an incomplete one
// at the very end is dropped.
std::u16string Utf8ToUtf16(ByteView data);

// For carrying a 2.4 frame into a 2.3 tag, where only encodings 0 and 1 exist:
// re-encodes the terminated strings of `data` from UTF-8 or UTF-16BE to UTF-16
// with a byte order mark. `prefix` bytes after the encoding byte are copied
// unchanged, then at most `maxStrings` strings are converted and the rest is
// copied unchanged. Returns the data as it was for encodings 0 and 1 or when
// the layout does not hold.
Bytes ReencodeForV23(ByteView data, size_t prefix, size_t maxStrings);

}  // namespace tags::id3v2
