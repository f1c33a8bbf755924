// Single-byte code pages as the stand-in needs them: the Unicode character of
// every byte (from iconv on POSIX, from the system's tables on Windows), simple
// case mapping of the letters such code pages hold, and OEM text to and from
// UTF-8 for the script files and the transcript.
#pragma once

#include <array>
#include <string>

namespace hostsim {

// The character of each byte; kNoChar where the code page leaves a byte undefined.
constexpr char32_t kNoChar = 0xFFFFFFFF;
using CodePageTable = std::array<char32_t, 256>;

// False when the system knows no such code page.
bool LoadCodePage(unsigned codePage, CodePageTable* table);
// The byte of `c` in `table`, or -1.
int EncodeChar(const CodePageTable& table, char32_t c);

// Case and letters of the Latin, Greek and Cyrillic alphabets (the scripts of
// the single-byte code pages the host meets); other characters are returned
// unchanged and are no letters.
char32_t UnicodeUpper(char32_t c);
char32_t UnicodeLower(char32_t c);
bool UnicodeIsLetter(char32_t c);

// The process's OEM code page (sys::OemCodePage), loaded once. Falls back to
// plain ASCII when the system cannot describe it.
const CodePageTable& OemTable();

std::string OemToUtf8(const std::string& oem);
// Characters the OEM code page lacks become '?'; the result is false then.
bool Utf8ToOem(const std::string& utf8, std::string* oem);

// UTF-8 of one character.
void AppendUtf8(char32_t c, std::string* out);

// Text of a single-byte code page as UTF-8; a byte the code page has no
// character for becomes '?'. The tables are loaded once per code page.
std::string CodePageToUtf8(unsigned codePage, const std::string& text);

}  // namespace hostsim
