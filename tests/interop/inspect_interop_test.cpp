// tagwright-inspect as a user runs it: the lines it prints, their order, the
// text conversion of tags and names, and its exit status.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::ordered_json;

struct Result {
  int status = -1;
  std::string out;
  std::string err;
  std::vector<Json> lines;
};

class Inspect : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* binary = std::getenv("TAGWRIGHT_BINARY_DIR");
    program_ = binary ? std::string(binary) + "/apps/tagwright-inspect" : "";
    if (program_.empty() || !fs::exists(program_)) GTEST_SKIP() << "tagwright-inspect not built";
    char pattern[] = "/tmp/tagwright-inspect-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    std::error_code ignored;
    if (!dir_.empty()) fs::remove_all(dir_, ignored);
  }

  // `withErrors`: stderr is kept in Result::err (read after the run).
  // `locale`, when given, is the program's LC_ALL.
  Result Run(const std::string& arguments, bool withErrors = false, const char* locale = nullptr) {
    Result r;
    const fs::path errors = dir_.string() + ".stderr";  // beside the folder walked
    const std::string sink = withErrors ? Quoted(errors) : std::string("/dev/null");
    const std::string env = locale ? std::string("env -u TAGWRIGHT_CODEPAGES LC_ALL=") + locale + " " : "";
    FILE* pipe = popen((env + program_ + " " + arguments + " 2>" + sink).c_str(), "r");
    if (!pipe) return r;
    char buffer[4096];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) r.out.append(buffer, got);
    const int status = pclose(pipe);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    size_t start = 0;
    for (size_t end; (end = r.out.find('\n', start)) != std::string::npos; start = end + 1) {
      r.lines.push_back(Json::parse(r.out.substr(start, end - start), nullptr, false));
    }
    EXPECT_EQ(start, r.out.size()) << "output ends with a whole line";
    if (withErrors) {
      std::ifstream in(errors, std::ios::binary);
      r.err.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
      fs::remove(errors);
    }
    return r;
  }

  // An MPEG 1 Layer III 128 kbit/s file of 100 frames' worth of bytes (only
  // the first two headers are real), with an ID3v1 tag titled `title`.
  void WriteMp3(const fs::path& path, const std::string& title = "Title") {
    std::string bytes(41700, '\0');
    const char header[4] = {'\xFF', '\xFB', '\x90', '\x64'};
    bytes.replace(0, 4, header, 4);
    bytes.replace(417, 4, header, 4);
    std::string tag = "TAG" + title;
    tag.resize(128, '\0');
    tag[127] = '\x11';
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes << tag;
  }

  std::string Quoted(const fs::path& path) const { return "'" + path.string() + "'"; }

  std::string program_;
  fs::path dir_;
};

TEST_F(Inspect, WalksFoldersInNameOrderWithTheDocumentedFields) {
  WriteMp3(dir_ / "b.mp3");
  WriteMp3(dir_ / "a.mp3");
  WriteMp3(dir_ / "c" / "inner.mp3");
  std::ofstream(dir_ / "b.txt") << "not an audio file";
  const Result r = Run(Quoted(dir_));
  EXPECT_EQ(r.status, 1) << "b.txt is no MPEG audio";
  ASSERT_EQ(r.lines.size(), 4u);
  const char* names[] = {"a.mp3", "b.mp3", "b.txt", "c/inner.mp3"};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(r.lines[i]["path"], (dir_ / names[i]).string());
    EXPECT_EQ(r.lines[i]["analyzed"], true);
  }
  const Json& a = r.lines[0];
  std::vector<std::string> keys;
  for (const auto& item : a.items()) keys.push_back(item.key());
  EXPECT_EQ(keys, (std::vector<std::string>{"path", "analyzed", "valid", "file_size", "mpeg",
                                            "id3v1", "id3v2"}));
  EXPECT_EQ(a["valid"], true);
  EXPECT_EQ(a["file_size"], 41828);
  EXPECT_EQ(a["mpeg"], Json::parse(R"({"version": "MPEG 1", "layer": "Layer III",
      "bitrate_kbps": 128, "sample_rate_hz": 44100, "channel_mode": "Joint Stereo",
      "frames": 100, "duration_s": 2.60625, "vbr": null, "first_frame_offset": 0})"));
  EXPECT_EQ(a["id3v1"], Json::parse(R"({"version": 1, "title": "Title", "artist": "",
      "album": "", "year": "", "comment": "", "track": 0, "genre": 17, "genre_name": "Rock"})"));
  EXPECT_TRUE(a["id3v2"].is_null());
  // A file without audio: read, not valid, nothing shown of it but why.
  EXPECT_EQ(r.lines[2]["valid"], false);
  EXPECT_EQ(r.lines[2]["error"], "no MPEG audio found");
  EXPECT_TRUE(r.lines[2]["mpeg"].is_null());
  EXPECT_EQ(r.lines[2]["file_size"], 17);
  // The same spacing as the documented lines.
  EXPECT_EQ(r.out.rfind("{\"path\": ", 0), 0u);
  EXPECT_NE(r.out.find("\"analyzed\": true, \"valid\": true"), std::string::npos);
}

