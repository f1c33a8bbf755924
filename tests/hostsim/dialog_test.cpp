// The dialog engine: the notifications a recording dialog procedure receives
// for each user action, the DM_ messages it sends back, and the items the
// caller finds after the dialog.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "hostsim/dialog_engine.h"
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

// What the procedure saw and how it answers; reset for every test.
struct Recorder {
  std::vector<Event> events;
  std::vector<std::string> editTexts;  // the item text DN_EDITCHANGE carried
  int keepFocusOn = -1;                // DN_KILLFOCUS of this item answers its own number ...
  int keepFocusTimes = 0;              // ... this many times
  int refuseClose = 0;                 // DN_CLOSE answers 0 this many times
  DWORD consumeKey = 0;                // DN_KEY of this key answers 1
  int setFocusOnInit = -1;
  std::function<void(HANDLE)> onApply;  // run on DN_BTNCLICK of item kApply
};

Recorder* g_rec = nullptr;

enum Item {
  kBox, kEdit, kCheck, kRadio1, kRadio2, kCombo, kMasked, kApply, kOk, kCancel, kReadOnly,
  kDisabled, kCount
};

long WINAPI RecordingProc(HANDLE dlg, int msg, int param1, long param2) {
  hostsim_test::Services s;
  // Drawing and colour notifications are not recorded (the stand-in sends none).
  g_rec->events.push_back({msg, param1, msg == DN_EDITCHANGE ? 0 : param2});
  switch (msg) {
    case DN_INITDIALOG:
      if (g_rec->setFocusOnInit >= 0) s.psi.SendDlgMessage(dlg, DM_SETFOCUS, g_rec->setFocusOnInit, 0);
      break;
    case DN_EDITCHANGE:
      g_rec->editTexts.push_back(reinterpret_cast<const FarDialogItem*>(param2)->Data);
      break;
    case DN_KILLFOCUS:
      if (param1 == g_rec->keepFocusOn && g_rec->keepFocusTimes > 0) {
        --g_rec->keepFocusTimes;
        return param1;
      }
      break;
    case DN_CLOSE:
      if (g_rec->refuseClose > 0) {
        --g_rec->refuseClose;
        return 0;
      }
      break;
    case DN_KEY:
      if (static_cast<DWORD>(param2) == g_rec->consumeKey) return 1;
      break;
    case DN_BTNCLICK:
      if (param1 == kApply && g_rec->onApply) g_rec->onApply(dlg);
      break;
    default:
      break;
  }
  return s.psi.DefDlgProc(dlg, msg, param1, param2);
}

class DialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_rec = &rec;
    std::memset(items, 0, sizeof(items));
    auto set = [&](int i, int type, const char* text, DWORD flags = 0) {
      items[i].Type = type;
      items[i].Flags = flags;
      std::strcpy(items[i].Data, text);
    };
    set(kBox, DI_DOUBLEBOX, "Test dialog");
    set(kEdit, DI_EDIT, "abc", DIF_HISTORY | DIF_SELECTONENTRY);
    items[kEdit].History = "TestHistory";
    set(kCheck, DI_CHECKBOX, "Check");
    set(kRadio1, DI_RADIOBUTTON, "One", DIF_GROUP);
    items[kRadio1].Selected = 1;
    set(kRadio2, DI_RADIOBUTTON, "Two");
    set(kCombo, DI_COMBOBOX, "Windows text", DIF_DROPDOWNLIST);
    const char* entries[] = {"Dos text", "Windows text", "", "KOI8-R"};
    for (int k = 0; k < 4; ++k) std::strcpy(listItems[k].Text, entries[k]);
    listItems[2].Flags = LIF_SEPARATOR;
    list = FarList{4, listItems};
    items[kCombo].ListItems = &list;
    set(kMasked, DI_FIXEDIT, "", DIF_MASKEDIT);
    items[kMasked].Mask = "#####";
    set(kApply, DI_BUTTON, "Apply", DIF_BTNNOCLOSE);
    set(kOk, DI_BUTTON, "OK");
    items[kOk].DefaultButton = 1;
    set(kCancel, DI_BUTTON, "Cancel");
    set(kReadOnly, DI_EDIT, "fixed", DIF_READONLY);
    set(kDisabled, DI_CHECKBOX, "Off", DIF_DISABLE);
  }
  void TearDown() override { g_rec = nullptr; }

  // The list is given again before every run, as a closed dialog leaves its
  // chosen position where the pointer was.
  int Run(ScriptedHost& h, long param = 0x1234) {
    items[kCombo].ListItems = &list;
    return h.services.psi.DialogEx(0, -1, -1, 50, 16, "TestTopic", items, kCount, 0, 0,
                                   RecordingProc, param);
  }

  Recorder rec;
  FarDialogItem items[kCount];
  FarListItem listItems[4] = {};
  FarList list{};
};

