#include <algorithm>
#include <new>

#include "sys/sys.h"
#include "tags/id3v2.h"
#include "tags/id3v2_frames.h"
#include "tags/id3v2_text.h"

namespace tags {

using namespace id3v2;

namespace {

// Raw bytes read of a slot frame: enough for 500 bytes of content after a
// group byte, a data-length indicator and undoing unsynchronisation (which at
// most halves the data).
constexpr size_t kSlotRawLimit = 6 + 2 * kSlotDataSize;

std::string TrimBoth(std::string_view text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && static_cast<unsigned char>(text[begin]) <= 0x20) ++begin;
  while (end > begin && static_cast<unsigned char>(text[end - 1]) <= 0x20) --end;
  return std::string(text.substr(begin, end - begin));
}

ByteView SlotBytes(const std::string& slot) {
  return ByteView(reinterpret_cast<const uint8_t*>(slot.data()), slot.size());
}

// Reads the slot frames of the tag into `info.Frame`.
void ReadSlots(sys::File& file, int64_t tagSize, TagInfo& info) {
  std::optional<TagBody> body = OpenBody(file, info, tagSize, false);
  if (!body) return;
  const std::optional<int64_t> start = FirstFrameOffset(*body, info.Version, info.Flags);
  if (!start) return;
  Bytes raw;
  WalkFrames(*body, *start, info.Version, [&](const FrameRef& frame) {
    const std::optional<int> slot = SlotOf(frame.id, info.Version);
    if (!slot) return true;
    const size_t want = static_cast<size_t>(std::min<int64_t>(frame.dataSize, kSlotRawLimit));
    if (!body->Read(frame.dataAt, want, &raw)) return false;
    std::optional<Bytes> content = FrameContent(info.Version, frame.flags, info.Flags, raw);
    if (!content) return true;  // compressed or encrypted: not text we can read
    content->resize(kSlotDataSize, 0);
    // Frames with an encoding byte this reader does not know are left out.
    if ((*content)[0] > kUtf8) return true;
    info.Frame[static_cast<size_t>(*slot)].assign(content->begin(), content->end());
    return true;
  });
}

}  // namespace

bool ReadTagHeaderFrom(sys::File& file, int64_t fileSize, TagInfo& info) {
  uint8_t header[kHeaderSize];
  if (!file.Seek(0) || !file.ReadExact(header, sizeof header)) return false;
  std::copy(header, header + 3, info.ID.begin());
  info.Version = header[3];
  info.Revision = header[4];
  info.Flags = header[5];
  std::copy(header + 6, header + 10, info.Size.begin());
  info.FileSize = fileSize;
  return true;
}

bool ReadTagHeader(const std::string& fileName, TagInfo& info) {
  sys::File file;
  int64_t size = 0;
  if (!file.Open(fileName, sys::OpenMode::Read) || !file.Size(&size)) return false;
  return ReadTagHeaderFrom(file, size, info);
}

int64_t TagTotalSize(const TagInfo& info) {
  // Each size byte is taken whole: a byte with its top bit set (no valid
  // synchsafe number) still counts 128 or more at its place.
  int64_t total = int64_t{info.Size[0]} * (1 << 21) + int64_t{info.Size[1]} * (1 << 14) +
                  int64_t{info.Size[2]} * (1 << 7) + info.Size[3] + 10;
  if (info.Flags & kTagFooter) total += 10;
  return total > info.FileSize ? 0 : total;
}

void ID3v2Tag::Clear() {
  present_ = false;
  version_ = 0;
  tagSize_ = 0;
  title_.clear();
  artist_.clear();
  album_.clear();
  track_ = 0;
  trackText_.clear();
  year_.clear();
  genre_.clear();
  comment_.clear();
  composer_.clear();
  origArtist_.clear();
  encodedBy_.clear();
  copyright_.clear();
  language_.clear();
  url_.clear();
}

bool ID3v2Tag::LoadFrom(sys::File& file, int64_t fileSize) {
  Clear();
  TagInfo info;
  if (!ReadTagHeaderFrom(file, fileSize, info)) return false;
  if (!info.HasId3()) return true;
  present_ = true;
  version_ = info.Version;
  tagSize_ = TagTotalSize(info);
  if (version_ < 2 || version_ > 4 || tagSize_ <= 0) return true;
  try {
    ReadSlots(file, tagSize_, info);
  } catch (const std::bad_alloc&) {
    // A tag too large to hold: the slots read so far stand.
  }
  FillFromSlots(info);
  return true;
}

bool ID3v2Tag::Load(const std::string& fileName) {
  Clear();
  sys::File file;
  int64_t size = 0;
  if (!file.Open(fileName, sys::OpenMode::Read) || !file.Size(&size)) return false;
  return LoadFrom(file, size);
}

void ID3v2Tag::FillFromSlots(const TagInfo& info) {
  enum Slot {
    kTitle,
    kArtist,
    kAlbum,
    kTrack,
    kYear,
    kGenre,
    kComment,
    kComposer,
    kEncodedBy,
    kCopyright,
    kLanguage,
    kUrl,
    kDate,
    kOrigArtist,
    kGrouping,
    kOrigAlbum
  };
  auto text = [&](Slot slot) { return DecodeText(SlotBytes(info.Frame[slot])); };

  title_ = text(kTitle);
  if (title_.empty()) title_ = text(kGrouping);
  artist_ = text(kArtist);
  if (artist_.empty()) artist_ = text(kOrigArtist);
  album_ = text(kAlbum);
  if (album_.empty()) album_ = text(kOrigAlbum);
  trackText_ = text(kTrack);
  track_ = ParseTrackNumber(trackText_);
  year_ = text(kYear);
  if (year_.empty()) year_ = text(kDate).substr(0, 4);
  genre_ = text(kGenre);
  // "(17)Rock" keeps the refinement after the last reference; "(17)" alone
  // gives nothing.
  if (const size_t close = genre_.rfind(')'); close != std::string::npos)
    genre_.erase(0, close + 1);
  comment_ = StripDescription(SlotBytes(info.Frame[kComment]), true);
  composer_ = text(kComposer);
  encodedBy_ = text(kEncodedBy);
  copyright_ = text(kCopyright);
  language_ = text(kLanguage);
  url_ = StripDescription(SlotBytes(info.Frame[kUrl]), false);
  origArtist_ = text(kOrigArtist);
}

void ID3v2Tag::SetText(std::string& field, std::string_view text) {
  field = TrimBoth(text);
  present_ = present_ || !field.empty();
}

void ID3v2Tag::SetTitle(std::string_view text) { SetText(title_, text); }
void ID3v2Tag::SetArtist(std::string_view text) { SetText(artist_, text); }
void ID3v2Tag::SetAlbum(std::string_view text) { SetText(album_, text); }
void ID3v2Tag::SetYear(std::string_view text) { SetText(year_, text); }
void ID3v2Tag::SetGenre(std::string_view text) { SetText(genre_, text); }
void ID3v2Tag::SetComment(std::string_view text) { SetText(comment_, text); }
void ID3v2Tag::SetComposer(std::string_view text) { SetText(composer_, text); }
void ID3v2Tag::SetOrigArtist(std::string_view text) { SetText(origArtist_, text); }
void ID3v2Tag::SetEncodedBy(std::string_view text) { SetText(encodedBy_, text); }
void ID3v2Tag::SetCopyright(std::string_view text) { SetText(copyright_, text); }
void ID3v2Tag::SetURL(std::string_view text) { SetText(url_, text); }

void ID3v2Tag::SetTrack(uint16_t value) {
  track_ = value;
  present_ = present_ || value != 0;
}

}  // namespace tags
