// Hot keys: the '&' letters of dialog items and menu texts, Alt with them in
// a dialog (and the letter alone away from edit fields), and the automatic
// hot keys of menus.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "hostsim/hotkeys.h"
#include "support.h"

namespace {

using hostsim_test::ScriptedHost;

struct Event {
  int msg;
  int param1;
  long param2;
  bool operator==(const Event& o) const {
    return msg == o.msg && param1 == o.param1 && param2 == o.param2;
  }
};

std::ostream& operator<<(std::ostream& os, const Event& e) {
  return os << "{" << std::hex << e.msg << std::dec << ", " << e.param1 << ", " << e.param2 << "}";
}

enum Item { kBox, kLabel, kEdit, kCheck, kOne, kTwo, kApply, kOk, kOff, kCyrillic, kLonely, kCount };

std::vector<Event>* g_events = nullptr;
int g_refuseHotkeyOf = -1;

long WINAPI Proc(HANDLE dlg, int msg, int param1, long param2) {
  hostsim_test::Services s;
  if (msg != DN_KEY && msg != DN_EDITCHANGE) g_events->push_back({msg, param1, param2});
  if (msg == DN_HOTKEY && param1 == g_refuseHotkeyOf) return 0;
  return s.psi.DefDlgProc(dlg, msg, param1, param2);
}

class HotkeyDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    g_events = &events;
    g_refuseHotkeyOf = -1;
    std::memset(items, 0, sizeof(items));
    auto set = [&](int i, int type, const char* text, DWORD flags = 0) {
      items[i].Type = type;
      items[i].Flags = flags;
      std::strcpy(items[i].Data, text);
    };
    set(kBox, DI_DOUBLEBOX, "&Box");
    set(kLabel, DI_TEXT, "&Name:");
    set(kEdit, DI_EDIT, "abc");
    set(kCheck, DI_CHECKBOX, "&Check");
    set(kOne, DI_RADIOBUTTON, "&One", DIF_GROUP);
    items[kOne].Selected = 1;
    set(kTwo, DI_RADIOBUTTON, "T&wo");
    set(kApply, DI_BUTTON, "&Apply", DIF_BTNNOCLOSE);
    set(kOk, DI_BUTTON, "OK");
    items[kOk].DefaultButton = 1;
    set(kOff, DI_CHECKBOX, "O&ff", DIF_DISABLE);
    set(kCyrillic, DI_CHECKBOX, "\x8F\xE0\xAE\xA1\xA0 &\xA8");  // "Проба &и" in code page 866
    set(kLonely, DI_TEXT, "&Last");
  }
  void TearDown() override { g_events = nullptr; }

  int Run(ScriptedHost& h) {
    return h.services.psi.DialogEx(0, -1, -1, 40, 12, "Hot", items, kCount, 0, 0, Proc, 0);
  }
  // The events from the first DN_HOTKEY on.
  std::vector<Event> FromHotkey() const {
    for (size_t i = 0; i < events.size(); ++i) {
      if (events[i].msg == DN_HOTKEY) return std::vector<Event>(events.begin() + i, events.end());
    }
    return {};
  }

  std::vector<Event> events;
  FarDialogItem items[kCount];
};

TEST_F(HotkeyDialog, AltWithAButtonsLetterFocusesAndPressesIt) {
  ScriptedHost h("dialog * key 2 AltA\ndialog * esc\n");
  EXPECT_EQ(Run(h), -1);
  const std::vector<Event> expected = {{DN_HOTKEY, kApply, static_cast<long>(KEY_ALT | 'A')},
                                       {DN_KILLFOCUS, kEdit, 0},
                                       {DN_GOTFOCUS, kApply, 0},
                                       {DN_BTNCLICK, kApply, 0},
                                       {DN_CLOSE, -1, 0}};
  EXPECT_EQ(FromHotkey(), expected);
}

