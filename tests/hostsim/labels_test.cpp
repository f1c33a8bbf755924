// Dialog items named by their labels in scripts: which item a label names,
// how texts are compared, several items of one label, and the failures.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "hostsim/item_labels.h"
#include "hostsim/script.h"
#include "support.h"

namespace {

using hostsim_test::ScriptedHost;

enum Item {
  kBox, kTitleText, kTitle, kConfirm, kTitleText2, kTitle2, kTitleCheck, kTitleCheckValue,
  kGenreText, kGenre, kRock, kPop, kFree, kSave, kCancel, kCount
};

class Labels : public ::testing::Test {
 protected:
  void SetUp() override {
    std::memset(items, 0, sizeof(items));
    auto set = [&](int i, int type, const char* text, DWORD flags = 0) {
      items[i].Type = type;
      items[i].Flags = flags;
      std::strcpy(items[i].Data, text);
    };
    set(kBox, DI_DOUBLEBOX, "Labels");
    set(kTitleText, DI_TEXT, "&Title:");
    set(kTitle, DI_EDIT, "");
    set(kConfirm, DI_CHECKBOX, " &Confirm ");
    set(kTitleText2, DI_TEXT, "T&itle");  // the same label with another hot key
    set(kTitle2, DI_FIXEDIT, "");
    items[kTitle2].X1 = 5;
    items[kTitle2].X2 = 20;
    set(kTitleCheck, DI_CHECKBOX, "Ti&tle");  // a check box before its field
    set(kTitleCheckValue, DI_EDIT, "");
    set(kGenreText, DI_TEXT, "&Genre");
    set(kGenre, DI_COMBOBOX, "");
    set(kRock, DI_RADIOBUTTON, "&Rock && Roll", DIF_GROUP);
    items[kRock].Selected = 1;
    set(kPop, DI_RADIOBUTTON, "&Pop");
    set(kFree, DI_TEXT, "Free text");  // before a button: names nothing
    set(kSave, DI_BUTTON, "Sa&ve");
    items[kSave].DefaultButton = 1;
    set(kCancel, DI_BUTTON, "Cancel");
  }

  // Runs the dialog against the host's script; the exit code.
  // Its lists have no entries; each run gives that again, as a closed dialog
  // leaves a list's position where its pointer was.
  int Run(ScriptedHost& h) {
    for (FarDialogItem& item : items)
      if (item.Type == DI_COMBOBOX || item.Type == DI_LISTBOX) item.ListItems = nullptr;
    return h.services.psi.Dialog(0, -1, -1, 50, 18, "LabelTopic", items, kCount);
  }

