// ID3v2 save round trip: the input is a whole file.
//
// The file's tag is loaded, one field is set (which one and to what follows
// from the input), and the tag is saved. Properties:
// - a save that fails leaves the file as it was;
// - after a save that worked, the file reads back the value set, a version
//   2.3 tag, every other field as before (unless the save left out frames it
//   could not carry, which it counts), and the bytes after the tag (the
//   audio) are exactly the bytes that followed the old tag;
// - saving the read-back tag again, with nothing changed, leaves the file byte
//   for byte as it is;
// - no temporary file is left beside the file.
#include <algorithm>
#include <cstring>

#include "fuzz_support.h"
#include "tag_fields.h"
#include "tags/id3v2.h"

namespace {

using Field = tags::ID3v2Tag::Field;

constexpr Field kSettable[] = {Field::Title,    Field::Artist,     Field::Album,
                               Field::Year,     Field::Comment,    Field::Composer,
                               Field::Copyright, Field::EncodedBy, Field::Track};

// A printable value that the input chooses, different for different inputs.
std::string ValueFor(const uint8_t* data, size_t size) {
  uint32_t hash = 2166136261u;
  for (size_t i = 0; i < size; ++i) hash = (hash ^ data[i]) * 16777619u;
  return "Fuzz " + std::to_string(hash % 100000);
}

void Set(tags::ID3v2Tag& tag, Field field, const std::string& value, uint16_t track) {
  switch (field) {
    case Field::Title: tag.SetTitle(value); break;
    case Field::Artist: tag.SetArtist(value); break;
    case Field::Album: tag.SetAlbum(value); break;
    case Field::Year: tag.SetYear(value); break;
    case Field::Comment: tag.SetComment(value); break;
    case Field::Composer: tag.SetComposer(value); break;
    case Field::Copyright: tag.SetCopyright(value); break;
    case Field::EncodedBy: tag.SetEncodedBy(value); break;
    case Field::Track: tag.SetTrack(track); break;
    default: break;
  }
}

// Where each field sits in FieldsOf, and the fields that setting it may change
// too (the track's text goes with its number; the comment is one value in two).
std::vector<size_t> Positions(Field field) {
  switch (field) {
    case Field::Title: return {3};
    case Field::Artist: return {4};
    case Field::Album: return {5};
    case Field::Track: return {6, 7};
    case Field::Year: return {8};
    case Field::Comment: return {11, 10};  // the whole comment is what a user edits
    case Field::Composer: return {12};
    case Field::EncodedBy: return {14};
    case Field::Copyright: return {15};
    default: return {};
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = fuzz::WriteScratchFile("input.mp3", data, size);
  const std::vector<uint8_t> original(data, data + size);

  tags::ID3v2Tag before;
  if (!before.Load(path)) before.Clear();  // shorter than a header: no tag
  const int64_t oldAudioStart = before.TagSize();

  const Field field = kSettable[(size == 0 ? 0 : data[size - 1]) % std::size(kSettable)];
  const std::string value = ValueFor(data, size);
  const auto track = static_cast<uint16_t>(1 + size % 999);
  tags::ID3v2Tag edited;
  if (!edited.Load(path)) edited.Clear();
  Set(edited, field, value, track);

  const bool saved = edited.Save(path);
  FUZZ_CHECK(fuzz::ScratchNames() == std::vector<std::string>{"input.mp3"},
             "a save leaves no other file beside the file");
  const std::vector<uint8_t> written = fuzz::ReadWholeFile(path);
  if (!saved) {
    FUZZ_CHECK(written == original, "a save that fails leaves the file as it was");
    return 0;
  }

  tags::ID3v2Tag after;
  FUZZ_CHECK(after.Load(path), "a saved file loads");
  FUZZ_CHECK(after.Present() && after.Version() == 3, "a saved tag is an ID3v2.3 tag");
  FUZZ_CHECK(after.TagSize() > 0, "a saved tag has a size within the file");
  if (field == Field::Track) {
    FUZZ_CHECK(after.Track() == track, "the track set reads back");
  } else {
    const size_t at = Positions(field).front();
    FUZZ_CHECK_FIELDS(std::vector<std::string>{fuzz::FieldsOf(after)[at]},
                      std::vector<std::string>{value}, "the value set reads back");
  }
  std::vector<std::string> expected = fuzz::FieldsOf(before), got = fuzz::FieldsOf(after);
  for (size_t at : Positions(field)) expected[at] = got[at];
  for (size_t at : {0, 1, 2}) expected[at] = got[at];  // presence, version, size
  // 2.3 has no UTF-8: 2.4 text in UTF-8 is written in UTF-16, and the 500
  // bytes of frame that a field shows then hold a different share of a long
  // text (the comment's perhaps only its description). A field that shows 120
  // characters or more, before or after, may so differ; the whole comment
  // must stay the same.
  if (before.Version() == 4) {
    for (size_t at = 3; at < got.size(); ++at) {
      if (at != 11 && std::max(got[at].size(), expected[at].size()) >= 120) expected[at] = got[at];
    }
    if (got[11] == expected[11]) expected[10] = got[10];
  }
  // Frames 2.3 cannot hold, or that run past the old tag, are left out and
  // counted; what they gave may go with them.
  if (edited.DroppedFrames() == 0)
    FUZZ_CHECK_FIELDS(got, expected, "every other field reads as before the save");

  const auto audioOffset = static_cast<size_t>(after.TagSize());
  FUZZ_CHECK(audioOffset <= written.size() &&
                 written.size() - audioOffset == size - static_cast<size_t>(oldAudioStart) &&
                 std::equal(written.begin() + static_cast<ptrdiff_t>(audioOffset), written.end(),
                            original.begin() + oldAudioStart),
             "the bytes after the saved tag are the bytes after the old tag");

  FUZZ_CHECK(after.Save(path), "a saved file saves again");
  FUZZ_CHECK(fuzz::ReadWholeFile(path) == written,
             "saving a tag without a change leaves the file as it was");
  FUZZ_CHECK(fuzz::ScratchNames() == std::vector<std::string>{"input.mp3"},
             "a save leaves no other file beside the file");
  return 0;
}