TEST_F(Inspect, VbrNamesTheKindOfHeaderInTheFirstFrame) {
  // The joint stereo frame of WriteMp3: Xing and Info at 36, VBRI at 36 too.
  const std::pair<const char*, Json> kinds[] = {
      {"Xing", "Xing"}, {"Info", "Info"}, {"VBRI", "VBRI"}, {"xing", nullptr}};
  for (const auto& [marker, shown] : kinds) {
    const fs::path path = dir_ / (std::string(marker) + ".mp3");
    WriteMp3(path);
    {
      std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
      file.seekp(36);
      file.write(marker, 4);
      // 100 frames for every kind (Xing's count at 8, VBRI's at 14).
      file.seekp(36 + 11);
      file.put(100);
      file.seekp(36 + 17);
      file.put(100);
    }
    const Result r = Run(Quoted(path));
    ASSERT_EQ(r.lines.size(), 1u);
    EXPECT_EQ(r.lines[0]["mpeg"]["vbr"], shown) << marker;
    EXPECT_EQ(r.lines[0]["mpeg"]["frames"], 100) << marker;
  }
}

TEST_F(Inspect, TagTextIsConvertedFromTheChosenCodePage) {
  // 0xE9 is e-acute in Windows-1252 and shcha in DOS 866; 0x81 is not defined
  // in 1252 and is Cyrillic capital be in 866.
  WriteMp3(dir_ / "t.mp3", "Caf\xE9 \x81");
  Result r = Run("--codepage 1252 " + Quoted(dir_ / "t.mp3"));
  ASSERT_EQ(r.lines.size(), 1u);
  EXPECT_EQ(r.lines[0]["id3v1"]["title"], "Caf\xC3\xA9 \xC2\x81");  // U+0081, a C1 control
  r = Run("--codepage=866 " + Quoted(dir_ / "t.mp3"));
  ASSERT_EQ(r.lines.size(), 1u);
  EXPECT_EQ(r.lines[0]["id3v1"]["title"], "Caf\xD1\x89 \xD0\x91");
}

// Unicode frames come out as they are in every locale and whatever the code
// page of 8-bit text: frames that mutagen wrote in UTF-16, UTF-16BE and UTF-8.
TEST_F(Inspect, UnicodeFramesComeOutAsTheyAreInEveryLocale) {
  const fs::path file = dir_ / "u.mp3";
  WriteMp3(file);
  const std::string write =
      "/usr/bin/python3 -c 'import sys\n"
      "from mutagen.id3 import ID3, TIT2, TPE1, TALB\n"
      "t = ID3()\n"
      "t.add(TIT2(encoding=1, text=[\"\u03a9mega \u0413\u0440\u0443\u043f\u043f\u0430\"]))\n"
      "t.add(TPE1(encoding=3, text=[\"Bj\u00f8rk \u00fc\"]))\n"
      "t.add(TALB(encoding=2, text=[\"\u6771\u4eac\"]))\n"
      "t.save(sys.argv[1], v2_version=4)' " + Quoted(file) + " 2>/dev/null";
  if (std::system(write.c_str()) != 0) GTEST_SKIP() << "mutagen missing";
  for (const char* locale : {"C.UTF-8", "en_US.UTF-8", "ru_RU.UTF-8"}) {
    for (const char* option : {"", "--codepage 1251 ", "--codepage 866 "}) {
      SCOPED_TRACE(std::string(locale) + " " + option);
      const Result r = Run(std::string(option) + Quoted(file), false, locale);
      ASSERT_EQ(r.lines.size(), 1u) << r.out;
      EXPECT_EQ(r.lines[0]["id3v2"]["title"], "Ωmega Группа");
      EXPECT_EQ(r.lines[0]["id3v2"]["artist"], "Bjørk ü");
      EXPECT_EQ(r.lines[0]["id3v2"]["album"], "東京");
    }
  }
}

