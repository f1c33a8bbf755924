// Code pages of 8-bit text, and the conversions of text between them, UTF-8
// and the host's text.
//
// Inside the plug-in all tag text is UTF-8. Old tags store single bytes whose
// code page the tag does not record; the user names it in a setting: "Windows
// text" (the system's ANSI code page), "Dos text" (the OEM code page) or the
// name of one of the host's character tables. The host layer reads the setting
// into a CodePage, through which such bytes are read and written.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tags {

enum class CodePageKind : uint8_t {
  Oem = 0,        // "Dos text": no conversion
  Ansi = 1,       // "Windows text": CharToOem / OemToChar
  HostTable = 2,  // one of the host's character tables, held in CodePage::Table
  Utf8 = 3,       // UTF-8: the host's text where it speaks it, a list file's table
};

// The host's CharTableSet, byte for byte as its CharTable service fills it.
struct CodePageTable {
  uint8_t DecodeTable[256];  // a byte of the table's code page -> OEM
  uint8_t EncodeTable[256];  // an OEM byte -> the table's code page
  uint8_t UpperTable[256];
  uint8_t LowerTable[256];
  char TableName[128];  // zero-terminated
};
static_assert(sizeof(CodePageTable) == 1152);

struct CodePage {
  CodePageKind Kind = CodePageKind::Ansi;
  CodePageTable Table{};  // meaningful only for HostTable
};

// The code page of all tag text, which the host layer sets from the settings
// when it loads the configuration (host::LoadCodePage).
extern CodePage TagCodePage;
// The code page of the text files the batch operations write or read; the last
// confirmed file list or tag creation dialog sets it.
extern CodePage ListCodePage;

// The setting texts that are not table names.
inline constexpr const char* kWindowsText = "Windows text";
inline constexpr const char* kDosText = "Dos text";
// The list files' own choice beside those.
inline constexpr const char* kUtf8Text = "UTF-8";

// ------------------------------------------------ 8-bit text and UTF-8
// Bytes of the code page to UTF-8 and back. Zero bytes (separators of several
// values) stay. A byte the code page has no character for reads as a character
// of its own (its C1 control, else one of the private use area) that writes
// back as that byte, so a text read and written again keeps its bytes.
void BytesToUtf8(std::string_view bytes, const CodePage& codePage, std::string* utf8);
std::string BytesToUtf8(std::string_view bytes, const CodePage& codePage);
// False when a character has no byte in the code page: '?' stands for it.
bool Utf8ToBytes(std::string_view utf8, const CodePage& codePage, std::string* bytes);
// The first character of `utf8` that the code page cannot hold; 0 for none.
char32_t FirstUnencodable(std::string_view utf8, const CodePage& codePage);
// The Windows number of the code page a record reads bytes in (65001 for
// UTF-8); 0 for a host table whose name names none.
unsigned CodePageNumber(const CodePage& codePage);

// The host's text: what the host hands to the plug-in and shows (dialog and
// menu texts, messages, names). Under FAR 1.70 the OEM code page; UTF-8 where
// the host speaks it. The host layer sets it at start-up.
extern CodePage HostCodePage;
// UTF-8 to the host's text: a character the host cannot show becomes '?'.
std::string ToHost(std::string_view utf8);
// The host's text to UTF-8.
std::string FromHost(std::string_view hostText);
// The characters of the host's text (its bytes but under UTF-8).
size_t HostCharCount(std::string_view hostText);
// The longest start of the host's text of at most `chars` characters and at
// most `bytes` bytes that ends on a character's boundary.
std::string_view HostPrefix(std::string_view hostText, size_t chars, size_t bytes = SIZE_MAX);

// In-place conversions of a zero-terminated 8-bit text; each stops at the first
// zero byte and returns `buffer`.
char* ToOem(char* buffer, const CodePage& codePage);
char* FromOem(char* buffer, const CodePage& codePage);
// From the code page of `from` to that of `to`, through OEM; nothing happens
// when both name the same code page (host tables by name, compared with
// tags::HostTextOrder).
char* Recode(char* buffer, const CodePage& from, const CodePage& to);

// The same for a std::string, converted in place up to its first zero byte.
void ToOem(std::string& text, const CodePage& codePage);
void FromOem(std::string& text, const CodePage& codePage);
void Recode(std::string& text, const CodePage& from, const CodePage& to);

}  // namespace tags
