// Tag creation through the plug-in's exports: the set-up dialog, its case
// dialog and regular-expression check, the walk of mode 3 with its counting
// pass and progress display, and the tags and names the files end up with.
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "batch_scenario.h"
#include "hostsim/fs.h"
#include "sys/sys.h"
#include "tags/id3v1.h"
#include "tags/id3v2.h"

namespace {

using scenario::Quoted;

// The worked example's expression: artist and title from "Artist - Title.mp3".
// Artist and title from the file's name: no folder separator in either.
const std::string kNotSeparator = sys::kPathSeparator == '\\' ? "[^\\\\]" : "[^/]";
const std::string kArtistTitle = "(" + kNotSeparator + "*) - (" + kNotSeparator + "*)\\.mp3$";

// A file's two tags as our tags module reads them (the interop tests hold
// that reading against other tools).
struct FileTags {
  tags::ID3v1Tag v1;
  tags::ID3v2Tag v2;
};

class TagCreation : public scenario::BatchScenario {
 protected:
  // Plays `script`, remembering where its part of the transcript begins.
  bool Play(const std::string& script) {
    transcriptStart_ = host_->transcript().size();
    return BatchScenario::Play(script);
  }
  std::string Last() const { return host_->transcript().Text(transcriptStart_); }

  // The dialog's values for a run.
  void Settings(const std::map<std::string, std::string>& values) {
    for (const auto& [name, text] : values) SetRegValue("TagCreationDialog", name, text);
  }
  std::optional<std::string> Setting(const std::string& name) const {
    return RegValue("TagCreationDialog", name);
  }

  FileTags TagsOf(const std::string& name) const {
    FileTags t;
    EXPECT_TRUE(t.v1.Load(Path(name)) && t.v2.Load(Path(name))) << name;
    return t;
  }

  // An MP3 file without tags.
  void MakeAudio(const std::string& name) { MakeMp3(name, scenario::Tags{"", "", "", false, false}); }
  // True when the file holds exactly the audio MakeAudio wrote.
  bool Untouched(const std::string& name) const { return ReadFile(name) == scenario::SilentFrames(); }

  // The progress frames of the last invocation, as the number of full cells:
  // the transcript shows each box's line as a quoted run of full and empty
  // cells (U+2588, U+2591 in UTF-8).
  std::vector<int> ProgressFrames() const {
    const std::string full = "\xE2\x96\x88", empty = "\xE2\x96\x91";
    std::vector<int> frames;
    const std::vector<std::string>& lines = host_->transcript().lines();
    for (size_t i = transcriptStart_; i < lines.size(); ++i) {
      const std::string& line = lines[i];
      const size_t open = line.find('"'), close = line.rfind('"');
      if (open == std::string::npos || close <= open + 1) continue;
      int cells = 0;
      size_t at = open + 1;
      for (; at + 3 <= close; at += 3) {
        if (line.compare(at, 3, full) == 0) {
          ++cells;
        } else if (line.compare(at, 3, empty) != 0) {
          break;
        }
      }
      if (at == close) frames.push_back(cells);
    }
    return frames;
  }

