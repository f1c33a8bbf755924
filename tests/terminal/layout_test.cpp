// Drawing of the terminal host's windows, read back from the canvas as text;
// where the host speaks UTF-8, by the columns its characters take.
#include "hostsim/terminal/layout.h"

#include <gtest/gtest.h>

#include <cstring>

#include "../hostsim/support.h"
#include "hostsim/driver.h"
#include "hostsim/host_text.h"
#include "hostsim/terminal/terminal_driver.h"

namespace hostsim::terminal {
namespace {

ItemView Item(int type, int x1, int y1, int x2, int y2, const std::string& text, DWORD flags = 0) {
  ItemView v;
  v.type = type;
  v.x1 = x1;
  v.y1 = y1;
  v.x2 = x2;
  v.y2 = y2;
  v.text = text;
  v.flags = flags;
  v.cursor = static_cast<int>(hostsim::HostCharCount(text));
  return v;
}

std::string Repeat(const char* s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

std::string Cut(const Canvas& c, int y, int x, int n) {
  std::string row = c.Row(y);
  // Rows are UTF-8: count characters, not bytes.
  std::string out;
  int col = 0;
  for (size_t i = 0; i < row.size();) {
    size_t len = 1;
    unsigned char b = static_cast<unsigned char>(row[i]);
    if (b >= 0xF0) len = 4; else if (b >= 0xE0) len = 3; else if (b >= 0xC0) len = 2;
    if (col >= x && col < x + n) out += row.substr(i, len);
    i += len;
    ++col;
  }
  return out;
}

TEST(DialogLayout, FrameTitleTextsEditAndCentredButtons) {
  std::vector<ItemView> items = {
      Item(DI_DOUBLEBOX, 3, 1, 26, 5, "Title"),
      Item(DI_TEXT, 5, 2, 0, 0, "&Name:"),
      Item(DI_EDIT, 12, 2, 21, 2, "abc"),
      Item(DI_BUTTON, 0, 4, 0, 0, "OK", DIF_CENTERGROUP),
      Item(DI_BUTTON, 0, 4, 0, 0, "&Cancel", DIF_CENTERGROUP),
  };
  items[3].defaultButton = true;
  Canvas c(30, 7);
  DrawDialog(c, 0, 0, 30, 7, items, 2, false);
  EXPECT_EQ(c.Row(1), "   ╔═══════ Title ════════╗   ");
  EXPECT_EQ(c.Row(2), "   ║ Name:  abc           ║   ");
  // "{ OK }" and "[ Cancel ]" with two blanks between, as FAR puts them: 18
  // columns centred in 30.
  EXPECT_EQ(c.Row(4), "   ║  { OK }  [ Cancel ]  ║   ");
  EXPECT_EQ(c.Row(5), "   ╚" + std::string() + Repeat("═", 22) + "╝   ");
  // The focused edit field's cursor stands after its text.
  EXPECT_EQ(c.cursorX(), 15);
  EXPECT_EQ(c.cursorY(), 2);
  EXPECT_EQ(c.styleAt(5, 2), Style::Hotkey);
  EXPECT_EQ(c.styleAt(12, 2), Style::FieldFocused);
}

TEST(DialogLayout, EditScrollsToTheCursorOnlyWhenFocused) {
  std::vector<ItemView> items = {Item(DI_EDIT, 1, 0, 5, 0, "abcdefgh"), Item(DI_BUTTON, 1, 1, 0, 0, "B")};
  Canvas focused(10, 2);
  DrawDialog(focused, 0, 0, 10, 2, items, 0, false);
  EXPECT_EQ(Cut(focused, 0, 1, 5), "efgh ");
  EXPECT_EQ(focused.cursorX(), 5);
  Canvas unfocused(10, 2);
  DrawDialog(unfocused, 0, 0, 10, 2, items, 1, false);
  EXPECT_EQ(Cut(unfocused, 0, 1, 5), "abcde");
  EXPECT_EQ(unfocused.cursorX(), 3);  // on the focused button's text
}

TEST(DialogLayout, StatesSeparatorsHiddenAndDisabledItems) {
  std::vector<ItemView> items = {
      Item(DI_SINGLEBOX, 0, 0, 19, 6, ""),
      Item(DI_CHECKBOX, 2, 1, 0, 0, "Check"),
      Item(DI_RADIOBUTTON, 2, 2, 0, 0, "Radio"),
      Item(DI_TEXT, 0, 3, 0, 0, "Mid", DIF_SEPARATOR),
      Item(DI_TEXT, 2, 4, 0, 0, "Gone", DIF_HIDDEN),
      Item(DI_COMBOBOX, 2, 5, 8, 5, "one", DIF_DROPDOWNLIST | DIF_DISABLE),
  };
  items[1].selected = 1;
  items[2].selected = 0;
  Canvas c(20, 7);
  DrawDialog(c, 0, 0, 20, 7, items, 1, false);
  EXPECT_EQ(Cut(c, 1, 2, 9), "[x] Check");
  EXPECT_EQ(Cut(c, 2, 2, 9), "( ) Radio");
  EXPECT_EQ(c.Row(3), "├────── Mid ───────┤");
  EXPECT_EQ(Cut(c, 4, 1, 18), std::string(18, ' '));
  EXPECT_EQ(Cut(c, 5, 2, 8), "one    ↓");
  EXPECT_EQ(c.styleAt(2, 5), Style::Disabled);
  items[1].selected = 2;
  DrawDialog(c, 0, 0, 20, 7, items, 1, false);
  EXPECT_EQ(Cut(c, 1, 2, 3), "[?]");
}

TEST(DialogLayout, CentredTextAndWarningColours) {
  std::vector<ItemView> items = {Item(DI_TEXT, -1, 0, 0, 0, "abcd")};
  Canvas c(10, 1);
  DrawDialog(c, 0, 0, 10, 1, items, -1, true);
  EXPECT_EQ(c.Row(0), "   abcd   ");
  EXPECT_EQ(c.styleAt(0, 0), Style::Warning);
}

TEST(DialogLayout, HotkeyMarks) {
  struct Case {
    const char* text;
    const char* shown;
    int hotkey;
  } cases[] = {
      {"&OK", "OK", 0}, {"Sa&ve", "Save", 2}, {"a&&b", "a&b", -1}, {"plain", "plain", -1},
      {"end&", "end&", -1}, {"&a&b", "ab", 0},
  };
  for (const auto& k : cases) {
    int hot = 99;
    EXPECT_EQ(StripHotkey(k.text, &hot), k.shown) << k.text;
    EXPECT_EQ(hot, k.hotkey) << k.text;
  }
}

TEST(MenuLayout, ScrollsToTheHighlightedItemAndMarksHiddenParts) {
  std::vector<MenuLine> lines;
  for (int i = 0; i < 30; ++i) lines.push_back({"item " + std::to_string(i)});
  Canvas c(40, 12);
  int top = 0;
  DrawMenu(c, "Menu", "", lines, 25, &top, false);
  // Six lines fit (the canvas height less six); item 25 is the last of them.
  EXPECT_EQ(top, 20);
  std::string all;
  for (int y = 0; y < 12; ++y) all += c.Row(y) + "\n";
  EXPECT_NE(all.find("item 25"), std::string::npos);
  EXPECT_EQ(all.find("item 26"), std::string::npos);
  EXPECT_EQ(all.find("item 19 "), std::string::npos);
  EXPECT_NE(all.find("▲"), std::string::npos);
  EXPECT_NE(all.find("▼"), std::string::npos);
  // Going back up moves the window only as far as needed.
  DrawMenu(c, "Menu", "", lines, 18, &top, false);
  EXPECT_EQ(top, 18);
}

TEST(DialogPlace, CentredWhenItFitsElseScrolledToTheFocusedItem) {
  int offset = 7;
  EXPECT_EQ(PlaceOnScreen(80, 60, 50, 55, &offset), 10);
  EXPECT_EQ(offset, 0);
  // 76 columns on 60: the left part while the focus is there ...
  EXPECT_EQ(PlaceOnScreen(60, 76, 5, 30, &offset), 0);
  // ... moved just far enough to show an item on the right ...
  EXPECT_EQ(PlaceOnScreen(60, 76, 40, 70, &offset), -11);
  EXPECT_EQ(offset, 11);
  // ... kept while the focus stays in view ...
  EXPECT_EQ(PlaceOnScreen(60, 76, 20, 30, &offset), -11);
  // ... and never beyond the dialog's edges.
  EXPECT_EQ(PlaceOnScreen(60, 76, 70, 90, &offset), -16);
  EXPECT_EQ(PlaceOnScreen(60, 76, 2, 4, &offset), -2);
  // An item wider than the screen shows from its start.
  EXPECT_EQ(PlaceOnScreen(10, 40, 5, 30, &offset), -5);
}

TEST(DialogPlace, ExtentsOfItems) {
  std::vector<ItemView> items = {
      Item(DI_EDIT, 10, 3, 29, 3, "abc"),
      Item(DI_BUTTON, 0, 5, 0, 0, "OK", DIF_CENTERGROUP),
      Item(DI_BUTTON, 0, 5, 0, 0, "&Cancel", DIF_CENTERGROUP),
      Item(DI_CHECKBOX, 4, 4, 0, 0, "&Check"),
      Item(DI_LISTBOX, 2, 6, 20, 12, ""),
  };
  auto extent = [&](int i) {
    Extent e = ItemExtent(items, i, 40);
    return std::vector<int>{e.x1, e.y1, e.x2, e.y2};
  };
  EXPECT_EQ(extent(0), (std::vector<int>{10, 3, 30, 3}));  // with the arrow after the field
  // "[ OK ]  [ Cancel ]": 18 columns centred in 40.
  EXPECT_EQ(extent(1), (std::vector<int>{11, 5, 16, 5}));
  EXPECT_EQ(extent(2), (std::vector<int>{19, 5, 28, 5}));
  EXPECT_EQ(extent(3), (std::vector<int>{4, 4, 12, 4}));
  EXPECT_EQ(extent(4), (std::vector<int>{2, 6, 20, 12}));
}

TEST(DialogPlace, AClippedDialogDrawsNothingOutsideTheCanvasAndHidesAnOuterCursor) {
  std::vector<ItemView> items = {
      Item(DI_DOUBLEBOX, 3, 1, 46, 8, "Wide"),
      Item(DI_EDIT, 5, 2, 20, 2, "left"),
      Item(DI_EDIT, 30, 2, 44, 2, "right"),
      Item(DI_BUTTON, 0, 7, 0, 0, "OK", DIF_CENTERGROUP),
  };
  Canvas c(30, 6);
  int ox = 0, oy = 0;
  Extent e = ItemExtent(items, 2, 50);
  const int left = PlaceOnScreen(30, 50, e.x1, e.x2, &ox);
  const int top = PlaceOnScreen(6, 10, e.y1, e.y2, &oy);
  EXPECT_EQ(left, -16);
  EXPECT_EQ(top, 0);
  DrawDialog(c, left, top, 50, 10, items, 2, false);
  // The right field and its cursor are on the canvas; the frame's right side
  // is at 46 - 16 = 30, just outside.
  EXPECT_EQ(Cut(c, 2, 14, 5), "right");
  EXPECT_EQ(c.cursorX(), 14 + 5);
  EXPECT_EQ(c.cursorY(), 2);
  EXPECT_EQ(Cut(c, 1, 29, 1), "═");
  // With the focus on the left field, the right one's cursor would be off
  // the canvas: the cursor is hidden rather than placed outside.
  DrawDialog(c, -30, 0, 50, 10, items, 1, false);
  EXPECT_EQ(c.cursorX(), -1);
}

TEST(BoxLayout, ProgressBoxStaysCentredWithItsTitle) {
  Canvas c(30, 7);
  DrawBox(c, "Working\nfile.mp3\n[####    ]", false);
  // 10 columns of text, six more for the frame and margins: 16, centred in 30.
  EXPECT_EQ(c.Row(1), "       ╔══ Working ═══╗       ");
  EXPECT_EQ(c.Row(2), "       ║   file.mp3   ║       ");
  EXPECT_EQ(c.Row(3), "       ║  [####    ]  ║       ");
  EXPECT_EQ(c.Row(4), "       ╚" + Repeat("═", 14) + "╝       ");
  EXPECT_EQ(c.styleAt(23, 3), Style::Shadow);
}

TEST(TextWrap, LinesFitTheWidth) {
  struct Case {
    const char* text;
    int width;
    std::vector<std::string> lines;
  } cases[] = {
      {"one two three", 7, {"one two", "three"}},
      {"abcdefghij", 4, {"abcd", "efgh", "ij"}},
      {"short", 10, {"short"}},
      {"", 5, {""}},
      {"a verylongword b", 5, {"a", "veryl", "ongwo", "rd b"}},
  };
  for (const auto& k : cases) EXPECT_EQ(WrapText(k.text, k.width), k.lines) << k.text;
}

TEST(MessageWindow, LongLinesWrapAndButtonsFollowTheText) {
  MessageRequest m;
  m.title = "Warning";
  m.lines = {std::string(30, 'x') + " " + std::string(30, 'y'), "short"};
  m.buttons = {"Retry", "Skip", "Cancel"};
  MessageDialog md = BuildMessageDialog(m, 50);
  // The long line is wrapped at the 40 columns a 50-column screen leaves; the
  // window is as wide as its longest line needs.
  ASSERT_EQ(md.items.size(), 1u + 3u + 3u);
  EXPECT_EQ(std::string(md.items[1].Data), std::string(30, 'x'));
  EXPECT_EQ(std::string(md.items[2].Data), std::string(30, 'y'));
  EXPECT_EQ(md.firstButton, 4);
  EXPECT_EQ(md.width, 40);
  for (int b = 4; b < 7; ++b) {
    EXPECT_EQ(md.items[b].Type, DI_BUTTON);
    EXPECT_EQ(md.items[b].Y1, md.height - 3);
  }
  EXPECT_EQ(md.items[4].DefaultButton, 1);
  // The frame closes below the buttons, inside the window.
  EXPECT_EQ(md.items[0].Y2, md.height - 2);
  EXPECT_GT(md.items[0].Y2, md.items[4].Y1);
}

// ---------------------------------------------------------------- a host that speaks UTF-8

TEST(Utf8Canvas, AWideCharacterTakesTwoCellsAndShowsOnce) {
  hostsim_test::Utf8HostText utf8;
  if (!utf8.active()) GTEST_SKIP() << "the host's text is OEM here";
  Canvas c(12, 1);
  EXPECT_EQ(c.Text(1, 0, "東京.mp3", Style::Panel), 8);
  EXPECT_EQ(c.Row(0), " 東京.mp3   ");
  EXPECT_EQ(c.at(1, 0), U'東');
  EXPECT_EQ(c.at(2, 0), kWideTail);
  // A limit that would split a wide character leaves it out.
  Canvas narrow(12, 1);
  EXPECT_EQ(narrow.Text(0, 0, "Ж東京", Style::Panel, 4), 3);
  EXPECT_EQ(narrow.Row(0), "Ж東         ");
  // Half of a wide character overwritten: the other half becomes a blank.
  c.Put(2, 0, U'x', Style::Panel);
  EXPECT_EQ(c.Row(0), "  x京.mp3   ");
  c.Put(3, 0, U'y', Style::Panel);
  EXPECT_EQ(c.Row(0), "  xy .mp3   ");
}

TEST(Utf8Canvas, DialogsCountColumnsForCentringFieldsAndCursors) {
  hostsim_test::Utf8HostText utf8;
  if (!utf8.active()) GTEST_SKIP() << "the host's text is OEM here";
  // A field five columns wide holding 東京ab with the cursor at its end: the
  // text scrolls by whole characters until the cursor fits.
  std::vector<ItemView> items = {Item(DI_EDIT, 1, 0, 5, 0, "東京ab"),
                                 Item(DI_BUTTON, 1, 1, 0, 0, "B")};
  Canvas focused(10, 2);
  DrawDialog(focused, 0, 0, 10, 2, items, 0, false);
  EXPECT_EQ(focused.Row(0), " 京ab     ");
  EXPECT_EQ(focused.cursorX(), 5);
  items[0].cursor = 1;  // after 東
  DrawDialog(focused, 0, 0, 10, 2, items, 0, false);
  EXPECT_EQ(focused.Row(0), " 東京a    ");
  EXPECT_EQ(focused.cursorX(), 3);
  // Centred texts and frame titles by columns: "東京" is four.
  std::vector<ItemView> centred = {Item(DI_DOUBLEBOX, 0, 0, 11, 2, "Группа"),
                                   Item(DI_TEXT, -1, 1, 0, 0, "東京")};
  Canvas c(12, 3);
  DrawDialog(c, 0, 0, 12, 3, centred, -1, false);
  EXPECT_EQ(c.Row(0), "╔═ Группа ═╗");
  EXPECT_EQ(c.Row(1), "║   東京   ║");
  // A hot key after a wide character is marked in its own column.
  std::vector<ItemView> hot = {Item(DI_BUTTON, 0, 0, 0, 0, "東&Да", DIF_NOBRACKETS)};
  Canvas h(6, 1);
  DrawDialog(h, 0, 0, 6, 1, hot, -1, false);
  EXPECT_EQ(h.Row(0), "東Да  ");
  EXPECT_EQ(h.styleAt(2, 0), Style::Hotkey);
  EXPECT_NE(h.styleAt(3, 0), Style::Hotkey);
}

TEST(Utf8Canvas, TextsWrapByColumnsBetweenCharacters) {
  hostsim_test::Utf8HostText utf8;
  if (!utf8.active()) GTEST_SKIP() << "the host's text is OEM here";
  EXPECT_EQ(WrapText("東京の音楽 ファイル", 6),
            (std::vector<std::string>{"東京の", "音楽", "ファイ", "ル"}));
  EXPECT_EQ(WrapText("Группа Кино", 6), (std::vector<std::string>{"Группа", "Кино"}));
  MessageRequest m;
  m.title = "T";
  m.lines = {"東京東京東京"};  // six characters, twelve columns
  m.buttons = {"OK"};
  EXPECT_EQ(BuildMessageDialog(m, 80).width, 12 + 10);
}

}  // namespace
}  // namespace hostsim::terminal
