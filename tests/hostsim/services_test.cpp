// Messages, menus, input boxes, the editor, the screen and GetMsg, answered
// by the script driver; and what the script parser refuses.
#include <gtest/gtest.h>

#include <cstring>

#include "hostsim/codepage.h"
#include "hostsim/keys.h"
#include "support.h"

namespace {

using hostsim_test::ScriptedHost;

int AllInOne(ScriptedHost& h, DWORD flags, const char* text) {
  return h.services.psi.Message(0, flags | FMSG_ALLINONE, nullptr,
                                reinterpret_cast<const char* const*>(text), 0, 0);
}

TEST(Message, AllInOneSplitsLinesAndUsesTheHostsButtons) {
  ScriptedHost h("message expect \"Cannot read\" expect \"a.mp3\" button 1\n");
  int r = AllInOne(h, FMSG_WARNING | FMSG_MB_YESNOCANCEL, "Warning\nCannot read\nC:\\a.mp3");
  EXPECT_EQ(r, 1);
  EXPECT_TRUE(h.driver->Finished());
  std::string t = h.Transcript();
  EXPECT_NE(t.find("message WARNING ALLINONE:\n  title \"Warning\"\n  \"Cannot read\"\n"
                   "  \"C:\\a.mp3\"\n  buttons [Yes] [No] [Cancel]\n  -> button 1 [No]\n"),
            std::string::npos)
      << t;
}

TEST(Message, ItemsFormTakesItsLastItemsAsButtons) {
  ScriptedHost h("message button 0\nmessage esc\n");
  const char* items[] = {"Delete", "Delete the scheme", "Rock", "Delete", "Cancel"};
  EXPECT_EQ(h.services.psi.Message(0, 0, nullptr, items, 5, 2), 0);
  EXPECT_EQ(h.services.psi.Message(0, 0, nullptr, items, 5, 2), -1);
  EXPECT_NE(h.Transcript().find("buttons [Delete] [Cancel]"), std::string::npos);
  EXPECT_FALSE(h.host.failed());
}

TEST(Message, ErrorTypeAddsTheSystemsTextOfTheLastError) {
  ScriptedHost h("message button 0\n");
  sys::SetLastError(sys::kErrorFileNotFound);
  AllInOne(h, FMSG_WARNING | FMSG_ERRORTYPE | FMSG_MB_OK, "Error\nCannot open");
  // The transcript is UTF-8; the system's text is OEM (Russian under Wine).
  std::string expected = "  title \"Error\"\n  " + hostsim::OemToUtf8(hostsim::Quote(sys::ErrorText(2))) +
                         "\n  \"Cannot open\"\n";
  EXPECT_NE(h.Transcript().find(expected), std::string::npos) << h.Transcript();
}

TEST(Message, WithoutButtonsItReturnsAtOnceAndTheBoxStays) {
  ScriptedHost h("");  // no step is used
  HANDLE saved = h.services.psi.SaveScreen(0, 0, -1, -1);
  AllInOne(h, 0, "\n\xB0\xB0\xB0");
  EXPECT_EQ(h.host.boxes().size(), 1u);
  EXPECT_FALSE(h.host.failed());
  h.services.psi.RestoreScreen(saved);
  EXPECT_TRUE(h.host.boxes().empty());
  EXPECT_EQ(h.host.savedScreens(), 0u);
  // A handle cannot be restored twice.
  h.services.psi.RestoreScreen(saved);
  EXPECT_TRUE(h.host.failed());
}

struct MessageMismatch {
  const char* script;
  const char* failure;
};

TEST(Message, MismatchesNameWhatAppearedAndWhatWasExpected) {
  const MessageMismatch cases[] = {
      {"message button 3\n", "has no button 3 (it has 2)"},
      {"message expect \"cannot be read\" button 0\n",
       "line 1: the message shows \"Warning / File is not MPEG\", the script expects \"cannot be read\""},
      {"menu choose 1\n",
       "line 1: the script expects `menu choose 1`, but the message \"Warning / File is not MPEG\" appeared"},
      {"", "the message \"Warning / File is not MPEG\" appeared, but the script has no more lines"},
  };
  for (const auto& c : cases) {
    ScriptedHost h(c.script);
    EXPECT_EQ(AllInOne(h, FMSG_MB_YESNO, "Warning\nFile is not MPEG"), -1) << c.script;
    ASSERT_TRUE(h.host.failed()) << c.script;
    EXPECT_NE(h.host.failure().find(c.failure), std::string::npos) << h.host.failure();
    // After a failure everything is answered with Esc, without the script.
    EXPECT_EQ(AllInOne(h, FMSG_MB_YESNO, "Again\nasked"), -1);
  }
}

struct MenuFixture {
  FarMenuItem items[4];
  MenuFixture() {
    std::memset(items, 0, sizeof(items));
    const char* texts[] = {"Rock", "Pop", "", "Jazz"};
    for (int i = 0; i < 4; ++i) std::strcpy(items[i].Text, texts[i]);
    items[2].Separator = 1;
  }
};

const int kBreakKeys[] = {0x75, 0x2E, 0x10026, 0x10028, 0};  // F6 Del CtrlUp CtrlDown

int ShowMenu(ScriptedHost& h, const FarMenuItem* items, int n, int* breakCode) {
  return h.services.psi.Menu(0, -1, -1, 0, FMENU_WRAPMODE | FMENU_AUTOHIGHLIGHT, "Schemes",
                             "Enter, F6, Del, Esc", "ID3Scheme", kBreakKeys, breakCode, items, n);
}

TEST(Menu, ChooseBreakKeysAndEsc) {
  MenuFixture m;
  ScriptedHost h(
      "menu \"Schemes\" choose 3\n"
      "menu \"ID3Scheme\" break Del on 1\n"
      "menu break Ctrl-Down\n"
      "menu esc\n");
  int code = 7;
  EXPECT_EQ(ShowMenu(h, m.items, 4, &code), 3);
  EXPECT_EQ(code, -1);
  EXPECT_EQ(ShowMenu(h, m.items, 4, &code), 1);
  EXPECT_EQ(code, 1);
  EXPECT_EQ(ShowMenu(h, m.items, 4, &code), 0);  // the highlighted item
  EXPECT_EQ(code, 3);
  EXPECT_EQ(ShowMenu(h, m.items, 4, &code), -1);
  EXPECT_EQ(code, -1);
  EXPECT_FALSE(h.host.failed()) << h.host.failure();
  EXPECT_NE(h.Transcript().find("  break keys: F6 Del CtrlUp CtrlDown\n"), std::string::npos);
}

TEST(Menu, PostedKeysMoveTheHighlightAndCanCloseIt) {
  MenuFixture m;
  ScriptedHost h("menu enter\nmenu break F6\n");
  DWORD downs[] = {KEY_DOWN, KEY_DOWN};
  KeySequence keys{KSFLAGS_DISABLEOUTPUT, 2, downs};
  ASSERT_EQ(h.services.psi.AdvControl(0, ACTL_POSTKEYSEQUENCE, &keys), 1);
  int code = 0;
  EXPECT_EQ(ShowMenu(h, m.items, 4, &code), 3);  // the separator is skipped
  DWORD wrap[] = {KEY_DOWN, KEY_DOWN, KEY_DOWN, KEY_DOWN};  // wraps around
  keys = KeySequence{0, 4, wrap};
  h.services.psi.AdvControl(0, ACTL_POSTKEYSEQUENCE, &keys);
  EXPECT_EQ(ShowMenu(h, m.items, 4, &code), 1);
  EXPECT_EQ(code, 0);
  // Keys that close the menu need no script line.
  DWORD enter[] = {KEY_DOWN, KEY_ENTER};
  keys = KeySequence{0, 2, enter};
  h.services.psi.AdvControl(0, ACTL_POSTKEYSEQUENCE, &keys);
  EXPECT_EQ(ShowMenu(h, m.items, 4, &code), 1);
  EXPECT_TRUE(h.driver->Finished());
  EXPECT_FALSE(h.host.failed()) << h.host.failure();
}

TEST(Menu, BreakKeyOnAnEmptyMenuGivesNoItemButItsCode) {
  ScriptedHost h("menu break Del\n");
  int code = -1;
  EXPECT_EQ(ShowMenu(h, nullptr, 0, &code), -1);
  EXPECT_EQ(code, 1);
  EXPECT_FALSE(h.host.failed());
}

TEST(Menu, ImpossibleAnswersAreFailures) {
  MenuFixture m;
  const MessageMismatch cases[] = {
      {"menu choose 2\n", "item 2 of menu \"Schemes\" is a separator or disabled"},
      {"menu choose 4\n", "menu \"Schemes\" has no item 4 (it has 4)"},
      {"menu break F2\n", "menu \"Schemes\" has no break key F2"},
      {"menu \"Modes\" choose 0\n",
       "line 1: the script expects `menu \"Modes\" choose 0`, but the menu \"Schemes\" (help \"ID3Scheme\") appeared"},
  };
  for (const auto& c : cases) {
    ScriptedHost h(c.script);
    int code = 0;
    EXPECT_EQ(ShowMenu(h, m.items, 4, &code), -1) << c.script;
    EXPECT_NE(h.host.failure().find(c.failure), std::string::npos) << h.host.failure();
  }
}

TEST(InputBox, EmptyTextIsRefusedUnlessAllowed) {
  ScriptedHost h(
      "inputbox expect \"Name\" \"\"\n"
      "inputbox \"Scheme 1\"\n"
      "inputbox \"\"\n"
      "inputbox \"Scheme 1\"\n"
      "inputbox cancel\n");
  char dest[128] = "untouched";
  const DWORD flags = FIB_NOUSELASTHISTORY | FIB_BUTTONS | FIB_NOAMPERSAND;
  EXPECT_EQ(h.services.psi.InputBox("Save scheme", "Name", "ID3_Scheme", "", dest, 128,
                                    "Id3NameOfScheme", flags),
            1);
  EXPECT_STREQ(dest, "Scheme 1");
  EXPECT_NE(h.Transcript().find("  empty input refused: the box stays open\n"), std::string::npos);
  EXPECT_EQ(h.services.psi.InputBox("T", "P", nullptr, "", dest, 128, nullptr, FIB_ENABLEEMPTY), 1);
  EXPECT_STREQ(dest, "");
  char small[4] = "";
  EXPECT_EQ(h.services.psi.InputBox("T", "P", nullptr, "", small, 4, nullptr, 0), 1);
  EXPECT_STREQ(small, "Sch");  // cut to what the destination holds
  std::strcpy(dest, "kept");
  EXPECT_EQ(h.services.psi.InputBox("T", "P", nullptr, "", dest, 128, nullptr, 0), 0);
  EXPECT_STREQ(dest, "kept");
  EXPECT_TRUE(h.driver->Finished());
  EXPECT_FALSE(h.host.failed()) << h.host.failure();
}

TEST(Editor, SavingWritesTheFileAndLeavingDeletesIt) {
  hostsim_test::TempFolder dir;
  dir.File("comment.txt", "old comment");
  std::string file = dir / "comment.txt";
  ScriptedHost h("editor-content \"new\\r\\ncomment\"\neditor-unchanged\n");
  const DWORD flags = EF_DELETEONLYFILEONCLOSE | EF_DISABLEHISTORY;
  EXPECT_EQ(h.services.psi.Editor(file.c_str(), "ID3_Comment", 0, 0, -1, -1, flags, 0, 0),
            EEC_MODIFIED);
  std::string content;
  ASSERT_TRUE(hostsim::ReadWholeFile(file, &content));
  EXPECT_EQ(content, "new\r\ncomment");
  EXPECT_NE(h.Transcript().find("editor \"ID3_Comment\" flags 0x208: \"old comment\""),
            std::string::npos);
  EXPECT_EQ(h.services.psi.Editor(file.c_str(), "ID3_Comment", 0, 0, -1, -1, flags, 0, 0),
            EEC_NOT_MODIFIED);
  EXPECT_FALSE(sys::Exists(file));  // left without saving: the host deletes it
  EXPECT_EQ(h.services.psi.Editor(file.c_str(), "ID3_Comment", 0, 0, -1, -1, flags, 0, 0),
            EEC_OPEN_ERROR);
  EXPECT_FALSE(h.host.failed()) << h.host.failure();
}

TEST(GetMsg, TextsByNumberAndAMissingOneIsAFailure) {
  ScriptedHost h;
  h.host.SetMessages(0, "TagwrightEng.lng", {"Tagwright", "Show file information"});
  EXPECT_STREQ(h.services.psi.GetMsg(0, 1), "Show file information");
  EXPECT_STREQ(h.services.psi.GetMsg(0, 2), "");
  EXPECT_NE(h.host.failure().find("GetMsg: message 2 not found in TagwrightEng.lng"),
            std::string::npos)
      << h.host.failure();
}

TEST(AdvControl, VersionAndBrokenKeySequences) {
  ScriptedHost h;
  DWORD version = 0;
  EXPECT_EQ(static_cast<DWORD>(h.services.psi.AdvControl(0, ACTL_GETFARVERSION, &version)),
            0x08270146u);
  EXPECT_EQ(version, 0x08270146u);
  KeySequence broken{0, 3, nullptr};
  EXPECT_EQ(h.services.psi.AdvControl(0, ACTL_POSTKEYSEQUENCE, &broken), 0);
  EXPECT_TRUE(h.host.failed());
}

struct BadLine {
  const char* line;
  const char* error;
};

TEST(Script, LinesItCannotReadAreReportedWithTheirNumber) {
  const BadLine cases[] = {
      {"bogus", "unknown command \"bogus\""},
      {"menu choose x", "\"x\" is no number"},
      {"menu", "choose N, enter, esc or break KEY"},
      {"menu break NoSuchKey", "break needs a key name"},
      {"dialog \"X\" frobnicate 1", "unknown dialog action \"frobnicate\""},
      {"dialog \"X\" key 1 NotAKey", "unknown key \"NotAKey\""},
      {"dialog \"X\" set 2", "a value is missing"},
      {"dialog \"X\" press 2 extra", "unexpected \"extra\""},
      {"message button", "the button number is missing"},
      {"panel", "the folder is missing"},
      {"panel music select", "select without names"},
      {"inputbox \"open", "a quoted text is not closed"},
      {"invoke nothing", "invoke what"},
  };
  for (const auto& c : cases) {
    std::vector<hostsim::Step> steps;
    std::string error;
    std::string script = std::string("# comment\n\n") + c.line + "\n";
    EXPECT_FALSE(hostsim::ParseScript(script, &steps, &error)) << c.line;
    EXPECT_NE(error.find("line 3: "), std::string::npos) << error;
    EXPECT_NE(error.find(c.error), std::string::npos) << c.line << " -> " << error;
  }
}

TEST(Script, AnInteractionWithoutAnInvocationFails) {
  ScriptedHost h("echo first\nmenu choose 1\n");
  EXPECT_FALSE(h.driver->Run());
  EXPECT_NE(h.host.failure().find("line 2: the script expects `menu choose 1`, but nothing is on "
                                  "screen: no invocation is running"),
            std::string::npos)
      << h.host.failure();
  EXPECT_NE(h.Transcript().find("first\n"), std::string::npos);
}

}  // namespace

