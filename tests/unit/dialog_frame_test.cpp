#include "host/dialog_frame.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "host/far_services.h"
#include "host/walk.h"
#include "sys/sys.h"
#include "tags/codepage.h"
#include "tagwright/messages.h"
#include "test_host.h"

namespace {

using testhost::TestHost;

// ------------------------------------------------------------ messages

TEST(Msg, UsesTheLowSevenBitsOfTheNumber) {
  TestHost host;
  host.SetMessage(5, "five");
  EXPECT_STREQ(host::Msg(5), "five");
  EXPECT_STREQ(host::Msg(128 + 5), "five");
  EXPECT_STREQ(host::Msg(1999), host::Msg(1999 & 0x7F));
}

TEST(FormatMsg, TextsTakeThePlaceOfTheirConversions) {
  TestHost host;
  struct Case {
    const char* format;
    std::vector<const char*> args;
    std::string expected;
  };
  const Case cases[] = {
      {"The file\n%s\nholds no audio", {"C:\\a.mp3"}, "The file\nC:\\a.mp3\nholds no audio"},
      {"%s to %s", {"old", "new"}, "old to new"},
      // A file name is never a format: its '%' signs stay as they are.
      {"[%s]", {"100%s %n %d%%.mp3"}, "[100%s %n %d%%.mp3]"},
      {"100%% of %s", {"x"}, "100% of x"},
      {"[%5s|%.2s]", {"ab", "efgh"}, "[   ab|ef]"},
      {"[%-5s]", {"cd"}, "[cd   ]"},
      {"[%ls]", {"wide"}, "[wide]"},
      // More conversions than texts: nothing is read past the list.
      {"%s and %s", {"one"}, "one and "},
      // Conversions of numbers have no argument here and stay as written.
      {"%d files, %", {}, "%d files, %"},
  };
  for (const Case& c : cases) {
    host.SetMessage(MNotMpeg, c.format);
    std::string result;
    switch (c.args.size()) {
      case 0:
        result = host::FormatMsg(MNotMpeg, {});
        break;
      case 1:
        result = host::FormatMsg(MNotMpeg, {c.args[0]});
        break;
      default:
        result = host::FormatMsg(MNotMpeg, {c.args[0], c.args[1]});
        break;
    }
    EXPECT_EQ(result, c.expected) << c.format;
  }
}

TEST(FormatMsg, StopsAt1024Characters) {
  TestHost host;
  host.SetMessage(MCannotRead, "Cannot read\n%s\nTry again?");
  const std::string longName(5000, 'n');
  const std::string result = host::FormatMsg(MCannotRead, {longName.c_str()});
  EXPECT_EQ(result.size(), 1024u);
  EXPECT_EQ(result.substr(0, 12), "Cannot read\n");
  // A huge width is bounded too.
  host.SetMessage(MCannotRead, "%99999999999s");
  EXPECT_EQ(host::FormatMsg(MCannotRead, {"x"}).size(), 1024u);
}

TEST(Warning, TitleLineThenBodyWithTheWarningFlags) {
  TestHost host;
  host.SetMessage(MWarning, "Warning");
  host.QueueMessageAnswer(2);
  EXPECT_EQ(host::Warning(FMSG_MB_YESNOCANCEL, "body 100%s"), 2);
  EXPECT_EQ(host::Warning(FMSG_MB_OK, "again"), -1);  // nothing queued: Esc
  ASSERT_EQ(host.MessageCalls().size(), 2u);
  EXPECT_EQ(host.MessageCalls()[0].flags, 0x50021u);
  EXPECT_EQ(host.MessageCalls()[0].text, "Warning\nbody 100%s");
  EXPECT_EQ(host.MessageCalls()[1].flags, 0x10021u);
}

// An exception that reached an export: the language file's line, then the
// exception's own text where there is one.
TEST(ReportFailure, NamesAnInternalErrorAndTheExceptionsText) {
  TestHost host;
  host.SetMessage(MWarning, "Warning");
  host.SetMessage(MInternalError, "Internal error");
  host.QueueMessageAnswer(0);
  host.QueueMessageAnswer(0);
  host::ReportFailure("std::bad_alloc");
  host::ReportFailure(nullptr);
  ASSERT_EQ(host.MessageCalls().size(), 2u);
  EXPECT_EQ(host.MessageCalls()[0].text, "Warning\nInternal error\nstd::bad_alloc");
  EXPECT_EQ(host.MessageCalls()[1].text, "Warning\nInternal error");
}

// A failed file operation: its message with the name, the error the failure
// left (not one the host's own calls leave while the texts are fetched), and
// Yes to go on, No or Esc to stop.
TEST(ReportFileFailure, ShowsTheFailuresReasonAndAsksWhetherToGoOn) {
  TestHost host;
  host.SetMessage(MWarning, "Warning");
  host.SetMessage(MCannotWriteTags, "Cannot write\n%s");
  host.SetMessage(MCannotRename, "Cannot rename\n%s\nto\n%s");
  host.SetMessage(MGoOn, "Go on?");
  host.SetGetMsgLastError(sys::kErrorSuccess);
  host.QueueMessageAnswer(0);
  host.QueueMessageAnswer(1);
  sys::SetLastError(sys::kErrorDiskFull);
  EXPECT_TRUE(host::ReportFileFailure(MCannotWriteTags, "C:\\100% a.mp3"));
  sys::SetLastError(sys::kErrorAccessDenied);
  EXPECT_FALSE(host::ReportFileFailure(MCannotRename, "a.mp3", "b.mp3"));
  EXPECT_FALSE(host::ReportFileFailure(MCannotWriteTags, "c.mp3"));  // Esc
  ASSERT_EQ(host.MessageCalls().size(), 3u);
  for (const auto& call : host.MessageCalls()) {
    EXPECT_EQ(call.flags, static_cast<DWORD>(FMSG_WARNING | FMSG_ERRORTYPE | FMSG_ALLINONE |
                                             FMSG_MB_YESNO));
  }
  EXPECT_EQ(host.MessageCalls()[0].text, "Warning\nCannot write\nC:\\100% a.mp3\nGo on?");
  EXPECT_EQ(host.MessageCalls()[0].lastError, sys::kErrorDiskFull);
  EXPECT_EQ(host.MessageCalls()[1].text, "Warning\nCannot rename\na.mp3\nto\nb.mp3\nGo on?");
  EXPECT_EQ(host.MessageCalls()[1].lastError, sys::kErrorAccessDenied);
}

// A name that the OEM code page cannot spell: the warning also says which
// code pages are in force and how to choose others.
TEST(ReportFileFailure, ANameTheCodePageCannotSpellGetsTheHint) {
  TestHost host;
  host.SetMessage(MWarning, "Warning");
  host.SetMessage(MCannotRename, "Cannot rename\n%s\nto\n%s");
  host.SetMessage(MCodePageHint, "Code pages %s");
  host.SetMessage(MGoOn, "Go on?");
  host.QueueMessageAnswer(0);
  sys::SetLastError(sys::kErrorNoUnicodeTranslation);
  EXPECT_TRUE(host::ReportFileFailure(MCannotRename, "Caf?.mp3", "b.mp3"));
  ASSERT_EQ(host.MessageCalls().size(), 1u);
  const std::string pair =
      std::to_string(sys::OemCodePage()) + ":" + std::to_string(sys::AnsiCodePage());
  EXPECT_EQ(host.MessageCalls()[0].text,
            "Warning\nCannot rename\nCaf?.mp3\nto\nb.mp3\nCode pages " + pair + "\nGo on?");
  EXPECT_EQ(host.MessageCalls()[0].lastError, sys::kErrorNoUnicodeTranslation);
}

// ------------------------------------------------------------ progress display

struct Screens {
  int saved = 0;
  std::vector<HANDLE> restored;
};
Screens* screens = nullptr;

HANDLE WINAPI FakeSaveScreen(int x1, int y1, int x2, int y2) {
  EXPECT_EQ(x1, 0);
  EXPECT_EQ(y1, 0);
  EXPECT_EQ(x2, -1);
  EXPECT_EQ(y2, -1);
  return reinterpret_cast<HANDLE>(static_cast<intptr_t>(0x100 + ++screens->saved));
}
void WINAPI FakeRestoreScreen(HANDLE screen) { screens->restored.push_back(screen); }

class Progress : public ::testing::Test {
 protected:
  void SetUp() override {
    screens = &screens_;
    host::StartupInfo.SaveScreen = &FakeSaveScreen;
    host::StartupInfo.RestoreScreen = &FakeRestoreScreen;
  }
  void TearDown() override {
    host::ProgressEnd();
    screens = nullptr;
  }

