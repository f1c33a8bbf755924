// Internal to the POSIX system layer.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace sys::posix {

// Sets the last error from an errno value. `path`, when given, is the native
// path of the failed call: ENOENT becomes ERROR_PATH_NOT_FOUND when the folder
// that would hold it is missing, as Windows reports it.
void SetErrno(int error, const char* path = nullptr);
uint32_t WindowsError(int error);

// Single-byte text: each code page as 256 UTF-16 units (0xFFFF where a byte
// has no character) and the reverse lookup.
class CodePageTable {
 public:
  explicit CodePageTable(unsigned codePage);
  bool Valid() const { return valid_; }
  char16_t ToUnicode(uint8_t byte) const { return toUnicode_[byte]; }
  // The byte of a UTF-16 unit, or -1 when the code page lacks it.
  int FromUnicode(char32_t c) const;

 private:
  using Block = std::array<uint16_t, 256>;  // byte + 1, 0 = none

  bool valid_ = false;
  char16_t toUnicode_[256];
  // The reverse lookup by blocks of 256 characters, only those holding one
  // of the code page's characters (a few): blockOf_[c >> 8] is 1 + the index
  // of c's block in blocks_, 0 for none. A whole BMP table would be 128 KiB
  // to clear for every table at start-up.
  uint16_t blockOf_[256] = {};
  std::vector<Block> blocks_;
};

// The target of the code page tables' iconv descriptors: UCS-2LE is built
// into the C library's converter, where UTF-16LE loads a module of its own
// (a start-up cost), and gives the same units for a single-byte code page,
// all of whose characters are in the BMP.
inline constexpr char kIconvUnits[] = "UCS-2LE";

// The UTF-16 unit of one byte through an iconv descriptor that converts to
// kIconvUnits; `missing` where the code page has no character for it, except that
// 0x80..0x9F stay the C1 control characters, as Windows gives them for the
// slots its code pages leave empty (0x98 of 1251, 0x81 of 1252), so these
// survive a round trip.
char16_t DecodeByte(void* iconvToUtf16, uint8_t byte, char16_t missing);
// DecodeByte of every byte into `table256`, through as few conversions as the
// code page allows (one, where every byte has a character of its own).
void DecodeBytes(void* iconvToUtf16, char16_t* table256, char16_t missing);

// NativePath without a copy where none is needed: `path` itself where it is
// ASCII (the same in every OEM code page), else its UTF-8 form in `storage`.
const std::string& NativeForm(const std::string& path, std::string* storage);

const CodePageTable& OemTable();
const CodePageTable& AnsiTable();

// Case-insensitive order of registry names, as Windows sorts them: each
// ANSI byte taken as its character, upper-cased, compared as UTF-16 units.
int CompareNames(const std::string& a, const std::string& b);
// The same fold as a key: two names are the same registry name exactly when
// their folded forms are equal, and the folded forms sort as CompareNames does.
std::u16string FoldName(const std::string& name);

}  // namespace sys::posix
