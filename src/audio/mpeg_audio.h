// The per-file analysis: both tags, the first MPEG audio frame and its VBR
// header, and the audio properties that follow from them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "audio/frame_header.h"
#include "audio/vbr_header.h"
#include "tags/id3v1.h"
#include "tags/id3v2.h"

namespace audio {

// Amount of file data searched for the first frame: two of the longest MPEG 1
// frames, so that a frame starting anywhere in the first half is seen together
// with its successor.
constexpr size_t kWindowSize = 2 * kLongestMpeg1Frame;
using Window = std::array<uint8_t, kWindowSize>;

// Looks for a frame header at window positions 0 to 1729 whose successor (at
// the frame's length) is a header of the same stream (SameStream). On success
// `frame` holds it with Present set and `vbr` the VBR header read from it;
// otherwise `frame` holds no confirmed frame (Present false) and `vbr` is
// untouched.
void FindFirstFrame(std::span<const uint8_t, kWindowSize> window, FrameInfo& frame, VBRData& vbr);

class MPEGaudio {
 public:
  MPEGaudio() { Reset(); }

  // Back to the empty state, both tags included.
  void Reset();
  // Reads one file (one open for the tags and the audio). False when the file
  // cannot be opened or read; true otherwise, also when no frame was found.
  // A file without a confirmed frame leaves the object empty, tags included.
  bool Analyze(const std::string& fileName);
  // A frame was found, the bit rate is 8..448 kbit/s and there is at least 0.1 s.
  bool IsValid() const;

  const char* VersionText() const { return audio::VersionText(firstFrame_); }
  const char* LayerText() const { return audio::LayerText(firstFrame_); }
  const char* ChannelModeText() const { return audio::ChannelModeText(firstFrame_); }
  // kStereo .. kMono, or 4 when no frame was found.
  uint8_t ChannelMode() const { return firstFrame_.ChannelMode; }
  uint16_t BitRateKbps() const;
  uint16_t SampleRateHz() const { return TableSampleRate(firstFrame_); }
  int64_t FrameCount() const;
  double DurationSeconds() const;

  int64_t FileSize() const { return fileSize_; }
  // Where the audio begins: after the ID3v2 tag and any further ID3v2 tags
  // that follow it directly (only the first is read and written).
  int64_t AudioStart() const { return audioStart_; }
  // The APEv2 and Lyrics3 v2 blocks that end right before the ID3v1 tag (or
  // at the end of the file when there is none); they are no audio.
  int64_t TrailingBlocksSize() const { return trailingBlocks_; }
  // The file less its tags and the trailing blocks.
  int64_t AudioSize() const;
  const FrameInfo& FirstFrame() const { return firstFrame_; }
  const VBRData& VbrInfo() const { return vbrInfo_; }
  // Where the first frame begins in the file (FirstFrame().Offset is relative
  // to the window in which it was found).
  int64_t FirstFramePosition() const { return windowStart_ + firstFrame_.Offset; }

  tags::ID3v1Tag& ID3v1() { return id3v1_; }
  const tags::ID3v1Tag& ID3v1() const { return id3v1_; }
  tags::ID3v2Tag& ID3v2() { return id3v2_; }
  const tags::ID3v2Tag& ID3v2() const { return id3v2_; }

 private:
  bool Read(const std::string& fileName);
  void DropImpossibleVbrCounts();
  bool LastsATenthOfASecond() const;

  int64_t fileSize_ = 0;
  int64_t audioStart_ = 0;
  int64_t trailingBlocks_ = 0;
  VBRData vbrInfo_;
  FrameInfo firstFrame_;
  int64_t windowStart_ = 0;
  tags::ID3v1Tag id3v1_;
  tags::ID3v2Tag id3v2_;
  // The read-ahead buffer's memory, kept from one file to the next.
  std::vector<uint8_t> readBuffer_;
};

}  // namespace audio
