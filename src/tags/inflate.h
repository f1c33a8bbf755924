// zlib streams (RFC 1950), as ID3v2 compressed frames hold them (ID3v2.3
// section 3.3.1, flag i; ID3v2.4 section 4.1.2, flag k). Internal to src/tags.
#pragma once

#include <cstddef>
#include <optional>

#include "tags/bytes.h"

namespace tags {

// The stream `compressed` inflated into at most `limit` bytes. When it holds
// more, its first `limit` bytes are returned and `*cut` (if given) is set;
// otherwise `*cut` is cleared. Nothing for empty input, a damaged stream, or
// input that stops short of the stream's end before `limit` bytes are out.
// Inflating stops after the first `limit` bytes: input that stops right there
// counts as cut, and damage further on goes unnoticed. Bytes after the
// stream's end are ignored. Memory taken: the output, a buffer of 8 KB and
// zlib's fixed state, whatever the stream would inflate to.
std::optional<Bytes> Inflate(ByteView compressed, size_t limit, bool* cut = nullptr);

}  // namespace tags