namespace {

struct KeyCase {
  const char* name;
  DWORD key;
  int breakKey;  // 0: no menu break key for it
};

TEST(Keys, NamesHostCodesAndBreakKeys) {
  const KeyCase cases[] = {
      {"Down", 0x128, 0x28},           {"CtrlUp", 0x1000126, 0x10026},
      {"Ctrl-Down", 0x1000128, 0x10028}, {"ctrl+down", 0x1000128, 0x10028},
      {"Del", 0x12E, 0x2E},            {"F6", 0x175, 0x75},
      {"ShiftF6", 0x4000175, 0x40075}, {"AltF12", 0x200017B, 0x2007B},
      {"ShiftTab", 0x4000009, 0x40009}, {"Enter", 0x0D, 0x0D},
      {"CtrlA", 0x1000041, 0x10041},   {"Ctrla", 0x1000041, 0x10041},
      {"r", 'r', 0x52},                {"0x128", 0x128, 0x28},
  };
  for (const auto& c : cases) {
    DWORD key = 0;
    ASSERT_TRUE(hostsim::ParseKeyName(c.name, &key)) << c.name;
    EXPECT_EQ(key, c.key) << c.name;
    int breakKey = 0;
    ASSERT_TRUE(hostsim::KeyToBreakKey(key, &breakKey)) << c.name;
    EXPECT_EQ(breakKey, c.breakKey) << c.name;
    // The printed name reads back as the same key.
    DWORD again = 0;
    EXPECT_TRUE(hostsim::ParseKeyName(hostsim::KeyName(key), &again)) << hostsim::KeyName(key);
    EXPECT_EQ(again, key) << hostsim::KeyName(key);
  }
  EXPECT_EQ(hostsim::BreakKeyName(0x10026), "CtrlUp");
  EXPECT_EQ(hostsim::BreakKeyName(0x2E), "Del");
  DWORD key;
  for (const char* bad : {"Ctrl", "F25", "Nope", "", "0x"}) {
    EXPECT_FALSE(hostsim::ParseKeyName(bad, &key)) << bad;
  }
  hostsim_test::Services s;
  EXPECT_EQ(s.fsf.FarNameToKey("CtrlDown"), 0x1000128);
  EXPECT_EQ(s.fsf.FarNameToKey("Nope"), -1);
  char name[16];
  ASSERT_TRUE(s.fsf.FarKeyToName(0x1000126, name, sizeof(name)));
  EXPECT_STREQ(name, "CtrlUp");
}

}  // namespace
