// The frames a save writes: the frames of the old tag in their order, each
// kept as it was unless a changed field replaces it, and the frames of changed
// fields that had none. Internal to src/tags.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tags/bytes.h"

namespace sys {
class File;
}

namespace tags {
struct TagInfo;
struct TextWriting;
class ID3v2Tag;
}  // namespace tags

namespace tags::id3v2 {

// The frames (2.3 layout, without tag header and padding) of the tag that
// saving `tag` over the old tag of `file` writes. `info` is the old tag's
// header (no "ID3": the file has no tag). `*dropped` counts the old frames that
// 2.3 cannot hold. Nothing when the old tag cannot be read.
// `writing` says how 8-bit text is written (see TextWriting).
std::optional<Bytes> SavedFrames(sys::File& file, const TagInfo& info, const ID3v2Tag& tag,
                                 int* dropped, const TextWriting& writing);

// The strings of the old tag's frames that a save with TextWriting::convertOld
// converts. Nothing on a read error.
std::optional<std::vector<std::string>> EightBitTexts(sys::File& file, const TagInfo& info);

}  // namespace tags::id3v2
