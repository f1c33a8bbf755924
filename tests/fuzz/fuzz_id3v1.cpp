// ID3v1: the input is a whole file, its last 128 bytes the block.
//
// Properties: a loaded tag renders back to exactly the block it was read
// from; after one field is set (which one and to what follows from the input:
// text without zero bytes) and the tag saved, the file reads back the field
// as the tag held it (less the trailing blanks and control bytes that reading
// drops), every other field as before, and the bytes before the tag as they
// were.
#include <algorithm>
#include <cstring>

#include "fuzz_support.h"
#include "tag_fields.h"
#include "tags/id3v1.h"

namespace {

std::string TrimTrailing(std::string text) {
  while (!text.empty() && static_cast<unsigned char>(text.back()) <= 0x20) text.pop_back();
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = fuzz::WriteScratchFile("input.mp3", data, size);
  tags::ID3v1Tag tag;
  FUZZ_CHECK(tag.Load(path), "every file loads");
  const bool hadTag = size >= 128 && std::memcmp(data + size - 128, "TAG", 3) == 0;
  FUZZ_CHECK(tag.Present() == hadTag, "the tag is present exactly when the block starts with TAG");
  if (hadTag) {
    FUZZ_CHECK(std::equal(data + size - 128, data + size, tag.Render().begin()),
               "an unchanged tag renders back to the block it was read from");
  }
  const std::vector<std::string> before = fuzz::FieldsOf(tag);

  // The value: the input's first bytes, up to 40 of them and up to a zero
  // byte, as a dialog's text gives it.
  const std::string first(reinterpret_cast<const char*>(data), std::min<size_t>(size, 40));
  const std::string value = first.substr(0, first.find('\0'));
  const uint8_t choice = size == 0 ? 0 : data[size / 2];
  size_t at = 0;  // in FieldsOf
  switch (choice % 7) {
    case 0: tag.SetTitle(value); at = 2; break;
    case 1: tag.SetArtist(value); at = 3; break;
    case 2: tag.SetAlbum(value); at = 4; break;
    case 3: tag.SetYear(value); at = 5; break;
    case 4: tag.SetComment(value); at = 6; break;
    case 5: tag.SetTrack(static_cast<uint8_t>(size)); at = 7; break;
    default: tag.SetGenreNumber(choice); at = 8; break;
  }
  const std::string set = fuzz::FieldsOf(tag)[at];

  const bool saved = tag.Save(path);
  FUZZ_CHECK(saved, "the tag of a writable file saves");
  const std::vector<uint8_t> written = fuzz::ReadWholeFile(path);
  const size_t audio = hadTag ? size - 128 : size;
  FUZZ_CHECK(written.size() == audio + 128, "the file ends in exactly one block");
  FUZZ_CHECK(std::equal(data, data + audio, written.begin()),
             "the bytes before the tag are as they were");

  tags::ID3v1Tag after;
  FUZZ_CHECK(after.Load(path) && after.Present(), "a saved tag loads");
  std::vector<std::string> got = fuzz::FieldsOf(after), expected = before;
  expected[0] = got[0];  // present
  expected[1] = got[1];  // layout: 1.1 once a track is set
  if (at == 7) {
    FUZZ_CHECK(after.Track() == tag.Track(), "the track set reads back");
    // A track takes the comment's last two bytes.
    expected[6] = got[6];
  } else if (at == 6) {
    // A comment saved with a track keeps 28 bytes, and so does one whose 29th
    // byte is a space before a 30th (which would read back as a track).
    const bool ambiguous = set.size() >= 30 && set[28] == ' ' && set[29] != ' ';
    const std::string comment = after.Track() != 0 || ambiguous ? set.substr(0, 28) : set;
    FUZZ_CHECK(got[6] == TrimTrailing(comment), "the comment set reads back");
  } else {
    FUZZ_CHECK(got[at] == TrimTrailing(set), "the value set reads back");
  }
  expected[at] = got[at];
  FUZZ_CHECK_FIELDS(got, expected, "every other field reads as before the save");
  return 0;
}