TEST_F(DialogTest, NotificationsForCheckRadioAndButton) {
  ScriptedHost h(
      "dialog \"TestTopic\" check 2\n"
      "dialog \"Test dialog\" choose 4\n"
      "dialog * press 8\n");
  rec.setFocusOnInit = kMasked;
  EXPECT_EQ(Run(h), kOk);
  const std::vector<Event> expected = {
      {DN_INITDIALOG, kEdit, 0x1234},  // the first focusable item, the DialogEx parameter
      {DN_GOTFOCUS, kMasked, 0},       // DM_SETFOCUS during DN_INITDIALOG: no notifications
      {DN_KILLFOCUS, kMasked, 0}, {DN_GOTFOCUS, kCheck, 0}, {DN_BTNCLICK, kCheck, 1},
      {DN_KILLFOCUS, kCheck, 0},  {DN_GOTFOCUS, kRadio2, 0}, {DN_BTNCLICK, kRadio2, kRadio1},
      {DN_KILLFOCUS, kRadio2, 0}, {DN_GOTFOCUS, kOk, 0},     {DN_BTNCLICK, kOk, 0},
      {DN_CLOSE, kOk, 0},
  };
  EXPECT_EQ(rec.events, expected);
  // The caller's items hold the final states, as the host leaves them.
  EXPECT_EQ(items[kCheck].Selected, 1);
  EXPECT_EQ(items[kRadio1].Selected, 0);
  EXPECT_EQ(items[kRadio2].Selected, 1);
  EXPECT_EQ(items[kOk].Focus, 1);
  EXPECT_EQ(items[kEdit].Focus, 0);
  EXPECT_STREQ(items[kEdit].History, "TestHistory");  // the shared word kept for an edit
  // A list's chosen position takes the place of its pointer, as FAR leaves it
  // ("Windows text" is entry 1).
  EXPECT_EQ(items[kCombo].ListPos, 1);
  std::string t = h.Transcript();
  EXPECT_NE(t.find("dialog \"TestTopic\" opened: 50x16, 12 items\n"), std::string::npos) << t;
  EXPECT_NE(t.find("  [5] COMBOBOX \"Windows text\" drop-down list[4] \"Dos text\" | \"Windows "
                   "text\" | --- | \"KOI8-R\" at 1\n"),
            std::string::npos)
      << t;
  EXPECT_NE(t.find("dialog \"TestTopic\" closed by item 8 \"OK\"\n  [2] CHECKBOX \"Check\" on\n"),
            std::string::npos)
      << t;
}

TEST_F(DialogTest, TextChangesSendEditChangeWithTheNewText) {
  ScriptedHost h(
      "dialog * set 1 \"new text\"\n"
      "dialog * set 5 \"koi8-r\"\n"
      "dialog * set 6 \"123\"\n"
      "dialog * type 1 \"xy\"\n"
      "dialog * key 1 BS Home Del\n"
      "dialog * esc\n");
  EXPECT_EQ(Run(h), -1);
  // Text set as a whole; a drop-down list takes an entry's text; typing
  // replaces the text selected on entry, then BS, Home and Del edit it.
  EXPECT_EQ(rec.editTexts, (std::vector<std::string>{"new text", "KOI8-R", "123", "x", "xy", "x", ""}));
  EXPECT_STREQ(items[kEdit].Data, "");
  EXPECT_STREQ(items[kCombo].Data, "KOI8-R");
  EXPECT_STREQ(items[kMasked].Data, "123");
  EXPECT_EQ(std::count(rec.events.begin(), rec.events.end(), Event{DN_LISTCHANGE, kCombo, 3}), 1);
  EXPECT_EQ(rec.events.back(), (Event{DN_CLOSE, -1, 0}));
  EXPECT_FALSE(h.host.failed()) << h.host.failure();
}

TEST_F(DialogTest, KeysTheProcedureHandlesDoNothingElse) {
  ScriptedHost h("dialog * type 1 \"zq\"\ndialog * enter\n");
  rec.consumeKey = 'z';
  items[kEdit].Flags &= ~static_cast<DWORD>(DIF_SELECTONENTRY);
  EXPECT_EQ(Run(h), kOk);  // Enter in an edit field: the default button closes it
  EXPECT_STREQ(items[kEdit].Data, "abcq");
  EXPECT_EQ(std::count(rec.events.begin(), rec.events.end(), Event{DN_BTNCLICK, kOk, 0}), 0);
}

