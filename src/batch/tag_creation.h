// The tag creation's per-file step (the walk's mode 3; CreateTags itself is
// declared with the other operations in host/operations.h) and its pieces.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "batch/case_mode.h"

namespace batch {

// The number at the start of a track value: an optional sign and the
// decimal digits up to the first other character (3/12 gives 3); 0 without
// digits, also after a leading blank. Kept modulo 2^32.
int32_t TrackNumber(std::string_view text);

// Applies a case mode to OEM text: the change of letter case, then the
// transliteration.
std::string ApplyCaseMode(std::string text, const CaseMode& mode);

}  // namespace batch