  // The full cells of every bar drawn so far, checking each bar's form.
  std::vector<int> Bars() const {
    std::vector<int> bars;
    for (const auto& call : host_.MessageCalls()) {
      EXPECT_EQ(call.flags, static_cast<DWORD>(FMSG_ALLINONE));
      EXPECT_EQ(call.text.size(), 44u);
      EXPECT_EQ(call.text[0], '\n');  // an empty title line
      const size_t full = call.text.find_first_not_of('\xDB', 1);
      const size_t cells = (full == std::string::npos ? call.text.size() : full) - 1;
      EXPECT_EQ(call.text.find_first_not_of('\xB0', 1 + cells), std::string::npos) << call.text;
      bars.push_back(static_cast<int>(cells));
    }
    return bars;
  }

  TestHost host_;
  Screens screens_;
};

TEST_F(Progress, StartsEmptyAndOneStepOfOneFillsIt) {
  host::ProgressStart(1);
  host::ProgressStep(1);
  EXPECT_EQ(Bars(), (std::vector<int>{0, 43}));
  EXPECT_EQ(screens_.saved, 1);
}

TEST_F(Progress, CellsFollowThePositionRoundedDown) {
  host::ProgressStart(100);
  for (int i = 0; i < 100; ++i) host::ProgressStep(1);
  const std::vector<int> bars = Bars();
  ASSERT_EQ(bars.size(), 101u);  // redrawn on every step, also without a new cell
  EXPECT_EQ(bars[3], 1);         // 3 x 43 / 100
  EXPECT_EQ(bars[99], 42);
  EXPECT_EQ(bars[100], 43);

  host::ProgressStart(86);
  host::ProgressStep(1);
  host::ProgressStep(1);
  host::ProgressStep(1);
  const std::vector<int> half = Bars();
  EXPECT_EQ(std::vector<int>(half.end() - 3, half.end()), (std::vector<int>{0, 1, 1}));
}

TEST_F(Progress, AFullBarStaysFullAndAZeroTotalNeverDraws) {
  host::ProgressStart(2);
  host::ProgressStep(5);  // stops at the total
  host::ProgressStep(1);
  host::ProgressSet(0);
  EXPECT_EQ(Bars(), (std::vector<int>{0, 43}));

  host::ProgressStart(0);
  host::ProgressStep(1);
  EXPECT_EQ(Bars().size(), 3u);  // only the empty bar of the start
}

TEST_F(Progress, TheEndRestoresTheSavedScreenOnce) {
  host::ProgressStart(3);
  host::ProgressEnd();
  host::ProgressEnd();  // nothing left to give back
  ASSERT_EQ(screens_.restored.size(), 1u);
  EXPECT_EQ(screens_.restored[0], reinterpret_cast<HANDLE>(static_cast<intptr_t>(0x101)));
  // A display left open when the next one starts gives its screen back first.
  host::ProgressStart(3);
  host::ProgressStart(3);
  host::ProgressEnd();
  EXPECT_EQ(screens_.restored.size(), 3u);
}

// The bar where the host speaks UTF-8: the same cells in their UTF-8 form.
class Utf8Progress : public Progress {
 protected:
  void SetUp() override {
    Progress::SetUp();
    saved_ = tags::HostCodePage;
    tags::HostCodePage.Kind = tags::CodePageKind::Utf8;
  }
  void TearDown() override {
    Progress::TearDown();
    tags::HostCodePage = saved_;
  }
  tags::CodePage saved_;
};

TEST_F(Utf8Progress, CellsAreTheirUtf8Characters) {
  host::ProgressStart(2);
  host::ProgressStep(1);
  const auto& calls = host_.MessageCalls();
  ASSERT_EQ(calls.size(), 2u);
  std::string half = "\n";
  for (int cell = 0; cell < 43; ++cell) half += cell < 21 ? "█" : "░";
  EXPECT_EQ(calls[1].text, half);
}

// ------------------------------------------------------------ dialog items

TEST(BuildDialogItems, FillsTheSharedWordByTypeAndFlags) {
  TestHost host;
  host.SetMessage(MOk, "OK");
  host.SetMessage(1999 & 0x7F, "from 1999");
  const std::string longText(600, 'x');
  const host::DialogItemSpec specs[] = {
      {0, DI_EDIT, 5, 3, 62, 0, 1, 7, DIF_HISTORY | DIF_SELECTONENTRY, 0, host::SpecText("*.mp3"),
       "ID3_ProcessExt"},
      {1, DI_FIXEDIT, 5, 4, 9, 0, 0, 7, DIF_MASKEDIT, 0, host::SpecText("2024"), "#####"},
      {2, DI_COMBOBOX, 5, 5, 30, 0, 0, 7, DIF_DROPDOWNLIST | DIF_HISTORY, 0, host::SpecText(""),
       "ID3_List"},
      {3, DI_CHECKBOX, 5, 6, 0, 0, 0, 1, 0, 0, 1999, nullptr},
      {4, DI_BUTTON, 0, 7, 0, 0, 0, 1, DIF_CENTERGROUP | DIF_BTNNOCLOSE, 1, MOk, nullptr},
      {5, DI_TEXT, 5, 8, 0, 0, 0, 0, 0, 0, host::SpecText(longText.c_str()), nullptr},
  };
  FarDialogItem items[6];
  std::memset(items, 0, sizeof items);
  host::BuildDialogItems(specs, items, 6);

  EXPECT_EQ(items[0].Type, DI_EDIT);
  EXPECT_EQ(items[0].X2, 62);
  EXPECT_EQ(items[0].Focus, 1);
  EXPECT_STREQ(items[0].History, "ID3_ProcessExt");
  EXPECT_STREQ(items[0].Data, "*.mp3");
  EXPECT_STREQ(items[1].Mask, "#####");
  EXPECT_EQ(items[2].ListItems, nullptr);  // the word is left for the list
  EXPECT_EQ(items[3].Selected, 1);
  EXPECT_STREQ(items[3].Data, "from 1999");  // 1999 is still a message number
  // DIF_BTNNOCLOSE is the history bit: a button's word is its (absent) history.
  EXPECT_EQ(items[4].History, nullptr);
  EXPECT_EQ(items[4].DefaultButton, 1);
  EXPECT_EQ(items[4].Flags, static_cast<DWORD>(DIF_CENTERGROUP | DIF_BTNNOCLOSE));
  EXPECT_STREQ(items[4].Data, "OK");
  EXPECT_EQ(std::strlen(items[5].Data), 511u);
}

TEST(ItemsInPlace, HoldsOnlyWhenEveryRowNamesItsOwnPositionAndNoneIsMissing) {
  enum Item : int { Box, Label, Edit, Count };
  constexpr host::DialogItemSpec inPlace[] = {
      {Box, DI_DOUBLEBOX, 3, 1, 40, 5, 0, 0, 0, 0, MOk, nullptr},
      {Label, DI_TEXT, 5, 2, 0, 0, 0, 0, 0, 0, host::SpecText("&Name"), nullptr},
      {Edit, DI_EDIT, 5, 3, 38, 0, 0, 0, 0, 0, host::SpecText(""), nullptr},
  };
  static_assert(host::ItemsInPlace(inPlace, Count));
  // Two rows swapped: each names the other's place.
  constexpr host::DialogItemSpec swapped[] = {inPlace[0], inPlace[2], inPlace[1]};
  EXPECT_FALSE(host::ItemsInPlace(swapped, Count));
  // A row left out, and a row more than there are items.
  constexpr host::DialogItemSpec shorter[] = {inPlace[0], inPlace[1]};
  EXPECT_FALSE(host::ItemsInPlace(shorter, Count));
  EXPECT_FALSE(host::ItemsInPlace(inPlace, Count - 1));
  constexpr std::array<host::DialogItemSpec, 3> asArray = {inPlace[0], inPlace[1], inPlace[2]};
  EXPECT_TRUE(host::ItemsInPlace(asArray, Count));
}

// ------------------------------------------------------------ a host that speaks UTF-8

class Utf8HostText : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = tags::HostCodePage;
    tags::HostCodePage.Kind = tags::CodePageKind::Utf8;
  }
  void TearDown() override { tags::HostCodePage = saved_; }

  static std::string Letters(int n) {
    std::string text;
    for (int i = 0; i < n; ++i) text += "ж";
    return text;
  }

  tags::CodePage saved_;
};

