#include "tags/genres.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "host/far_services.h"
#include "test_host.h"

namespace tags {
namespace {

TEST(Genres, NamesByNumber) {
  const std::pair<int, const char*> cases[] = {
      {0, "Blues"},
      {17, "Rock"},
      {40, "AlternRock"},
      {67, "Psychadelic"},
      {78, "Rock & Roll"},
      {85, "Bebob"},
      {93, "Psychedelic Rock"},
      {144, "Trash Metal"},
      {147, "Synthpop"},
      {148, ""},
      {255, ""},
      {-1, ""},
  };
  for (const auto& [number, name] : cases) EXPECT_EQ(GenreText(number), name) << number;
  const std::set<std::string> distinct(GenreNames.begin(), GenreNames.end());
  EXPECT_EQ(distinct.size(), GenreNames.size());
}

TEST(Genres, LookupIgnoresCaseButNotBlanks) {
  testhost::TestHost host;
  const std::pair<const char*, std::optional<int>> cases[] = {
      {"rock", 17},
      {"ROCK", 17},
      {"Rock & Roll", 78},
      {"blues", 0},
      {"synthpop", 147},
      {"Psychedelic", std::nullopt},
      {"", std::nullopt},
      {" Rock", std::nullopt},
      {"Rock ", std::nullopt},
      {"<Unknown>", std::nullopt},
  };
  for (const auto& [text, number] : cases) EXPECT_EQ(GenreLookup(text), number) << text;
}

TEST(Genres, NumberTextsNameTheirGenre) {
  using namespace std::string_literals;
  const std::pair<std::string, std::optional<std::string>> cases[] = {
      {"0", "Blues"},
      {"10", "New Age"},
      {"121", "Punk Rock"},
      {"147", "Synthpop"},
      {"017", "Rock"},  // leading zeros, as mutagen reads them
      {"0000000000000000000017", "Rock"},
      {"148", std::nullopt},
      {"255", std::nullopt},
      {"99999999999999999999", std::nullopt},
      {"", std::nullopt},
      {"-1", std::nullopt},
      {"+17", std::nullopt},
      {"17 ", std::nullopt},
      {"17Rock", std::nullopt},
      {"1990s", std::nullopt},
      {"17\0Rock"s, std::nullopt},  // ID3v2.4 lists
      {"17\0 20"s, std::nullopt},
  };
  for (const auto& [text, name] : cases) EXPECT_EQ(GenreOfNumberText(text), name) << text;
}

TEST(Genres, ChoiceListIsSortedWithTheUnknownEntry) {
  testhost::TestHost host;
  const std::vector<std::string> list = GenreChoiceList();
  ASSERT_EQ(list.size(), 149u);
  EXPECT_EQ(std::count(list.begin(), list.end(), "<Unknown>"), 1);
  for (size_t i = 1; i < list.size(); ++i)
    EXPECT_LE(host::LStricmp(list[i - 1].c_str(), list[i].c_str()), 0) << list[i];
  EXPECT_EQ(std::set<std::string>(list.begin() + 0, list.end()).size(), 149u);
}

}  // namespace
}  // namespace tags