struct ImpossibleAction {
  const char* line;
  const char* failure;
};

TEST_F(DialogTest, ActionsTheDialogDoesNotAllowAreFailures) {
  const ImpossibleAction cases[] = {
      {"dialog * set 10 \"x\"", "item 10 is read-only"},
      {"dialog * check 11", "item 11 is disabled"},
      {"dialog * set 6 \"12a\"", "\"12a\" does not fit the mask \"#####\" of item 6"},
      {"dialog * set 6 \"123456\"", "item 6 takes at most 5 characters"},
      {"dialog * set 5 \"Mac text\"", "item 5 is a drop-down list without the entry \"Mac text\""},
      {"dialog * select 5 2", "entry 2 of item 5 cannot be chosen"},
      {"dialog * choose 2", "item 2 is a CHECKBOX, not a radio button"},
      {"dialog * press 1", "item 1 is a EDIT, not a button"},
      {"dialog * check 12", "the dialog has no item 12 (it has 12)"},
      {"dialog * expect 1 \"xyz\"", "item 1 holds \"abc\", the script expects \"xyz\""},
      {"dialog * expect 2 checked", "item 2 is not checked (state 0)"},
      {"dialog \"Other\" press 8", "the script expects `dialog \"Other\" press 8`, but the dialog "
                                   "\"TestTopic\" is open"},
      {"message button 0", "but the dialog \"TestTopic\" is open"},
  };
  for (const auto& c : cases) {
    rec = Recorder();
    ScriptedHost h(std::string(c.line) + "\n");
    EXPECT_EQ(Run(h), -1) << c.line;  // closed with Esc after the failure
    EXPECT_NE(h.host.failure().find(c.failure), std::string::npos)
        << c.line << " -> " << h.host.failure();
  }
}

TEST_F(DialogTest, ButtonThatDoesNotCloseAndMessagesFromTheProcedure) {
  ScriptedHost h("dialog * press 7\ndialog * expect 1 \"applied\"\ndialog * check 11\ndialog * press 9\n");
  rec.onApply = [](HANDLE dlg) {
    hostsim_test::Services s;
    auto send = [&](int msg, int p1, long p2) { return s.psi.SendDlgMessage(dlg, msg, p1, p2); };
    EXPECT_EQ(send(DM_ENABLE, kDisabled, -1), 0);
    EXPECT_EQ(send(DM_ENABLE, kDisabled, 1), 0);
    EXPECT_EQ(send(DM_ENABLE, kDisabled, -1), 1);
    EXPECT_EQ(send(DM_SETTEXTPTR, kEdit, reinterpret_cast<long>("applied")), 7);
    EXPECT_EQ(send(DM_GETTEXTLENGTH, kEdit, 0), 7);
    EXPECT_EQ(send(DM_GETDLGDATA, 0, 0), 0x1234);
    EXPECT_EQ(send(DM_GETFOCUS, 0, 0), kApply);
    // Radio buttons: DM_SETCHECK answers the item that was on and turns it off.
    EXPECT_EQ(send(DM_SETCHECK, kRadio2, BSTATE_CHECKED), kRadio1);
    EXPECT_EQ(send(DM_GETCHECK, kRadio1, 0), 0);
    EXPECT_EQ(send(DM_SETCHECK, kCheck, BSTATE_TOGGLE), 0);
    EXPECT_EQ(send(DM_GETCHECK, kCheck, 0), 1);
    // An item read, changed and written back.
    FarDialogItem item;
    EXPECT_EQ(send(DM_GETDLGITEM, kCombo, reinterpret_cast<long>(&item)), 1);
    EXPECT_STREQ(item.Data, "Windows text");
    std::strcpy(item.Data, "Dos text");
    EXPECT_EQ(send(DM_SETDLGITEM, kCombo, reinterpret_cast<long>(&item)), 1);
    EXPECT_EQ(send(DM_LISTGETCURPOS, kCombo, 0), 0);
    EXPECT_EQ(send(DM_LISTADDSTR, kCombo, reinterpret_cast<long>("ISO-8859-5")), 4);
    FarListInfo info;
    EXPECT_EQ(send(DM_LISTINFO, kCombo, reinterpret_cast<long>(&info)), 1);
    EXPECT_EQ(info.ItemsNumber, 5);
    // A small buffer gets what fits, terminated.
    char small[4];
    FarDialogItemData data{sizeof(small), small};
    EXPECT_EQ(send(DM_GETTEXT, kEdit, reinterpret_cast<long>(&data)), 3);
    EXPECT_STREQ(small, "app");
    FarCoord cursor{2, 0};
    EXPECT_EQ(send(DM_SETCURSORPOS, kEdit, reinterpret_cast<long>(&cursor)), 1);
    EXPECT_EQ(send(DM_USER + 5, 1, 2), 0);  // the procedure's own message reaches it
    EXPECT_EQ(send(DM_GETCHECK, 99, 0), 0);  // no such item
  };
  EXPECT_EQ(Run(h), kCancel);
  EXPECT_EQ(std::count(rec.events.begin(), rec.events.end(), Event{DN_CLOSE, kApply, 0}), 0);
  EXPECT_EQ(std::count(rec.events.begin(), rec.events.end(), Event{DM_USER + 5, 1, 2}), 1);
  // Changes made with DM_ messages send no DN_EDITCHANGE.
  EXPECT_TRUE(rec.editTexts.empty());
  EXPECT_EQ(items[kDisabled].Flags & DIF_DISABLE, 0u);
  EXPECT_EQ(items[kDisabled].Selected, 1);
  EXPECT_STREQ(items[kCombo].Data, "Dos text");
  EXPECT_FALSE(h.host.failed()) << h.host.failure();
}