  FarDialogItem items[kCount];
};

TEST(LabelKey, TakesOutHotKeyMarksOuterBlanksAndTheClosingColon) {
  EXPECT_EQ(hostsim::LabelKey("&Title:"), "Title");
  EXPECT_EQ(hostsim::LabelKey("Process files &matching:"), "Process files matching");
  EXPECT_EQ(hostsim::LabelKey("  Sa&ve  "), "Save");
  EXPECT_EQ(hostsim::LabelKey("&Rock && Roll"), "Rock & Roll");
  EXPECT_EQ(hostsim::LabelKey("Time : "), "Time");
  EXPECT_EQ(hostsim::LabelKey("a::"), "a:");  // one colon only
  EXPECT_EQ(hostsim::LabelKey("<< Copy to ID&3v1"), "<< Copy to ID3v1");
  EXPECT_EQ(hostsim::LabelKey(" & "), "");
  // A script writes the label as shown: an '&' is a character.
  EXPECT_EQ(hostsim::LabelKey(" Rock & Roll: ", false), "Rock & Roll");
}

TEST_F(Labels, ScriptsNameFieldsByTheTextBeforeThemAndButtonsByTheirOwn) {
  ScriptedHost h(
      "dialog * set \"Title\" \"one\"\n"       // the field after "&Title:", not the text
      "dialog * set \"Title\"#2 \"two\"\n"     // "T&itle" reads the same
      "dialog * check \"Title\"#3\n"           // the check box "Ti&tle"
      "dialog * set \"Title\"#3+1 \"three\"\n"  // the field beside it
      "dialog * check \"Confirm\"\n"
      "dialog * choose \"Rock & Roll\"\n"
      "dialog * choose \"Pop\"\n"
      "dialog * set \"Genre:\" \"Jazz\"\n"     // a colon written in the script is left out too
      "dialog * expect 2 \"one\"\n"            // numbers still work
      "dialog * expect \"Title\"#2 \"two\"\n"
      "dialog * press \"Save\"\n");
  EXPECT_EQ(Run(h), kSave) << h.host.failure();
  EXPECT_FALSE(h.host.failed()) << h.host.failure();
  EXPECT_STREQ(items[kTitle].Data, "one");
  EXPECT_STREQ(items[kTitle2].Data, "two");
  EXPECT_STREQ(items[kTitleCheckValue].Data, "three");
  EXPECT_STREQ(items[kGenre].Data, "Jazz");
  EXPECT_EQ(items[kTitleCheck].Selected, 1);
  EXPECT_EQ(items[kConfirm].Selected, 1);
  EXPECT_EQ(items[kRock].Selected, 0);
  EXPECT_EQ(items[kPop].Selected, 1);
  // The texts that label fields are left as they were.
  EXPECT_STREQ(items[kTitleText].Data, "&Title:");
  EXPECT_STREQ(items[kTitleText2].Data, "T&itle");
}

TEST_F(Labels, ALabelThatNamesNoItemFailsAndListsTheLabels) {
  struct Case {
    const char* line;
    const char* failure;
  };
  const Case cases[] = {
      {"dialog * press \"Open\"",
       "line 1: the dialog has no item labelled \"Open\" (its labels: \"Title\" \"Confirm\" \"Title\" "
       "\"Title\" \"Genre\" \"Rock & Roll\" \"Pop\" \"Save\" \"Cancel\")"},
      {"dialog * press \"save\"", "no item labelled \"save\""},  // case counts
      {"dialog * press \"Sa&ve\"", "no item labelled \"Sa&ve\""},  // as shown
      {"dialog * expect \"Free text\" \"x\"", "no item labelled \"Free text\""},
      {"dialog * set \"Title\"#4 \"x\"", "the dialog has 3 items labelled \"Title\", not 4"},
      {"dialog * press \"Cancel\"#2", "the dialog has 1 item labelled \"Cancel\", not 2"},
      {"dialog * set \"Cancel\"+1 \"x\"", "the dialog has no item 15"},
      {"dialog * press \"Title\"", "item 2 is a EDIT, not a button"},
  };
  for (const auto& c : cases) {
    ScriptedHost h(std::string(c.line) + "\n");
    EXPECT_EQ(Run(h), -1) << c.line;  // closed with Esc after the failure
    EXPECT_NE(h.host.failure().find(c.failure), std::string::npos)
        << c.line << " -> " << h.host.failure();
  }
}

TEST(Script, ALabelSuffixIsANumberAndFollowsOnlyAnItemsLabel) {
  struct Case {
    const char* line;
    const char* error;
  };
  const Case cases[] = {
      {"dialog * press \"Save\"#0", "# after a quoted label takes a number from 1"},
      {"dialog * press \"Save\"#", "# after a quoted label takes a number from 1"},
      {"dialog * press \"Save\"+x", "+ after a quoted label takes a number from 1"},
      {"dialog * press \"Save\"#2x", "a quoted label ends with #N, +M or both"},
      {"dialog * press \"Save\"+1#2", "a quoted label ends with #N, +M or both"},
      {"dialog * set \"Title\" \"x\"#2", "#N and +M follow only an item's label"},
      {"dialog \"Id3Edit\"#2 press 1", "#N and +M follow only an item's label"},
      {"dialog * press \"\"", "an item's label is not empty"},
      {"dialog * press x", "the item number or label \"x\" is no number"},
  };
  for (const auto& c : cases) {
    std::vector<hostsim::Step> steps;
    std::string error;
    EXPECT_FALSE(hostsim::ParseScript(std::string(c.line) + "\n", &steps, &error)) << c.line;
    EXPECT_NE(error.find(c.error), std::string::npos) << c.line << " -> " << error;
  }
  std::vector<hostsim::Step> steps;
  std::string error;
  ASSERT_TRUE(hostsim::ParseScript("dialog * set \"Title\"#12+3 \"x\"\n", &steps, &error)) << error;
  EXPECT_EQ(steps[0].label, "Title");
  EXPECT_EQ(steps[0].ordinal, 12);
  EXPECT_EQ(steps[0].after, 3);
  EXPECT_EQ(steps[0].text, "x");
}

}  // namespace
