// The tag creation's per-file step (the walk's mode 3; CreateTags itself is
// declared with the other operations in host/operations.h) and its pieces.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace batch {

// The number at the start of a track value: an optional sign and the
// decimal digits up to the first other character (3/12 gives 3); 0 without
// digits, also after a leading blank. Kept modulo 2^32.
int32_t TrackNumber(std::string_view text);

// Applies a case mode to OEM text: its last character "1" upper case, "2"
// lower case, "3" first letter capital, "4" each word capital, "5" swapped;
// a mode of more than one character then transliterates.
std::string ApplyCaseMode(std::string text, const std::string& mode);

}  // namespace batch
