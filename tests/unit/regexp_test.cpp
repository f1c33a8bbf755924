#include "batch/regexp.h"

#include <gtest/gtest.h>

#include <string>

namespace batch {
namespace {

struct Case {
  const char* tmpl;
  const char* expected;
};

// Pattern (a)(b)?(c) against "xacy": group 2 took no part.
TEST(Regexp, SubMatchSubstitution) {
  Regexp re;
  std::string error;
  int position = -1;
  ASSERT_TRUE(re.Compile("(a)(b)?(c)", &error, &position)) << error;
  ASSERT_EQ(re.Execute("xacy", &error), Regexp::Result::Match);
  const Case cases[] = {
      {"$1-$3", "a-c"},
      {"[$2]", "[]"},  // a group that took no part
      {"[$4][$14][$15][$99999999999999999999]", "[][][][]"},
      {"$&|$0|${}|${&}|${0}", "ac|ac|ac|ac|ac"},
      {"${1}2 $12", "a2 "},  // $12 is group 12, not group 1 and a 2
      {"$01", "a"},
      {"$", "$"},
      {"$x$", "$x$"},
      {"${1", "${1"},     // no closing brace: the "$" stays, the rest is copied
      {"${x}", "${x}"},
      {"$$1", "$a"},
      {"\\$1 \\\\ AC\\DC", "$1 \\ ACDC"},
      {"end\\", "end\\"},  // a backslash at the very end stays
      {"%2 $1%", "%2 a%"},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(re.Substitute(c.tmpl), c.expected) << c.tmpl;
}

TEST(Regexp, GroupsUpTo14AreSubstituted) {
  Regexp re;
  std::string error;
  int position = 0;
  ASSERT_TRUE(re.Compile("(.)(.)(.)(.)(.)(.)(.)(.)(.)(.)(.)(.)(.)(.)(.)", &error, &position));
  ASSERT_EQ(re.Execute("abcdefghijklmno", &error), Regexp::Result::Match);
  EXPECT_EQ(re.Substitute("$9$10$12${13}$14|$15|${15}"), "ijlmn||");
}

TEST(Regexp, SearchFindsTheFirstMatchAnywhere) {
  Regexp re;
  std::string error;
  int position = 0;
  ASSERT_TRUE(re.Compile("([^\\\\]*) - ([^\\\\]*)\\.mp3$", &error, &position)) << error;
  ASSERT_EQ(re.Execute("C:\\Music\\Band - Song.mp3", &error), Regexp::Result::Match);
  EXPECT_EQ(re.Substitute("$2 by $1"), "Song by Band");

  ASSERT_TRUE(re.Compile("\\d+", &error, &position));
  ASSERT_EQ(re.Execute("track 12 of 15", &error), Regexp::Result::Match);
  EXPECT_EQ(re.Substitute("<$&>"), "<12>");

  // No match: nothing of an earlier match is left to substitute.
  EXPECT_EQ(re.Execute("no digits", &error), Regexp::Result::NoMatch);
  EXPECT_EQ(re.Substitute("<$&>"), "<>");

  // The subject may hold zero bytes; a character beyond ASCII is matched whole.
  ASSERT_TRUE(re.Compile("b(.)c", &error, &position));
  ASSERT_EQ(re.Execute(std::string("a\0b\xC3\xA9" "c", 6), &error), Regexp::Result::Match);
  EXPECT_EQ(re.Substitute("$1"), "\xC3\xA9");
  ASSERT_TRUE(re.Compile("(\\w+) (\\w+)", &error, &position));
  ASSERT_EQ(re.Execute("Группа Крови", &error), Regexp::Result::Match);
  EXPECT_EQ(re.Substitute("$2, $1"), "Крови, Группа");
}

TEST(Regexp, CompileErrorsGiveTextAndPosition) {
  struct ErrorCase {
    const char* pattern;
    int position;
  } cases[] = {{"(abc", 4}, {"ab)", 2}, {"a[b", 3}, {"x{2,1}", 5}, {"*a", 0}};
  for (const ErrorCase& c : cases) {
    Regexp re;
    std::string error;
    int position = -1;
    ASSERT_FALSE(re.Compile(c.pattern, &error, &position)) << c.pattern;
    EXPECT_EQ(position, c.position) << c.pattern;
    const std::string suffix = " (pos " + std::to_string(c.position) + ")";
    ASSERT_GT(error.size(), suffix.size()) << error;
    EXPECT_EQ(error.substr(error.size() - suffix.size()), suffix) << error;
    // A failed compile leaves nothing to execute.
    EXPECT_EQ(re.Execute("abc", &error), Regexp::Result::Error);
    EXPECT_FALSE(error.empty());
  }
}

}  // namespace
}  // namespace batch
