// Tags written by peer tools (id3v2, mid3v2, eyeD3, kid3-cli) read by us, and
// tags written by us read by them (mutagen, eyeD3, id3v2 -l, ffprobe), on files
// encoded by lame. Text is compared in UTF-8: ours is converted from the ANSI
// code page with iconv, and what we store under encoding 0 is ISO-8859-1 to
// the peers.
#include <gtest/gtest.h>
#include <iconv.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <map>
#include <nlohmann/json.hpp>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "sys/sys.h"
#include "tags/id3v1.h"
#include "tags/id3v2.h"

namespace tags {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

// ---------------------------------------------------------------- helpers

std::string Quote(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

bool HasTool(const std::string& name) {
  return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

std::string Python() { return fs::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3"; }

bool HasPythonModule(const std::string& module) {
  return std::system((Python() + " -c 'import " + module + "' >/dev/null 2>&1").c_str()) == 0;
}

// Runs a shell command; its standard output, or nothing when it failed.
std::optional<std::string> Capture(const std::string& command) {
  FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
  if (!pipe) return std::nullopt;
  std::string out;
  std::array<char, 4096> buffer;
  size_t n;
  while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) out.append(buffer.data(), n);
  if (pclose(pipe) != 0) return std::nullopt;
  return out;
}

std::string Iconv(const std::string& text, const std::string& from, const std::string& to) {
  iconv_t cd = iconv_open(to.c_str(), from.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return "<no iconv " + from + ">";
  std::string in = text;
  std::string out(text.size() * 4 + 16, '\0');
  char* inPtr = in.data();
  char* outPtr = out.data();
  size_t inLeft = in.size(), outLeft = out.size();
  const size_t result = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
  iconv_close(cd);
  if (result == static_cast<size_t>(-1)) return "<not convertible>";
  out.resize(out.size() - outLeft);
  return out;
}

std::string AnsiCharset() { return "CP" + std::to_string(sys::AnsiCodePage()); }
std::string Utf8ToAnsi(const std::string& text) { return Iconv(text, "UTF-8", AnsiCharset()); }
// What a peer sees of bytes we stored under encoding 0.
std::string Latin1ToUtf8(const std::string& text) { return Iconv(text, "ISO-8859-1", "UTF-8"); }

// A non-ASCII sample that the ANSI code page can hold.
std::string SampleTitle() {
  return sys::AnsiCodePage() == 1251 ? "Песня о тишине" : "Tïtle Café déjà";
}

// Reads a file's tag with mutagen or eyeD3 and gives it as JSON.
constexpr const char* kPeerReader = R"PY(
import sys, json, hashlib
which, path = sys.argv[1], sys.argv[2]
out = {}
if which == "mutagen":
    from mutagen.id3 import ID3
    tag = ID3(path)
    out["version"] = "2.%d" % tag.version[1]
    for frame in tag.values():
        key = frame.FrameID
        if key == "APIC":
            out["APIC"] = {"mime": frame.mime, "type": int(frame.type), "desc": frame.desc,
                           "sha256": hashlib.sha256(frame.data).hexdigest(), "size": len(frame.data)}
        elif key == "USLT":
            out["USLT"] = {"lang": frame.lang, "desc": frame.desc, "text": frame.text}
        elif key == "TXXX":
            out["TXXX:" + frame.desc] = [str(t) for t in frame.text]
        elif key == "COMM":
            out["COMM:" + frame.desc + ":" + frame.lang] = [str(t) for t in frame.text]
        elif key == "WXXX":
            out["WXXX:" + frame.desc] = frame.url
        elif key.startswith("T"):
            out[key] = [str(t) for t in frame.text]
elif which == "eyed3":
    import eyed3, logging
    logging.disable(logging.CRITICAL)
    tag = eyed3.load(path).tag
    out["version"] = ".".join(str(v) for v in tag.version[:2])
    out["title"] = tag.title
    out["artist"] = tag.artist
    out["album"] = tag.album
    out["track"] = tag.track_num[0]
    out["genre"] = tag.genre.name if tag.genre else None
    out["comment"] = tag.comments[0].text if len(tag.comments) else None
    out["composer"] = tag.composer
    out["year"] = str(tag.getBestDate()) if tag.getBestDate() else None
    out["url"] = tag.user_url_frames[0].url if len(tag.user_url_frames) else None
    out["encoded_by"] = tag.encoded_by
print(json.dumps(out))
)PY";

// Writes a tag with mutagen: a large picture, lyrics, a user text frame, and
// frames with the ids of fields beside those the fields are read from.
constexpr const char* kMutagenWriter = R"PY(
import sys
from mutagen.id3 import ID3, APIC, USLT, TXXX, TIT2, TPE1, TIT1, TOAL, COMM, WXXX
path, version, picture = sys.argv[1], int(sys.argv[2]), sys.argv[3]
tag = ID3()
tag.add(TIT2(encoding=3, text="Old title"))
tag.add(TPE1(encoding=3, text="Artist \u00e9"))
tag.add(APIC(encoding=3, mime="image/jpeg", type=3, desc="Cover \u00e9", data=open(picture, "rb").read()))
tag.add(USLT(encoding=3, lang="eng", desc="", text="First line\nSecond line \u00fc\u00df"))
tag.add(TXXX(encoding=3, desc="MusicBrainz Album Id", text="0f9e1d2c-1234-4bcd-9abc-0123456789ab"))
tag.add(TIT1(encoding=3, text="Group \u00e9"))
tag.add(TOAL(encoding=3, text="Original album"))
tag.add(COMM(encoding=3, lang="eng", desc="iTunNORM", text=" 00000A1B 00000C2D"))
tag.add(COMM(encoding=3, lang="eng", desc="", text="Nice \u00e9"))
tag.add(WXXX(encoding=3, desc="shop", url="http://shop.example/b"))
tag.add(WXXX(encoding=3, desc="", url="http://example.org/a"))
tag.save(path, v2_version=version)
)PY";

class Workspace {
 public:
  Workspace() {
    dir_ =
        fs::temp_directory_path() / ("tagwright-interop-" + std::to_string(std::random_device{}()));
    fs::create_directories(dir_);
    std::ofstream(Path("peer.py")) << kPeerReader;
    std::ofstream(Path("mutagen_writer.py")) << kMutagenWriter;
  }
  ~Workspace() {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }

  // A short lame-encoded file, made once; its decoded audio's md5.
  bool MakeBase() {
    if (made_) return ok_;
    made_ = true;
    ok_ =
        HasTool("lame") && HasTool("ffmpeg") &&
        std::system(("ffmpeg -v error -f lavfi -i sine=frequency=440:duration=2 -ac 2 -ar 44100 " +
                     Quote(Path("s.wav")) + " && lame --quiet -b 128 " + Quote(Path("s.wav")) +
                     " " + Quote(Path("base.mp3")))
                        .c_str()) == 0;
    if (ok_) baseMd5_ = PcmMd5(Path("base.mp3"));
    return ok_;
  }
  const std::string& BaseMd5() const { return baseMd5_; }

  std::string Copy(const std::string& name) {
    fs::copy_file(Path("base.mp3"), Path(name), fs::copy_options::overwrite_existing);
    return Path(name);
  }

  static std::string PcmMd5(const std::string& file) {
    return Capture("ffmpeg -v error -i " + Quote(file) + " -map 0:a -f md5 -")
        .value_or("<ffmpeg failed>");
  }

  json Peer(const std::string& which, const std::string& file) const {
    const auto out =
        Capture(Python() + " " + Quote(Path("peer.py")) + " " + which + " " + Quote(file));
    if (!out) return json();
    return json::parse(*out, nullptr, false);
  }

 private:
  fs::path dir_;
  bool made_ = false;
  bool ok_ = false;
  std::string baseMd5_;
};

Workspace& Shared() {
  static Workspace workspace;
  return workspace;
}

// ---------------------------------------------------------------- peers write, we read

struct Tagger {
  const char* name;
  const char* tool;  // the program that must be installed
  uint8_t version;   // ID3v2 major version it writes
  bool unicode;      // whether it takes the non-ASCII sample
  std::string (*command)(const std::string& file, const std::string& title);
  const char* trackText;
  const char* genre;  // as we read it
};

std::string Id3v2Command(const std::string& f, const std::string& t) {
  return "id3v2 -t " + Quote(t) +
         " -a Artist -A 'Album X' -y 1999 -T 3/12 -g 17 -c 'Nice comment' " + Quote(f);
}
std::string Mid3v2Command(const std::string& f, const std::string& t) {
  return "mid3v2 -t " + Quote(t) +
         " -a Artist -A 'Album X' -y 1999 -T 3/12 -g Rock -c 'Nice comment' " + Quote(f);
}
std::string EyeD3v24Command(const std::string& f, const std::string& t) {
  return "eyeD3 -Q --v2 --to-v2.4 -t " + Quote(t) +
         " -a Artist -A 'Album X' --recording-date 1999 -n 3 -N 12 -G Rock -c 'Nice comment' " +
         Quote(f);
}
std::string EyeD3v23Command(const std::string& f, const std::string& t) {
  return "eyeD3 -Q --v2 --to-v2.3 -t " + Quote(t) +
         " -a Artist -A 'Album X' --recording-date 1999 -n 3 -N 12 -G Rock -c 'Nice comment' " +
         Quote(f);
}
std::string Kid3Command(const std::string& f, const std::string& t) {
  return "kid3-cli -c " + Quote("set title " + Quote(t)) +
         " -c 'set artist Artist' -c \"set album 'Album X'\"" +
         " -c 'set date 1999' -c 'set tracknumber 3/12' -c 'set genre Rock' -c \"set comment 'Nice "
         "comment'\"" +
         " -c save " + Quote(f);
}

const Tagger kTaggers[] = {
    // id3lib takes the ASCII text and writes the genre as the reference "(17)".
    {"id3v2", "id3v2", 3, false, Id3v2Command, "3/12", "Rock"},
    {"mid3v2", "mid3v2", 4, true, Mid3v2Command, "3/12", "Rock"},
    {"eyeD3_24", "eyeD3", 4, true, EyeD3v24Command, "03/12", "Rock"},
    {"eyeD3_23", "eyeD3", 3, true, EyeD3v23Command, "03/12", "Rock"},
    {"kid3", "kid3-cli", 3, true, Kid3Command, "3/12", "Rock"},
};

class PeerTagged : public ::testing::TestWithParam<Tagger> {
 protected:
  // The tagged file, or empty (with the test skipped) when a tool is missing.
  std::string Tagged(std::string* title) {
    const Tagger& t = GetParam();
    if (!Shared().MakeBase()) return {};
    if (!HasTool(t.tool)) return {};
    *title = t.unicode ? SampleTitle() : "Plain Title";
    const std::string file = Shared().Copy(std::string(t.name) + ".mp3");
    // eyeD3 and mid3v2 take the text as UTF-8; the locale decides for the rest.
    if (std::system(("LC_ALL=C.UTF-8 " + t.command(file, *title) + " >/dev/null 2>&1").c_str()) !=
        0)
      return {};
    return file;
  }
};

TEST_P(PeerTagged, WeReadWhatThePeerWrote) {
  std::string title;
  const std::string file = Tagged(&title);
  if (file.empty()) GTEST_SKIP() << GetParam().tool << " or lame/ffmpeg missing";
  const Tagger& t = GetParam();

  ID3v2Tag tag;
  ASSERT_TRUE(tag.Load(file));
  EXPECT_TRUE(tag.Present());
  EXPECT_EQ(tag.Version(), t.version);
  EXPECT_EQ(tag.Title(), title);
  EXPECT_EQ(tag.Artist(), "Artist");
  EXPECT_EQ(tag.Album(), "Album X");
  EXPECT_EQ(tag.Year(), "1999");
  EXPECT_EQ(tag.Track(), 3);
  EXPECT_EQ(tag.TrackText(), t.trackText);
  EXPECT_EQ(tag.Genre(), t.genre);
  EXPECT_EQ(tag.Comment(), "Nice comment");

  ID3v1Tag v1;
  ASSERT_TRUE(v1.Load(file));
  if (std::string(t.name) == "id3v2") {
    EXPECT_TRUE(v1.Present());
    EXPECT_EQ(v1.Title(), title);
    EXPECT_EQ(v1.Artist(), "Artist");
    EXPECT_EQ(v1.Album(), "Album X");
    EXPECT_EQ(v1.Year(), "1999");
    EXPECT_EQ(v1.Comment(), "Nice comment");
    EXPECT_EQ(v1.Track(), 3);
    EXPECT_EQ(v1.GenreNumber(), 17);
  }
  // The audio search of the analysis starts where the tag ends.
  if (v1.Present()) {
    EXPECT_EQ(fs::file_size(file), fs::file_size(Shared().Path("base.mp3")) + tag.TagSize() + 128);
  }
}

// ---------------------------------------------------------------- we write, peers read

struct OurFields {
  std::string title = SampleTitle();
  std::string artist = "Artist B";
  std::string album = "Album C";
  std::string year = "2001";
  uint16_t track = 7;
  std::string genre = "Rock";
  std::string comment = "Nice comment";
  std::string composer = "Composer D";
  std::string encodedBy = "Encoder E";
  std::string copyright = "Copyright F";
  std::string url = "http://example.com/x";
  std::string origArtist = "Orig G";

  void Apply(ID3v2Tag& tag) const {
    tag.SetTitle(title);
    tag.SetArtist(artist);
    tag.SetAlbum(album);
    tag.SetYear(year);
    tag.SetTrack(track);
    tag.SetGenre(genre);
    tag.SetComment(comment);
    tag.SetComposer(composer);
    tag.SetEncodedBy(encodedBy);
    tag.SetCopyright(copyright);
    tag.SetURL(url);
    tag.SetOrigArtist(origArtist);
  }
};

std::string First(const json& j, const std::string& key) {
  if (!j.contains(key)) return "<missing " + key + ">";
  const json& v = j[key];
  if (v.is_array()) return v.empty() ? "" : v[0].get<std::string>();
  if (v.is_string()) return v.get<std::string>();
  return v.dump();
}

// Each key's first value in a peer's JSON answer against what we wrote.
void ExpectFirst(const json& j,
                 std::initializer_list<std::pair<const char*, std::string>> expected) {
  for (const auto& [key, value] : expected) EXPECT_EQ(First(j, key), value) << key;
}

// A member of a peer's JSON answer; null when it is not there.
json Field(const json& j, const std::string& key) {
  return j.is_object() ? j.value(key, json()) : json();
}

// A track number as a peer shows it: the number written, followed by the
// total of tracks that the tagger wrote before (a save keeps it).
std::string TrackPart(const std::string& shown) { return shown.substr(0, shown.find('/')); }

// The text of the comment without description, in whatever language the
// tagger gave it (a save keeps the language).
std::string PlainComment(const json& j) {
  for (const auto& [key, value] : j.items())
    if (key.rfind("COMM::", 0) == 0) return First(j, key);
  return "<missing COMM::>";
}

void ExpectPeersRead(const std::string& file, const OurFields& f) {
  // Written without Unicode, the title is the ANSI code page's bytes, which
  // peers read as ISO-8859-1.
  const std::string title = Latin1ToUtf8(Utf8ToAnsi(f.title));
  if (HasPythonModule("mutagen")) {
    SCOPED_TRACE("mutagen");
    const json m = Shared().Peer("mutagen", file);
    ASSERT_TRUE(m.is_object());
    ExpectFirst(m, {{"version", "2.3"},
                    {"TIT2", title},
                    {"TPE1", f.artist},
                    {"TALB", f.album},
                    {"TDRC", f.year},  // mutagen shows TYER as TDRC
                    {"TCON", f.genre},
                    {"TCOM", f.composer},
                    {"TENC", f.encodedBy},
                    {"TCOP", f.copyright},
                    {"WXXX:", f.url},
                    {"TOPE", f.origArtist}});
    EXPECT_EQ(TrackPart(First(m, "TRCK")), std::to_string(f.track));
    EXPECT_EQ(PlainComment(m), f.comment);
  }
  if (HasPythonModule("eyed3")) {
    SCOPED_TRACE("eyeD3");
    const json e = Shared().Peer("eyed3", file);
    ASSERT_TRUE(e.is_object());
    ExpectFirst(e, {{"version", "2.3"},
                    {"title", title},
                    {"artist", f.artist},
                    {"album", f.album},
                    {"track", std::to_string(f.track)},
                    {"genre", f.genre},
                    {"comment", f.comment},
                    {"composer", f.composer},
                    {"year", f.year},
                    {"url", f.url},
                    {"encoded_by", f.encodedBy}});
  }
  if (HasTool("id3v2")) {
    SCOPED_TRACE("id3v2 -l");
    const std::string listing = Capture("id3v2 -l " + Quote(file)).value_or("");
    const std::pair<const char*, std::string> lines[] = {
        {"TPE1", f.artist},     {"TALB", f.album},
        {"TYER", f.year},       {"TRCK", std::to_string(f.track)},
        {"TCON", f.genre},      {"COMM", f.comment},
        {"TCOM", f.composer},   {"TENC", f.encodedBy},
        {"TCOP", f.copyright},  {"WXXX", f.url},
        {"TOPE", f.origArtist}, {"TIT2", ""}};
    for (const auto& [id, value] : lines) {
      const size_t at = listing.find(std::string(id) + " (");
      ASSERT_NE(at, std::string::npos) << id << " in\n" << listing;
      const std::string line = listing.substr(at, listing.find('\n', at) - at);
      EXPECT_NE(line.find(value), std::string::npos) << line;
    }
  }
  if (HasTool("ffprobe")) {
    SCOPED_TRACE("ffprobe");
    const json p =
        json::parse(Capture("ffprobe -v error -show_entries format_tags -of json " + Quote(file))
                        .value_or("{}"),
                    nullptr, false);
    ASSERT_TRUE(p.is_object());
    const json tags = p.value("format", json::object()).value("tags", json::object());
    ExpectFirst(tags, {{"title", title},
                       {"artist", f.artist},
                       {"album", f.album},
                       {"date", f.year},
                       {"genre", f.genre},
                       {"comment", f.comment},
                       {"composer", f.composer},
                       {"encoded_by", f.encodedBy},
                       {"copyright", f.copyright}});
    EXPECT_EQ(TrackPart(First(tags, "track")), std::to_string(f.track));
  }
}

TEST_P(PeerTagged, PeersReadWhatWeWrote) {
  std::string title;
  const std::string file = Tagged(&title);
  if (file.empty()) GTEST_SKIP() << GetParam().tool << " or lame/ffmpeg missing";
  ID3v1Tag v1;
  ID3v2Tag tag;
  ASSERT_TRUE(v1.Load(file));
  ASSERT_TRUE(tag.Load(file));
  // A title other than the peer's: setting the text the tag already holds is
  // no change, and the peer's own frame (perhaps UTF-16) would be kept.
  OurFields fields;
  fields.title = SampleTitle() + " 2";
  ASSERT_NE(fields.title, tag.Title());
  fields.Apply(tag);
  v1.SetTitle(fields.title);
  ASSERT_TRUE(v1.Save(file));
  ASSERT_TRUE(tag.Save(file));
  ExpectPeersRead(file, fields);
  EXPECT_EQ(Workspace::PcmMd5(file), Shared().BaseMd5());
}

TEST(OurTags, PeersReadATagWeAddedToAnUntaggedFile) {
  if (!Shared().MakeBase()) GTEST_SKIP() << "lame/ffmpeg missing";
  const std::string file = Shared().Copy("ours.mp3");
  ID3v2Tag tag;
  const OurFields fields;
  fields.Apply(tag);
  ASSERT_TRUE(tag.Save(file));
  ExpectPeersRead(file, fields);
  EXPECT_EQ(Workspace::PcmMd5(file), Shared().BaseMd5());
  // In place the second time, and still readable.
  ID3v2Tag again;
  ASSERT_TRUE(again.Load(file));
  again.SetTitle("x");
  again.SetTitle(fields.title);
  ASSERT_TRUE(again.Save(file));
  ExpectPeersRead(file, fields);
  ASSERT_TRUE(again.Strip(file));
  EXPECT_EQ(Workspace::PcmMd5(file), Shared().BaseMd5());
  EXPECT_EQ(fs::file_size(file), fs::file_size(Shared().Path("base.mp3")));
}

INSTANTIATE_TEST_SUITE_P(Taggers, PeerTagged, ::testing::ValuesIn(kTaggers),
                         [](const auto& p) { return std::string(p.param.name); });

// ---------------------------------------------------------------- frames carried over

// A title change keeps what the writer does not build itself: a 200 KB
// picture, lyrics and a user text frame read the same to mutagen afterwards.
TEST(CarriedFrames, PictureLyricsAndUserTextSurviveATitleChange) {
  if (!Shared().MakeBase() || !HasPythonModule("mutagen"))
    GTEST_SKIP() << "lame/ffmpeg/mutagen missing";
  const std::string picture = Shared().Path("cover.jpg");
  {
    std::mt19937 random(42);
    std::ofstream out(picture, std::ios::binary);
    for (int i = 0; i < 200 * 1024; ++i) out.put(static_cast<char>(random() & 0xFF));
  }
  for (int version : {4, 3}) {
    SCOPED_TRACE(testing::Message() << "written by mutagen as 2." << version);
    const std::string file = Shared().Copy("carried" + std::to_string(version) + ".mp3");
    ASSERT_EQ(std::system((Python() + " " + Quote(Shared().Path("mutagen_writer.py")) + " " +
                           Quote(file) + " " + std::to_string(version) + " " + Quote(picture))
                              .c_str()),
              0);
    const json before = Shared().Peer("mutagen", file);
    ASSERT_TRUE(before.contains("APIC"));
    ASSERT_EQ(Field(before, "APIC")["size"], 200 * 1024);

    ID3v2Tag tag;
    ASSERT_TRUE(tag.Load(file));
    EXPECT_EQ(tag.Title(), "Old title");
    tag.SetTitle("New title");
    ASSERT_TRUE(tag.Save(file));

    const json after = Shared().Peer("mutagen", file);
    ASSERT_TRUE(after.is_object());
    EXPECT_EQ(First(after, "version"), "2.3");
    EXPECT_EQ(First(after, "TIT2"), "New title");
    EXPECT_EQ(Field(after, "APIC"), Field(before, "APIC"));
    EXPECT_EQ(Field(after, "USLT"), Field(before, "USLT"));
    EXPECT_EQ(Field(after, "TXXX:MusicBrainz Album Id"),
              Field(before, "TXXX:MusicBrainz Album Id"));
    for (const char* key : {"TIT1", "TOAL", "COMM:iTunNORM:eng", "COMM::eng", "WXXX:shop", "WXXX:"})
      EXPECT_EQ(Field(after, key), Field(before, key)) << key;
    // Only the title changed: the album read from TOAL is not written as a
    // TALB of its own, and no frame comes or goes.
    EXPECT_FALSE(after.contains("TALB"));
    EXPECT_EQ(after.size(), before.size());
    EXPECT_EQ(Workspace::PcmMd5(file), Shared().BaseMd5());

    // A second change is written in place of the rebuilt tag or rebuilt again;
    // either way nothing is lost.
    tag.SetTitle("Third title");
    ASSERT_TRUE(tag.Save(file));
    const json third = Shared().Peer("mutagen", file);
    EXPECT_EQ(First(third, "TIT2"), "Third title");
    EXPECT_EQ(Field(third, "APIC"), Field(before, "APIC"));
    EXPECT_EQ(Field(third, "USLT"), Field(before, "USLT"));
    ID3v2Tag reloaded;
    ASSERT_TRUE(reloaded.Load(file));
    EXPECT_EQ(reloaded.URL(), "http://example.org/a");
    EXPECT_EQ(Field(third, "COMM:iTunNORM:eng"), Field(before, "COMM:iTunNORM:eng"));
  }
}

}  // namespace
}  // namespace tags
