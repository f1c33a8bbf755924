// Help files: parsing of marks and topics, and the help window's links.
#include <gtest/gtest.h>

#include "hostsim/terminal/help_file.h"
#include "hostsim/terminal/help_view.h"

namespace hostsim::terminal {
namespace {

std::string Describe(const HelpLine& line) {
  std::string out;
  for (const auto& s : line.spans) {
    out += s.kind == HelpSpan::Bold ? "B(" : s.kind == HelpSpan::Link ? "L(" : "P(";
    out += s.text;
    if (s.kind == HelpSpan::Link) out += "->" + s.target;
    out += ")";
  }
  return out;
}

TEST(HelpLine, MarksBecomeSpans) {
  struct Case {
    const char* line;
    const char* spans;
  } cases[] = {
      {"plain text", "P(plain text)"},
      {"a #bold# b", "P(a )B(bold)P( b)"},
      {"see ~the masks~@Id3Config@.", "P(see )L(the masks->Id3Config)P(.)"},
      {"a ## b ~~ c @@ d", "P(a # b ~ c @ d)"},
      {"~#Bold link#~@Topic@", "L(Bold link->Topic)"},
      {"~site~@http://example.org@", "L(site->)"},
      {"~no target~ here", "P(~no target~ here)"},
      {"#unclosed bold", "B(unclosed bold)"},
      {"", ""},
  };
  for (const auto& k : cases) EXPECT_EQ(Describe(ParseHelpLine(k.line)), k.spans) << k.line;
  EXPECT_TRUE(ParseHelpLine("^centred").centred);
  EXPECT_EQ(PlainText(ParseHelpLine("^centred")), "centred");
}

const char kFile[] =
    ".Language=Russian,Russian (Русский)\r\n"
    ".PluginContents=Tagwright\r\n"
    "\r\n"
    "@Contents\r\n"
    "$ #Tagwright#\r\n"
    "$ second header line\r\n"
    "Start: ~First~@One@ and ~Second~@two@, ~Missing~@Nowhere@.\r\n"
    "\r\n"
    "@-\r\n"
    "@One\r\n"
    "$ #The first#\r\n"
    "Line 1\r\n"
    "\r\n"
    "\r\n"
    "@Two\r\n"
    "Untitled text\r\n";

TEST(HelpFileParse, HeaderTopicsTitlesAndLookup) {
  HelpFile f;
  std::string error;
  ASSERT_TRUE(ParseHelpFile(kFile, &f, &error)) << error;
  EXPECT_EQ(f.language, "Russian");
  EXPECT_EQ(f.contents, "Tagwright");
  ASSERT_EQ(f.topics.size(), 3u);
  EXPECT_EQ(f.topics[0].title, "Tagwright");
  EXPECT_EQ(f.topics[0].header.size(), 2u);
  EXPECT_EQ(f.topics[0].body.size(), 1u);  // trailing blank lines dropped
  EXPECT_EQ(f.topics[1].title, "The first");
  EXPECT_EQ(f.topics[1].body.size(), 1u);
  EXPECT_EQ(f.topics[2].title, "");
  EXPECT_EQ(PlainText(f.topics[2].body[0]), "Untitled text");
  ASSERT_NE(f.Find("two"), nullptr);
  EXPECT_EQ(f.Find("two")->name, "Two");
  EXPECT_EQ(f.Find("<C:\\Far\\Plugins\\Tagwright\\>One"), &f.topics[1]);
  EXPECT_EQ(f.Find(":One"), &f.topics[1]);
  EXPECT_EQ(f.Find(""), &f.topics[0]);  // the contents
  EXPECT_EQ(f.Find("Nowhere"), nullptr);
}

TEST(HelpFileParse, FilesWithoutTopicsOrNamesAreRefused) {
  HelpFile f;
  std::string error;
  EXPECT_FALSE(ParseHelpFile(".Language=English,English\n\nno topic here\n", &f, &error));
  EXPECT_FALSE(ParseHelpFile("@Contents\ntext\n@ \nmore\n", &f, &error));
  EXPECT_NE(error.find("line 3"), std::string::npos) << error;
}

KeyEvent Key(KeyEvent::Kind kind, bool shift = false) {
  KeyEvent k;
  k.kind = kind;
  k.shift = shift;
  return k;
}

TEST(HelpWindow, TabEnterAndBackspaceWalkTheLinks) {
  HelpFile f;
  std::string error;
  ASSERT_TRUE(ParseHelpFile(kFile, &f, &error)) << error;
  HelpView view(f);
  ASSERT_TRUE(view.Open("Contents"));
  Canvas c(60, 12);
  view.Draw(c);
  EXPECT_EQ(view.focusedTarget(), "One");
  EXPECT_TRUE(view.Key(Key(KeyEvent::Tab)));
  EXPECT_EQ(view.focusedTarget(), "two");
  EXPECT_TRUE(view.Key(Key(KeyEvent::Tab, true)));
  EXPECT_TRUE(view.Key(Key(KeyEvent::Tab, true)));  // wraps round to the last link
  EXPECT_EQ(view.focusedTarget(), "Nowhere");
  // A link to a topic the file lacks leads nowhere.
  EXPECT_TRUE(view.Key(Key(KeyEvent::Enter)));
  EXPECT_EQ(view.topic()->name, "Contents");
  EXPECT_TRUE(view.Key(Key(KeyEvent::Tab)));
  EXPECT_TRUE(view.Key(Key(KeyEvent::Tab)));
  EXPECT_TRUE(view.Key(Key(KeyEvent::Enter)));
  EXPECT_EQ(view.topic()->name, "Two");
  EXPECT_TRUE(view.Key(Key(KeyEvent::Backspace)));
  EXPECT_EQ(view.topic()->name, "Contents");
  EXPECT_EQ(view.focusedTarget(), "two");  // back where the user left
  EXPECT_FALSE(view.Key(Key(KeyEvent::Esc)));
  EXPECT_FALSE(view.Open("Nowhere"));
}

TEST(HelpWindow, DrawsTitleFixedHeaderAndText) {
  HelpFile f;
  std::string error;
  ASSERT_TRUE(ParseHelpFile(kFile, &f, &error)) << error;
  HelpView view(f);
  ASSERT_TRUE(view.Open("Contents"));
  Canvas c(70, 8);
  view.Draw(c);
  EXPECT_NE(c.Row(0).find(" Tagwright "), std::string::npos);
  EXPECT_NE(c.Row(1).find("second header line"), std::string::npos);
  EXPECT_NE(c.Row(2).find("───"), std::string::npos);
  EXPECT_NE(c.Row(3).find("Start: First and Second, Missing."), std::string::npos);
  // The focused link carries the cursor.
  EXPECT_EQ(c.styleAt(c.cursorX(), c.cursorY()), Style::LinkFocused);
}

TEST(HelpWindow, ScrollingKeepsTheFocusOnAVisibleLink) {
  std::string content = "@Contents\n$ #Long#\n~Top~@Contents@\n";
  for (int i = 0; i < 40; ++i) content += "line " + std::to_string(i) + "\n";
  content += "~Bottom~@Contents@\n";
  HelpFile f;
  std::string error;
  ASSERT_TRUE(ParseHelpFile(content, &f, &error)) << error;
  HelpView view(f);
  ASSERT_TRUE(view.Open("Contents"));
  Canvas c(40, 10);
  view.Draw(c);
  EXPECT_TRUE(view.Key(Key(KeyEvent::End)));
  EXPECT_GT(view.scroll(), 0);
  // The first link scrolled away: the focus moved to the one on screen.
  view.Draw(c);
  EXPECT_NE(c.Row(c.cursorY()).find("Bottom"), std::string::npos);
  EXPECT_TRUE(view.Key(Key(KeyEvent::Tab)));  // back to the top link: the text follows
  EXPECT_EQ(view.scroll(), 0);
}

}  // namespace
}  // namespace hostsim::terminal
