#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

#include "sys/sys.h"
#include "tags/id3v1.h"
#include "tags/id3v2.h"
#include "tags/id3v2_frames.h"
#include "tags/id3v2_text.h"

namespace tags {

using namespace id3v2;

namespace {

// A tag whose old area is larger than this is rebuilt, and a rebuilt tag is
// padded up to it, so that later saves fit in place.
constexpr int64_t kInPlaceLimit = 4096;
constexpr size_t kCopyBufferSize = 64 * 1024;
// name~, name~1 ... name~999: the temporary names tried before giving up.
constexpr int kTempNameAttempts = 1000;

// Frame status and format flags of 2.4 and where they sit in 2.3 (ID3v2.3
// section 3.3.1, ID3v2.4 section 4.1).
struct FlagMapping {
  uint8_t v4;
  uint8_t v3;
};
constexpr FlagMapping kStatusFlags[] = {{0x40, 0x80}, {0x20, 0x40}, {0x10, 0x20}};
constexpr uint8_t kV4Grouped = 0x40;
constexpr uint8_t kV3Grouped = 0x20;

void AppendFrame(Bytes& out, const char* id, ByteView content, std::array<uint8_t, 2> flags) {
  const size_t at = out.size();
  out.resize(at + kHeaderSize);
  std::memcpy(out.data() + at, id, 4);
  PutBE32(out.data() + at + 4, static_cast<uint32_t>(content.size()));
  out[at + 8] = flags[0];
  out[at + 9] = flags[1];
  out.insert(out.end(), content.begin(), content.end());
}

// The text strings of a 2.4 frame whose layout is known are re-encoded for
// 2.3, which has no UTF-8 and no UTF-16 without byte order mark.
Bytes ReencodeContent(const std::string& id, const Bytes& content) {
  constexpr size_t kAll = std::numeric_limits<size_t>::max();
  if (id == "COMM" || id == "USLT") return ReencodeForV23(content, 3, kAll);
  if (id == "WXXX") return ReencodeForV23(content, 0, 1);
  if (id == "APIC") {
    // Encoding, MIME type (ISO-8859-1, terminated), picture type, description.
    const auto mimeEnd =
        std::find(content.begin() + std::min<size_t>(1, content.size()), content.end(), uint8_t{0});
    if (mimeEnd == content.end()) return content;
    return ReencodeForV23(content, static_cast<size_t>(mimeEnd - content.begin()) + 1, 1);
  }
  if (id[0] == 'T') return ReencodeForV23(content, 0, kAll);
  return content;
}

// Which frames of an old 2.3 or 2.4 tag a save keeps. Every frame that is no
// slot frame; of the slot frames, those the fields do not cover: TIT1 and
// TOAL (read only when TIT2 or TALB is missing, never written), and the COMM
// and WXXX frames other than the one the reader took into the comment or link
// slot, which the written frame replaces (iTunes' iTunNORM comments, comments
// in other languages). TDRC is not kept: a year written as TYER could
// contradict it.
enum class Keep { kAlways, kUnlessInSlot, kNever };

Keep KeepOf(const std::string& id, uint8_t version) {
  if (!SlotOf(id, version)) return Keep::kAlways;
  if (id == "TIT1" || id == "TOAL") return Keep::kAlways;
  if (id == "COMM" || id == "WXXX") return Keep::kUnlessInSlot;
  return Keep::kNever;
}

// Appends one frame of the old tag to `out` in the 2.3 layout: a 2.3 frame
// byte for byte, a 2.4 frame converted; nothing for a 2.4 frame that cannot be
// decoded (compressed or encrypted). False on a read error.
bool AppendCarried(TagBody& body, const FrameRef& frame, const TagInfo& info, Bytes& raw,
                   Bytes& out) {
  if (!body.Read(frame.headerAt,
                 static_cast<size_t>(frame.dataAt - frame.headerAt + frame.dataSize), &raw))
    return false;
  if (info.Version == 3) {
    out.insert(out.end(), raw.begin(), raw.end());
    return true;
  }
  const ByteView data = ByteView(raw).subspan(kHeaderSize);
  std::optional<Bytes> content = FrameContent(4, frame.flags, info.Flags, data);
  if (!content) return true;
  std::array<uint8_t, 2> flags{};
  for (const FlagMapping& m : kStatusFlags)
    if (frame.flags[0] & m.v4) flags[0] |= m.v3;
  Bytes v3 = ReencodeContent(frame.id, *content);
  if ((frame.flags[1] & kV4Grouped) && !data.empty()) {
    flags[1] |= kV3Grouped;
    v3.insert(v3.begin(), data[0]);
  }
  AppendFrame(out, frame.id.c_str(), v3, flags);
  return true;
}

// Appends, in the 2.3 layout and in their old order, the frames of the old
// tag that a save keeps (KeepOf). Frames running past the tag are left out.
// False on a read error.
bool CollectCarriedFrames(sys::File& file, const TagInfo& info, int64_t oldTotal, Bytes& out) {
  if ((info.Version != 3 && info.Version != 4) || oldTotal <= 0) return true;
  std::optional<TagBody> body = OpenBody(file, info, oldTotal, true);
  if (!body) return false;
  const std::optional<int64_t> start = FirstFrameOffset(*body, info.Version, info.Flags);
  if (!start) return true;

  // Where in `out` the COMM and WXXX frame that the reader took into its slot
  // went (an empty range for one running past the tag), chosen as the reader
  // chooses; the others stay.
  struct Range {
    size_t begin = 0, end = 0;
  };
  std::array<Range, 2> inSlot{};
  std::array<SlotChoice, 2> choice{};
  Bytes raw;
  Bytes scratch;
  bool readError = false;
  const bool walked = WalkFrames(*body, *start, info.Version, [&](const FrameRef& frame) {
    const Keep keep = KeepOf(frame.id, info.Version);
    if (keep == Keep::kNever) return true;
    std::optional<size_t> slot;
    if (keep == Keep::kUnlessInSlot) {
      // The same bytes and the same test as the reader's.
      ByteView data;
      const size_t want = static_cast<size_t>(std::min<int64_t>(frame.dataSize, kSlotRawLimit));
      if (!body->View(frame.dataAt, want, &data)) {
        readError = true;
        return false;
      }
      const std::optional<ByteView> content =
          FrameContent(info.Version, frame.flags, info.Flags, data, scratch);
      const bool isComment = frame.id == "COMM";
      if (content && SlotTakes(*content) &&
          choice[isComment ? 0 : 1].Offer(HasEmptyDescription(*content, isComment)))
        slot = isComment ? 0 : 1;
    }
    const size_t before = out.size();
    if (frame.complete && !AppendCarried(*body, frame, info, raw, out)) {
      readError = true;
      return false;
    }
    if (slot) inSlot[*slot] = {before, out.size()};
    return true;
  });
  if (!walked || readError) return false;
  // The later range first, so that the earlier one's offsets still hold.
  if (inSlot[0].begin < inSlot[1].begin) std::swap(inSlot[0], inSlot[1]);
  for (const Range& r : inSlot)
    out.erase(out.begin() + static_cast<ptrdiff_t>(r.begin),
              out.begin() + static_cast<ptrdiff_t>(r.end));
  return true;
}

// The frames the writer builds from the fields, as slot contents (without the
// encoding byte, which is always 0).
void FillSlots(const ID3v2Tag& tag, TagInfo& info) {
  auto& f = info.Frame;
  f[0] = tag.Title();
  f[1] = tag.Artist();
  f[2] = tag.Album();
  if (tag.Track() != 0) f[3] = std::to_string(tag.Track());
  f[4] = tag.Year();
  f[5] = tag.Genre();
  if (!tag.Comment().empty()) f[6] = std::string("eng\0", 4) + tag.Comment();
  f[7] = tag.Composer();
  f[8] = tag.EncodedBy();
  f[9] = tag.Copyright();
  f[10] = tag.Language();
  if (!tag.URL().empty()) f[11] = std::string(1, '\0') + tag.URL();
  f[13] = tag.OrigArtist();
}

// Frames of the image after the header: the slot frames, then the carried ones.
Bytes RenderFrames(const TagInfo& info, const Bytes& carried) {
  Bytes out;
  Bytes content;
  for (size_t slot = 0; slot < info.Frame.size(); ++slot) {
    const std::string& text = info.Frame[slot];
    if (text.empty()) continue;
    content.assign(1, kLatin1);
    content.insert(content.end(), text.begin(), text.end());
    AppendFrame(out, kSlotIdsV3[slot], content, {0, 0});
  }
  out.insert(out.end(), carried.begin(), carried.end());
  return out;
}

// Sets NeedRewrite and PaddingSize; returns the new tag's total size.
int64_t PrepareHeader(TagInfo& info, int64_t framesTotal) {
  const int64_t old = TagTotalSize(info);
  info.NeedRewrite = !info.HasId3() || old < framesTotal || old > kInPlaceLimit;
  info.PaddingSize = info.NeedRewrite ? kInPlaceLimit - framesTotal : old - framesTotal;
  return framesTotal + std::max<int64_t>(0, info.PaddingSize);
}

bool WriteInPlace(const std::string& fileName, const Bytes& image) {
  if (!sys::Exists(fileName) || ClearAttributes(fileName) != 0) return false;
  sys::File file;
  // One write over the old tag area, which is exactly as long as the image.
  return file.Open(fileName, sys::OpenMode::ReadWrite) && file.Seek(0) &&
         file.Write(image.data(), image.size()) && file.Flush() && file.Close();
}

// Creates a temporary file beside `fileName` under a name nobody uses: a file
// left by an earlier interruption may be the only copy of something.
bool CreateTemporary(const std::string& fileName, sys::File& temp, std::string& tempName) {
  for (int i = 0; i < kTempNameAttempts; ++i) {
    tempName = fileName + "~" + (i == 0 ? std::string() : std::to_string(i));
    if (temp.Open(tempName, sys::OpenMode::CreateNew)) return true;
    if (!sys::Exists(tempName)) return false;
  }
  return false;
}

bool CopyRest(sys::File& from, sys::File& to, int64_t expected) {
  std::vector<uint8_t> buffer(kCopyBufferSize);
  int64_t copied = 0;
  for (;;) {
    size_t got = 0;
    if (!from.Read(buffer.data(), buffer.size(), &got)) return false;
    if (got == 0) break;
    if (!to.Write(buffer.data(), got)) return false;
    copied += static_cast<int64_t>(got);
  }
  return copied == expected;
}

// Writes `image` (none: removal) followed by the file's content after its old
// tag into a temporary file, then puts that in the file's place in one atomic
// step. Until that step the file is untouched; on failure the temporary file
// is removed.
bool RewriteViaTemp(const std::string& fileName, const Bytes* image) {
  TagInfo info;
  if (!sys::Exists(fileName) || ClearAttributes(fileName) != 0 || !ReadTagHeader(fileName, info))
    return false;
  if (!image && !info.HasId3()) return false;

  sys::File source;
  if (!source.Open(fileName, sys::OpenMode::Read)) return false;
  int64_t size = 0;
  if (!source.Size(&size)) return false;
  info.FileSize = size;
  const int64_t skip = info.HasId3() ? TagTotalSize(info) : 0;

  sys::File temp;
  std::string tempName;
  if (!CreateTemporary(fileName, temp, tempName)) return false;
  const bool written = source.Seek(skip) && (!image || temp.Write(image->data(), image->size())) &&
                       CopyRest(source, temp, size - skip) && temp.Flush();
  const bool closed = temp.Close();
  source.Close();
  if (!written || !closed || !sys::ReplaceFile(tempName, fileName)) {
    sys::DeleteFile(tempName);
    return false;
  }
  return true;
}

}  // namespace

bool ID3v2Tag::Save(const std::string& fileName) {
  try {
    TagInfo info;
    Bytes carried;
    {
      sys::File file;
      int64_t size = 0;
      if (file.Open(fileName, sys::OpenMode::Read) && file.Size(&size) &&
          ReadTagHeaderFrom(file, size, info)) {
        // Frames of the old tag that the fields do not cover are kept; a tag
        // that cannot be read is not overwritten.
        if (info.HasId3() && !CollectCarriedFrames(file, info, TagTotalSize(info), carried))
          return false;
      } else {
        info = TagInfo();  // handled as a file without a tag
      }
    }
    FillSlots(*this, info);
    const Bytes frames = RenderFrames(info, carried);
    const int64_t framesTotal = static_cast<int64_t>(kHeaderSize + frames.size());
    const int64_t newTotal = PrepareHeader(info, framesTotal);
    if (newTotal - static_cast<int64_t>(kHeaderSize) >= kSyncSafeLimit) return false;

    // Header, frames, then zero padding up to the new total.
    Bytes image(static_cast<size_t>(newTotal), 0);
    std::memcpy(image.data(), "ID3\3\0\0", 6);
    PutSyncSafe32(image.data() + 6,
                  static_cast<uint32_t>(newTotal - static_cast<int64_t>(kHeaderSize)));
    std::copy(frames.begin(), frames.end(), image.begin() + static_cast<ptrdiff_t>(kHeaderSize));

    return info.NeedRewrite ? RewriteViaTemp(fileName, &image) : WriteInPlace(fileName, image);
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool ID3v2Tag::Strip(const std::string& fileName) {
  bool done = false;
  try {
    done = RewriteViaTemp(fileName, nullptr);
  } catch (const std::bad_alloc&) {
    return false;
  }
  if (done) present_ = false;
  return done;
}

}  // namespace tags
