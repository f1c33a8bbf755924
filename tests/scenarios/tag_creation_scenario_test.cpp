// Tag creation through the plug-in's exports: the set-up dialog, its case
// dialog and regular-expression check, the walk of mode 3 with its counting
// pass and progress display, and the tags and names the files end up with.
#if defined(_WIN32)
#include <windows.h>
#undef DeleteFile
#undef MoveFile
#undef ReplaceFile
#else
#include <stdlib.h>
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "hostsim/fs.h"
#include "hostsim/host.h"
#include "hostsim/loader.h"
#include "hostsim/script.h"
#include "sys/sys.h"

namespace {

std::string ModulePath() {
#if defined(_WIN32)
  std::string path = std::string(TAGWRIGHT_PLUGIN_DIR) + "/tagwright.dll";
  if (!path.empty() && path[0] == '/') path = "Z:" + path;
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
#else
  return std::string(TAGWRIGHT_PLUGIN_DIR) + "/libtagwright.so";
#endif
}

void SetEnv(const char* name, const std::optional<std::string>& value) {
#if defined(_WIN32)
  SetEnvironmentVariableA(name, value ? value->c_str() : nullptr);
#else
  if (value) {
    setenv(name, value->c_str(), 1);
  } else {
    unsetenv(name);
  }
#endif
}

std::optional<std::string> GetEnv(const char* name) {
  std::string value;
  if (!sys::GetEnv(name, &value)) return std::nullopt;
  return value;
}

int Pid() {
#if defined(_WIN32)
  return static_cast<int>(GetCurrentProcessId());
#else
  return static_cast<int>(getpid());
#endif
}

void DeleteTree(sys::RegKey parent, const std::string& path) {
  sys::RegKey key = nullptr;
  if (sys::RegOpenKeyEx(parent, path.c_str(), sys::kKeyRead | sys::kKeyWrite, &key) != 0) return;
  for (int guard = 0; guard < 10000; ++guard) {
    char name[256];
    uint32_t size = sizeof(name);
    if (sys::RegEnumKeyEx(key, 0, name, &size) != 0) break;
    DeleteTree(key, name);
  }
  sys::RegCloseKey(key);
  sys::RegDeleteKey(parent, path.c_str());
}

// A word of a script: quoted, with the script's own escapes for "\" and '"'.
std::string Word(const std::string& text) {
  std::string word = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"') word += '\\';
    word += c;
  }
  return word + "\"";
}

// The worked example's expression: artist and title from "Artist - Title.mp3".
const char kArtistTitle[] = "([^\\\\]*) - ([^\\\\]*)\\.mp3$";

// Two frames of MPEG 1 Layer III at 128 kbit/s and silence: 1.25 s of audio.
const size_t kAudioSize = 20000;
std::string AudioBytes() {
  std::string data(kAudioSize, '\0');
  const char header[4] = {'\xFF', '\xFB', '\x90', '\x64'};
  data.replace(0, 4, header, 4);
  data.replace(417, 4, header, 4);
  return data;
}

// What a file's tags hold, read here without the plug-in's code.
struct Tags {
  bool v1 = false;
  std::string v1Title, v1Artist, v1Album;
  int v1Track = 0, v1Genre = 255;
  bool v2 = false;
  std::map<std::string, std::string> v2Frames;  // text frames and COMM, as stored

  std::string V2(const char* id) const {
    auto it = v2Frames.find(id);
    return it == v2Frames.end() ? std::string() : it->second;
  }
};

std::string Trimmed(std::string text) {
  text.resize(std::min(text.size(), text.find('\0')));
  return text;
}

