#include <algorithm>
#include <functional>
#include <new>

#include "sys/sys.h"
#include "tags/buffered_file.h"
#include "tags/genres.h"
#include "tags/id3v2.h"
#include "tags/id3v2_frames.h"
#include "tags/id3v2_text.h"

namespace tags {

using namespace id3v2;

namespace {

std::string TrimBoth(std::string_view text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && static_cast<unsigned char>(text[begin]) <= 0x20) ++begin;
  while (end > begin && static_cast<unsigned char>(text[end - 1]) <= 0x20) --end;
  return std::string(text.substr(begin, end - begin));
}

using SlotTexts = std::array<std::string, kSlotCount>;

// The slots in the order of kSlotIdsV3 and kSlotIdsV2.
enum Slot : size_t {
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

// A slot holds the first kSlotDataSize bytes of a frame's content as if
// followed by zeros up to that size. Four zeros stand for all of them: they
// end a string of any encoding, also one whose last UTF-16 unit lacks a byte,
// and every reading of a slot stops at such an end or trims the zeros.
constexpr size_t kSlotZeros = 4;

// The text of a slot's frame as its field takes it (comment and link without
// their description), into `out`.
void SlotText(size_t slot, ByteView content, std::string* out) {
  if (slot != kComment && slot != kUrl && !content.empty() && content[0] == kLatin1 &&
      content.size() <= kSlotDataSize) {
    // The zeros that would follow are trimmed with the other blanks: the
    // content is read where it stands (most frames are such).
    DecodeText(content, out);
    return;
  }
  std::array<uint8_t, kSlotDataSize> bytes;
  const size_t kept = std::min(content.size(), kSlotDataSize);
  const size_t size = kept + std::min(kSlotDataSize - kept, kSlotZeros);
  std::copy_n(content.begin(), kept, bytes.begin());
  std::fill(bytes.begin() + kept, bytes.begin() + size, uint8_t{0});
  const ByteView slotBytes(bytes.data(), size);
  if (slot == kComment) {
    StripDescription(slotBytes, true, out);
  } else if (slot == kUrl) {
    StripDescription(slotBytes, false, out);
  } else {
    DecodeText(slotBytes, out);
  }
}

// Reads the slot frames of the tag into `texts`; a later frame of a slot
// replaces an earlier one (of COMM and WXXX frames, see SlotChoice). The
// comment taken is also read whole into `fullComment`.
void ReadSlots(BufferedFile& file, int64_t tagSize, const TagInfo& info, SlotTexts& texts,
               std::string& fullComment) {
  std::optional<TagBody> body = OpenBody(file, info, tagSize, false);
  if (!body) return;
  const std::optional<int64_t> start = FirstFrameOffset(*body, info.Version, info.Flags);
  if (!start) return;
  Bytes scratch;
  SlotChoice comment, url;
  auto visit = [&](const FrameRef& frame) {
    const std::optional<int> slot = SlotOf(frame.id, info.Version);
    if (!slot) return true;
    // A compressed frame is inflated from all of its data; of others the
    // first bytes do.
    const bool whole = IsCompressed(info.Version, frame.flags);
    const size_t want = static_cast<size_t>(
        whole ? frame.dataSize : std::min<int64_t>(frame.dataSize, kSlotRawLimit));
    ByteView raw;
    if (!body->View(frame.dataAt, want, &raw)) return false;
    const std::optional<ByteView> content =
        FrameContent(info.Version, frame.flags, info.Flags, raw, scratch);
    if (!content) return true;  // encrypted, or not inflating: not text we can read
    if (!SlotTakes(*content)) return true;
    const auto index = static_cast<size_t>(*slot);
    if (index == kComment && !comment.Offer(HasEmptyDescription(*content, true))) return true;
    if (index == kUrl && !url.Offer(HasEmptyDescription(*content, false))) return true;
    SlotText(index, *content, &texts[index]);
    if (index != kComment) return true;
    if (whole || static_cast<int64_t>(want) == frame.dataSize) {
      fullComment = StripDescription(*content, true);
      return true;
    }
    // A comment longer than its slot: read again, all of it.
    Bytes all;
    if (!body->Read(frame.dataAt, static_cast<size_t>(frame.dataSize), &all)) return false;
    const std::optional<Bytes> full = FrameContent(info.Version, frame.flags, info.Flags, all);
    fullComment = full ? StripDescription(*full, true) : texts[index];
    return true;
  };
  // By reference: the walk's std::function then holds no copy on the heap.
  WalkFrames(*body, *start, info.Version, std::ref(visit));
}

void HeaderFromBytes(ByteView header, int64_t fileSize, TagInfo& info) {
  std::copy(header.begin(), header.begin() + 3, info.ID.begin());
  info.Version = header[3];
  info.Revision = header[4];
  info.Flags = header[5];
  std::copy(header.begin() + 6, header.begin() + 10, info.Size.begin());
  info.FileSize = fileSize;
}

}  // namespace

bool ReadTagHeaderFrom(sys::File& file, int64_t fileSize, TagInfo& info) {
  uint8_t header[kHeaderSize];
  if (!file.ReadExactAt(0, header, sizeof header)) return false;
  HeaderFromBytes(header, fileSize, info);
  return true;
}

bool ReadTagHeaderFrom(BufferedFile& file, TagInfo& info) {
  ByteView header;
  if (!file.View(0, kHeaderSize, &header)) return false;
  if (header.size() < kHeaderSize) {
    sys::SetLastError(sys::kErrorHandleEof);
    return false;
  }
  HeaderFromBytes(header, file.Size(), info);
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
  found_ = false;
  changed_ = 0;
  dropped_ = 0;
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
  fullComment_.clear();
  composer_.clear();
  origArtist_.clear();
  encodedBy_.clear();
  copyright_.clear();
  language_.clear();
  url_.clear();
}

bool ID3v2Tag::LoadFrom(sys::File& file, int64_t fileSize) {
  std::vector<uint8_t> storage;
  BufferedFile buffered(file, fileSize, storage);
  return LoadFrom(buffered);
}

bool ID3v2Tag::LoadFrom(BufferedFile& file) {
  Clear();
  TagInfo info;
  if (!ReadTagHeaderFrom(file, info)) return false;
  if (!info.HasId3()) return true;
  present_ = true;
  found_ = true;
  version_ = info.Version;
  tagSize_ = TagTotalSize(info);
  if (version_ < 2 || version_ > 4 || tagSize_ <= 0) return true;
  // The slots keep their memory from one file to the next.
  for (std::string& text : slots_) text.clear();
  std::string fullComment;
  try {
    ReadSlots(file, tagSize_, info, slots_, fullComment);
  } catch (const std::bad_alloc&) {
    // A tag too large to hold: the slots read so far stand.
  }
  FillFromSlots(slots_);
  fullComment_ = fullComment.size() > comment_.size() ? std::move(fullComment) : comment_;
  return true;
}

bool ID3v2Tag::Load(const std::string& fileName) {
  Clear();
  sys::File file;
  int64_t size = 0;
  if (!file.Open(fileName, sys::OpenMode::Read) || !file.Size(&size)) return false;
  return LoadFrom(file, size);
}

namespace {

// TCON: "(17)Rock" keeps the refinement after the last reference. A reference
// without a refinement ("(17)", written so by many taggers) names the genre
// by its number, as ID3v2.3 defines it (4.2.1), so that the genre is shown and
// a save writes it back instead of losing it.
std::string GenreFromContentType(const std::string& stored) {
  const size_t close = stored.rfind(')');
  // A bare number ("17", as ID3v2.4 writes a genre of the list) is a reference too.
  if (close == std::string::npos) return GenreOfNumberText(stored).value_or(stored);
  std::string refinement = stored.substr(close + 1);
  if (!refinement.empty() || stored.empty() || stored[0] != '(') return refinement;
  const size_t end = stored.find(')');
  const std::string reference = stored.substr(1, end - 1);
  if (reference == "RX") return "Remix";
  if (reference == "CR") return "Cover";
  if (reference.empty() || reference.size() > 3 ||
      !std::all_of(reference.begin(), reference.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return refinement;
  return GenreText(std::stoi(reference));
}

}  // namespace

// The slot texts are copied, not moved, into the fields, which so keep their
// memory from one file to the next.
void ID3v2Tag::FillFromSlots(const SlotTexts& texts) {
  auto text = [&](Slot slot) -> const std::string& { return texts[slot]; };

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
  genre_ = GenreFromContentType(text(kGenre));
  comment_ = text(kComment);
  composer_ = text(kComposer);
  encodedBy_ = text(kEncodedBy);
  copyright_ = text(kCopyright);
  language_ = text(kLanguage);
  url_ = text(kUrl);
  origArtist_ = text(kOrigArtist);
}

void ID3v2Tag::SetText(std::string& field, std::string_view text, Field which) {
  std::string value = TrimBoth(text);
  const std::string& now = which == Field::Comment ? fullComment_ : field;
  if (value != now) changed_ |= Bit(which);
  present_ = present_ || !value.empty();
  if (which == Field::Comment) fullComment_ = value;
  field = std::move(value);
}

void ID3v2Tag::SetTitle(std::string_view text) { SetText(title_, text, Field::Title); }
void ID3v2Tag::SetArtist(std::string_view text) { SetText(artist_, text, Field::Artist); }
void ID3v2Tag::SetAlbum(std::string_view text) { SetText(album_, text, Field::Album); }
void ID3v2Tag::SetYear(std::string_view text) { SetText(year_, text, Field::Year); }
void ID3v2Tag::SetGenre(std::string_view text) { SetText(genre_, text, Field::Genre); }
void ID3v2Tag::SetComment(std::string_view text) { SetText(comment_, text, Field::Comment); }
void ID3v2Tag::SetComposer(std::string_view text) { SetText(composer_, text, Field::Composer); }
void ID3v2Tag::SetOrigArtist(std::string_view text) {
  SetText(origArtist_, text, Field::OrigArtist);
}
void ID3v2Tag::SetEncodedBy(std::string_view text) { SetText(encodedBy_, text, Field::EncodedBy); }
void ID3v2Tag::SetCopyright(std::string_view text) { SetText(copyright_, text, Field::Copyright); }
void ID3v2Tag::SetURL(std::string_view text) { SetText(url_, text, Field::URL); }

void ID3v2Tag::SetTrack(uint16_t value) {
  if (value != track_) changed_ |= Bit(Field::Track);
  track_ = value;
  present_ = present_ || value != 0;
}

}  // namespace tags