// With a guess each file's 8-bit text is read in its own code page: "Цой" in
// KOI8-R, 866 and 1251 comes out as the same UTF-8, "Θάλασσα" is read in
// 1253 and "Małgośka" in 1250; ASCII has no code page.
TEST_F(Inspect, GuessReadsEachFileInItsOwnCodePage) {
  WriteMp3(dir_ / "a.mp3", "\xE3\xCF\xCA");
  WriteMp3(dir_ / "b.mp3", "\x96\xAE\xA9");
  WriteMp3(dir_ / "c.mp3", "\xD6\xEE\xE9");
  WriteMp3(dir_ / "d.mp3", "Plain");
  WriteMp3(dir_ / "e.mp3", "\xC8\xDC\xEB\xE1\xF3\xF3\xE1");
  WriteMp3(dir_ / "f.mp3", "Ma\xB3go\x9Cka");
  const Result r = Run("--codepage guess " + Quoted(dir_));
  ASSERT_EQ(r.lines.size(), 6u) << r.out;
  const unsigned pages[] = {20866, 866, 1251};
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(r.lines[i]["codepage"], pages[i]) << r.out;
    EXPECT_EQ(r.lines[i]["id3v1"]["title"], "\xD0\xA6\xD0\xBE\xD0\xB9") << r.out;
  }
  EXPECT_TRUE(r.lines[3]["codepage"].is_null());
  EXPECT_EQ(r.lines[3]["id3v1"]["title"], "Plain");
  EXPECT_EQ(r.lines[4]["codepage"], 1253) << r.out;
  EXPECT_EQ(r.lines[4]["id3v1"]["title"],
            "\xCE\x98\xCE\xAC\xCE\xBB\xCE\xB1\xCF\x83\xCF\x83\xCE\xB1")
      << r.out;
  EXPECT_EQ(r.lines[5]["codepage"], 1250) << r.out;
  EXPECT_EQ(r.lines[5]["id3v1"]["title"], "Ma\xC5\x82go\xC5\x9Bka") << r.out;
  EXPECT_EQ(Run("--codepage guess1 " + Quoted(dir_)).status, 2);
}

TEST_F(Inspect, NamesOutsideTheOemCodePageAndNotUtf8AreRead) {
  WriteMp3(dir_ / "\xE7\xBA\xA2.mp3");  // a Chinese character
  WriteMp3(dir_ / "bad\xFF.mp3");       // not UTF-8
  const Result r = Run(Quoted(dir_));
  EXPECT_EQ(r.status, 0);
  ASSERT_EQ(r.lines.size(), 2u);
  EXPECT_EQ(r.lines[0]["path"], (dir_ / "bad\\xFF.mp3").string());
  EXPECT_EQ(r.lines[1]["path"], (dir_ / "\xE7\xBA\xA2.mp3").string());
  for (const Json& line : r.lines) EXPECT_EQ(line["valid"], true) << line["path"];
}

TEST_F(Inspect, ExitStatusTellsWhetherEveryFileIsMpegAudio) {
  WriteMp3(dir_ / "a.mp3");
  WriteMp3(dir_ / "sub" / "b.mp3");
  Result r = Run(Quoted(dir_));
  EXPECT_EQ(r.status, 0) << r.out;
  ASSERT_EQ(r.lines.size(), 2u);

  // Read, but no MPEG audio: the line says so, and so does the status.
  std::ofstream(dir_ / "notes.mp3") << "plain text, no frames here\n";
  r = Run(Quoted(dir_), true);
  EXPECT_EQ(r.status, 1);
  ASSERT_EQ(r.lines.size(), 3u);
  EXPECT_EQ(r.lines[1]["analyzed"], true);
  EXPECT_EQ(r.lines[1]["valid"], false);
  EXPECT_EQ(r.lines[1]["error"], "no MPEG audio found");
  EXPECT_NE(r.err.find("notes.mp3: no MPEG audio found"), std::string::npos) << r.err;
  fs::remove(dir_ / "notes.mp3");

  r = Run(Quoted(dir_ / "a.mp3") + " " + Quoted(dir_ / "missing.mp3"));
  EXPECT_EQ(r.status, 1);
  ASSERT_EQ(r.lines.size(), 2u);
  EXPECT_EQ(r.lines[1]["analyzed"], false);
  EXPECT_TRUE(r.lines[1]["mpeg"].is_null());
  EXPECT_FALSE(r.lines[0].contains("error"));
  ASSERT_TRUE(r.lines[1]["error"].is_string());
  EXPECT_EQ(r.lines[1]["error"], std::strerror(ENOENT));
  // The reason goes to stderr too, with the path.
  const Result both = Run(Quoted(dir_ / "missing.mp3"), true);
  EXPECT_NE(both.err.find(std::string("missing.mp3: ") + std::strerror(ENOENT)), std::string::npos)
      << both.err;
}