Tags ReadTags(const std::string& path) {
  Tags tags;
  std::string content;
  if (!hostsim::ReadWholeFile(path, &content)) return tags;
  if (content.size() >= 128 && content.compare(content.size() - 128, 3, "TAG") == 0) {
    const std::string block = content.substr(content.size() - 128);
    tags.v1 = true;
    tags.v1Title = Trimmed(block.substr(3, 30));
    tags.v1Artist = Trimmed(block.substr(33, 30));
    tags.v1Album = Trimmed(block.substr(63, 30));
    if (block[125] == '\0') tags.v1Track = static_cast<unsigned char>(block[126]);
    tags.v1Genre = static_cast<unsigned char>(block[127]);
  }
  // ID3v2.3 (ID3v2 section 3.1 and 3.3): a 10-byte header with a 28-bit size,
  // frames of a 10-byte header (id, 32-bit size, flags) and their data.
  if (content.size() >= 10 && content.compare(0, 3, "ID3") == 0 && content[3] == 3) {
    tags.v2 = true;
    size_t size = 0;
    for (int i = 6; i < 10; ++i) size = size << 7 | (static_cast<unsigned char>(content[i]) & 0x7F);
    size_t at = 10;
    const size_t end = std::min(content.size(), 10 + size);
    while (at + 10 <= end && content[at] != '\0') {
      const std::string id = content.substr(at, 4);
      size_t frameSize = 0;
      for (int i = 4; i < 8; ++i) frameSize = frameSize << 8 | static_cast<unsigned char>(content[at + i]);
      if (at + 10 + frameSize > end || frameSize == 0) break;
      std::string data = content.substr(at + 11, frameSize - 1);  // after the encoding byte
      if (id == "COMM") data = data.substr(std::min(data.size(), data.find('\0', 3) + 1));
      tags.v2Frames[id] = Trimmed(data);
      at += 10 + frameSize;
    }
  }
  return tags;
}

class TagCreation : public ::testing::Test {
 protected:
  void SetUp() override {
    static int serial = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
      user_ = "tagcreation-" + std::to_string(Pid()) + "-" +
              std::to_string(std::time(nullptr) % 100000) + "-" + std::to_string(++serial);
      dir_ = hostsim::TemporaryFolder() + user_;
      if (sys::CreateFolder(dir_)) break;
    }
    ASSERT_TRUE(sys::IsFolder(dir_)) << dir_;
    savedRegistry_ = GetEnv("TAGWRIGHT_REGISTRY");
    savedUser_ = GetEnv("FARUSER");
    SetEnv("TAGWRIGHT_REGISTRY", hostsim::JoinPath(dir_, "registry.reg"));
    SetEnv("FARUSER", user_);
    host_ = std::make_unique<hostsim::Host>();
  }
  void TearDown() override {
    module_.Unload();
    host_.reset();
    hostsim::ChangeFolder(hostsim::TemporaryFolder());
    SetEnv("TAGWRIGHT_REGISTRY", savedRegistry_);
    SetEnv("FARUSER", savedUser_);
    DeleteTree(sys::CurrentUserKey(), "Software\\Far\\Users\\" + user_);
    std::error_code ec;
    std::filesystem::remove_all(hostsim::NativePath(dir_), ec);
  }

  void Start() {
    std::string error;
    ASSERT_TRUE(module_.Load(ModulePath(), "English", &error)) << error;
    module_.SetStartupInfo();
  }

  // Plays `script` from its first line; true when every line passed.
  bool Play(const std::string& script) {
    std::vector<hostsim::Step> steps;
    std::string error;
    EXPECT_TRUE(hostsim::ParseScript(script, &steps, &error)) << error;
    transcriptStart_ = host_->transcript().size();
    hostsim::ScriptDriver driver(*host_, &module_, steps, dir_);
    host_->SetDriver(&driver);
    const bool ok = driver.Run();
    host_->SetDriver(nullptr);
    return ok;
  }
  std::string Transcript() const { return host_->transcript().Text(transcriptStart_); }

  // A value under the plug-in's key of this test's user.
  void SetValue(const std::string& subkey, const std::string& name, const std::string& text) {
    const std::string path = "Software\\Far\\Users\\" + user_ + "\\Plugins\\Tagwright\\" + subkey;
    sys::RegKey key = nullptr;
    ASSERT_EQ(sys::RegCreateKeyEx(sys::CurrentUserKey(), path.c_str(), sys::kKeyWrite, &key), 0);
    sys::RegSetValueEx(key, name.c_str(), sys::kRegSz,
                       reinterpret_cast<const uint8_t*>(text.c_str()),
                       static_cast<uint32_t>(text.size() + 1));
    sys::RegCloseKey(key);
  }
  std::optional<std::string> GetValue(const std::string& subkey, const std::string& name) {
    const std::string path = "Software\\Far\\Users\\" + user_ + "\\Plugins\\Tagwright\\" + subkey;
    sys::RegKey key = nullptr;
    if (sys::RegOpenKeyEx(sys::CurrentUserKey(), path.c_str(), sys::kKeyRead, &key) != 0) {
      return std::nullopt;
    }
    uint8_t data[600] = {};
    uint32_t type = 0, size = sizeof(data) - 1;
    const long rc = sys::RegQueryValueEx(key, name.c_str(), &type, data, &size);
    sys::RegCloseKey(key);
    if (rc != 0) return std::nullopt;
    return std::string(reinterpret_cast<const char*>(data));
  }
  // The dialog's values for a run without questions.
  void Settings(const std::map<std::string, std::string>& values) {
    for (const auto& [name, text] : values) SetValue("TagCreationDialog", name, text);
  }

  // OEM path of `name` below the test's folder.
  std::string Path(const std::string& name) const { return hostsim::JoinPath(dir_, name); }
  void MakeFolder(const std::string& name) { ASSERT_TRUE(sys::CreateFolder(Path(name))); }
  void MakeAudio(const std::string& name) {
    ASSERT_TRUE(hostsim::WriteWholeFile(Path(name), AudioBytes())) << name;
  }
  size_t FileSize(const std::string& name) {
    std::string content;
    return hostsim::ReadWholeFile(Path(name), &content) ? content.size() : 0;
  }

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

  std::unique_ptr<hostsim::Host> host_;
  hostsim::PluginModule module_;
  std::string dir_, user_;
  size_t transcriptStart_ = 0;
  std::optional<std::string> savedRegistry_, savedUser_;
};

