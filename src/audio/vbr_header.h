// The header that an encoder puts inside the first frame of a file to state
// how many frames and bytes follow: the "Xing" header of VBR files, LAME's
// "Info" header (the same layout, in constant bit rate files) and the
// Fraunhofer "VBRI" header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "audio/frame_header.h"

namespace audio {

struct VBRData {
  bool Present = false;
  char Signature[4] = {};  // "Xing", "Info" or "VBRI", no terminator; zero when none
  uint32_t FrameTotal = 0;  // the header's counts are unsigned 32-bit numbers
  uint32_t ByteTotal = 0;
  uint8_t Quality = 0;
  std::string Vendor;  // 8 characters of a Xing or Info header as they stand; empty otherwise

  void Clear() { *this = VBRData(); }
  // LAME's header of a constant bit rate file: its counts are the file's, but
  // every frame has the first frame's bit rate.
  bool IsInfo() const { return Present && std::memcmp(Signature, "Info", 4) == 0; }
};

// Distance from the first byte of the frame header to a Xing or Info header:
// the 4-byte header plus the Layer III side information for the frame's
// version and channel mode.
uint8_t VbrHeaderOffset(const FrameInfo& frame);
// Distance from the first byte of the frame header to a VBRI header: the
// Fraunhofer encoders leave 32 bytes after the 4-byte header whatever the
// version and channel mode.
constexpr uint8_t kVbriHeaderOffset = 36;

// Reads the header of the frame `frame` that begins at `frameStart` of
// `window` into `vbr` (cleared first): a Xing or Info header at the frame's
// VbrHeaderOffset, else a VBRI header at kVbriHeaderOffset. Bytes beyond the
// end of the window read as zero.
void ReadVbrHeader(const uint8_t* window, size_t windowSize, size_t frameStart,
                   const FrameInfo& frame, VBRData& vbr);

}  // namespace audio
