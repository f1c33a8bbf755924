#include "tags/id3v2_convert.h"

#include <gtest/gtest.h>

#include <string>

#include "tag_test_support.h"

namespace tags::id3v2 {
namespace {

using namespace tagtest;

const Bytes kJpeg = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F'};

// Frames whose 2.2 and 2.3 layouts are the same: the id changes, the content
// is copied byte for byte, whatever its encoding byte says.
TEST(ConvertV22Frame, SameLayoutFramesKeepTheirContent) {
  const struct {
    const char* v22;
    const char* v23;
    Bytes content;
  } cases[] = {
      {"TT2", "TIT2", Latin1("Title")},
      {"TP1", "TPE1", Cat({{1, 0xFF, 0xFE}, {'A', 0, 0xE4, 0}})},  // UTF-16, "Aä"
      {"TRK", "TRCK", Latin1("3/12")},
      // Frames that 2.4 replaced: the 2.3 ids, not the 2.4 ones (TDRC, TDOR ...).
      {"TYE", "TYER", Latin1("1999")},
      {"TDA", "TDAT", Latin1("3112")},
      {"TIM", "TIME", Latin1("2359")},
      {"TRD", "TRDA", Latin1("4th-7th June")},
      {"TSI", "TSIZ", Latin1("12345")},
      {"IPL", "IPLS", Cat({Latin1("producer"), {0}, Text("Someone"), {0}})},
      {"RVA", "RVAD", {0x03, 0x10, 0x01, 0x00, 0x01, 0x00}},
      {"EQU", "EQUA", {0x10, 0x00, 0x40, 0x01, 0x00}},
      // User defined text and link: encoding, description, value.
      {"TXX", "TXXX", Cat({Latin1("MOOD"), {0}, Text("calm")})},
      {"WXX", "WXXX", Cat({Latin1("home"), {0}, Text("http://example.org/")})},
      {"WAR", "WOAR", Text("http://example.org/artist")},
      // Comment and lyrics: encoding, language, description, text.
      {"COM", "COMM", Cat({Latin1("eng"), {0}, Text("a comment")})},
      {"ULT", "USLT", Cat({{1}, Text("eng"), {0xFF, 0xFE, 0, 0}, {0xFF, 0xFE, 'l', 0, 'a', 0}})},
      {"CRA", "AENC", Cat({Text("owner"), {0, 0, 0, 0, 0}})},
      {"STC", "SYTC", {2, 120, 0, 0, 0, 0}},
      // iTunes' own: compilation flag and sort orders.
      {"TCP", "TCMP", Latin1("1")},
      {"TST", "TSOT", Latin1("Song")},
      // An encoding 2.2 does not have is carried as it is.
      {"TT2", "TIT2", Cat({{3}, Text("UTF-8 \xC3\xA4")})},
      {"TT2", "TIT2", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.v22);
    const auto frame = ConvertV22Frame(c.v22, c.content);
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->id, c.v23);
    EXPECT_EQ(frame->content, c.content);
  }
}

TEST(ConvertV22Frame, FramesWithoutA23CounterpartAreDropped) {
  const Bytes content = Latin1("x");
  for (const char* id : {"CRM",    // encrypted meta frame
                         "LNK",    // its frame id field is 3 bytes, LINK's 4
                         "XYZ",    // experimental
                         "ZZZ", "tt2", "TT", "TT2 ", "TIT2", ""}) {
    SCOPED_TRACE(id);
    EXPECT_FALSE(ConvertV22Frame(id, content));
  }
  EXPECT_FALSE(ConvertV22Frame(std::string_view("\0\0\0", 3), content));
}

// PIC: encoding, 3-letter image format, picture type, description, data.
// APIC: encoding, zero-terminated MIME type, picture type, description, data.
TEST(ConvertV22Frame, PictureFormatBecomesAMimeType) {
  const struct {
    Bytes format;
    std::string mime;
  } cases[] = {
      {Text("JPG"), "image/jpeg"}, {Text("jpg"), "image/jpeg"}, {Text("PNG"), "image/png"},
      {Text("GIF"), "image/gif"},  {Text("BMP"), "image/bmp"},  {Text("TIF"), "image/tif"},
      {Text("-->"), "-->"},        {Text("PN "), "image/pn"},   {{'P', 'N', 0}, "image/pn"},
      {{0, 0, 0}, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mime);
    const auto frame = ConvertV22Frame("PIC", Cat({{0}, c.format, {3}, Text("Cover"), {0}, kJpeg}));
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->id, "APIC");
    EXPECT_EQ(frame->content, Cat({{0}, Text(c.mime), {0}, {3}, Text("Cover"), {0}, kJpeg}));
  }
}

TEST(ConvertV22Frame, PictureDescriptionAndDataAreCopiedAsTheyAre) {
  // UTF-16 description "Fr" with its two-byte terminator; PNG data with zeros.
  const Bytes description = {0xFF, 0xFE, 'F', 0, 'r', 0, 0, 0};
  const Bytes png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 0x0D};
  auto frame = ConvertV22Frame("PIC", Cat({{1}, Text("PNG"), {4}, description, png}));
  ASSERT_TRUE(frame);
  EXPECT_EQ(frame->content, Cat({{1}, Text("image/png"), {0}, {4}, description, png}));

  // A link: the data is a URL.
  frame = ConvertV22Frame("PIC", Cat({{0}, Text("-->"), {0}, {0}, Text("http://example.org/c.jpg")}));
  ASSERT_TRUE(frame);
  EXPECT_EQ(frame->content, Cat({{0}, Text("-->"), {0}, {0}, {0}, Text("http://example.org/c.jpg")}));
}

TEST(ConvertV22Frame, PictureTooShortForItsHeaderIsDropped) {
  const Bytes full = Cat({{0}, Text("JPG"), {3}});
  for (size_t size = 0; size < full.size(); ++size) {
    SCOPED_TRACE(size);
    EXPECT_FALSE(ConvertV22Frame("PIC", ByteView(full).first(size)));
  }
  // The header alone is enough; what is missing after it stays missing.
  const auto frame = ConvertV22Frame("PIC", full);
  ASSERT_TRUE(frame);
  EXPECT_EQ(frame->content, Cat({{0}, Text("image/jpeg"), {0}, {3}}));
}

}  // namespace
}  // namespace tags::id3v2