TEST_F(TagCreation, WorkedExampleThroughTheDialog) {
  MakeFolder("Music");
  MakeAudio("Music\\Band - Song.mp3");
  MakeAudio("Music\\Other - Tune.mp3");
  Start();
  ASSERT_TRUE(Play("panel Music select \"Band - Song.mp3\" \"Other - Tune.mp3\"\n"
                   "invoke menu\n"
                   "menu choose 3\n"
                   "dialog Id3TagCreation expect 16 disabled\n"
                   "dialog Id3TagCreation uncheck 1\n"
                   "dialog Id3TagCreation set 10 " + Word(kArtistTitle) + "\n"
                   "dialog Id3TagCreation check 15\n"
                   "dialog Id3TagCreation expect 16 enabled\n"
                   "dialog Id3TagCreation expect 17 enabled\n"
                   "dialog Id3TagCreation set 16 \"$2\"\n"
                   "dialog Id3TagCreation check 18\n"
                   "dialog Id3TagCreation set 19 \"$1\"\n"
                   "dialog Id3TagCreation check 30\n"
                   "dialog Id3TagCreation set 31 \"%0{1}\"\n"
                   "dialog Id3TagCreation check 35\n"
                   "dialog Id3TagCreation set 36 \"%0{1,R,2,0} %2%G\"\n"
                   "dialog Id3TagCreation press 39\n"
                   "expect-selected none\n"
                   "expect-end\n"))
      << host_->failure() << Transcript();

  EXPECT_FALSE(sys::Exists(Path("Music\\Band - Song.mp3")));
  const Tags first = ReadTags(Path("Music\\01 Song.mp3"));
  EXPECT_TRUE(first.v1 && first.v2);
  EXPECT_EQ(first.v1Artist, "Band");
  EXPECT_EQ(first.v1Title, "Song");
  EXPECT_EQ(first.v1Track, 1);
  EXPECT_EQ(first.V2("TPE1"), "Band");
  EXPECT_EQ(first.V2("TIT2"), "Song");
  EXPECT_EQ(first.V2("TRCK"), "1");
  const Tags second = ReadTags(Path("Music\\02 Tune.mp3"));
  EXPECT_EQ(second.V2("TPE1"), "Other");
  EXPECT_EQ(second.v1Track, 2);
  // Counted first, then a frame for the start and one per file.
  EXPECT_EQ(ProgressFrames(), (std::vector<int>{0, 21, 43}));
  // The dialog's values were stored for the next time.
  EXPECT_EQ(GetValue("TagCreationDialog", "Regexp"), std::string(kArtistTitle));
  EXPECT_EQ(GetValue("TagCreationDialog", "Edit_FileName"), std::string("%0{1,R,2,0} %2%G"));
  EXPECT_EQ(GetValue("TagCreationDialog", "Confirmation"), std::string("0"));
}

