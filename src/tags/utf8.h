// UTF-8, the form of all tag text inside the plug-in: characters read and
// written one at a time, counted and cut without halving one.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tags {

constexpr char32_t kReplacementChar = 0xFFFD;

// Whether every byte of `text` is below 128 (eight bytes at a time).
bool IsAscii(std::string_view text);

// The character that starts at `*at`, which moves past it. A malformed
// sequence gives one U+FFFD for its lead byte and the continuation bytes that
// follow it; `*cut`, when asked for, tells whether the text ended inside it.
char32_t NextChar(std::string_view text, size_t* at, bool* cut = nullptr);

void AppendUtf8(std::string& out, char32_t c);

// The characters of `text` (a malformed byte counts as one).
size_t CharCount(std::string_view text);
// The bytes of the first `chars` characters of `text` (all of it when it has
// fewer).
size_t PrefixBytes(std::string_view text, size_t chars);
// Where the last `chars` characters of `text` start.
size_t SuffixStart(std::string_view text, size_t chars);
// The bytes of the longest start of `text` that takes at most `room` bytes and
// ends where a character ends: what a fixed-size field can hold without half
// a character.
size_t FitBytes(std::string_view text, size_t room);

// UTF-16 units to UTF-8 (a lone surrogate gives U+FFFD), and back.
std::string Utf8FromUnits(std::u16string_view units);
void Utf8FromUnits(std::u16string_view units, std::string* out);
std::u16string UnitsFromUtf8(std::string_view text);

// Letter case of one character by the system's Unicode tables (not the host
// code page's), and the text whose every character went through it.
char32_t UpperChar(char32_t c);
char32_t LowerChar(char32_t c);
bool IsLetter(char32_t c);
std::string UpperText(std::string_view text);
std::string LowerText(std::string_view text);

}  // namespace tags
