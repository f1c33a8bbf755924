// Text conversions of tagwright-inspect: tag bytes to UTF-8, native file names
// to the OEM text the analysis takes.
#pragma once

#include <array>
#include <optional>
#include <string>

namespace inspect {

// A single-byte code page turned into UTF-8, one byte at a time. A byte the
// code page does not define is written as the four characters \xNN.
class ByteDecoder {
 public:
  // Nothing when iconv does not know the code page.
  static std::optional<ByteDecoder> ForCodePage(unsigned codePage);
  std::string Decode(const std::string& bytes) const;
  // The byte decodes to itself.
  bool Same(unsigned char byte) const { return same_[byte]; }

 private:
  std::array<std::string, 256> table_;
  std::array<bool, 256> same_{};  // the byte is its own UTF-8 (ASCII, mostly)
};

// Valid UTF-8 as it stands; every byte of an invalid sequence as \xNN.
std::string SanitizeUtf8(const std::string& text);

// The name in the OEM code page of the system layer, when every character of
// the UTF-8 name has an equivalent there.
std::optional<std::string> Utf8ToOem(const std::string& name);

}  // namespace inspect
