// The file information view and tag editor, as a user reaches it: files
// selected in the panel, the plug-in's menu, its first operation. The files
// are built here byte by byte and read back byte by byte after the plug-in
// wrote them, without the plug-in's own readers.
#include "plugin_scenario.h"  // windows.h before sys.h

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#if defined(_WIN32)
#undef far  // windows.h's, a member name in hostsim's dialog items
#else
#include <sys/resource.h>
#endif
#include "hostsim/dialog_engine.h"

namespace {

using scenario::Mp3Audio;

// ---------------------------------------------------------------- files

std::string Syncsafe(size_t n) {
  return {static_cast<char>((n >> 21) & 0x7F), static_cast<char>((n >> 14) & 0x7F),
          static_cast<char>((n >> 7) & 0x7F), static_cast<char>(n & 0x7F)};
}

// An ID3v2.3 frame (4.3 of the ID3v2.3 standard: id, 32-bit size, two flag bytes).
std::string Frame(const std::string& id, const std::string& payload) {
  const size_t n = payload.size();
  std::string f = id;
  f += {static_cast<char>(n >> 24), static_cast<char>(n >> 16), static_cast<char>(n >> 8),
        static_cast<char>(n), '\0', '\0'};
  return f + payload;
}

// Text frames with encoding 0 (ISO 8859-1 bytes as they stand).
std::string Text(const std::string& id, const std::string& text) {
  return Frame(id, std::string(1, '\0') + text);
}
std::string Comment(const std::string& text) {
  return Frame("COMM", std::string("\0eng\0", 5) + text);
}

std::string Id3v2(const std::string& frames) {
  const size_t padding = 64;
  return std::string("ID3\x03\x00\x00", 6) + Syncsafe(frames.size() + padding) + frames +
         std::string(padding, '\0');
}

struct V1 {
  std::string title, artist, album, year, comment;
  int track = 0;  // 0: an ID3v1.0 block
  int genre = 255;
};

std::string Field(const std::string& text, size_t size) {
  std::string f = text.substr(0, size);
  f.resize(size, '\0');
  return f;
}

std::string Id3v1(const V1& v) {
  std::string block = "TAG" + Field(v.title, 30) + Field(v.artist, 30) + Field(v.album, 30) +
                      Field(v.year, 4);
  if (v.track != 0) {
    block += Field(v.comment, 28) + '\0' + static_cast<char>(v.track);
  } else {
    block += Field(v.comment, 30);
  }
  return block + static_cast<char>(v.genre);
}

const V1 kV1{"Song One", "Band One", "Album One", "1999", "v1 comment", 5, 17};
const std::string kV2Frames = Text("TIT2", "Song Two") + Text("TPE1", "Band Two") +
                              Text("TALB", "Album Two") + Text("TYER", "2001") +
                              Text("TCON", "Rock") + Text("TRCK", "7") + Comment("v2 comment") +
                              Text("TCOM", "Composer X") + Text("TENC", "Encoder Y");

size_t V2Size(const std::string& file) {
  if (file.size() < 10 || file.compare(0, 3, "ID3") != 0) return 0;
  size_t size = 0;
  for (int i = 6; i < 10; ++i) size = (size << 7) | (static_cast<unsigned char>(file[i]) & 0x7F);
  return 10 + size;
}

std::optional<V1> ReadV1(const std::string& file) {
  if (file.size() < 128 || file.compare(file.size() - 128, 3, "TAG") != 0) return std::nullopt;
  const std::string b = file.substr(file.size() - 128);
  auto text = [&](size_t at, size_t size) {
    std::string t = b.substr(at, size);
    return t.substr(0, t.find('\0'));
  };
  V1 v{text(3, 30), text(33, 30), text(63, 30), text(93, 4), text(97, 30), 0,
       static_cast<unsigned char>(b[127])};
  if (b[125] == '\0' && b[126] != '\0') {
    v.comment = text(97, 28);
    v.track = static_cast<unsigned char>(b[126]);
  }
  return v;
}

// Frame id -> its text: the encoding byte dropped, and for COMM the language
// and the description, for WXXX the description.
std::map<std::string, std::string> ReadV2(const std::string& file) {
  std::map<std::string, std::string> frames;
  const size_t end = V2Size(file);
  for (size_t at = 10; at + 10 <= end && file[at] != '\0';) {
    const std::string id = file.substr(at, 4);
    size_t size = 0;
    for (int i = 4; i < 8; ++i) size = (size << 8) | static_cast<unsigned char>(file[at + i]);
    std::string text = file.substr(at + 10, size);
    text = text.substr(std::min<size_t>(text.size(), id == "COMM" ? 4 : 1));
    if (id == "COMM" || id == "WXXX") text = text.substr(text.find('\0') + 1);
    frames[id] = text.substr(0, text.find('\0'));
    at += 10 + size;
  }
  return frames;
}

std::string AudioOf(const std::string& file) {
  const size_t start = V2Size(file);
  const size_t end = file.size() - (ReadV1(file) ? 128 : 0);
  return file.substr(start, end - start);
}

// ---------------------------------------------------------------- the host

// True when nothing at all is at `oemPath` (a dangling or looping link counts).
bool NothingAt(const std::string& oemPath) {
  std::error_code ec;
  auto status = std::filesystem::symlink_status(hostsim::NativePath(oemPath), ec);
  return status.type() == std::filesystem::file_type::not_found;
}

// The script driver, watching what the script cannot see: the information
// dialog's frame and size, the editor's file, and a file that the user's
// other programs hold or replace while the plug-in works.
class Watcher : public hostsim::ScriptDriver {
 public:
  using ScriptDriver::ScriptDriver;
  ~Watcher() override { Release(); }