TEST_F(Utf8HostText, FieldsOfTheHostTakeWholeCharactersOnly) {
  const std::string letters = Letters(300);  // 600 bytes
  FarDialogItem item;
  host::SetItemText(item, letters);
  EXPECT_EQ(std::string(item.Data), letters.substr(0, 510));
  host::SetItemText(item, "a" + letters);  // 511 bytes fit exactly
  EXPECT_EQ(std::string(item.Data), "a" + letters.substr(0, 510));
  EXPECT_EQ(host::ItemText(item), "a" + letters.substr(0, 510));
  // A list entry has 127 bytes: 2 + 62 letters, the 63rd would need 128.
  const FarListItem entry = host::ListEntry("ab" + letters);
  EXPECT_EQ(std::string(entry.Text), "ab" + letters.substr(0, 124));
  TestHost host;
  const std::string label = "x" + letters;
  const host::DialogItemSpec specs[] = {
      {0, DI_TEXT, 5, 1, 0, 0, 0, 0, 0, 0, host::SpecText(label.c_str()), nullptr},
  };
  FarDialogItem built[1];
  std::memset(built, 0, sizeof built);
  host::BuildDialogItems(specs, built, 1);
  EXPECT_EQ(std::string(built[0].Data), "x" + letters.substr(0, 510));
  EXPECT_EQ(host::FittingBytes("東京", 5), 3u);
  EXPECT_EQ(host::FittingBytes("東京", 6), 6u);
}

TEST_F(Utf8HostText, MessagesAreFormattedAndBoundedByCharacters) {
  TestHost host;
  host.SetMessage(MNotMpeg, "[%6s|%.2s|%-4s]");
  EXPECT_EQ(host::FormatMsg(MNotMpeg, {"東京", "Группа", "é"}), "[    東京|Гр|é   ]");
  // 1024 characters, whatever their bytes, and never half of one.
  host.SetMessage(MCannotRead, "x%s");
  const std::string result = host::FormatMsg(MCannotRead, {Letters(2000).c_str()});
  EXPECT_EQ(result, "x" + Letters(1023));
  host.SetMessage(MCannotRead, "Ё%2000s");
  const std::string padded = host::FormatMsg(MCannotRead, {"x"});
  EXPECT_EQ(padded, "Ё" + std::string(1023, ' '));
}

}  // namespace
