// Frames of an ID3v2.2 tag carried into an ID3v2.3 tag. Internal to src/tags.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "tags/bytes.h"

namespace tags::id3v2 {

struct ConvertedFrame {
  std::string id;  // 4 characters
  Bytes content;
};

// The version 2.3 frame for a version 2.2 frame with the 3-character id `id3`
// and `content` (resynchronised if the tag was). Every 2.2 frame has the
// layout of its 2.3 counterpart except the attached picture, whose 3-letter
// image format becomes a MIME type. Text is not re-encoded: 2.2 knows only
// encodings 0 and 1, which 2.3 has too, and content with another encoding
// byte is carried as it is. Nothing for a frame without a 2.3 counterpart
// (encrypted meta frames, linked information, unknown and experimental ids)
// and for a picture too short to hold its header.
std::optional<ConvertedFrame> ConvertV22Frame(std::string_view id3, ByteView content);

}  // namespace tags::id3v2
