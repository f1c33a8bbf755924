#include "audio/mpeg_audio.h"

#include <algorithm>
#include <cmath>
#include <cstring>

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

// A tag that a tagger put in front of the file's old tag instead of replacing
// it leaves that tag directly behind the new one. `*audioStart` is the end of
// the first tag; the tags that follow it are added to it.
bool SkipFollowingTags(tags::BufferedFile& file, int64_t* audioStart) {
  constexpr int64_t kHeaderSize = 10;
  while (*audioStart <= file.Size() - kHeaderSize) {
    // The window after the next tag comes with the read of its header.
    file.LimitReadAhead(*audioStart + kHeaderSize + static_cast<int64_t>(kWindowSize));
    tags::ByteView bytes;
    if (!file.View(*audioStart, kHeaderSize, &bytes)) return false;
    tags::TagInfo info;
    std::memcpy(info.ID.data(), bytes.data(), 3);
    info.Version = bytes[3];
    info.Revision = bytes[4];
    info.Flags = bytes[5];
    std::memcpy(info.Size.data(), bytes.data() + 6, 4);
    info.FileSize = file.Size() - *audioStart;
    if (!info.HasId3() || info.Version < 2 || info.Version > 4) break;
    // Measured as the first tag is, so a size larger than the rest of the
    // file ends the run.
    const int64_t size = tags::TagTotalSize(info);
    if (size <= 0) break;
    *audioStart += size;
  }
  return true;
}

uint32_t LittleEndian32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

// An APE tag (version 1 or 2) ends in a 32-byte footer: "APETAGEX", version,
// the tag's size without its header (items and footer), item count, flags and
// 8 reserved bytes, numbers little-endian. A version 2 tag may also begin
// with a header of the same layout, which its flags announce.
constexpr int64_t kApeFooterSize = 32;
constexpr uint32_t kApeHasHeader = 0x80000000;

// The size of the APE tag that ends at `end` and begins at `floor` or later;
// 0 when there is none.
bool ApeTagBefore(tags::BufferedFile& file, int64_t end, int64_t floor, int64_t* size) {
  *size = 0;
  if (end - floor < kApeFooterSize) return true;
  tags::ByteView footer;
  if (!file.View(end - kApeFooterSize, kApeFooterSize, &footer)) return false;
  if (std::memcmp(footer.data(), "APETAGEX", 8) != 0) return true;
  const int64_t total = int64_t{LittleEndian32(&footer[12])} +
                        ((LittleEndian32(&footer[20]) & kApeHasHeader) ? kApeFooterSize : 0);
  if (total >= kApeFooterSize && total <= end - floor) *size = total;
  return true;
}

// A Lyrics3 v2 block runs from "LYRICSBEGIN" to six decimal digits, which
// count the bytes before them, and "LYRICS200".
constexpr int64_t kLyrics3EndSize = 15;
constexpr char kLyrics3Begin[] = "LYRICSBEGIN";
constexpr int64_t kLyrics3BeginSize = sizeof kLyrics3Begin - 1;

// The size of the Lyrics3 v2 block that ends at `end` and begins at `floor`
// or later; 0 when there is none.
bool Lyrics3Before(tags::BufferedFile& file, int64_t end, int64_t floor, int64_t* size) {
  *size = 0;
  if (end - floor < kLyrics3EndSize + kLyrics3BeginSize) return true;
  tags::ByteView tail;
  if (!file.View(end - kLyrics3EndSize, kLyrics3EndSize, &tail)) return false;
  if (std::memcmp(&tail[6], "LYRICS200", 9) != 0) return true;
  int64_t body = 0;
  for (size_t i = 0; i < 6; ++i) {
    if (tail[i] < '0' || tail[i] > '9') return true;
    body = body * 10 + (tail[i] - '0');
  }
  const int64_t total = body + kLyrics3EndSize;
  if (body < kLyrics3BeginSize || total > end - floor) return true;
  tags::ByteView begin;
  if (!file.View(end - total, kLyrics3BeginSize, &begin)) return false;
  if (std::memcmp(begin.data(), kLyrics3Begin, kLyrics3BeginSize) == 0) *size = total;
  return true;
}

// The APE tags and Lyrics3 v2 blocks, in either order, that end at `end`
// and begin at `floor` or later.
bool TrailingBlocks(tags::BufferedFile& file, int64_t end, int64_t floor, int64_t* size) {
  *size = 0;
  for (;;) {
    int64_t block = 0;
    if (!ApeTagBefore(file, end, floor, &block)) return false;
    if (block == 0 && !Lyrics3Before(file, end, floor, &block)) return false;
    if (block == 0) return true;
    end -= block;
    *size += block;
  }
}

