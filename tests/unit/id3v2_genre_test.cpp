// The genre an ID3v2 tag shows for the forms of its TCON frame.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "tag_test_support.h"
#include "tags/id3v2.h"

namespace tags {
namespace {

// A bare number names its genre as "(n)" does; a refinement after references,
// plain text and an ID3v2.4 list of values stand as they are.
TEST(ID3v2Genre, ABareNumberShowsItsGenreByName) {
  using namespace tagtest;
  using namespace std::string_literals;
  const ScratchDir dir;
  const std::string file = dir.File("genre.mp3");
  const std::pair<Bytes, std::string> cases[] = {
      {Latin1("0"), "Blues"},
      {Latin1("10"), "New Age"},
      {Latin1("121"), "Punk Rock"},
      {Latin1("200"), "200"},  // beyond the table: the text as it stands
      {Latin1("(17)"), "Rock"},
      {Latin1("(17)Rock & Roll"), "Rock & Roll"},
      {Latin1("Rock"), "Rock"},
      {Cat({Latin1("17"), {0}, Text("Rock")}), "17\0Rock"s},  // an ID3v2.4 list
  };
  for (const auto& [data, shown] : cases) {
    for (const uint8_t version : {3, 4}) {
      const Bytes frame = version == 3 ? FrameV3("TCON", data) : FrameV4("TCON", data);
      WriteAll(file, Cat({Tag(version, frame), Audio(400)}));
      ID3v2Tag tag;
      ASSERT_TRUE(tag.Load(file));
      EXPECT_EQ(tag.Genre(), shown) << "version " << int{version};
    }
  }
}

}  // namespace
}  // namespace tags