  size_t transcriptStart_ = 0;
};

TEST_F(TagCreation, WorkedExampleThroughTheDialog) {
  MakeFolder("Music");
  MakeAudio("Music\\Band - Song.mp3");
  MakeAudio("Music\\Other - Tune.mp3");
  Start();
  ASSERT_TRUE(Play("panel Music select \"Band - Song.mp3\" \"Other - Tune.mp3\"\n"
                   "invoke menu\n"
                   "menu choose 3\n"
                   "dialog Id3TagCreation expect \"Title\"+1 disabled\n"
                   "dialog Id3TagCreation uncheck \"Confirm each file\"\n"
                   "dialog Id3TagCreation set \"Regular expression\" " + Quoted(kArtistTitle) + "\n"
                   "dialog Id3TagCreation check \"Title\"\n"
                   "dialog Id3TagCreation expect \"Title\"+1 enabled\n"
                   "dialog Id3TagCreation expect \"Title\"+2 enabled\n"
                   "dialog Id3TagCreation set \"Title\"+1 \"$2\"\n"
                   "dialog Id3TagCreation check \"Artist\"\n"
                   "dialog Id3TagCreation set \"Artist\"+1 \"$1\"\n"
                   "dialog Id3TagCreation check \"Track\"\n"
                   "dialog Id3TagCreation set \"Track\"+1 \"%0{1}\"\n"
                   "dialog Id3TagCreation check \"File name\"\n"
                   "dialog Id3TagCreation set \"File name\"+1 \"%0{1,R,2,0} %2%G\"\n"
                   "dialog Id3TagCreation press \"OK\"\n"
                   "expect-selected none\n"
                   "expect-end\n"))
      << host_->failure() << Last();

  EXPECT_FALSE(Exists("Music\\Band - Song.mp3"));
  const FileTags first = TagsOf("Music\\01 Song.mp3");
  EXPECT_TRUE(first.v1.Present() && first.v2.Present());
  EXPECT_EQ(first.v1.Artist(), "Band");
  EXPECT_EQ(first.v1.Title(), "Song");
  EXPECT_EQ(first.v1.Track(), 1);
  EXPECT_EQ(first.v2.Artist(), "Band");
  EXPECT_EQ(first.v2.Title(), "Song");
  EXPECT_EQ(first.v2.TrackText(), "1");
  const FileTags second = TagsOf("Music\\02 Tune.mp3");
  EXPECT_EQ(second.v2.Artist(), "Other");
  EXPECT_EQ(second.v1.Track(), 2);
  // Counted first, then a frame for the start and one per file.
  EXPECT_EQ(ProgressFrames(), (std::vector<int>{0, 21, 43}));
  // The dialog's values were stored for the next time.
  EXPECT_EQ(Setting("Regexp"), std::string(kArtistTitle));
  EXPECT_EQ(Setting("Edit_FileName"), std::string("%0{1,R,2,0} %2%G"));
  EXPECT_EQ(Setting("Confirmation"), std::string("0"));
}

// The counter runs over the whole walk, or restarts in each folder.
TEST_F(TagCreation, CounterWithAndWithoutResetCounter) {
  MakeFolder("A");
  MakeFolder("B");
  for (const char* name : {"A\\1.mp3", "A\\2.mp3", "B\\1.mp3", "B\\2.mp3"}) MakeAudio(name);
  Settings({{"Confirmation", "0"}, {"CreateID3v2", "0"}, {"CB_Track", "1"}, {"Edit_Track", "%0{1}"}});
  for (const bool reset : {false, true}) {
    SCOPED_TRACE(reset ? "ResetCounter on" : "ResetCounter off");
    SetRegValue("ConfigDialog", "ResetCounter", reset ? "1" : "0");
    Start();
    ASSERT_TRUE(Play("panel . select A B\n"
                     "invoke menu\n"
                     "menu choose 3\n"
                     "dialog Id3TagCreation press \"OK\"\n"
                     "expect-end\n"))
        << host_->failure() << Last();
    EXPECT_EQ(TagsOf("A\\1.mp3").v1.Track(), 1);
    EXPECT_EQ(TagsOf("A\\2.mp3").v1.Track(), 2);
    EXPECT_EQ(TagsOf("B\\1.mp3").v1.Track(), reset ? 1 : 3);
    EXPECT_EQ(TagsOf("B\\2.mp3").v1.Track(), reset ? 2 : 4);
    EXPECT_FALSE(TagsOf("B\\2.mp3").v2.Present());
    EXPECT_EQ(ProgressFrames(), (std::vector<int>{0, 10, 21, 32, 43}));
  }
}

// Lines of a KOI8-R list file give the values; the tags are in the tag code
// page ("Windows text", 1251). A file beyond the last line gets an empty
// subject, which the expression does not match: the walk stops there.
TEST_F(TagCreation, ListFileSubjectInKoi8) {
  MakeFolder("M");
  for (const char* name : {"M\\a.mp3", "M\\b.mp3", "M\\c.mp3"}) MakeAudio(name);
  // "Артист - Песня" and "Второй - Трек" in KOI8-R.
  ASSERT_TRUE(hostsim::WriteWholeFile(Path("list.txt"),
                                      "\xE1\xD2\xD4\xC9\xD3\xD4 - \xF0\xC5\xD3\xCE\xD1\r\n"
                                      "\xF7\xD4\xCF\xD2\xCF\xCA - \xF4\xD2\xC5\xCB\r\n"));
  Settings({{"Confirmation", "0"},
            {"ExtractFromName", "0"},
            {"FileListName", Path("list.txt")},
            {"CharacterTable", "KOI8-R"},
            {"Regexp", "(.*) - (.*)"},
            {"CB_Artist", "1"},
            {"Edit_Artist", "$1"},
            {"CB_Title", "1"},
            {"Edit_Title", "$2"}});
  Start();
  ASSERT_TRUE(Play("panel M select a.mp3 b.mp3 c.mp3\n"
                   "invoke menu\n"
                   "menu choose 3\n"
                   "dialog Id3TagCreation expect \"List file\" enabled\n"
                   "dialog Id3TagCreation expect \"Character table\" \"KOI8-R\"\n"
                   "dialog Id3TagCreation press \"OK\"\n"
                   "expect-end\n"))
      << host_->failure() << Last();
  const FileTags a = TagsOf("M\\a.mp3"), b = TagsOf("M\\b.mp3");
  // Read back through the same tag code page (1251).
  EXPECT_EQ(a.v2.Artist(), "Артист");
  EXPECT_EQ(a.v2.Title(), "Песня");
  EXPECT_EQ(a.v1.Artist(), "Артист");
  EXPECT_EQ(b.v1.Title(), "Трек");
  EXPECT_EQ(b.v2.Artist(), "Второй");
  EXPECT_TRUE(Untouched("M\\c.mp3"));
  EXPECT_EQ(Last().find("WARNING"), std::string::npos) << Last();
}

// C_AllTags set from the case dialog of the artist: only that case box stays
// enabled, and its mode (first letter capital, transliterated) applies to
// every field; the choice is stored at once and shown when the dialog opens.
TEST_F(TagCreation, CaseModeForAllFields) {
  MakeFolder("M");
  // The name in code page 866, and as the script (UTF-8) writes it.
  const std::string name = "\xAC\xAE\xA9 \xA0\xE0\xE2\xA8\xE1\xE2 - \x8F\x85\x91\x8D\x9F.mp3";
  const std::string scriptName = "мой артист - ПЕСНЯ.mp3";
  MakeAudio("M\\" + name);
  Settings({{"Confirmation", "0"},
            {"CreateID3v1", "0"},
            {"Regexp", kArtistTitle},
            {"CB_Artist", "1"},
            {"Edit_Artist", "$1"},
            {"CB_Title", "1"},
            {"Edit_Title", "$2"},
            {"CB_Album", "1"},
            {"Edit_Album", "\xA0\xAB\xEC\xA1\xAE\xAC %0{7}"}});  // "альбом %0{7}"
  Start();
  ASSERT_TRUE(Play("panel M select " + Quoted(scriptName) + "\n"
                   "invoke menu\n"
                   "menu choose 3\n"
                   "dialog Id3TagCreation expect \"Title\"+2 enabled\n"
                   "dialog Id3TagCreation expect \"Year\"+2 disabled\n"
                   "dialog Id3TagCreation check \"Artist\"+2\n"
                   "dialog Id3Case expect \"Leave as it is\" checked\n"
                   "dialog Id3Case choose \"First letter capital\"\n"
                   "dialog Id3Case check \"Transliterate Cyrillic letters\"\n"
                   "dialog Id3Case check \"Apply to all fields\"\n"
                   "dialog Id3Case press \"OK\"\n"
                   "dialog Id3TagCreation expect \"Artist\"+2 checked\n"
                   "dialog Id3TagCreation expect \"Artist\"+2 enabled\n"
                   "dialog Id3TagCreation expect \"Title\"+2 disabled\n"
                   "dialog Id3TagCreation expect \"Album\"+2 disabled\n"
                   "dialog Id3TagCreation press \"OK\"\n"
                   "expect-end\n"))
      << host_->failure() << Last();
  EXPECT_EQ(Setting("C_Artist"), std::string("13"));
  EXPECT_EQ(Setting("C_AllTags"), std::string("Artist"));
  const FileTags result = TagsOf("M\\" + name);
  EXPECT_FALSE(result.v1.Present());
  EXPECT_EQ(result.v2.Artist(), "Moj artist");
  EXPECT_EQ(result.v2.Title(), "Pesnya");
  EXPECT_EQ(result.v2.Album(), "Al'bom 7");

  // The case dialog opens on the stored mode; cancelling it changes nothing.
  ASSERT_TRUE(Play("invoke menu\n"
                   "menu choose 3\n"
                   "dialog Id3TagCreation expect \"Artist\"+2 checked\n"
                   "dialog Id3TagCreation uncheck \"Artist\"+2\n"
                   "dialog Id3Case expect \"First letter capital\" checked\n"
                   "dialog Id3Case expect \"Transliterate Cyrillic letters\" checked\n"
                   "dialog Id3Case expect \"Apply to all fields\" checked\n"
                   "dialog Id3Case esc\n"
                   "dialog Id3TagCreation expect \"Artist\"+2 checked\n"
                   "dialog Id3TagCreation esc\n"
                   "expect-end\n"))
      << host_->failure() << Last();
  EXPECT_EQ(Setting("C_Artist"), std::string("13"));
}

// A genre that is a known name sets the ID3v1 number; another text leaves it
// and still becomes the ID3v2 genre. Later fields read the values just set.
TEST_F(TagCreation, GenresAndMarkersReadingNewValues) {
  MakeFolder("M");
  MakeAudio("M\\rock - One.mp3");
  MakeAudio("M\\nonsense - Two.mp3");
  Settings({{"Confirmation", "0"},
            {"Regexp", kArtistTitle},
            {"CB_Genre", "1"},
            {"Edit_Genre", "$1"},
            {"CB_Title", "1"},
            {"Edit_Title", "AC\\DC $2"},
            {"CB_Comment", "1"},
            {"Edit_Comment", "[%2|%6]"}});
  Start();
  ASSERT_TRUE(Play("panel M select \"rock - One.mp3\" \"nonsense - Two.mp3\"\n"
                   "invoke menu\n"
                   "menu choose 3\n"
                   "dialog Id3TagCreation press \"OK\"\n"
                   "expect-end\n"))
      << host_->failure() << Last();
  const FileTags rock = TagsOf("M\\rock - One.mp3");
  EXPECT_EQ(rock.v1.GenreNumber(), 17);
  EXPECT_EQ(rock.v2.Genre(), "rock");
  EXPECT_EQ(rock.v2.Title(), "ACDC One");  // the backslash escaped the D
  // The ID3v2 value of a file without an ID3v2 tag reads the ID3v1 tag,
  // which the genre field has just filled: its genre is the table's name.
  EXPECT_EQ(rock.v2.Comment(), "[ACDC One|Rock]");
  const FileTags other = TagsOf("M\\nonsense - Two.mp3");
  EXPECT_EQ(other.v1.GenreNumber(), 255);
  EXPECT_EQ(other.v2.Genre(), "nonsense");
  EXPECT_EQ(other.v1.Title(), "ACDC Two");
}

// A file whose subject does not match stops the walk without a word and
// without a change; the files after it are not touched either.
TEST_F(TagCreation, NonMatchingFileStopsTheWalk) {
  MakeFolder("M");
  MakeAudio("M\\1 nomatch.mp3");
  MakeAudio("M\\x - y.mp3");
  Settings({{"Confirmation", "0"}, {"Regexp", kArtistTitle}, {"CB_Title", "1"}, {"Edit_Title", "$2"}});
  Start();
  ASSERT_TRUE(Play("panel M select \"1 nomatch.mp3\" \"x - y.mp3\"\n"
                   "invoke menu\n"
                   "menu choose 3\n"
                   "dialog Id3TagCreation press \"OK\"\n"
                   "expect-end\n"))
      << host_->failure() << Last();
  EXPECT_TRUE(Untouched("M\\1 nomatch.mp3"));
  EXPECT_TRUE(Untouched("M\\x - y.mp3"));
  EXPECT_EQ(Last().find("message WARNING"), std::string::npos) << Last();
}

// An expression that does not compile is shown with the library's text and
// position, the cursor goes there, and neither leaving the field nor a
// button gets past it; Esc leaves without storing anything.
// The list file's items follow the subject's radio buttons, and each value
// and case item its field's check box (no C_AllTags stored).
TEST_F(TagCreation, EnabledStatesFollowTheChoices) {
  MakeFolder("M");
  Settings({{"CB_Title", "1"}});
  Start();
  ASSERT_TRUE(Play("panel M\n"
                   "invoke menu\n"
                   "menu choose 3\n"
                   "dialog Id3TagCreation expect 5 disabled\n"
                   "dialog Id3TagCreation expect \"Character table\" disabled\n"
                   "dialog Id3TagCreation expect 9 enabled\n"
                   "dialog Id3TagCreation choose \"Take the text from lines of a list file\"\n"
                   "dialog Id3TagCreation expect 5 enabled\n"
                   "dialog Id3TagCreation expect \"List file\" enabled\n"
                   "dialog Id3TagCreation expect 7 enabled\n"
                   "dialog Id3TagCreation expect \"Character table\" enabled\n"
                   "dialog Id3TagCreation choose \"Take the text from the file path\"\n"
                   "dialog Id3TagCreation expect \"List file\" disabled\n"
                   "dialog Id3TagCreation expect 7 disabled\n"
                   "dialog Id3TagCreation expect \"Title\"+1 enabled\n"
                   "dialog Id3TagCreation expect \"Title\"+2 enabled\n"
                   "dialog Id3TagCreation expect \"Artist\"+1 disabled\n"
                   "dialog Id3TagCreation expect \"Artist\"+2 disabled\n"
                   "dialog Id3TagCreation uncheck \"Title\"\n"
                   "dialog Id3TagCreation expect \"Title\"+1 disabled\n"
                   "dialog Id3TagCreation expect \"Title\"+2 disabled\n"
                   "dialog Id3TagCreation check \"Track\"\n"
                   "dialog Id3TagCreation expect \"Track\"+1 enabled\n"
                   "dialog Id3TagCreation expect \"Comment\" enabled\n"
                   "dialog Id3TagCreation expect \"Comment\"+1 disabled\n"
                   "dialog Id3TagCreation check \"File name\"\n"
                   "dialog Id3TagCreation expect \"File name\"+1 enabled\n"
                   "dialog Id3TagCreation expect \"File name\"+2 enabled\n"
                   "dialog Id3TagCreation esc\n"
                   "expect-end\n"))
      << host_->failure() << Last();
}

TEST_F(TagCreation, RegexpErrorShownWithItsPosition) {
  MakeFolder("M");
  Start();
  ASSERT_TRUE(Play("panel M\n"
                   "invoke menu\n"
                   "menu choose 3\n"
                   "dialog Id3TagCreation set \"Regular expression\" \"(abc\"\n"
                   "dialog Id3TagCreation focus \"Confirm each file\"\n"
                   "message expect \"Error in the regular expression\" expect \"(pos 4)\" button 0\n"
                   "dialog Id3TagCreation expect \"Regular expression\" focused\n"
                   "dialog Id3TagCreation expect \"Regular expression\" cursor 4\n"
                   "dialog Id3TagCreation set \"Regular expression\" \"ab)c\"\n"
                   "dialog Id3TagCreation enter\n"
                   "message expect \"(pos 2)\" button 0\n"
                   "dialog Id3TagCreation expect \"Regular expression\" cursor 2\n"
                   "dialog Id3TagCreation esc\n"
                   "expect-end\n"))
      << host_->failure() << Last();
  EXPECT_EQ(Setting("Regexp"), std::nullopt);
}

// Confirmation through the information dialog: the first file's tags are
// saved there and its new name confirmed (and edited); ticking "ask no more"
// on the second renames it without a question, and the third file goes
// through without any dialog, under the progress display.
TEST_F(TagCreation, ConfirmationWithAskNoMore) {
  MakeFolder("M");
  for (const char* name : {"M\\A - 1.mp3", "M\\B - 2.mp3", "M\\C - 3.mp3"}) MakeAudio(name);
  Settings({{"Regexp", kArtistTitle},
            {"CB_Artist", "1"},
            {"Edit_Artist", "$1"},
            {"CB_Title", "1"},
            {"Edit_Title", "$2"},
            {"CB_FileName", "1"},
            {"Edit_FileName", "%3 %2%G"}});
  Start();
  ASSERT_TRUE(Play("panel M select \"A - 1.mp3\" \"B - 2.mp3\" \"C - 3.mp3\"\n"
                   "invoke menu\n"
                   "menu choose 3\n"
                   "dialog Id3TagCreation expect \"Confirm each file\" checked\n"
                   "dialog Id3TagCreation press \"OK\"\n"
                   "dialog Id3Edit expect \"Artist\"#2 \"A\"\n"
                   "dialog Id3Edit expect \"Title\" \"1\"\n"
                   "dialog Id3Edit set \"Title\" \"one\"\n"
                   "dialog Id3Edit press \"Save\"\n"
                   "dialog Id3Confirmation expect \"Old name\" \"A - 1.mp3\"\n"
                   "dialog Id3Confirmation expect \"New name\" \"A one.mp3\"\n"
                   "dialog Id3Confirmation set \"New name\" \"first.mp3\"\n"
                   "dialog Id3Confirmation press \"OK\"\n"
                   "dialog Id3Edit expect \"Artist\"#2 \"B\"\n"
                   "dialog Id3Edit check \"Do not ask again\"\n"
                   "dialog Id3Edit press \"Save\"\n"
                   "expect-end\n"))
      << host_->failure() << Last();
  const FileTags first = TagsOf("M\\first.mp3");
  EXPECT_EQ(first.v1.Title(), "one");  // the name read the ID3v1 tag: the file had no ID3v2 tag
  EXPECT_EQ(first.v2.Title(), "1");
  EXPECT_EQ(first.v1.Artist(), "A");
  EXPECT_TRUE(Exists("M\\B 2.mp3"));
  EXPECT_EQ(TagsOf("M\\C 3.mp3").v2.Artist(), "C");
  // The progress display starts when the user asks no more.
  const std::vector<int> frames = ProgressFrames();
  ASSERT_FALSE(frames.empty()) << Last();
  EXPECT_EQ(frames.back(), 43);
  EXPECT_GT(Last().find("\xE2\x96\x91"), Last().rfind("Id3Edit")) << Last();
}

// Cancelling the information dialog stops the walk; nothing is written.
TEST_F(TagCreation, CancelledConfirmationStopsTheWalk) {
  MakeFolder("M");
  MakeAudio("M\\A - 1.mp3");
  MakeAudio("M\\B - 2.mp3");
  Settings({{"Regexp", kArtistTitle}, {"CB_Title", "1"}, {"Edit_Title", "$2"}});
  Start();
  ASSERT_TRUE(Play("panel M select \"A - 1.mp3\" \"B - 2.mp3\"\n"
                   "invoke menu\n"
                   "menu choose 3\n"
                   "dialog Id3TagCreation press \"OK\"\n"
                   "dialog Id3Edit esc\n"
                   "expect-end\n"))
      << host_->failure() << Last();
  EXPECT_TRUE(Untouched("M\\A - 1.mp3"));
  EXPECT_TRUE(Untouched("M\\B - 2.mp3"));
}

}  // namespace