// A file the system refuses to open: the system's own reason (strerror), in
// the line and on stderr. Root reads every file, so then the program runs as
// nobody.
TEST_F(Inspect, AFileOutOfReachGivesTheSystemsReason) {
  WriteMp3(dir_ / "locked.mp3");
  fs::permissions(dir_ / "locked.mp3", fs::perms::none);
  std::string as;
  if (::geteuid() == 0) {
    if (std::system("setpriv --help >/dev/null 2>&1") != 0) GTEST_SKIP() << "setpriv missing";
    fs::permissions(dir_, fs::perms::owner_all | fs::perms::group_all | fs::perms::others_all);
    as = "setpriv --reuid=65534 --regid=65534 --clear-groups ";
  }
  const std::string saved = program_;
  program_ = as + program_;
  const Result r = Run(Quoted(dir_ / "locked.mp3"), true);
  program_ = saved;
  EXPECT_EQ(r.status, 1);
  ASSERT_EQ(r.lines.size(), 1u);
  EXPECT_EQ(r.lines[0]["analyzed"], false);
  EXPECT_EQ(r.lines[0]["error"], std::strerror(EACCES));
  EXPECT_NE(r.err.find(std::string("locked.mp3: ") + std::strerror(EACCES)), std::string::npos)
      << r.err;
}

// Control characters of a name (ESC starts a terminal's command) reach stderr
// only as \xNN; the JSON line keeps the name, escaped as JSON escapes it.
TEST_F(Inspect, ControlCharactersOfNamesNeverReachTheTerminal) {
  const std::string name = "x\x1B]0;owned\x07\x7F\xC2\x9B" "2J.mp3";
  std::ofstream(dir_ / name) << std::string(400, 'x');  // no audio
  const Result r = Run(Quoted(dir_), true);
  EXPECT_EQ(r.status, 1);
  ASSERT_EQ(r.lines.size(), 1u);
  EXPECT_EQ(r.lines[0]["path"], (dir_ / name).string());
  EXPECT_NE(r.err.find("x\\x1B]0;owned\\x07\\x7F\\x9B2J.mp3: no MPEG audio found"),
            std::string::npos)
      << r.err;
  for (const unsigned char c : r.err) {
    EXPECT_TRUE(c == '\n' || (c >= 0x20 && c != 0x7F)) << "control " << int(c) << " in " << r.err;
  }
  EXPECT_EQ(r.err.find("\xC2\x9B"), std::string::npos) << r.err;
  // An option is echoed the same way.
  const Result bad = Run("'--x\x1B[2J'", true);
  EXPECT_EQ(bad.status, 2);
  EXPECT_EQ(bad.err.find('\x1B'), std::string::npos) << bad.err;
}

// Both programs name themselves and the project's version.
TEST_F(Inspect, VersionOfBothPrograms) {
  Result r = Run("--version");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "tagwright-inspect " TAGWRIGHT_PROJECT_VERSION "\n");
  const fs::path host = fs::path(program_).parent_path() / "tagwright";
  if (!fs::exists(host)) GTEST_SKIP() << "tagwright not built";
  const std::string saved = program_;
  program_ = host.string();
  r = Run("--version");
  program_ = saved;
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "tagwright " TAGWRIGHT_PROJECT_VERSION "\n");
}

TEST_F(Inspect, BadUsageSaysWhatWasWrong) {
  Result r;
  for (const char* bad : {"", "--frobnicate x.mp3", "--codepage", "--codepage 12x x.mp3",
                          "--codepage 65001234 x.mp3", "--codepage 9999 x.mp3"}) {
    r = Run(bad, true);
    EXPECT_EQ(r.status, 2) << bad;
    EXPECT_TRUE(r.out.empty()) << bad;
    // One line: what was wrong, and where to read more.
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_NE(r.err.find("--help"), std::string::npos) << r.err;
  }
  EXPECT_NE(Run("--frobnicate x.mp3", true).err.find("unknown option --frobnicate"),
            std::string::npos);
  r = Run("--help");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("\\xNN"), std::string::npos) << "the escape is documented";
  EXPECT_NE(r.out.find("--version"), std::string::npos);
}

}  // namespace
