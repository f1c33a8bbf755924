// The code page of tag text, and the conversions between it and the host's
// OEM text.
//
// Tag text is stored as single bytes whose code page the tag does not record;
// the user names it in a setting: "Windows text" (the system's ANSI code page),
// "Dos text" (the OEM code page itself) or the name of one of the host's
// character tables. The host layer reads the setting into a CodePage.
#pragma once

#include <cstdint>
#include <string>

namespace tags {

enum class CodePageKind : uint8_t {
  Oem = 0,        // "Dos text": no conversion
  Ansi = 1,       // "Windows text": CharToOem / OemToChar
  HostTable = 2,  // one of the host's character tables, held in CodePage::Table
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

// In-place conversions of a zero-terminated text; each stops at the first
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