// The end of the file that holds an ID3v1 tag and the blocks right before it.
constexpr int64_t kTailSize = tags::ID3v1Tag::kBlockSize + kApeFooterSize;

}  // namespace

void FindFirstFrame(std::span<const uint8_t, kWindowSize> window, FrameInfo& frame, VBRData& vbr) {
  frame = FrameInfo();
  for (size_t i = 0; i < kSearchPositions; ++i) {
    if (!CheckHeader(&window[i])) continue;
    ParseHeader(&window[i], frame);
    const size_t length = FrameLength(frame);
    // A successor of another version, layer or sample rate is no successor
    // to a decoder: a chance sync in other data is mostly followed by one.
    if (i + length + 4 <= window.size() && CheckHeader(&window[i + length]) &&
        SameStream(&window[i], &window[i + length])) {
      frame.Present = true;
      frame.Offset = static_cast<int32_t>(i);
      frame.FrameBytes = static_cast<uint16_t>(length);
      ReadVbrHeader(window.data(), window.size(), i, frame, vbr);
      return;
    }
  }
}

void MPEGaudio::Reset() {
  fileSize_ = 0;
  audioStart_ = 0;
  trailingBlocks_ = 0;
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
  if (!id3v2_.LoadFrom(buffered)) return false;
  fileSize_ = size;
  audioStart_ = id3v2_.TagSize();
  if (audioStart_ > 0 && !SkipFollowingTags(buffered, &audioStart_)) return false;

  Window copy;
  std::span<const uint8_t, kWindowSize> window = copy;
  size_t filled = 0;
  windowStart_ = audioStart_;
  if (!ReadWindow(buffered, windowStart_, copy, &window, &filled)) return false;
  FindFirstFrame(window, firstFrame_, vbrInfo_);
  if (!firstFrame_.Present && filled == kWindowSize) {
    // Junk before the audio: look once more in the middle of what follows the
    // tags. (Half of the audio size counted from the start of the file would
    // land inside a tag larger than the audio, e.g. one with a big picture.)
    windowStart_ = audioStart_ + (size - audioStart_) / 2;
    if (!ReadWindow(buffered, windowStart_, copy, &window, &filled)) return false;
    FindFirstFrame(window, firstFrame_, vbrInfo_);
  }

  // The ID3v1 tag and the blocks before it come with one read of the file's
  // end, made after the windows so that they could still come from the
  // buffer.
  const int64_t tail = std::max<int64_t>(0, size - kTailSize);
  tags::ByteView ignored;
  if (size > 0 && !buffered.View(tail, static_cast<size_t>(size - tail), &ignored)) return false;
  if (!id3v1_.LoadFrom(buffered)) return false;
  const int64_t end = size - (id3v1_.Present() ? int64_t{tags::ID3v1Tag::kBlockSize} : 0);
  if (!TrailingBlocks(buffered, end, audioStart_, &trailingBlocks_)) return false;
  DropImpossibleVbrCounts();
  return true;
}

// A VBR header whose frame count has the top bit set (one that a reader of
// signed numbers took for negative) counts more frames than any file holds at
// the lowest bit rate of its kind: it is no count of this file, and the
// analysis estimates as for a file without a header. Smaller counts are
// trusted over the file's length, as a cut file still describes its whole.
void MPEGaudio::DropImpossibleVbrCounts() {
  if (vbrInfo_.Present && vbrInfo_.FrameTotal >= 0x80000000u) vbrInfo_.Clear();
}

int64_t MPEGaudio::AudioSize() const {
  return fileSize_ - audioStart_ - trailingBlocks_ -
         (id3v1_.Present() ? int64_t{tags::ID3v1Tag::kBlockSize} : 0);
}

uint16_t MPEGaudio::BitRateKbps() const {
  // An Info header's byte count includes its own frame, which its frame count
  // does not: their quotient would make 129 kbit/s of a short 128 kbit/s file.
  if (!vbrInfo_.Present || vbrInfo_.IsInfo() || vbrInfo_.FrameTotal == 0)
    return TableBitRate(firstFrame_);
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
  if (vbrInfo_.Present) return int64_t{vbrInfo_.FrameTotal};
  if (!firstFrame_.Present) return 0;
  const uint16_t length = FrameLength(firstFrame_);
  return length == 0 ? 0 : (AudioSize() - firstFrame_.Offset) / length;
}

double MPEGaudio::DurationSeconds() const {
  if (!firstFrame_.Present) return 0;
  const uint16_t sampleRate = TableSampleRate(firstFrame_);
  const uint16_t bitRate = TableBitRate(firstFrame_);
  if (sampleRate == 0 || bitRate == 0) return 0;
  if (vbrInfo_.Present && vbrInfo_.FrameTotal != 0) {
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
  if (vbrInfo_.Present && vbrInfo_.FrameTotal != 0) {
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
