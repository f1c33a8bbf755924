#include "tags/id3v2_save_frames.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "sys/sys.h"
#include "tags/id3v2.h"
#include "tags/id3v2_convert.h"
#include "tags/id3v2_frames.h"
#include "tags/id3v2_text.h"
#include "tags/unicode_text.h"
#include "tags/utf8.h"
#include "tags/codepage.h"

namespace tags::id3v2 {

namespace {

using Field = ID3v2Tag::Field;
constexpr int kNoOwner = -1;

// Frame status and format flags of 2.4 and where they sit in 2.3 (ID3v2.3
// section 3.3.1, ID3v2.4 section 4.1).
struct FlagMapping {
  uint8_t v4;
  uint8_t v3;
};
constexpr FlagMapping kStatusFlags[] = {{0x40, 0x80}, {0x20, 0x40}, {0x10, 0x20}};
constexpr uint8_t kV4Grouped = 0x40;
constexpr uint8_t kV3Compressed = 0x80;
constexpr uint8_t kV3Grouped = 0x20;

void AppendFrame(Bytes& out, std::string_view id, ByteView content,
                 std::array<uint8_t, 2> flags = {0, 0}) {
  const size_t at = out.size();
  out.resize(at + kHeaderSize);
  std::memcpy(out.data() + at, id.data(), 4);
  PutBE32(out.data() + at + 4, static_cast<uint32_t>(content.size()));
  out[at + 8] = flags[0];
  out[at + 9] = flags[1];
  out.insert(out.end(), content.begin(), content.end());
}

void AppendUnits(Bytes& out, const std::u16string& units) {
  out.push_back(0xFF);  // byte order mark: little-endian
  out.push_back(0xFE);
  for (char16_t u : units) {
    out.push_back(static_cast<uint8_t>(u & 0xFF));
    out.push_back(static_cast<uint8_t>(u >> 8));
  }
}

// The zero-separated strings of `text` in UTF-16, each with its byte order
// mark and separated by a zero unit; a terminator at the very end stays one
// and starts no empty string. `units` reads one string.
template <typename Units>
void AppendUtf16Strings(Bytes& out, std::string_view text, Units units) {
  size_t at = 0;
  while (true) {
    const size_t end = text.find('\0', at);
    AppendUnits(out, units(text.substr(at, end == std::string_view::npos ? end : end - at)));
    if (end == std::string_view::npos) return;
    out.push_back(0);
    out.push_back(0);
    at = end + 1;
    if (at == text.size()) return;
  }
}

// UTF-8 text as 8-bit bytes of the tag code page, when it is to be written so:
// ASCII always, other text when Unicode is not asked for and the code page
// holds every character.
bool EightBit(std::string_view text, const TextWriting& writing, std::string* bytes) {
  if (IsAscii(text)) {
    bytes->assign(text);
    return true;
  }
  return !writing.unicode && Utf8ToBytes(text, TagCodePage, bytes);
}

Bytes TextContent(std::string_view text, const TextWriting& writing = {}) {
  std::string bytes;
  if (!EightBit(text, writing, &bytes)) {
    Bytes content = {kUtf16};
    AppendUtf16Strings(content, text, UnitsFromUtf8);
    return content;
  }
  Bytes content(1 + bytes.size(), kLatin1);
  std::copy(bytes.begin(), bytes.end(), content.begin() + 1);
  return content;
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

// One frame of the old tag.
struct OldFrame {
  std::string id;      // the 2.3 id it is written under
  int owner = kNoOwner;  // the Field whose change replaces it
  Bytes content;       // as read (decoded: no group byte, inflated), for what a new frame keeps
  bool readable = false;
  Bytes out;           // what is written in its place; empty: nothing
};

// The field whose frame a slot holds; COMM and WXXX only for the frame the
// reader took (decided by the caller). TIT1, TOAL and TLAN belong to no field
// a user changes. The year owns every frame that says when: TYER, TDRC and the
// day and time of TDAT and TIME, which a new year would contradict.
int OwnerOfSlot(int slot, uint8_t version) {
  static constexpr int kOwners[kSlotCount] = {
      static_cast<int>(Field::Title),     static_cast<int>(Field::Artist),
      static_cast<int>(Field::Album),     static_cast<int>(Field::Track),
      static_cast<int>(Field::Year),      static_cast<int>(Field::Genre),
      static_cast<int>(Field::Comment),   static_cast<int>(Field::Composer),
      static_cast<int>(Field::EncodedBy), static_cast<int>(Field::Copyright),
      kNoOwner /* TLAN */,                static_cast<int>(Field::URL),
      static_cast<int>(Field::Year) /* TDRC */, static_cast<int>(Field::OrigArtist),
      kNoOwner /* TIT1 */,                kNoOwner /* TOAL */};
  // In 2.2 the date slot is TOR, the original release year: not the year's.
  if (slot == 12 && version <= 2) return kNoOwner;
  return kOwners[slot];
}

int OwnerOf(const std::string& id23, std::optional<int> slot, uint8_t version) {
  if (id23 == "TDAT" || id23 == "TIME") return static_cast<int>(Field::Year);
  return slot ? OwnerOfSlot(*slot, version) : kNoOwner;
}

// The frame as 2.3 writes it, for a 2.3 frame: its own bytes; a compressed one
// is written inflated (its content was read inflated), or as it was when it
// does not inflate.
Bytes CarryV3(const FrameRef& frame, Bytes&& raw, const std::optional<ByteView>& content) {
  const bool compressed = (frame.flags[1] & kV3Compressed) != 0;
  if (!compressed || !content) return std::move(raw);  // a picture is not copied again
  Bytes body;
  if (frame.flags[1] & kV3Grouped) {
    // The group byte follows the 4-byte decompressed size.
    body.push_back(raw[kHeaderSize + 4]);
  }
  body.insert(body.end(), content->begin(), content->end());
  Bytes out;
  AppendFrame(out, frame.id, body,
              {frame.flags[0], static_cast<uint8_t>(frame.flags[1] & ~kV3Compressed)});
  return out;
}

// A 2.4 frame converted: status flags moved, grouping kept, text re-encoded.
Bytes CarryV4(const FrameRef& frame, ByteView data, const Bytes& content) {
  std::array<uint8_t, 2> flags{};
  for (const FlagMapping& m : kStatusFlags)
    if (frame.flags[0] & m.v4) flags[0] |= m.v3;
  Bytes v3 = ReencodeContent(frame.id, content);
  if ((frame.flags[1] & kV4Grouped) && !data.empty()) {
    flags[1] |= kV3Grouped;
    v3.insert(v3.begin(), data[0]);
  }
  Bytes out;
  AppendFrame(out, frame.id, v3, flags);
  return out;
}

// Reads the frames of the old tag in the 2.3 layout. False on a read error.
bool ReadOldFrames(sys::File& file, const TagInfo& info, std::vector<OldFrame>& frames,
                   int* dropped) {
  const int64_t total = TagTotalSize(info);
  if (info.Version < 2 || info.Version > 4 || total <= 0) return true;
  std::optional<TagBody> body = OpenBody(file, info, total, true);
  if (!body) return false;
  const std::optional<int64_t> start = FirstFrameOffset(*body, info.Version, info.Flags);
  if (!start) return true;

  // The COMM and WXXX frames the reader takes, chosen as it chooses.
  std::array<SlotChoice, 2> choice{};
  std::array<int, 2> chosen = {-1, -1};
  Bytes raw, scratch;
  bool readError = false;
  WalkFrames(*body, *start, info.Version, [&](const FrameRef& frame) {
    if (!frame.complete) {
      ++*dropped;  // runs past the end of the tag
      return false;
    }
    if (!body->Read(frame.headerAt,
                    static_cast<size_t>(frame.dataAt - frame.headerAt + frame.dataSize), &raw)) {
      readError = true;
      return false;
    }
    const ByteView data = ByteView(raw).subspan(static_cast<size_t>(frame.dataAt - frame.headerAt));
    const std::optional<ByteView> content =
        FrameContent(info.Version, frame.flags, info.Flags, data, scratch);
    OldFrame old;
    old.id = frame.id;
    old.readable = content.has_value();
    const std::optional<int> slot = SlotOf(frame.id, info.Version);
    if (info.Version == 2) {
      std::optional<ConvertedFrame> converted = ConvertV22Frame(frame.id, data);
      if (!converted) {
        ++*dropped;  // no 2.3 equivalent
        return true;
      }
      old.id = converted->id;
      AppendFrame(old.out, converted->id, converted->content);
    }
    old.owner = OwnerOf(old.id, slot, info.Version);
    // The content is kept for a frame that a field owns (COMM and WXXX among
    // them until the choice below): a new frame of the field keeps parts of
    // it. Other frames, a picture for one, are carried without that copy.
    if (content && (old.owner != kNoOwner || info.Version == 4))
      old.content.assign(content->begin(), content->end());
    if (info.Version == 3) {
      old.out = CarryV3(frame, std::move(raw), content);
    } else if (info.Version == 4) {
      if (!content) {
        ++*dropped;  // encrypted, or compressed beyond reading
        return true;
      }
      old.out = CarryV4(frame, data, old.content);
      if (old.owner == kNoOwner) Bytes().swap(old.content);
    }
    const bool isComment = old.owner == static_cast<int>(Field::Comment);
    if (isComment || old.owner == static_cast<int>(Field::URL)) {
      const size_t which = isComment ? 0 : 1;
      if (content && SlotTakes(*content) &&
          choice[which].Offer(HasEmptyDescription(*content, isComment)))
        chosen[which] = static_cast<int>(frames.size());
      old.owner = kNoOwner;  // until chosen, below
    }
    frames.push_back(std::move(old));
    return true;
  });
  if (readError) return false;
  if (chosen[0] >= 0) frames[static_cast<size_t>(chosen[0])].owner = static_cast<int>(Field::Comment);
  if (chosen[1] >= 0) frames[static_cast<size_t>(chosen[1])].owner = static_cast<int>(Field::URL);
  return true;
}

// ---------------------------------------------------------------- new frames

// The description of an old COMM or WXXX frame, which a new one keeps: its
// bytes when it is 8-bit text (kept as they are), and its text.
struct Description {
  bool eightBit = true;
  std::string bytes;  // when eightBit
  std::string text;   // UTF-8
};

Description OldDescription(const OldFrame* old, size_t at) {
  Description d;
  if (!old || !old->readable || old->content.size() < at) return d;
  const uint8_t encoding = old->content[0];
  const ByteView rest = ByteView(old->content).subspan(at);
  if (encoding == kLatin1) {
    const auto end = std::find(rest.begin(), rest.end(), uint8_t{0});
    d.bytes.assign(rest.begin(), end);
    d.text = BytesToUtf8(d.bytes, TagCodePage);
    return d;
  }
  d.text = Utf8FromUnits(StringUnits(rest, encoding));
  // A Unicode description beyond ASCII stays in Unicode.
  d.eightBit = IsAscii(d.text);
  if (d.eightBit) d.bytes = d.text;
  return d;
}

// A description and a text after it: 8-bit when both can be, else UTF-16.
void AppendDescribed(Bytes& content, const Description& d, std::string_view text,
                     const TextWriting& writing) {
  std::string bytes;
  const bool descriptionEightBit = d.eightBit && (IsAscii(d.bytes) || !writing.unicode);
  if (descriptionEightBit && EightBit(text, writing, &bytes)) {
    content.insert(content.end(), d.bytes.begin(), d.bytes.end());
    content.push_back(0);
    content.insert(content.end(), bytes.begin(), bytes.end());
    return;
  }
  content[0] = kUtf16;
  AppendUnits(content, UnitsFromUtf8(d.text));
  content.push_back(0);
  content.push_back(0);
  AppendUtf16Strings(content, text, UnitsFromUtf8);
}

// COMM: the old frame's language and description stay; a new comment is in
// English with an empty description.
Bytes CommentContent(const std::string& text, const OldFrame* old, const TextWriting& writing) {
  Bytes content = {kLatin1, 'e', 'n', 'g'};
  if (old && old->readable && old->content.size() >= 4)
    std::copy_n(old->content.begin() + 1, 3, content.begin() + 1);
  AppendDescribed(content, OldDescription(old, 4), text, writing);
  return content;
}

// WXXX: the old frame's description stays. The link itself is 8-bit text
// whatever the encoding (which applies to the description only).
Bytes LinkContent(const std::string& url, const OldFrame* old) {
  Bytes content = {kLatin1};
  const Description d = OldDescription(old, 1);
  if (d.eightBit) {
    content.insert(content.end(), d.bytes.begin(), d.bytes.end());
    content.push_back(0);
  } else {
    content[0] = kUtf16;
    AppendUnits(content, UnitsFromUtf8(d.text));
    content.push_back(0);
    content.push_back(0);
  }
  std::string bytes;
  Utf8ToBytes(url, TagCodePage, &bytes);
  content.insert(content.end(), bytes.begin(), bytes.end());
  return content;
}

// TRCK: the number, followed by the old frame's "/total".
Bytes TrackContent(uint16_t track, const OldFrame* old, const TextWriting& writing) {
  std::string text = std::to_string(track);
  if (old && old->readable) {
    const std::string oldText = DecodeText(old->content);
    const size_t slash = oldText.find('/');
    if (slash != std::string::npos) text += oldText.substr(slash);
  }
  return TextContent(text, writing);
}

struct NewFrame {
  Field field;
  const char* id;
};

// The frames built from changed fields, in the order of the written slots.
constexpr NewFrame kNewFrames[] = {
    {Field::Title, "TIT2"},     {Field::Artist, "TPE1"},   {Field::Album, "TALB"},
    {Field::Track, "TRCK"},     {Field::Year, "TYER"},     {Field::Genre, "TCON"},
    {Field::Comment, "COMM"},   {Field::Composer, "TCOM"}, {Field::EncodedBy, "TENC"},
    {Field::Copyright, "TCOP"}, {Field::URL, "WXXX"},      {Field::OrigArtist, "TOPE"},
};

const std::string& FieldText(const ID3v2Tag& tag, Field field) {
  switch (field) {
    case Field::Title: return tag.Title();
    case Field::Artist: return tag.Artist();
    case Field::Album: return tag.Album();
    case Field::Year: return tag.Year();
    case Field::Genre: return tag.Genre();
    case Field::Comment: return tag.FullComment();
    case Field::Composer: return tag.Composer();
    case Field::EncodedBy: return tag.EncodedBy();
    case Field::Copyright: return tag.Copyright();
    case Field::URL: return tag.URL();
    case Field::OrigArtist: return tag.OrigArtist();
    case Field::Track: break;
  }
  static const std::string kNone;
  return kNone;
}

// The frame of a changed field (empty when the field is empty); `old` is the
// frame it replaces, whose hidden parts it keeps.
Bytes BuildFrame(const ID3v2Tag& tag, const NewFrame& spec, const OldFrame* old,
                 const TextWriting& writing) {
  Bytes out;
  if (spec.field == Field::Track) {
    if (tag.Track() != 0) AppendFrame(out, spec.id, TrackContent(tag.Track(), old, writing));
    return out;
  }
  const std::string& text = FieldText(tag, spec.field);
  if (text.empty()) return out;
  if (spec.field == Field::Comment)
    AppendFrame(out, spec.id, CommentContent(text, old, writing));
  else if (spec.field == Field::URL)
    AppendFrame(out, spec.id, LinkContent(text, old));
  else
    AppendFrame(out, spec.id, TextContent(text, writing));
  return out;
}

// ---------------------------------------------------------------- conversion

// Bytes after the encoding byte that come before the text: COMM and USLT
// have a language. Nothing for frames whose text is not converted (WXXX and
// the other links keep ISO-8859-1 by definition).
std::optional<size_t> TextPrefix(const std::string& id) {
  if (id == "COMM" || id == "USLT") return 3;
  if (id.size() == 4 && id[0] == 'T') return 0;
  return std::nullopt;
}

// The content of an old frame as written in 2.3, when its text is 8-bit
// text under encoding 0 that a conversion takes: a frame without format flags
// (compression, encryption, grouping), of a kind with known text.
std::optional<ByteView> ConvertibleContent(const OldFrame& f, size_t* prefix) {
  const std::optional<size_t> before = TextPrefix(f.id);
  if (!before || f.out.size() < kHeaderSize + 1 + *before || f.out[9] != 0) return std::nullopt;
  const ByteView content = ByteView(f.out).subspan(kHeaderSize);
  if (content[0] != kLatin1) return std::nullopt;
  const ByteView text = content.subspan(1 + *before);
  if (!HasHighBytes(std::string_view(reinterpret_cast<const char*>(text.data()), text.size())))
    return std::nullopt;
  *prefix = *before;
  return content;
}

void ConvertOldFrame(OldFrame& f, const TextWriting& writing) {
  size_t prefix = 0;
  const std::optional<ByteView> content = ConvertibleContent(f, &prefix);
  if (!content) return;
  // The encoding byte and the bytes before the text (a language), then the
  // encoding changed.
  Bytes converted(content->begin(), content->begin() + 1 + static_cast<ptrdiff_t>(prefix));
  converted[0] = kUtf16;
  const ByteView text = content->subspan(1 + prefix);
  AppendUtf16Strings(converted, std::string_view(reinterpret_cast<const char*>(text.data()), text.size()),
                     writing.toUnicode);
  Bytes out;
  AppendFrame(out, f.id, converted, {f.out[8], 0});
  f.out = std::move(out);
}

// ---------------------------------------------------------------- dates

// A 2.4 timestamp (yyyy[-MM[-dd[THH[:mm[:ss]]]]]) as the 2.3 frames TYER,
// TDAT (ddMM) and TIME (HHmm); nothing when it does not start with a year.
struct Date23 {
  std::string year, date, time;
};

std::optional<Date23> SplitTimestamp(const std::string& stamp) {
  auto digits = [&](size_t at, size_t n) {
    if (stamp.size() < at + n) return false;
    return std::all_of(stamp.begin() + static_cast<ptrdiff_t>(at),
                       stamp.begin() + static_cast<ptrdiff_t>(at + n),
                       [](char c) { return c >= '0' && c <= '9'; });
  };
  auto at = [&](size_t i, char c) { return stamp.size() > i && stamp[i] == c; };
  if (!digits(0, 4) || (stamp.size() > 4 && !at(4, '-'))) return std::nullopt;
  Date23 d;
  d.year = stamp.substr(0, 4);
  if (at(4, '-') && digits(5, 2) && at(7, '-') && digits(8, 2)) {
    d.date = stamp.substr(8, 2) + stamp.substr(5, 2);
    if (at(10, 'T') && digits(11, 2) && at(13, ':') && digits(14, 2))
      d.time = stamp.substr(11, 2) + stamp.substr(14, 2);
  }
  return d;
}

// An unchanged 2.4 TDRC is written as TYER, TDAT and TIME, the frames 2.3
// has for it, so that 2.3 readers see the date; frames of those ids the tag
// has already stay as they are. What those frames cannot hold (a month without its day,
// seconds, a second timestamp, text that is no timestamp) would be lost: the
// TDRC frame then stays as well, after them, and readers that know it read
// it whole.
void ConvertRecordingTime(std::vector<OldFrame>& frames) {
  auto has = [&](const char* id) {
    return std::any_of(frames.begin(), frames.end(), [&](const OldFrame& f) {
      return f.id == id && !f.out.empty();
    });
  };
  // Only the TDRC the reader takes the year from (the last it can read):
  // others stay as they are, so the year reads the same after the save.
  OldFrame* taken = nullptr;
  for (OldFrame& f : frames)
    if (f.id == "TDRC" && f.readable && SlotTakes(f.content)) taken = &f;
  if (taken) {
    OldFrame& f = *taken;
    const std::string text = DecodeText(f.content);
    const std::optional<Date23> date = SplitTimestamp(text.substr(0, text.find('\0')));
    if (!date) return;
    // The timestamp the three frames give back.
    std::string whole = date->year;
    if (!date->date.empty()) {
      whole.append(1, '-').append(date->date, 2, 2).append(1, '-').append(date->date, 0, 2);
    }
    if (!date->time.empty()) {
      whole.append(1, 'T').append(date->time, 0, 2).append(1, ':').append(date->time, 2, 2);
    }
    // A frame of the tag's own stands for its part, which may say otherwise:
    // TDRC stays then too.
    bool complete = whole == text;
    Bytes out;
    auto add = [&](const char* id, const std::string& part) {
      if (part.empty()) return;
      if (has(id))
        complete = false;
      else
        AppendFrame(out, id, TextContent(part));
    };
    add("TYER", date->year);
    add("TDAT", date->date);
    add("TIME", date->time);
    if (!complete) out.insert(out.end(), f.out.begin(), f.out.end());
    f.out = std::move(out);
  }
}

}  // namespace

std::optional<Bytes> SavedFrames(sys::File& file, const TagInfo& info, const ID3v2Tag& tag,
                                 int* dropped, const TextWriting& writing) {
  *dropped = 0;
  std::vector<OldFrame> frames;
  if (info.HasId3() && !ReadOldFrames(file, info, frames, dropped)) return std::nullopt;
  if (writing.convertOld && writing.toUnicode)
    for (OldFrame& f : frames) ConvertOldFrame(f, writing);

  Bytes front;
  for (const NewFrame& spec : kNewFrames) {
    if (!tag.IsChanged(spec.field)) continue;
    const int owner = static_cast<int>(spec.field);
    // The frame the reader took the field from: the last of its id (the
    // chosen one for COMM and WXXX); a new frame takes the place of the first
    // frame the field owns, the others go.
    OldFrame* source = nullptr;
    OldFrame* first = nullptr;
    for (OldFrame& f : frames) {
      if (f.owner != owner) continue;
      if (!first) first = &f;
      if (f.id == spec.id) source = &f;
    }
    Bytes built = BuildFrame(tag, spec, source, writing);
    for (OldFrame& f : frames)
      if (f.owner == owner) f.out.clear();
    if (first)
      first->out = std::move(built);
    else
      front.insert(front.end(), built.begin(), built.end());
  }
  if (info.Version == 4 && !tag.IsChanged(Field::Year)) ConvertRecordingTime(frames);

  Bytes out = std::move(front);
  for (const OldFrame& f : frames) out.insert(out.end(), f.out.begin(), f.out.end());
  return out;
}

std::optional<std::vector<std::string>> EightBitTexts(sys::File& file, const TagInfo& info) {
  std::vector<std::string> texts;
  std::vector<OldFrame> frames;
  int dropped = 0;
  if (info.HasId3() && !ReadOldFrames(file, info, frames, &dropped)) return std::nullopt;
  for (const OldFrame& f : frames) {
    size_t prefix = 0;
    const std::optional<ByteView> content = ConvertibleContent(f, &prefix);
    if (!content) continue;
    const ByteView text = content->subspan(1 + prefix);
    std::string_view rest(reinterpret_cast<const char*>(text.data()), text.size());
    while (!rest.empty()) {
      const size_t end = rest.find('\0');
      if (end != 0) texts.emplace_back(rest.substr(0, end));
      if (end == std::string_view::npos) break;
      rest.remove_prefix(end + 1);
    }
  }
  return texts;
}

}  // namespace tags::id3v2