// The scheme buttons store the dialog's values first and reopen it with what
// the key then holds: a saved scheme loaded back replaces a later change.
TEST_F(TagCreation, SchemeButtonsReopenTheDialog) {
  MakeFolder("M");
  Start();
  ASSERT_TRUE(Play("panel M\n"
                   "invoke menu\n"
                   "menu choose 3\n"
                   "dialog Id3TagCreation check \"Title\"\n"
                   "dialog Id3TagCreation set \"Title\"+1 \"from the scheme\"\n"
                   "dialog Id3TagCreation press \"Save scheme\"\n"
                   "inputbox \"first\"\n"
                   "dialog Id3TagCreation expect \"Title\"+1 \"from the scheme\"\n"
                   "dialog Id3TagCreation set \"Title\"+1 \"changed\"\n"
                   "dialog Id3TagCreation uncheck \"ID3v1\"\n"
                   "dialog Id3TagCreation press \"Schemes\"\n"
                   "menu choose 0\n"
                   "dialog Id3TagCreation expect \"Title\"+1 \"from the scheme\"\n"
                   "dialog Id3TagCreation expect \"ID3v1\" checked\n"
                   "dialog Id3TagCreation expect \"Title\"+1 enabled\n"
                   "dialog Id3TagCreation esc\n"
                   "expect-end\n"))
      << host_->failure() << Last();
  EXPECT_EQ(Setting("Edit_Title"), std::string("from the scheme"));
  EXPECT_EQ(RegValue("TagCreationDialog\\Scheme\\0", "CB_Title"), std::string("1"));
}
