// The VBR header that an encoder puts inside the first frame of a file with a
// variable bit rate: the "Xing" header or the Fraunhofer "VBRI" header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "audio/frame_header.h"

namespace audio {

struct VBRData {
  bool Present = false;
  char Signature[4] = {};  // "Xing" or "VBRI", no terminator; zero when none
  int32_t FrameTotal = 0;
  int32_t ByteTotal = 0;
  uint8_t Quality = 0;
  std::string Vendor;  // 8 characters of a Xing header as they stand; empty otherwise

  void Clear() { *this = VBRData(); }
};

// Distance from the first byte of the frame header to the VBR header: the
// 4-byte header plus the Layer III side information for the frame's version
// and channel mode.
uint8_t VbrHeaderOffset(const FrameInfo& frame);

// Reads the VBR header that begins at `position` of `window` into `vbr`
// (cleared first). Only the one position is looked at; bytes beyond the end
// of the window read as zero.
void ReadVbrHeader(const uint8_t* window, size_t windowSize, size_t position, VBRData& vbr);

}  // namespace audio