TEST_F(HotkeyDialog, CheckBoxesToggleRadioButtonsChooseLabelsHandOnTheFocus) {
  // From the edit field: Alt-C toggles the check box; there the letter alone
  // chooses radio button "Two"; Alt-N (the label) goes back to the edit field.
  ScriptedHost h("dialog * key 2 AltC\ndialog * key 3 w\ndialog * key 5 AltN\ndialog * esc\n");
  EXPECT_EQ(Run(h), -1);
  const std::vector<Event> expected = {
      {DN_HOTKEY, kCheck, static_cast<long>(KEY_ALT | 'C')},
      {DN_KILLFOCUS, kEdit, 0}, {DN_GOTFOCUS, kCheck, 0}, {DN_BTNCLICK, kCheck, 1},
      {DN_HOTKEY, kTwo, 'w'},
      {DN_KILLFOCUS, kCheck, 0}, {DN_GOTFOCUS, kTwo, 0}, {DN_BTNCLICK, kTwo, kOne},
      {DN_HOTKEY, kLabel, static_cast<long>(KEY_ALT | 'N')},
      {DN_KILLFOCUS, kTwo, 0}, {DN_GOTFOCUS, kEdit, 0},
      {DN_CLOSE, -1, 0}};
  EXPECT_EQ(FromHotkey(), expected);
  EXPECT_EQ(items[kCheck].Selected, 1);
  EXPECT_EQ(items[kTwo].Selected, 1);
  EXPECT_EQ(items[kOne].Selected, 0);
  EXPECT_EQ(items[kEdit].Focus, 1);
}

TEST_F(HotkeyDialog, ALetterAloneTypesInAnEditField) {
  ScriptedHost h("dialog * key 2 c a\ndialog * esc\n");
  EXPECT_EQ(Run(h), -1);
  EXPECT_TRUE(FromHotkey().empty());
  EXPECT_STREQ(items[kEdit].Data, "abcca");
  EXPECT_EQ(items[kCheck].Selected, 0);
}

TEST_F(HotkeyDialog, DisabledItemsLonelyLabelsBoxesAndRefusalsDoNothing) {
  g_refuseHotkeyOf = kApply;
  // O&ff is disabled, &Last has nothing after it to focus, &Box is a frame,
  // and the procedure refuses Alt-A; "Q" is nobody's.
  ScriptedHost h("dialog * key 3 AltF AltL AltB AltQ AltA\ndialog * esc\n");
  EXPECT_EQ(Run(h), -1);
  const std::vector<Event> expected = {{DN_HOTKEY, kApply, static_cast<long>(KEY_ALT | 'A')},
                                       {DN_CLOSE, -1, 0}};
  EXPECT_EQ(FromHotkey(), expected);
  EXPECT_EQ(items[kCheck].Focus, 1);
  EXPECT_EQ(items[kOff].Selected, 0);
}

TEST_F(HotkeyDialog, LettersOfTheOemCodePageMatchWithoutRegardToCase) {
  // Alt with upper-case И (0x88 in 866), then lower-case и (0xA8) alone on a button.
  ScriptedHost h("dialog * key 2 0x02000088\ndialog * key 7 0xA8\ndialog * esc\n");
  EXPECT_EQ(Run(h), -1);
  // Toggled twice: on, then off again.
  EXPECT_EQ(std::count(events.begin(), events.end(), Event{DN_BTNCLICK, kCyrillic, 1}), 1);
  EXPECT_EQ(std::count(events.begin(), events.end(), Event{DN_BTNCLICK, kCyrillic, 0}), 1);
  EXPECT_EQ(items[kCyrillic].Focus, 1);
}

TEST(Hotkeys, OfTextsAndKeys) {
  EXPECT_EQ(hostsim::HotkeyOf("&Title"), 'T');
  EXPECT_EQ(hostsim::HotkeyOf("Sa&ve scheme"), 'V');
  EXPECT_EQ(hostsim::HotkeyOf("Tom && &Jerry"), 'J');
  EXPECT_EQ(hostsim::HotkeyOf("Tom && Jerry"), 0);
  EXPECT_EQ(hostsim::HotkeyOf("trailing&"), 0);
  EXPECT_EQ(hostsim::HotkeyOf("& blank"), 0);
  EXPECT_EQ(hostsim::HotkeyChar(KEY_ALT | 'T', false), 'T');
  EXPECT_EQ(hostsim::HotkeyChar(KEY_ALT | KEY_SHIFT | 'T', false), 'T');
  EXPECT_EQ(hostsim::HotkeyChar('t', true), 'T');
  EXPECT_EQ(hostsim::HotkeyChar('t', false), 0);
  EXPECT_EQ(hostsim::HotkeyChar('2', true), '2');
  EXPECT_EQ(hostsim::HotkeyChar(KEY_CTRL | 'T', true), 0);
  EXPECT_EQ(hostsim::HotkeyChar(KEY_SPACE, true), 0);
  EXPECT_EQ(hostsim::HotkeyChar(KEY_ALT | KEY_F1, true), 0);
  EXPECT_EQ(hostsim::HotkeyChar(KEY_ENTER, true), 0);
}

