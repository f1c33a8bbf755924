// The host's text: what the stand-in and the plug-in exchange (file names,
// panel items, dialog and menu texts, messages, help). OEM bytes, one
// character a byte, as under FAR; or UTF-8 where the process decided so
// (sys::HostTextIsUtf8: a UTF-8 locale on POSIX). The services, the dialog
// engine and the terminal host count, compare, cut, type and draw characters
// through this, so that none is ever cut in half and every width counts
// characters (columns on the terminal).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "far/plugin_api.h"

namespace hostsim {

// A character of the host's text: in OEM its byte (0 to 255); in UTF-8 its
// Unicode value, or kStrayByte plus the byte for a byte that starts no valid
// sequence (a name that is no UTF-8 keeps its bytes and stays reachable).
using HostChar = char32_t;
constexpr HostChar kStrayByte = 0x110000;

bool HostSpeaksUtf8();

// The character that starts at `*at`, which moves past it.
HostChar NextHostChar(std::string_view text, size_t* at);
// Where the character that ends at `at` starts (0 at the start).
size_t PreviousHostChar(std::string_view text, size_t at);
// `c` in the host's text; a character the host's text cannot hold (a Unicode
// value in OEM) appends nothing.
void AppendHostChar(HostChar c, std::string* out);

size_t HostCharCount(std::string_view text);
// The bytes of the first `chars` characters of `text` (all of it when it has
// fewer).
size_t HostCharsBytes(std::string_view text, size_t chars);
// The bytes of the longest start of `text` that fits `room` bytes and ends
// where a character ends.
size_t HostFitBytes(std::string_view text, size_t room);
// `text` cut to at most `chars` characters and `bytes` bytes, at a character's end.
std::string CutHostText(std::string_view text, size_t chars, size_t bytes = std::string::npos);
// Copies what fits of `text` into a field of `size` bytes, ended by a zero.
void CopyToField(std::string_view text, char* field, size_t size);

// Case and letters. OEM: the OEM code page's tables (OemCase). UTF-8: the
// system's Unicode tables; a stray byte has no case and is no letter.
HostChar HostUpper(HostChar c);
HostChar HostLower(HostChar c);
bool HostIsAlpha(HostChar c);
bool HostIsUpper(HostChar c);
bool HostIsLower(HostChar c);
// Upper-cases the characters of `text` in place (`upper`) or lower-cases
// them. In UTF-8 a character whose other case takes another number of bytes
// stays as it is: the text keeps its length.
void ChangeCaseInPlace(char* text, size_t length, bool upper);
// The characters of `text` upper-cased: two texts equal ignoring case have
// equal keys, and keys compare as CompareNoCase orders the texts.
std::u32string FoldedKey(std::string_view text);
// The same into `key`, whose memory is kept.
void FoldedKey(std::string_view text, std::u32string* key);

// The Unicode character a host character shows as: an OEM byte through the
// OEM code page (U+FFFD where it has none), a stray byte as U+FFFD.
char32_t HostCharToUnicode(HostChar c);
// The host character of a Unicode character; false when the host's text has
// none (the OEM code page lacks it).
bool UnicodeToHostChar(char32_t u, HostChar* c);

// Columns on a terminal: in UTF-8 two for the wide characters of East Asian
// scripts, none for combining marks; in OEM one a byte.
int HostCharColumns(HostChar c);
int HostColumns(std::string_view text);
// The bytes of the longest start of `text` that takes at most `columns` columns.
size_t HostColumnsBytes(std::string_view text, int columns);

// The host's text and UTF-8 (script files, the transcript, the terminal's
// editor, the program's arguments): OEM through the OEM code page (a
// character it lacks becomes '?' and the result is false), UTF-8 as it is.
std::string HostToUtf8(std::string_view text);
bool Utf8ToHost(std::string_view utf8, std::string* text);

// Key codes of typed characters (DN_KEY, DM_KEY): an OEM byte is its own
// code, 0x20 to 0xFF but 0x7F. In UTF-8 an ASCII character is its own code
// and any other kCharKeyBase plus its value: past the host's other keys, below
// the modifier bits.
constexpr DWORD kCharKeyBase = 0x10000;
// 0 for a character that has no key (a control character).
DWORD CharKey(HostChar c);
// The character a key types without modifiers, or 0.
HostChar KeyChar(DWORD key);

}  // namespace hostsim