  struct Shown {
    std::string frame;
    int width = 0, height = 0, count = 0;
  };
  std::vector<Shown> shown;          // each information dialog as it opened
  std::vector<hostsim::EditorRequest> edits;  // each editor call
  std::function<void()> beforeFirstDialog;    // runs once the dialog is filled
  bool blockEditorFile = false;  // after the editor: the file cannot be opened

  void RunDialog(hostsim::DialogEngine& dialog) override {
    if (dialog.helpTopic() == "Id3Edit") {
      shown.push_back({dialog.text(0), dialog.width(), dialog.height(), dialog.count()});
      if (beforeFirstDialog) std::exchange(beforeFirstDialog, nullptr)();
    }
    ScriptDriver::RunDialog(dialog);
  }
  hostsim::EditorAnswer Editor(const hostsim::EditorRequest& editor) override {
    edits.push_back(editor);
    return ScriptDriver::Editor(editor);
  }
  void EditorClosed(const hostsim::EditorRequest& editor) override {
    if (!blockEditorFile) return;
#if defined(_WIN32)
    // Open without read sharing, as another program might: opening it for
    // reading fails, deleting it does not.
    held_ = CreateFileA(editor.fileName.c_str(), GENERIC_READ, FILE_SHARE_DELETE, nullptr,
                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(held_, INVALID_HANDLE_VALUE);
#else
    // A link to itself: it is there, but opening it fails.
    const std::filesystem::path path = hostsim::NativePath(editor.fileName);
    std::error_code ec;
    std::filesystem::remove(path, ec);
    std::filesystem::create_symlink(path.filename(), path, ec);
    EXPECT_FALSE(ec) << ec.message();
#endif
  }
  void Release() {
#if defined(_WIN32)
    if (held_ != INVALID_HANDLE_VALUE) CloseHandle(held_);
    held_ = INVALID_HANDLE_VALUE;
#endif
  }

 private:
#if defined(_WIN32)
  HANDLE held_ = INVALID_HANDLE_VALUE;
#endif
};

class FileInfoView : public scenario::PluginScenario {
 protected:
  void SetUp() override {
    PluginScenario::SetUp();
    ASSERT_NO_FATAL_FAILURE(MakeFolder("music"));
    // The host's temporary names are the test's own: other programs making
    // temporary files at the same time cannot take them.
    ASSERT_NO_FATAL_FAILURE(MakeFolder("temp"));
    for (const char* name : kTempVariables) {
      savedTemp_.push_back(scenario::GetEnv(name));
      scenario::SetEnv(name, hostsim::NativePath(Path("temp")));
    }
    Start();
  }
  void TearDown() override {
    for (size_t i = 0; i < savedTemp_.size(); ++i) scenario::SetEnv(kTempVariables[i], savedTemp_[i]);
    PluginScenario::TearDown();
  }

  void Put(const std::string& name, const std::string& content) {
    WriteFile("music\\" + name, content);
  }
  std::string Get(const std::string& name) { return ReadFile("music\\" + name).value_or(""); }

  // The information view on the selected files, then `body`.
  bool Play(const std::string& selection, const std::string& body, Watcher** watcher = nullptr,
            const std::function<void(Watcher&)>& prepare = nullptr) {
    const std::string script = "panel music select " + selection +
                               "\ninvoke menu\nmenu * choose 0\n" + body + "expect-end\n";
    std::vector<hostsim::Step> steps;
    std::string error;
    EXPECT_TRUE(hostsim::ParseScript(script, &steps, &error)) << error;
    watcher_ = std::make_unique<Watcher>(*host_, module_.get(), steps, dir_);
    if (prepare) prepare(*watcher_);
    if (watcher != nullptr) *watcher = watcher_.get();
    const bool ok = PluginScenario::Play(script, watcher_.get());
    watcher_->Release();
    if (!ok) ADD_FAILURE() << host_->failure() << "\n" << output_;
    return ok;
  }