TEST_F(DialogTest, TheProcedureCanKeepTheFocusAndTheDialogOpen) {
  ScriptedHost h(
      "dialog * set 1 \"bad\"\n"
      "dialog * press 8\n"  // the focus stays on item 1: nothing pressed
      "dialog * expect 1 focused\n"
      "dialog * press 8\n"  // pressed, but DN_CLOSE keeps the dialog open
      "dialog * press 8\n");
  rec.keepFocusOn = kEdit;
  rec.keepFocusTimes = 1;
  rec.refuseClose = 1;
  EXPECT_EQ(Run(h), kOk);
  EXPECT_EQ(std::count(rec.events.begin(), rec.events.end(), Event{DN_BTNCLICK, kOk, 0}), 2);
  EXPECT_EQ(std::count(rec.events.begin(), rec.events.end(), Event{DN_CLOSE, kOk, 0}), 2);
  std::string t = h.Transcript();
  EXPECT_NE(t.find("the focus stays on item 1 (DN_KILLFOCUS of item 1 answered 1)"), std::string::npos) << t;
  EXPECT_NE(t.find("DN_CLOSE (8) kept the dialog open"), std::string::npos) << t;
  EXPECT_STREQ(items[kEdit].Data, "bad");
  EXPECT_FALSE(h.host.failed()) << h.host.failure();
}

TEST_F(DialogTest, ANestedDialogTakesItsOwnLines) {
  ScriptedHost h(
      "dialog \"TestTopic\" press 7\n"
      "dialog \"Inner\" set 1 \"typed inside\"\n"
      "dialog \"Inner\" press 2\n"
      "dialog \"TestTopic\" press 9\n");
  FarDialogItem inner[3];
  rec.onApply = [&inner](HANDLE) {
    hostsim_test::Services s;
    std::memset(inner, 0, sizeof(inner));
    inner[0].Type = DI_DOUBLEBOX;
    std::strcpy(inner[0].Data, "Inner");
    inner[1].Type = DI_EDIT;
    inner[2].Type = DI_BUTTON;
    std::strcpy(inner[2].Data, "Close");
    EXPECT_EQ(s.psi.Dialog(0, -1, -1, 30, 6, nullptr, inner, 3), 2);
  };
  EXPECT_EQ(Run(h), kCancel);
  EXPECT_STREQ(inner[1].Data, "typed inside");
  EXPECT_TRUE(h.driver->Finished());
  EXPECT_FALSE(h.host.failed()) << h.host.failure();
  std::string t = h.Transcript();
  size_t inside = t.find("dialog \"Inner\" opened: 30x6, 3 items, no dialog procedure");
  size_t outerClosed = t.find("dialog \"TestTopic\" closed by item 9");
  ASSERT_NE(inside, std::string::npos) << t;
  EXPECT_LT(inside, outerClosed);
}

// ---------------------------------------------------------------- a host that speaks UTF-8

