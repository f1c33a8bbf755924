#include "audio/mpeg_audio.h"

#include <algorithm>
#include <cmath>

#include "sys/sys.h"
#include "tags/buffered_file.h"

namespace audio {
namespace {

// The search tries every start position that leaves room for the longest
// MPEG 1 frame after it.
constexpr size_t kSearchPositions = kWindowSize - kLongestMpeg1Frame + 1;

// The window at `position`: in the read-ahead buffer when it holds it all,
// else read into `copy`, where bytes past the end of the file are zero.
// `*filled` is how many came from the file.
bool ReadWindow(tags::BufferedFile& file, int64_t position, Window& copy,
                std::span<const uint8_t, kWindowSize>* window, size_t* filled) {
  if (const auto held = file.Held(position, kWindowSize); held && held->size() == kWindowSize) {
    *window = held->first<kWindowSize>();
    *filled = kWindowSize;
    return true;
  }
  if (!file.CopyOut(position, copy.data(), copy.size(), filled)) return false;
  std::fill(copy.begin() + static_cast<ptrdiff_t>(*filled), copy.end(), uint8_t{0});
  *window = copy;
  return true;
}

}  // namespace

void FindFirstFrame(std::span<const uint8_t, kWindowSize> window, FrameInfo& frame, VBRData& vbr) {
  frame = FrameInfo();
  for (size_t i = 0; i < kSearchPositions; ++i) {
    if (!CheckHeader(&window[i])) continue;
    ParseHeader(&window[i], frame);
    const size_t length = FrameLength(frame);
    // The successor only has to be a header: it may differ in version, layer
    // or sample rate from the candidate.
    if (i + length + 4 <= window.size() && CheckHeader(&window[i + length])) {
      frame.Present = true;
      frame.Offset = static_cast<int32_t>(i);
      frame.FrameBytes = static_cast<uint16_t>(length);
      ReadVbrHeader(window.data(), window.size(), i + VbrHeaderOffset(frame), vbr);
      return;
    }
  }
}

void MPEGaudio::Reset() {
  fileSize_ = 0;
  vbrInfo_.Clear();
  firstFrame_ = FrameInfo();
  windowStart_ = 0;
  id3v1_.Clear();
  id3v2_.Clear();
}

bool MPEGaudio::Analyze(const std::string& fileName) {
  Reset();
  const bool ok = Read(fileName);
  if (!ok || !firstFrame_.Present) Reset();
  return ok;
}

bool MPEGaudio::Read(const std::string& fileName) {
  sys::File file;
  int64_t size = 0;
  if (!file.Open(fileName, sys::OpenMode::Read, &size)) return false;
  // A small tag, and the window after it, come with the first read. Reads
  // inside a larger tag bring what follows them, up to the window's end.
  tags::BufferedFile buffered(file, size, readBuffer_);
  tags::TagInfo header;
  if (tags::ReadTagHeaderFrom(buffered, header) && header.HasId3())
    buffered.LimitReadAhead(tags::TagTotalSize(header) + static_cast<int64_t>(kWindowSize));
  if (!id3v2_.LoadFrom(buffered) || !id3v1_.LoadFrom(buffered)) return false;
  fileSize_ = size;

  Window copy;
  std::span<const uint8_t, kWindowSize> window = copy;
  size_t filled = 0;
  const int64_t tagSize = id3v2_.TagSize();
  windowStart_ = tagSize;
  if (!ReadWindow(buffered, windowStart_, copy, &window, &filled)) return false;
  FindFirstFrame(window, firstFrame_, vbrInfo_);
  if (firstFrame_.Present || filled < kWindowSize) return true;

  // Junk before the audio: look once more in the middle of what follows the
  // tag. (Half of the audio size counted from the start of the file would
  // land inside a tag larger than the audio, e.g. one with a big picture.)
  windowStart_ = tagSize + (size - tagSize) / 2;
  if (!ReadWindow(buffered, windowStart_, copy, &window, &filled)) return false;
  FindFirstFrame(window, firstFrame_, vbrInfo_);
  return true;
}

int64_t MPEGaudio::AudioSize() const {
  return fileSize_ - id3v2_.TagSize() - (id3v1_.Present() ? int64_t{tags::ID3v1Tag::kBlockSize} : 0);
}

uint16_t MPEGaudio::BitRateKbps() const {
  if (!vbrInfo_.Present || vbrInfo_.FrameTotal <= 0) return TableBitRate(firstFrame_);
  const double bytesPerFrame =
      static_cast<double>(vbrInfo_.ByteTotal) / vbrInfo_.FrameTotal - PaddingSlotSize(firstFrame_);
  const double kbps =
      bytesPerFrame * TableSampleRate(firstFrame_) / FrameCoefficient(firstFrame_) / 1000;
  // Halves to even (the default rounding mode); only the low 16 bits are kept.
  // |kbps| stays below 2^31 x 48000 / 48 / 1000, so the conversion is defined.
  const auto whole = static_cast<int64_t>(std::nearbyint(kbps));
  return static_cast<uint16_t>(static_cast<uint64_t>(whole) & 0xFFFF);
}

int64_t MPEGaudio::FrameCount() const {
  if (vbrInfo_.Present) return vbrInfo_.FrameTotal;
  if (!firstFrame_.Present) return 0;
  const uint16_t length = FrameLength(firstFrame_);
  return length == 0 ? 0 : (AudioSize() - firstFrame_.Offset) / length;
}

double MPEGaudio::DurationSeconds() const {
  if (!firstFrame_.Present) return 0;
  const uint16_t sampleRate = TableSampleRate(firstFrame_);
  const uint16_t bitRate = TableBitRate(firstFrame_);
  if (sampleRate == 0 || bitRate == 0) return 0;
  if (vbrInfo_.Present && vbrInfo_.FrameTotal > 0) {
    // In 64 bits: 1152 samples x 2^31 frames does not fit 32.
    const int64_t samples = int64_t{FrameCoefficient(firstFrame_)} * vbrInfo_.FrameTotal * 8;
    return static_cast<double>(samples) / sampleRate;
  }
  return static_cast<double>(AudioSize() - firstFrame_.Offset) / bitRate / 1000 * 8;
}

bool MPEGaudio::LastsATenthOfASecond() const {
  // DurationSeconds() >= 0.1 in whole numbers: a file of exactly 0.1 s would
  // otherwise pass or fail with the precision of the floating-point unit (the
  // 32-bit Windows build computes in 80 bits).
  if (vbrInfo_.Present && vbrInfo_.FrameTotal > 0) {
    return int64_t{FrameCoefficient(firstFrame_)} * vbrInfo_.FrameTotal * 8 * 10 >=
           TableSampleRate(firstFrame_);
  }
  // bytes / (kbit/s x 1000) x 8 >= 1/10  <=>  2 x bytes >= 25 x kbit/s
  return 2 * (AudioSize() - firstFrame_.Offset) >= 25 * int64_t{TableBitRate(firstFrame_)};
}

bool MPEGaudio::IsValid() const {
  if (!firstFrame_.Present) return false;
  const uint16_t kbps = BitRateKbps();
  return kbps >= 8 && kbps <= 448 && LastsATenthOfASecond();
}

}  // namespace audio
