// Unicode tag text through the plug-in's exports: the configuration's "Write
// ID3v2 text in Unicode" on tags that tag creation fills, and the conversion
// of old 8-bit tags (mode 4) with its set-up dialog, guess per file, and the
// per-file confirmation with another pick, skip, stop and "do not ask again".
// The tag code page is "Windows text"; the tests run with OEM 866 and ANSI 1251.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "batch_scenario.h"
#include "sys/sys.h"
#include "tags/id3v1.h"
#include "tags/id3v2.h"

namespace {

// "Кукушка" in the code pages of old taggers, and as UTF-16LE.
const std::string k1251 = "\xCA\xF3\xEA\xF3\xF8\xEA\xE0";
const std::string k866 = "\x8A\xE3\xAA\xE3\xE8\xAA\xA0";
const std::string kKoi8 = "\xEB\xD5\xCB\xD5\xDB\xCB\xC1";
const std::string kUtf16 = std::string("\x01\xFF\xFE", 3) +
                           std::string("\x1A\x04\x43\x04\x3A\x04\x43\x04\x48\x04\x3A\x04\x30\x04", 14);
// "Цой" in 1251, and "Привет" in OEM 866 as a template of the dialogs.
const std::string kArtist1251 = "\xD6\xEE\xE9";
const std::string kPrivetOem = "\x8F\xE0\xA8\xA2\xA5\xE2";

// The data of the frame `id` of the 2.3 tag at the start of `file`.
std::optional<std::string> FrameData(const std::string& file, const std::string& id) {
  if (file.size() < 10 || file.compare(0, 3, "ID3") != 0) return std::nullopt;
  const auto byte = [&](size_t i) { return static_cast<size_t>(static_cast<uint8_t>(file[i])); };
  const size_t total = 10 + (byte(6) << 21 | byte(7) << 14 | byte(8) << 7 | byte(9));
  size_t at = 10;
  while (at + 10 <= total && at + 10 <= file.size() && file[at] != 0) {
    const size_t size = byte(at + 4) << 24 | byte(at + 5) << 16 | byte(at + 6) << 8 | byte(at + 7);
    if (file.compare(at, 4, id) == 0) return file.substr(at + 10, size);
    at += 10 + size;
  }
  return std::nullopt;
}

class ConvertText : public scenario::BatchScenario {
 protected:
  std::string Bytes(const std::string& name) const { return ReadFile(name).value_or(""); }
  std::string Title(const std::string& name) const {
    return FrameData(Bytes(name), "TIT2").value_or("(none)");
  }
  // An MP3 file whose tags hold `title` and the artist as old taggers wrote them.
  void MakeOld(const std::string& name, const std::string& title) {
    MakeMp3(name, scenario::Tags{title, kArtist1251, "Album"});
  }
  std::string Converted(const std::string& utf16Le) const { return std::string("\x01\xFF\xFE", 3) + utf16Le; }
};

TEST_F(ConvertText, TheOptionWritesFilledFieldsInUnicode) {
  MakeMp3("a.mp3", scenario::Tags{"", "", "", false, false});
  SetRegValue("TagCreationDialog", "Confirmation", "0");
  SetRegValue("TagCreationDialog", "CB_Title", "1");
  SetRegValue("TagCreationDialog", "Edit_Title", kPrivetOem);
  SetRegValue("TagCreationDialog", "CB_Artist", "1");
  SetRegValue("TagCreationDialog", "Edit_Artist", "Kino");
  Start();
  ASSERT_TRUE(Play("invoke configure\n"
                   "dialog Id3Config expect \"Write ID3v2 text in Unicode\" unchecked\n"
                   "dialog Id3Config check \"Write ID3v2 text in Unicode\"\n"
                   "dialog Id3Config press \"OK\"\n"
                   "panel . select a.mp3\n"
                   "invoke menu\n"
                   "menu choose 3\n"
                   "dialog Id3TagCreation press \"OK\"\n"
                   "expect-end\n"))
      << host_->failure() << Transcript();
  EXPECT_EQ(RegValue("ConfigDialog", "WriteUnicode"), "1");
  // "Привет" in UTF-16; the ASCII artist stays under encoding 0.
  EXPECT_EQ(Title("a.mp3"), Converted(std::string("\x1F\x04\x40\x04\x38\x04\x32\x04\x35\x04\x42\x04", 12)));
  EXPECT_EQ(FrameData(Bytes("a.mp3"), "TPE1"), std::string("\0Kino", 5));
  tags::ID3v2Tag v2;
  ASSERT_TRUE(v2.Load(Path("a.mp3")));
  EXPECT_EQ(v2.Title(), "Привет");
  tags::ID3v1Tag v1;
  ASSERT_TRUE(v1.Load(Path("a.mp3")));
  EXPECT_EQ(v1.Title(), "Привет");  // ID3v1 has no encoding: 1251 bytes
}

// Guessed per file without questions: each title in its own code page comes
// out as the same Unicode text; nothing but the converted frames changes.
TEST_F(ConvertText, GuessPerFileConvertsEachFileFromItsCodePage) {
  MakeOld("a.mp3", k1251);
  MakeOld("b.mp3", k866);
  MakeOld("c.mp3", kKoi8);
  MakeMp3("plain.mp3", scenario::Tags{"Plain", "ASCII", "Only"});
  const std::string plainBefore = Bytes("plain.mp3");
  const std::string aBefore = Bytes("a.mp3");
  SetRegValue("ConvertDialog", "Confirmation", "0");
  Start();
  ASSERT_TRUE(Play("panel . select a.mp3 b.mp3 c.mp3 plain.mp3\n"
                   "invoke menu\n"
                   "menu choose 4\n"
                   "dialog Id3Convert expect \"Text was written in\" \"Guess per file\"\n"
                   "dialog Id3Convert press \"OK\"\n"
                   "expect-selected none\n"
                   "expect-end\n"))
      << host_->failure() << Transcript();
  EXPECT_EQ(Title("a.mp3"), kUtf16);
  EXPECT_EQ(Title("b.mp3"), kUtf16);
  EXPECT_EQ(Title("c.mp3"), kUtf16);
  // The artist was 1251 everywhere: each file's guess holds for all its text
  // (a short artist goes with the title's code page).
  EXPECT_EQ(FrameData(Bytes("a.mp3"), "TPE1"), Converted(std::string("\x26\x04\x3E\x04\x39\x04", 6)));
  EXPECT_EQ(FrameData(Bytes("a.mp3"), "TALB"), std::string("\0Album", 6));
  EXPECT_EQ(Bytes("plain.mp3"), plainBefore);
  // The ID3v1 tag and the audio stay as they were.
  const std::string after = Bytes("a.mp3");
  ASSERT_GE(after.size(), 128u);
  EXPECT_EQ(after.substr(after.size() - 128), aBefore.substr(aBefore.size() - 128));
  EXPECT_EQ(after.size(), aBefore.size());  // in place: the tag's padding took the growth
  EXPECT_EQ(RegValue("ConvertDialog", "Source"), "Guess per file");
}

// A code page chosen in the dialog holds for every file, whatever a guess
// would say; the choice is kept for the next time.
TEST_F(ConvertText, AChosenCodePageOverridesTheGuess) {
  MakeOld("a.mp3", k1251);
  SetRegValue("ConvertDialog", "Confirmation", "0");
  Start();
  ASSERT_TRUE(Play("panel . select a.mp3\n"
                   "invoke menu\n"
                   "menu choose 4\n"
                   "dialog Id3Convert select \"Text was written in\" \"Dos text\"\n"
                   "dialog Id3Convert press \"OK\"\n"
                   "expect-end\n"))
      << host_->failure() << Transcript();
  // "Кукушка" in 1251 read as 866 is "╩єъє°ър".
  EXPECT_EQ(Title("a.mp3"),
            Converted(std::string("\x69\x25\x54\x04\x4A\x04\x54\x04\xB0\x00\x4A\x04\x40\x04", 14)));
  EXPECT_EQ(RegValue("ConvertDialog", "Source"), "Dos text");
}

// The confirmation shows a line per code page with the guess focused; the
// user picks another line, skips a file, and stops asking.
TEST_F(ConvertText, ConfirmationWithAnotherPickSkipAndNoMoreQuestions) {
  for (const char* name : {"1.mp3", "2.mp3", "3.mp3", "4.mp3"}) MakeOld(name, k1251);
  const std::string before2 = Bytes("2.mp3");
  Start();
  ASSERT_TRUE(Play("panel . select 1.mp3 2.mp3 3.mp3 4.mp3\n"
                   "invoke menu\n"
                   "menu choose 4\n"
                   "dialog Id3Convert expect \"Confirm each file\" checked\n"
                   "dialog Id3Convert press \"OK\"\n"
                   // 1.mp3: "Windows text" guessed; the user takes "Dos text".
                   "dialog Id3ConvertConfirm expect \"The file's text read in each code page\" focused\n"
                   "dialog Id3ConvertConfirm expect \"The file's text read in each code page\" entry 0\n"
                   "dialog Id3ConvertConfirm select \"The file's text read in each code page\" 1\n"
                   "dialog Id3ConvertConfirm press \"Convert\"\n"
                   // 2.mp3: skipped.
                   "dialog Id3ConvertConfirm press \"Skip this file\"\n"
                   // 3.mp3: converted, and no more questions.
                   "dialog Id3ConvertConfirm check \"Do not ask again\"\n"
                   "dialog Id3ConvertConfirm press \"Convert\"\n"
                   "expect-end\n"))
      << host_->failure() << Transcript();
  // 1.mp3 read as 866: "Кукушка" in 1251 is "╩єъє°ър" there.
  EXPECT_EQ(Title("1.mp3"),
            Converted(std::string("\x69\x25\x54\x04\x4A\x04\x54\x04\xB0\x00\x4A\x04\x40\x04", 14)));
  EXPECT_EQ(Bytes("2.mp3"), before2);
  EXPECT_EQ(Title("3.mp3"), kUtf16);
  EXPECT_EQ(Title("4.mp3"), kUtf16);
  // The preview line of the guess reads right (and only that line).
  const std::string transcript = Transcript();
  const size_t line = transcript.find("\"Windows text ");
  ASSERT_NE(line, std::string::npos) << transcript;
  const std::string entry = transcript.substr(line, transcript.find('|', line) - line);
  EXPECT_NE(entry.find(" \xD0\x9A\xD1\x83\xD0\xBA\xD1\x83\xD1\x88\xD0\xBA\xD0\xB0 / "
                       "\xD0\xA6\xD0\xBE\xD0\xB9 / Album\""),
            std::string::npos)
      << entry;  // Read as Western European, "Кукушка" and "Цой" are "Êóêóøêà" and "Öîé",
  // which the OEM code page 866 lacks: "?" for each, on every target alike.
  const size_t western = transcript.find("\"Western European (1252) ");
  ASSERT_NE(western, std::string::npos) << transcript;
  const std::string westernEntry = transcript.substr(western, transcript.find('|', western) - western);
  EXPECT_NE(westernEntry.find(" ??????? / ??? / Album\""), std::string::npos) << westernEntry;
}

// Stop leaves the file and the rest as they were, still selected; ID3v1
// fields the ID3v2 tag lacks are copied in when asked.
TEST_F(ConvertText, StopAndCopyOfId3v1Fields) {
  MakeMp3("1.mp3", scenario::Tags{kKoi8, "", "", true, false});
  MakeOld("2.mp3", k1251);
  const std::string before2 = Bytes("2.mp3");
  SetRegValue("ConvertDialog", "CopyV1", "1");
  Start();
  ASSERT_TRUE(Play("panel . select 1.mp3 2.mp3\n"
                   "invoke menu\n"
                   "menu choose 4\n"
                   "dialog Id3Convert expect \"Copy ID3v1 fields that ID3v2 lacks\" checked\n"
                   "dialog Id3Convert press \"OK\"\n"
                   // KOI8-R
                   "dialog Id3ConvertConfirm expect \"The file's text read in each code page\" entry 2\n"
                   "dialog Id3ConvertConfirm press \"Convert\"\n"
                   "dialog Id3ConvertConfirm press \"Stop\"\n"
                   "expect-selected 2.mp3\n"
                   "expect-end\n"))
      << host_->failure() << Transcript();
  EXPECT_EQ(Title("1.mp3"), kUtf16);
  EXPECT_EQ(Bytes("2.mp3"), before2);
}

// Every ID3v1 field that ID3v2 lacks is copied, the track too; what ID3v2
// has stays.
TEST_F(ConvertText, TheCopyOfId3v1FieldsTakesTheTrack) {
  MakeMp3("v1only.mp3", scenario::Tags{"Song", "Band", "", true, false});
  MakeMp3("both.mp3", scenario::Tags{"Song", "Band", "", true, true});
  auto setTrack = [&](auto&& tag, const std::string& name, int track) {
    ASSERT_TRUE(tag.Load(Path(name)));
    tag.SetTrack(static_cast<uint8_t>(track));
    ASSERT_TRUE(tag.Save(Path(name)));
  };
  setTrack(tags::ID3v1Tag(), "v1only.mp3", 7);
  setTrack(tags::ID3v1Tag(), "both.mp3", 7);
  setTrack(tags::ID3v2Tag(), "both.mp3", 3);
  SetRegValue("ConvertDialog", "CopyV1", "1");
  Start();
  ASSERT_TRUE(Play("panel . select v1only.mp3 both.mp3\n"
                   "invoke menu\n"
                   "menu choose 4\n"
                   "dialog Id3Convert press \"OK\"\n"
                   "expect-end\n"))
      << host_->failure() << Transcript();
  for (const auto& [name, track] : {std::pair{"v1only.mp3", 7}, std::pair{"both.mp3", 3}}) {
    tags::ID3v2Tag v2;
    ASSERT_TRUE(v2.Load(Path(name)));
    EXPECT_EQ(v2.Track(), track) << name;
    EXPECT_EQ(v2.Title(), "Song") << name;
  }
}

}  // namespace