  std::unique_ptr<Watcher> watcher_;
  std::vector<std::optional<std::string>> savedTemp_;
#if defined(_WIN32)
  static constexpr const char* kTempVariables[] = {"TMP", "TEMP"};
#else
  static constexpr const char* kTempVariables[] = {"TMPDIR"};
#endif
};

const std::string kBoth = Id3v2(kV2Frames) + Mp3Audio() + Id3v1(kV1);

// ---------------------------------------------------------------- tests

TEST_F(FileInfoView, ShowsBothTagsTheExtraFieldsAndTheAudioProperties) {
  // A name deep in folders: the frame shows a path cut to 64 characters.
  const std::string deep = "a-rather-long-folder-name-for-the-frame\\"
                           "another-long-folder-name-below-it";
  MakeFolder("music\\a-rather-long-folder-name-for-the-frame");
  MakeFolder("music\\" + deep);
  Put(deep + "\\both.mp3", kBoth);
  Watcher* w = nullptr;
  ASSERT_TRUE(Play("a-rather-long-folder-name-for-the-frame",
                   "dialog Id3Edit expect \"ID3v1\" checked\n"
                   "dialog Id3Edit expect \"Track\" \"5\"\n"
                   "dialog Id3Edit expect \"Title\" \"Song One\"\n"
                   "dialog Id3Edit expect \"Artist\" \"Band One\"\n"
                   "dialog Id3Edit expect \"Album\" \"Album One\"\n"
                   "dialog Id3Edit expect \"Year\" \"1999\"\n"
                   "dialog Id3Edit expect \"Genre\" \"Rock\"\n"
                   "dialog Id3Edit expect \"Comment\" \"v1 comment\"\n"
                   "dialog Id3Edit expect \"ID3v2\" checked\n"
                   "dialog Id3Edit expect \"Track\"#2 \"7\"\n"
                   "dialog Id3Edit expect \"Title\"#2 \"Song Two\"\n"
                   "dialog Id3Edit expect \"Artist\"#2 \"Band Two\"\n"
                   "dialog Id3Edit expect \"Album\"#2 \"Album Two\"\n"
                   "dialog Id3Edit expect \"Year\"#2 \"2001\"\n"
                   "dialog Id3Edit expect \"Genre\"#2 \"Rock\"\n"
                   "dialog Id3Edit expect \"Comment\"#2+1 \"v2 comment\"\n"
                   "dialog Id3Edit expect \"<< Copy to ID3v1\" enabled\n"
                   "dialog Id3Edit expect \"Copy to ID3v2 >>\" enabled\n"
                   "dialog Id3Edit press \"Extra fields\"\n"
                   "dialog Id3AddEdit expect \"Composer\" \"Composer X\"\n"
                   "dialog Id3AddEdit expect \"Original artist\" \"\"\n"
                   "dialog Id3AddEdit expect \"Encoded by\" \"Encoder Y\"\n"
                   "dialog Id3AddEdit enter\n"
                   "dialog Id3Edit press \"Audio info\"\n"
                   "dialog \"Audio properties\" expect 1 \"File size: " +
                       std::to_string(kBoth.size()) + "\"\n"
                   "dialog \"Audio properties\" expect 2 \"Play time: 0 sec\"\n"  // half a second, cut
                   "dialog \"Audio properties\" expect 3 \"MPEG 1 Layer III\"\n"
                   "dialog \"Audio properties\" expect 4 \"128 kbit, 20 frames\"\n"
                   "dialog \"Audio properties\" expect 5 \"44100 Hz, Joint Stereo\"\n"
                   "dialog \"Audio properties\" enter\n"
                   "dialog Id3Edit press \"Skip this file\"\n",
                   &w));
  ASSERT_EQ(w->shown.size(), 1u);
  EXPECT_EQ(w->shown[0].width, 74);
  EXPECT_EQ(w->shown[0].height, 19);
  EXPECT_EQ(w->shown[0].count, 41);  // compact: no "ask no more"
  const std::string& frame = w->shown[0].frame;
  EXPECT_LE(frame.size(), 64u) << frame;
  EXPECT_EQ(frame.substr(frame.size() - 9), scenario::Sep("\\both.mp3")) << frame;
  EXPECT_EQ(Get(deep + "\\both.mp3"), kBoth);  // skipped: nothing written
}

TEST_F(FileInfoView, ASideWithoutATagStartsOffAndTickingItCreatesTheTag) {
  Put("v2only.mp3", Id3v2(kV2Frames) + Mp3Audio());
  ASSERT_TRUE(Play("v2only.mp3",
                   "dialog Id3Edit expect \"ID3v1\" unchecked\n"
                   "dialog Id3Edit expect \"Title\" disabled\n"
                   "dialog Id3Edit expect \"Genre\" disabled\n"
                   "dialog Id3Edit expect \"Copy to ID3v2 >>\" disabled\n"
                   "dialog Id3Edit expect \"<< Copy to ID3v1\" enabled\n"
                   "dialog Id3Edit check \"ID3v1\"\n"
                   "dialog Id3Edit expect \"Title\" enabled\n"
                   "dialog Id3Edit expect \"Copy to ID3v2 >>\" enabled\n"
                   "dialog Id3Edit expect \"Title\" \"\"\n"
                   "dialog Id3Edit set \"Title\" \"New Title\"\n"
                   "dialog Id3Edit set \"Track\" \"300\"\n"
                   "dialog Id3Edit select \"Genre\" \"<Unknown>\"\n"
                   "dialog Id3Edit press \"Save\"\n"));
  const std::string file = Get("v2only.mp3");
  const auto v1 = ReadV1(file);
  ASSERT_TRUE(v1);
  EXPECT_EQ(v1->title, "New Title");
  EXPECT_EQ(v1->track, 44);  // 300 in one byte
  EXPECT_EQ(v1->genre, 255);
  EXPECT_EQ(ReadV2(file)["TIT2"], "Song Two");
  EXPECT_EQ(AudioOf(file), Mp3Audio());
}

TEST_F(FileInfoView, UntickingASideAndSavingRemovesThatTag) {
  struct Case {
    const char* box;
    bool v1Left, v2Left;
  };
  for (const Case& c : {Case{"ID3v1", false, true}, Case{"ID3v2", true, false}}) {
    SCOPED_TRACE(c.box);
    Put("both.mp3", kBoth);
    ASSERT_TRUE(Play("both.mp3", "dialog Id3Edit uncheck \"" + std::string(c.box) + "\"" +
                                     "\ndialog Id3Edit press \"Save\"\n"));
    const std::string file = Get("both.mp3");
    EXPECT_EQ(ReadV1(file).has_value(), c.v1Left);
    EXPECT_EQ(V2Size(file) != 0, c.v2Left);
    EXPECT_EQ(AudioOf(file), Mp3Audio());
  }
}

TEST_F(FileInfoView, SaveWritesTheEditedFieldsOfBothSides) {
  Put("both.mp3", kBoth);
  ASSERT_TRUE(Play("both.mp3",
                   "dialog Id3Edit set \"Track\" \"\"\n"  // an emptied track keeps the tag's
                   "dialog Id3Edit set \"Title\" \"New One\"\n"
                   "dialog Id3Edit set \"Artist\" \"Artist One\"\n"
                   "dialog Id3Edit set \"Album\" \"\"\n"
                   "dialog Id3Edit set \"Year\" \"2024\"\n"
                   "dialog Id3Edit select \"Genre\" \"Jazz\"\n"
                   "dialog Id3Edit set \"Comment\" \"a new v1 comment\"\n"
                   "dialog Id3Edit set \"Track\"#2 \"12\"\n"
                   "dialog Id3Edit set \"Title\"#2 \"A title longer than thirty characters\"\n"
                   "dialog Id3Edit set \"Album\"#2 \"\"\n"
                   "dialog Id3Edit set \"Year\"#2 \"1970\"\n"
                   "dialog Id3Edit set \"Genre\"#2 \"Chamber Pop\"\n"
                   "dialog Id3Edit set \"Comment\"#2+1 \"a new v2 comment\"\n"
                   "dialog Id3Edit press \"Extra fields\"\n"
                   "dialog Id3AddEdit set \"Composer\" \"Someone Else\"\n"
                   "dialog Id3AddEdit set \"URL\" \"http://example.org/x\"\n"
                   "dialog Id3AddEdit enter\n"
                   "dialog Id3Edit press \"Save\"\n"));
  const std::string file = Get("both.mp3");
  const auto v1 = ReadV1(file);
  ASSERT_TRUE(v1);
  EXPECT_EQ(v1->title, "New One");
  EXPECT_EQ(v1->artist, "Artist One");
  EXPECT_EQ(v1->album, "");
  EXPECT_EQ(v1->year, "2024");
  EXPECT_EQ(v1->comment, "a new v1 comment");
  EXPECT_EQ(v1->track, 5);
  EXPECT_EQ(v1->genre, 8);  // Jazz
  auto v2 = ReadV2(file);
  EXPECT_EQ(v2["TIT2"], "A title longer than thirty characters");
  EXPECT_EQ(v2["TPE1"], "Band Two");
  EXPECT_EQ(v2.count("TALB"), 0u);
  EXPECT_EQ(v2["TYER"], "1970");
  EXPECT_EQ(v2["TCON"], "Chamber Pop");
  EXPECT_EQ(v2["TRCK"], "12");
  EXPECT_EQ(v2["COMM"], "a new v2 comment");
  EXPECT_EQ(v2["TCOM"], "Someone Else");
  EXPECT_EQ(v2["WXXX"], "http://example.org/x");
  EXPECT_EQ(v2["TENC"], "Encoder Y");
  EXPECT_EQ(AudioOf(file), Mp3Audio());
}

TEST_F(FileInfoView, CopyButtonsCopyEveryFieldWhileTheirSourceSideIsOn) {
  const std::string longTitle = "A title of thirty-nine characters, cut.";
  ASSERT_EQ(longTitle.size(), 39u);
  Put("both.mp3", Id3v2(Text("TIT2", longTitle) + Text("TCON", "Jazz") + Text("TRCK", "9")) +
                      Mp3Audio() + Id3v1(kV1));
  ASSERT_TRUE(Play("both.mp3",
                   "dialog Id3Edit press \"<< Copy to ID3v1\"\n"
                   "dialog Id3Edit expect \"Track\" \"9\"\n"
                   "dialog Id3Edit expect \"Title\" \"" + longTitle.substr(0, 30) + "\"\n"
                   "dialog Id3Edit expect \"Artist\" \"\"\n"
                   "dialog Id3Edit expect \"Genre\" \"Jazz\"\n"
                   "dialog Id3Edit press \"Save\"\n"));
  auto v1 = ReadV1(Get("both.mp3"));
  ASSERT_TRUE(v1);
  EXPECT_EQ(v1->title, longTitle.substr(0, 30));
  EXPECT_EQ(v1->track, 9);
  EXPECT_EQ(v1->genre, 8);

  // ID3v1 to a side that was off: the side comes on with the values.
  Put("v1only.mp3", Mp3Audio() + Id3v1(kV1));
  ASSERT_TRUE(Play("v1only.mp3",
                   "dialog Id3Edit press \"Copy to ID3v2 >>\"\n"
                   "dialog Id3Edit expect \"ID3v2\" checked\n"
                   "dialog Id3Edit expect \"Title\"#2 enabled\n"
                   "dialog Id3Edit expect \"Track\"#2 \"5\"\n"
                   "dialog Id3Edit expect \"Artist\"#2 \"Band One\"\n"
                   "dialog Id3Edit expect \"Genre\"#2 \"Rock\"\n"
                   "dialog Id3Edit expect \"Comment\"#2+1 \"v1 comment\"\n"
                   "dialog Id3Edit press \"Save\"\n"));
  auto v2 = ReadV2(Get("v1only.mp3"));
  EXPECT_EQ(v2["TIT2"], "Song One");
  EXPECT_EQ(v2["TRCK"], "5");
  EXPECT_EQ(v2["TCON"], "Rock");

  // A side switched off disables the buttons that read from it.
  Put("both.mp3", kBoth);
  ASSERT_TRUE(Play("both.mp3",
                   "dialog Id3Edit uncheck \"ID3v2\"\n"
                   "dialog Id3Edit expect \"Comment\"#2 disabled\n"
                   "dialog Id3Edit expect \"<< Copy to ID3v1\" disabled\n"
                   "dialog Id3Edit expect \"Extra fields\" disabled\n"
                   "dialog Id3Edit uncheck \"ID3v1\"\n"
                   "dialog Id3Edit expect \"Copy to ID3v2 >>\" disabled\n"
                   "dialog Id3Edit check \"ID3v1\"\n"
                   "dialog Id3Edit expect \"Copy to ID3v2 >>\" enabled\n"
                   "dialog Id3Edit expect \"Title\" \"Song One\"\n"
                   "dialog Id3Edit press \"Skip this file\"\n"));
}

TEST_F(FileInfoView, ReloadShowsWhatTheFileHoldsNow) {
  Put("both.mp3", kBoth);
  V1 changed = kV1;
  changed.title = "Changed Outside";
  changed.track = 0;  // an ID3v1.0 block: no track
  ASSERT_TRUE(Play("both.mp3",
                   "dialog Id3Edit set \"Title\" \"Typed\"\n"
                   "dialog Id3Edit set \"Title\"#2 \"Typed Too\"\n"
                   "dialog Id3Edit uncheck \"ID3v2\"\n"
                   "dialog Id3Edit press \"Reload\"\n"
                   "dialog Id3Edit expect \"Title\" \"Changed Outside\"\n"
                   "dialog Id3Edit expect \"Track\" \"\"\n"
                   "dialog Id3Edit expect \"ID3v2\" checked\n"
                   "dialog Id3Edit expect \"Title\"#2 \"Song Two\"\n"
                   "dialog Id3Edit press \"Save\"\n",
                   nullptr, [&](Watcher& w) {
                     w.beforeFirstDialog = [&] {
                       Put("both.mp3", Id3v2(kV2Frames) + Mp3Audio() + Id3v1(changed));
                     };
                   }));
  const std::string file = Get("both.mp3");
  EXPECT_EQ(ReadV1(file)->title, "Changed Outside");
  EXPECT_EQ(ReadV1(file)->track, 0);
  EXPECT_EQ(ReadV2(file)["TIT2"], "Song Two");

  // A file that is no longer audio: both sides go off.
  Put("both.mp3", kBoth);
  ASSERT_TRUE(Play("both.mp3",
                   "dialog Id3Edit press \"Reload\"\n"
                   "dialog Id3Edit expect \"ID3v1\" unchecked\n"
                   "dialog Id3Edit expect \"ID3v2\" unchecked\n"
                   "dialog Id3Edit expect \"Title\"#2 disabled\n"
                   "dialog Id3Edit esc\n",
                   nullptr, [&](Watcher& w) {
                     w.beforeFirstDialog = [&] { Put("both.mp3", std::string(5000, 'x')); };
                   }));
}

TEST_F(FileInfoView, RemoveTagsLeavesOnlyTheAudio) {
  Put("both.mp3", kBoth);
  ASSERT_TRUE(Play("both.mp3", "dialog Id3Edit press \"Remove tags\"\n"));
  EXPECT_EQ(Get("both.mp3"), Mp3Audio());
}

TEST_F(FileInfoView, SkipGoesOnWithTheNextFileWhileEscAndCancelStopTheWalk) {
  struct Case {
    const char* action;
    bool next;
  };
  for (const Case& c : {Case{"press \"Skip this file\"", true}, Case{"esc", false},
                        Case{"press \"Cancel\"", false}}) {
    SCOPED_TRACE(c.action);
    V1 second = kV1;
    second.title = "Second";
    Put("a.mp3", kBoth);
    Put("b.mp3", Mp3Audio() + Id3v1(second));
    std::string body = "dialog Id3Edit expect \"Title\" \"Song One\"\n"
                       "dialog Id3Edit set \"Title\" \"Not Saved\"\n"
                       "dialog Id3Edit " + std::string(c.action) + "\n";
    if (c.next) {
      body += "dialog Id3Edit expect \"Title\" \"Second\"\n"
              "dialog Id3Edit press \"Skip this file\"\n";
    }
    ASSERT_TRUE(Play("a.mp3 b.mp3", body));
    EXPECT_EQ(Get("a.mp3"), kBoth);
  }
}

TEST_F(FileInfoView, TypingOnTheID3v1GenreListChoosesByPrefix) {
  Put("both.mp3", kBoth);
  ASSERT_TRUE(Play("both.mp3",
                   "dialog Id3Edit key \"Genre\" r\n"
                   "dialog Id3Edit expect \"Genre\" \"R&B\"\n"  // '&' sorts before letters
                   "dialog Id3Edit key \"Genre\" o\n"
                   "dialog Id3Edit expect \"Genre\" \"Rock\"\n"
                   // No genre begins "roz": nothing changes, and the z is not kept.
                   "dialog Id3Edit key \"Genre\" z\n"
                   "dialog Id3Edit expect \"Genre\" \"Rock\"\n"
                   "dialog Id3Edit key \"Genre\" C k Space &\n"
                   "dialog Id3Edit expect \"Genre\" \"Rock & Roll\"\n"
                   // Any other key starts the prefix afresh.
                   "dialog Id3Edit key \"Genre\" Left p\n"
                   "dialog Id3Edit expect \"Genre\" \"Polka\"\n"
                   // Leaving the list and coming back starts afresh too.
                   "dialog Id3Edit focus \"Comment\"\n"
                   "dialog Id3Edit key \"Genre\" t\n"
                   "dialog Id3Edit expect \"Genre\" \"Tango\"\n"
                   "dialog Id3Edit press \"Save\"\n"));
  EXPECT_EQ(ReadV1(Get("both.mp3"))->genre, 113);  // Tango
}

TEST_F(FileInfoView, TheCommentIsEditedInTheHostsEditorThroughAFileThatIsGoneAfterwards) {
  struct Case {
    const char* name;
    const char* editor;  // the script's answer
    bool blocked;        // the file cannot be read back
    const char* comment;
  };
  const Case cases[] = {
      {"saved", "editor-content \"Line one\\r\\nLine two\"", false, "Line one\r\nLine two"},
      {"left unsaved", "editor-unchanged", false, "v2 comment"},
      {"saved, but cannot be read back", "editor-content \"Lost\"", true, "v2 comment"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Put("both.mp3", kBoth);
    Watcher* w = nullptr;
    ASSERT_TRUE(Play("both.mp3",
                     "dialog Id3Edit press \"Comment\"#2\n" + std::string(c.editor) +
                         "\ndialog Id3Edit press \"Save\"\n",
                     &w, [&](Watcher& watcher) { watcher.blockEditorFile = c.blocked; }));
    ASSERT_EQ(w->edits.size(), 1u);
    EXPECT_EQ(w->edits[0].content, "v2 comment");
    EXPECT_EQ(w->edits[0].title, "ID3_Comment");
    EXPECT_EQ(w->edits[0].flags, 0x208u);  // delete on close, no history
    EXPECT_TRUE(NothingAt(w->edits[0].fileName)) << w->edits[0].fileName;
    EXPECT_EQ(ReadV2(Get("both.mp3"))["COMM"], c.comment);
  }
}

// Tag text in the ANSI code page ("Windows text", the default) is shown in
// the OEM code page and written back as the same bytes.
TEST_F(FileInfoView, CyrillicWindowsTextIsShownInOemAndSavedAsTheSameBytes) {
  if (sys::OemCodePage() != 866 || sys::AnsiCodePage() != 1251) {
    GTEST_SKIP() << "needs OEM 866 and ANSI 1251 (TAGWRIGHT_CODEPAGES or a Russian locale)";
  }
  const std::string privet1251 = "\xCF\xF0\xE8\xE2\xE5\xF2";  // "Привет"
  const std::string mir1251 = "\xCC\xE8\xF0";                 // "Мир"
  V1 v1 = kV1;
  v1.title = privet1251;
  Put("ru.mp3", Id3v2(Text("TIT2", privet1251) + Text("TPE1", "Band")) + Mp3Audio() + Id3v1(v1));
  ASSERT_TRUE(Play("ru.mp3",
                   "dialog Id3Edit expect \"Title\" \"Привет\"\n"
                   "dialog Id3Edit expect \"Title\"#2 \"Привет\"\n"
                   "dialog Id3Edit set \"Artist\"#2 \"Мир\"\n"
                   "dialog Id3Edit press \"Save\"\n"));
  const std::string file = Get("ru.mp3");
  EXPECT_EQ(ReadV1(file)->title, privet1251);
  auto v2 = ReadV2(file);
  EXPECT_EQ(v2["TIT2"], privet1251);
  EXPECT_EQ(v2["TPE1"], mir1251);
}

// ---------------------------------------------------------------- what a save keeps

// The frames of an ID3v2.3 tag as they stand in the file, header included.
std::vector<std::string> RawFrames(const std::string& file) {
  std::vector<std::string> frames;
  const size_t end = V2Size(file);
  for (size_t at = 10; at + 10 <= end && file[at] != '\0';) {
    size_t size = 0;
    for (int i = 4; i < 8; ++i) size = (size << 8) | static_cast<unsigned char>(file[at + i]);
    frames.push_back(file.substr(at, 10 + size));
    at += 10 + size;
  }
  return frames;
}

// UTF-16 with byte order mark, as the writer writes it.
std::string Utf16(const std::u16string& text) {
  std::string out = "\xFF\xFE";
  for (char16_t c : text) out += {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
  return out;
}

// A typed character that the tag code page ("Windows text", 1251) cannot
// hold is said before the save: No goes back to the view with nothing
// written; Yes writes "?" for it into ID3v1 and the text in UTF-16 into
// ID3v2, which so loses nothing.
TEST_F(FileInfoView, ACharacterTheTagCodePageLacksIsSaidBeforeTheSave) {
  if (sys::OemCodePage() != 866 || sys::AnsiCodePage() != 1251) {
    GTEST_SKIP() << "needs OEM 866 and ANSI 1251 (TAGWRIGHT_CODEPAGES or a Russian locale)";
  }
  const std::string content = Id3v2(Text("TIT2", "Old")) + Mp3Audio() + Id3v1(kV1);
  Put("box.mp3", content);
  const std::string typed =
      "dialog Id3Edit set \"Title\" \"Ёлка ╬\"\n"
      "dialog Id3Edit set \"Title\"#2 \"Ёлка ╬\"\n"
      "dialog Id3Edit press \"Save\"\n"
      "message expect \"cannot hold the character ╬ (U+256C)\" expect \"Ёлка ╬\" expect \"Save all the same?\" ";
  ASSERT_TRUE(Play("box.mp3", typed + "button 1\n"
                   "dialog Id3Edit expect \"Title\"#2 \"Ёлка ╬\"\n"
                   "dialog Id3Edit press \"Cancel\"\n"));
  EXPECT_EQ(Get("box.mp3"), content);
  ASSERT_TRUE(Play("box.mp3", typed + "button 0\n"));
  const std::string file = Get("box.mp3");
  EXPECT_EQ(ReadV1(file)->title, "\xA8\xEB\xEA\xE0 ?");
  EXPECT_EQ(RawFrames(file)[0], Frame("TIT2", "\x01" + Utf16(u"Ёлка ╬")));
}

// Only the field the user changed is written: text the OEM code page cannot
// show, a comment longer than its item, a comment's description and
// language, a track total and an ID3v1 tag left alone all stay as they were.
TEST_F(FileInfoView, SaveWritesOnlyWhatTheUserChanged) {
  const std::string longComment(3000, 'c');
  const std::vector<std::string> frames = {
      Frame("TIT2", "\x01" + Utf16(u"\u00A9\u00AE\u00BE\u00D7 \u6771\u4EAC")),
      Frame("COMM", std::string("\0fraMusicMatch_Bio\0", 19) + longComment),
      Text("TRCK", "3/12"),
      Text("TALB", "Album Two"),
      Frame("TPE1", "\x01" + Utf16(u"\u0416\u0443\u043A")),
  };
  std::string all;
  for (const std::string& f : frames) all += f;
  V1 v1 = kV1;
  v1.title = "Title\xA9\xBE";
  const std::string block = Id3v1(v1);
  Put("keep.mp3", Id3v2(all) + Mp3Audio() + block);
  ASSERT_TRUE(Play("keep.mp3",
                   "dialog Id3Edit expect \"Track\"#2 \"3\"\n"
                   "dialog Id3Edit set \"Album\"#2 \"New Album\"\n"
                   "dialog Id3Edit press \"Save\"\n"));
  const std::string file = Get("keep.mp3");
  std::vector<std::string> expected = frames;
  expected[3] = Text("TALB", "New Album");
  EXPECT_EQ(RawFrames(file), expected);
  EXPECT_EQ(file.substr(file.size() - 128), block);
  EXPECT_EQ(AudioOf(file), Mp3Audio());

  // Changed, the track keeps its total and the comment its description.
  Put("keep.mp3", Id3v2(all) + Mp3Audio() + block);
  ASSERT_TRUE(Play("keep.mp3",
                   "dialog Id3Edit set \"Track\"#2 \"4\"\n"
                   "dialog Id3Edit set \"Comment\"#2+1 \"short\"\n"
                   "dialog Id3Edit press \"Save\"\n"));
  const auto v2 = RawFrames(Get("keep.mp3"));
  ASSERT_EQ(v2.size(), frames.size());
  EXPECT_EQ(v2[1], Frame("COMM", std::string("\0fraMusicMatch_Bio\0", 19) + "short"));
  EXPECT_EQ(v2[2], Text("TRCK", "4/12"));
}

// The comment editor gets the whole comment, and what it saves is written
// whole, beyond what the dialog's item holds.
TEST_F(FileInfoView, TheCommentEditorEditsTheWholeComment) {
  const std::string longComment(2000, 'x');
  Put("long.mp3", Id3v2(Text("TIT2", "t") + Comment(longComment)) + Mp3Audio());
  Watcher* w = nullptr;
  ASSERT_TRUE(Play("long.mp3",
                   "dialog Id3Edit press \"Comment\"#2\n"
                   "editor-content \"" + longComment + "yz\"\n"
                   "dialog Id3Edit press \"Save\"\n",
                   &w));
  ASSERT_EQ(w->edits.size(), 1u);
  EXPECT_EQ(w->edits[0].content, longComment);
  EXPECT_EQ(ReadV2(Get("long.mp3"))["COMM"], longComment + "yz");
}

// A save that cannot write says so, with the system's reason, and the view
// stays open with what was typed; the file is as it was.
TEST_F(FileInfoView, AFailedSaveIsReportedAndTheViewStaysOpen) {
  const std::string content = Mp3Audio() + Id3v1(kV1);
  Put("held.mp3", content);
  struct Hold {
    ~Hold() { Release(); }
    void Take(const std::string& path, size_t size) {
#if defined(_WIN32)
      (void)size;
      // Another program has the file open for reading and shares it with
      // readers only: it cannot be written or replaced.
      handle = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
      EXPECT_NE(handle, INVALID_HANDLE_VALUE);
#else
      // No file may grow beyond its size now: the rebuilt file cannot be
      // written (as on a full disk).
      (void)path;
      getrlimit(RLIMIT_FSIZE, &saved);
      rlimit limit = saved;
      limit.rlim_cur = size + 1000;
      previous = signal(SIGXFSZ, SIG_IGN);
      setrlimit(RLIMIT_FSIZE, &limit);
      taken = true;
#endif
    }
    void Release() {
#if defined(_WIN32)
      if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
      handle = INVALID_HANDLE_VALUE;
#else
      if (!taken) return;
      setrlimit(RLIMIT_FSIZE, &saved);
      signal(SIGXFSZ, previous);
      taken = false;
#endif
    }
#if defined(_WIN32)
    HANDLE handle = INVALID_HANDLE_VALUE;
#else
    rlimit saved{};
    void (*previous)(int) = nullptr;
    bool taken = false;
#endif
  } hold;
  const bool played = Play("held.mp3",
                           "dialog Id3Edit check \"ID3v2\"\n"
                           "dialog Id3Edit set \"Title\"#2 \"Typed\"\n"
                           "dialog Id3Edit press \"Save\"\n"
                           "message expect \"Cannot write the tags of the file\" button 0\n"
                           "dialog Id3Edit expect \"Title\"#2 \"Typed\"\n"
                           "dialog Id3Edit press \"Cancel\"\n",
                           nullptr, [&](Watcher& watcher) {
                             watcher.beforeFirstDialog = [&] {
                               hold.Take(hostsim::NativePath(Path("music\\held.mp3")), content.size());
                             };
                           });
  hold.Release();
  ASSERT_TRUE(played);
  EXPECT_EQ(Get("held.mp3"), content);
  size_t names = 0;
  for ([[maybe_unused]] const auto& entry :
       std::filesystem::directory_iterator(hostsim::NativePath(Path("music"))))
    ++names;
  EXPECT_EQ(names, 1u);  // no temporary file left
}

}  // namespace