// The counter runs over the whole walk, or restarts in each folder.
TEST_F(TagCreation, CounterWithAndWithoutResetCounter) {
  MakeFolder("A");
  MakeFolder("B");
  for (const char* name : {"A\\1.mp3", "A\\2.mp3", "B\\1.mp3", "B\\2.mp3"}) MakeAudio(name);
  Settings({{"Confirmation", "0"}, {"CreateID3v2", "0"}, {"CB_Track", "1"}, {"Edit_Track", "%0{1}"}});
  for (const bool reset : {false, true}) {
    SCOPED_TRACE(reset ? "ResetCounter on" : "ResetCounter off");
    SetValue("ConfigDialog", "ResetCounter", reset ? "1" : "0");
    Start();
    ASSERT_TRUE(Play("panel . select A B\n"
                     "invoke menu\n"
                     "menu choose 3\n"
                     "dialog Id3TagCreation press 39\n"
                     "expect-end\n"))
        << host_->failure() << Transcript();
    EXPECT_EQ(ReadTags(Path("A\\1.mp3")).v1Track, 1);
    EXPECT_EQ(ReadTags(Path("A\\2.mp3")).v1Track, 2);
    EXPECT_EQ(ReadTags(Path("B\\1.mp3")).v1Track, reset ? 1 : 3);
    EXPECT_EQ(ReadTags(Path("B\\2.mp3")).v1Track, reset ? 2 : 4);
    EXPECT_FALSE(ReadTags(Path("B\\2.mp3")).v2);
    EXPECT_EQ(ProgressFrames(), (std::vector<int>{0, 10, 21, 32, 43}));
    module_.Unload();
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
                   "dialog Id3TagCreation expect 6 enabled\n"
                   "dialog Id3TagCreation expect 8 \"KOI8-R\"\n"
                   "dialog Id3TagCreation press 39\n"
                   "expect-end\n"))
      << host_->failure() << Transcript();
  const Tags a = ReadTags(Path("M\\a.mp3")), b = ReadTags(Path("M\\b.mp3"));
  EXPECT_EQ(a.V2("TPE1"), "\xC0\xF0\xF2\xE8\xF1\xF2");  // 1251
  EXPECT_EQ(a.V2("TIT2"), "\xCF\xE5\xF1\xED\xFF");
  EXPECT_EQ(a.v1Artist, "\xC0\xF0\xF2\xE8\xF1\xF2");
  EXPECT_EQ(b.v1Title, "\xD2\xF0\xE5\xEA");
  EXPECT_EQ(b.V2("TPE1"), "\xC2\xF2\xEE\xF0\xEE\xE9");
  EXPECT_EQ(FileSize("M\\c.mp3"), kAudioSize);
  EXPECT_EQ(Transcript().find("WARNING"), std::string::npos) << Transcript();
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
  ASSERT_TRUE(Play("panel M select " + Word(scriptName) + "\n"
                   "invoke menu\n"
                   "menu choose 3\n"
                   "dialog Id3TagCreation expect 17 enabled\n"
                   "dialog Id3TagCreation expect 26 disabled\n"
                   "dialog Id3TagCreation check 20\n"
                   "dialog Id3Case expect 1 checked\n"
                   "dialog Id3Case choose 4\n"
                   "dialog Id3Case check 7\n"
                   "dialog Id3Case check 9\n"
                   "dialog Id3Case press 11\n"
                   "dialog Id3TagCreation expect 20 checked\n"
                   "dialog Id3TagCreation expect 20 enabled\n"
                   "dialog Id3TagCreation expect 17 disabled\n"
                   "dialog Id3TagCreation expect 23 disabled\n"
                   "dialog Id3TagCreation press 39\n"
                   "expect-end\n"))
      << host_->failure() << Transcript();
  EXPECT_EQ(GetValue("TagCreationDialog", "C_Artist"), std::string("13"));
  EXPECT_EQ(GetValue("TagCreationDialog", "C_AllTags"), std::string("Artist"));
  const Tags tags = ReadTags(Path("M\\" + name));
  EXPECT_FALSE(tags.v1);
  EXPECT_EQ(tags.V2("TPE1"), "Moj artist");
  EXPECT_EQ(tags.V2("TIT2"), "Pesnya");
  EXPECT_EQ(tags.V2("TALB"), "Al'bom 7");

  // The case dialog opens on the stored mode; cancelling it changes nothing.
  ASSERT_TRUE(Play("invoke menu\n"
                   "menu choose 3\n"
                   "dialog Id3TagCreation expect 20 checked\n"
                   "dialog Id3TagCreation uncheck 20\n"
                   "dialog Id3Case expect 4 checked\n"
                   "dialog Id3Case expect 7 checked\n"
                   "dialog Id3Case expect 9 checked\n"
                   "dialog Id3Case esc\n"
                   "dialog Id3TagCreation expect 20 checked\n"
                   "dialog Id3TagCreation esc\n"
                   "expect-end\n"))
      << host_->failure() << Transcript();
  EXPECT_EQ(GetValue("TagCreationDialog", "C_Artist"), std::string("13"));
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
                   "dialog Id3TagCreation press 39\n"
                   "expect-end\n"))
      << host_->failure() << Transcript();
  const Tags rock = ReadTags(Path("M\\rock - One.mp3"));
  EXPECT_EQ(rock.v1Genre, 17);
  EXPECT_EQ(rock.V2("TCON"), "rock");
  EXPECT_EQ(rock.V2("TIT2"), "ACDC One");  // the backslash escaped the D
  // The ID3v2 value of a file without an ID3v2 tag reads the ID3v1 tag,
  // which the genre field has just filled: its genre is the table's name.
  EXPECT_EQ(rock.V2("COMM"), "[ACDC One|Rock]");
  const Tags other = ReadTags(Path("M\\nonsense - Two.mp3"));
  EXPECT_EQ(other.v1Genre, 255);
  EXPECT_EQ(other.V2("TCON"), "nonsense");
  EXPECT_EQ(other.v1Title, "ACDC Two");
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
                   "dialog Id3TagCreation press 39\n"
                   "expect-end\n"))
      << host_->failure() << Transcript();
  EXPECT_EQ(FileSize("M\\1 nomatch.mp3"), kAudioSize);
  EXPECT_EQ(FileSize("M\\x - y.mp3"), kAudioSize);
  EXPECT_EQ(Transcript().find("message WARNING"), std::string::npos) << Transcript();
}