TEST(Hotkeys, MenusGetTheirOwnThenTheFirstFreeLetterOrDigit) {
  const std::vector<std::string> texts = {"1. Write a file list", "2. &Rename files", "&1 again",
                                          "Rename", "-- !", "11"};
  auto hot = hostsim::AssignMenuHotkeys(texts, true, false, false);
  // "&1 again" keeps its own 1, so the first item takes W; "Rename" finds R
  // taken and takes e; "-- !" has nothing to take; "11" nothing free.
  std::vector<std::string> shown;
  std::vector<int> positions;
  for (const auto& h : hot) {
    shown.push_back(h.shown);
    positions.push_back(h.position);
  }
  EXPECT_EQ(shown, (std::vector<std::string>{"1. Write a file list", "2. Rename files", "1 again",
                                             "Rename", "-- !", "11"}));
  EXPECT_EQ(positions, (std::vector<int>{3, 3, 0, 1, -1, -1}));

  // The operations menu: each item its digit.
  hot = hostsim::AssignMenuHotkeys({"1. Show", "2. Write", "3. Rename", "4. Create"}, true, false, false);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(hot[i].position, 0) << i;
  // From the bottom up, the last item is served first.
  hot = hostsim::AssignMenuHotkeys({"Alpha", "Apple"}, true, true, false);
  EXPECT_EQ(hot[1].position, 0);
  EXPECT_EQ(hot[0].position, 1);
  // Without automatic hot keys only the marked ones; shown ampersands mark none.
  hot = hostsim::AssignMenuHotkeys({"Alpha", "&Beta"}, false, false, false);
  EXPECT_EQ(hot[0].position, -1);
  EXPECT_EQ(hot[1].position, 0);
  hot = hostsim::AssignMenuHotkeys({"&Beta"}, true, false, true);
  EXPECT_EQ(hot[0].shown, "&Beta");
  EXPECT_EQ(hot[0].position, 1);
}

TEST(Hotkeys, InUtf8ALetterOfAnyScriptIsAHotKeyByItsPlaceInBytes) {
  hostsim_test::Utf8HostText utf8;
  if (!utf8.active()) GTEST_SKIP() << "the host's text is OEM here";
  EXPECT_EQ(hostsim::HotkeyOf("&Да"), U'Д');
  EXPECT_EQ(hostsim::HotkeyOf("Со&хранить"), U'Х');
  // Alt with a letter beyond ASCII comes as the key of that character.
  EXPECT_EQ(hostsim::HotkeyChar(KEY_ALT | hostsim::CharKey(U'д'), false), U'Д');
  EXPECT_EQ(hostsim::HotkeyChar(hostsim::CharKey(U'х'), true), U'Х');
  EXPECT_EQ(hostsim::HotkeyChar(hostsim::CharKey(U'х'), false), 0u);
  // Each item takes the first free letter; the place is the letter's first byte.
  auto hot = hostsim::AssignMenuHotkeys({"Жук", "жаба", "Ёж", "東京"}, true, false, false);
  ASSERT_EQ(hot.size(), 4u);
  EXPECT_EQ(hot[0].position, 0);  // Ж
  EXPECT_EQ(hot[1].position, 2);  // а: ж is taken
  EXPECT_EQ(hot[2].position, 0);  // Ё
  EXPECT_EQ(hot[3].position, 0);  // 東, a letter without a case
}

}  // namespace