TEST_F(DialogTest, InUtf8TheCursorKeysAndEditsGoByCharacters) {
  hostsim_test::Utf8HostText utf8;
  if (!utf8.active()) GTEST_SKIP() << "the host's text is OEM here";
  std::strcpy(items[kEdit].Data, "Привет");
  items[kEdit].Flags &= ~static_cast<DWORD>(DIF_SELECTONENTRY);
  ScriptedHost h(
      "dialog * expect 1 cursor 6\n"
      "dialog * key 1 Left Left BS\n"  // П р и в|е т: the в goes
      "dialog * expect 1 cursor 3\n"
      "dialog * type 1 \"ш東\"\n"
      "dialog * key 1 Del\n"
      "dialog * expect 1 cursor 5\n"
      "dialog * key 1 Home Right Del\n"
      "dialog * expect 1 \"Пиш東т\"\n"
      "dialog * esc\n");
  EXPECT_EQ(Run(h), -1);
  EXPECT_FALSE(h.host.failed()) << h.host.failure();
  EXPECT_EQ(rec.editTexts,
            (std::vector<std::string>{"Приет", "Пришет", "Приш東ет", "Приш東т", "Пиш東т"}));
  // The procedure gets each typed character as one key.
  EXPECT_EQ(std::count(rec.events.begin(), rec.events.end(),
                       Event{DN_KEY, kEdit, static_cast<long>(hostsim::kCharKeyBase + 0x448)}),
            1);
  EXPECT_EQ(std::count(rec.events.begin(), rec.events.end(),
                       Event{DN_KEY, kEdit, static_cast<long>(hostsim::kCharKeyBase + 0x6771)}),
            1);
  EXPECT_STREQ(items[kEdit].Data, "Пиш東т");
}

TEST_F(DialogTest, InUtf8AFieldFullOfCyrillicIsCutBetweenLetters) {
  hostsim_test::Utf8HostText utf8;
  if (!utf8.active()) GTEST_SKIP() << "the host's text is OEM here";
  items[kEdit].Flags &= ~static_cast<DWORD>(DIF_SELECTONENTRY);
  std::string letters;
  for (int i = 0; i < 300; ++i) letters += "ж";  // 600 bytes for a field of 511
  std::string fieldText, smallText;
  long smallLength = -1;
  rec.onApply = [&](HANDLE dlg) {
    hostsim_test::Services s;
    auto send = [&](int msg, int p1, long p2) { return s.psi.SendDlgMessage(dlg, msg, p1, p2); };
    EXPECT_EQ(send(DM_SETTEXTPTR, kEdit, reinterpret_cast<long>(letters.c_str())), 510);
    FarDialogItem item;
    ASSERT_EQ(send(DM_GETDLGITEM, kEdit, reinterpret_cast<long>(&item)), 1);
    fieldText = item.Data;
    // A buffer of five bytes takes two letters, not two and a half.
    char small[5];
    FarDialogItemData data{sizeof(small), small};
    smallLength = send(DM_GETTEXT, kEdit, reinterpret_cast<long>(&data));
    smallText = small;
  };
  ScriptedHost h(
      "dialog * press 7\n"
      "dialog * type 1 \"ж\"\n"  // two more bytes do not fit: refused
      "dialog * type 1 \"z\"\n"  // one more does
      "dialog * set 1 \"" +
      letters + "\"\n");
  EXPECT_EQ(Run(h), -1);
  EXPECT_EQ(fieldText, letters.substr(0, 510));
  EXPECT_EQ(smallLength, 4);
  EXPECT_EQ(smallText, "жж");
  EXPECT_NE(h.host.failure().find("item 1 takes at most 511 bytes"), std::string::npos)
      << h.host.failure();
  // What the caller finds: 255 letters and the z, every one whole.
  EXPECT_EQ(std::string(items[kEdit].Data), letters.substr(0, 510) + "z");
}

TEST_F(DialogTest, InUtf8WidthsAndLimitsCountCharacters) {
  hostsim_test::Utf8HostText utf8;
  if (!utf8.active()) GTEST_SKIP() << "the host's text is OEM here";
  rec.onApply = [](HANDLE dlg) {
    hostsim_test::Services s;
    // Four characters, whatever their bytes.
    s.psi.SendDlgMessage(dlg, DM_SETMAXTEXTLENGTH, kEdit, 4);
  };
  items[kEdit].Flags &= ~static_cast<DWORD>(DIF_SELECTONENTRY);
  std::strcpy(items[kEdit].Data, "");
  std::strcpy(items[kMasked].Data, "");
  items[kMasked].Mask = "AA-99";
  ScriptedHost h(
      "dialog * press 7\n"
      "dialog * type 1 \"東京ЖжQ\"\n"
      "dialog * type 6 \"Жя42\"\n"
      "dialog * expect 6 cursor 5\n"
      "dialog * set 6 \"東1-23\"\n");
  EXPECT_EQ(Run(h), -1);
  EXPECT_STREQ(items[kEdit].Data, "東京Жж");
  EXPECT_STREQ(items[kMasked].Data, "Жя-42");  // the mask's literal filled in
  EXPECT_NE(h.host.failure().find("does not fit the mask"), std::string::npos) << h.host.failure();
}

}  // namespace