// An expression that does not compile is shown with the library's text and
// position, the cursor goes there, and neither leaving the field nor a
// button gets past it; Esc leaves without storing anything.
TEST_F(TagCreation, RegexpErrorShownWithItsPosition) {
  MakeFolder("M");
  Start();
  ASSERT_TRUE(Play("panel M\n"
                   "invoke menu\n"
                   "menu choose 3\n"
                   "dialog Id3TagCreation set 10 \"(abc\"\n"
                   "dialog Id3TagCreation focus 1\n"
                   "message expect \"Error in the regular expression\" expect \"(pos 4)\" button 0\n"
                   "dialog Id3TagCreation expect 10 focused\n"
                   "dialog Id3TagCreation expect 10 cursor 4\n"
                   "dialog Id3TagCreation set 10 \"ab)c\"\n"
                   "dialog Id3TagCreation enter\n"
                   "message expect \"(pos 2)\" button 0\n"
                   "dialog Id3TagCreation expect 10 cursor 2\n"
                   "dialog Id3TagCreation esc\n"
                   "expect-end\n"))
      << host_->failure() << Transcript();
  EXPECT_EQ(GetValue("TagCreationDialog", "Regexp"), std::nullopt);
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
                   "dialog Id3TagCreation expect 1 checked\n"
                   "dialog Id3TagCreation press 39\n"
                   "dialog Id3Edit expect 22 \"A\"\n"
                   "dialog Id3Edit expect 5 \"1\"\n"
                   "dialog Id3Edit set 5 \"one\"\n"
                   "dialog Id3Edit press 37\n"
                   "dialog Id3Confirmation expect 2 \"A - 1.mp3\"\n"
                   "dialog Id3Confirmation expect 4 \"A one.mp3\"\n"
                   "dialog Id3Confirmation set 4 \"first.mp3\"\n"
                   "dialog Id3Confirmation press 8\n"
                   "dialog Id3Edit expect 22 \"B\"\n"
                   "dialog Id3Edit check 42\n"
                   "dialog Id3Edit press 37\n"
                   "expect-end\n"))
      << host_->failure() << Transcript();
  const Tags first = ReadTags(Path("M\\first.mp3"));
  EXPECT_EQ(first.v1Title, "one");  // the name read the ID3v1 tag: the file had no ID3v2 tag
  EXPECT_EQ(first.V2("TIT2"), "1");
  EXPECT_EQ(first.v1Artist, "A");
  EXPECT_TRUE(sys::Exists(Path("M\\B 2.mp3")));
  EXPECT_EQ(ReadTags(Path("M\\C 3.mp3")).V2("TPE1"), "C");
  // The progress display starts when the user asks no more.
  const std::vector<int> frames = ProgressFrames();
  ASSERT_FALSE(frames.empty()) << Transcript();
  EXPECT_EQ(frames.back(), 43);
  EXPECT_GT(Transcript().find("\xE2\x96\x91"), Transcript().rfind("Id3Edit")) << Transcript();
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
                   "dialog Id3TagCreation press 39\n"
                   "dialog Id3Edit esc\n"
                   "expect-end\n"))
      << host_->failure() << Transcript();
  EXPECT_EQ(FileSize("M\\A - 1.mp3"), kAudioSize);
  EXPECT_EQ(FileSize("M\\B - 2.mp3"), kAudioSize);
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
                   "dialog Id3TagCreation check 15\n"
                   "dialog Id3TagCreation set 16 \"from the scheme\"\n"
                   "dialog Id3TagCreation press 42\n"
                   "inputbox \"first\"\n"
                   "dialog Id3TagCreation expect 16 \"from the scheme\"\n"
                   "dialog Id3TagCreation set 16 \"changed\"\n"
                   "dialog Id3TagCreation uncheck 13\n"
                   "dialog Id3TagCreation press 41\n"
                   "menu choose 0\n"
                   "dialog Id3TagCreation expect 16 \"from the scheme\"\n"
                   "dialog Id3TagCreation expect 13 checked\n"
                   "dialog Id3TagCreation expect 16 enabled\n"
                   "dialog Id3TagCreation esc\n"
                   "expect-end\n"))
      << host_->failure() << Transcript();
  EXPECT_EQ(GetValue("TagCreationDialog", "Edit_Title"), std::string("from the scheme"));
  EXPECT_EQ(GetValue("TagCreationDialog\\Scheme\\0", "CB_Title"), std::string("1"));
}
