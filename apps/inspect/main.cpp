// tagwright-inspect: what the plug-in sees in MPEG audio files, one JSON object
// per file and line.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "audio/mpeg_audio.h"
#include "sys/sys.h"
#include "text.h"

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;

constexpr int kExitAllRead = 0;
constexpr int kExitSomeUnread = 1;
constexpr int kExitUsage = 2;

const char kUsage[] =
    "Usage: tagwright-inspect [--codepage N] PATH...\n"
    "\n"
    "Prints, for every file named and every file in the folders named (walked\n"
    "recursively, entries in name order), one JSON object per line: the file's\n"
    "MPEG audio properties and its ID3v1 and ID3v2 tags as the Tagwright plug-in\n"
    "reads them.\n"
    "\n"
    "  --codepage N  code page of the tag text (default: the system's ANSI code\n"
    "                page, 1252 or 1251; 866 for DOS text)\n"
    "  --help        this text\n"
    "\n"
    "\"analyzed\" is false when the file could not be read; \"valid\" tells whether\n"
    "the plug-in takes the file for MPEG audio; \"mpeg\" is null when no frame was\n"
    "found and a tag that is not present is null. \"first_frame_offset\" is the\n"
    "frame's position in the file (tags included). Tag text is converted to\n"
    "UTF-8; a byte the code page does not define, and a byte of a file name that\n"
    "is not UTF-8, is written as the four characters \\xNN (its value in hex).\n"
    "\n"
    "Exit status: 0 when every file was read, 1 when some could not be, 2 for\n"
    "bad usage.\n";

// One output line: objects of fixed keys written in order, with a blank after
// every ':' and ',' ({"path": "...", "analyzed": true}). The JSON library
// writes every value, so strings are escaped by it; no tree is built per file.
class JsonLine {
 public:
  void Begin() {
    if (depth_++ == 0) text_.clear();
    text_ += '{';
    first_ = true;
  }
  JsonLine& Key(const char* key) {
    if (!first_) text_ += ", ";
    first_ = false;
    text_ += '"';
    text_ += key;
    text_ += "\": ";
    return *this;
  }
  void Value(const std::string& text) { text_ += Json(text).dump(); }
  void Value(const char* text) { Value(std::string(text)); }
  void Value(bool value) { text_ += value ? "true" : "false"; }
  void Value(double value) { text_ += Json(value).dump(); }
  void Value(int64_t value) { text_ += std::to_string(value); }
  void Value(unsigned value) { text_ += std::to_string(value); }
  void Value(uint16_t value) { Value(unsigned{value}); }
  void Value(uint8_t value) { Value(unsigned{value}); }
  void Null() { text_ += "null"; }
  void Close() {
    text_ += '}';
    --depth_;
    first_ = false;
  }
  const std::string& End() {
    Close();
    text_ += '\n';
    return text_;
  }

 private:
  std::string text_;
  int depth_ = 0;
  bool first_ = true;
};

class Inspector {
 public:
  explicit Inspector(inspect::ByteDecoder decoder) : decoder_(std::move(decoder)) {}

  void Named(const fs::path& path) {
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (fs::is_directory(status)) {
      Folder(path);
    } else if (fs::is_regular_file(status)) {
      File(path);
    } else {
      Unread(path);  // missing, or a device or pipe that is no audio file
    }
  }

  bool AllRead() const { return unread_ == 0; }

 private:
  void Folder(const fs::path& folder) {
    std::vector<fs::directory_entry> entries;
    std::error_code error;
    fs::directory_iterator it(folder, error), end;
    for (; !error && it != end; it.increment(error)) entries.push_back(*it);
    if (error) {
      Unread(folder);
      return;
    }
    std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
      return a.path().filename().native() < b.path().filename().native();
    });
    for (const fs::directory_entry& entry : entries) {
      // The entry's type comes with the listing; only links are looked
      // through, and linked folders are not followed (a link may lead back up
      // the tree).
      if (entry.is_symlink(error)) {
        if (fs::is_regular_file(entry.status(error))) File(entry.path());
      } else if (entry.is_directory(error)) {
        Folder(entry.path());
      } else if (entry.is_regular_file(error)) {
        File(entry.path());
      }
    }
  }

  void File(const fs::path& path) {
    bool analyzed = false;
    try {
      analyzed = Analyze(path.native());
    } catch (const std::exception&) {
      audio_.Reset();
    }
    if (!analyzed) ++unread_;
    Print(path, analyzed);
  }

  // The analysis takes OEM text; a name without an OEM spelling is reached
  // through its open descriptor.
  bool Analyze(const std::string& name) {
    if (const auto oem = inspect::Utf8ToOem(name)) return audio_.Analyze(*oem);
    const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
      audio_.Reset();
      return false;
    }
    const bool analyzed = audio_.Analyze("/proc/self/fd/" + std::to_string(fd));
    ::close(fd);
    return analyzed;
  }

  void Unread(const fs::path& path) {
    ++unread_;
    audio_.Reset();
    Print(path, false);
  }

  void Print(const fs::path& path, bool analyzed) {
    const bool present = audio_.FirstFrame().Present;
    int64_t fileSize = audio_.FileSize();
    if (!present) {
      std::error_code error;
      const auto size = fs::file_size(path, error);
      fileSize = error ? 0 : static_cast<int64_t>(size);
    }
    line_.Begin();
    line_.Key("path").Value(inspect::SanitizeUtf8(path.native()));
    line_.Key("analyzed").Value(analyzed);
    line_.Key("valid").Value(audio_.IsValid());
    line_.Key("file_size").Value(fileSize);
    line_.Key("mpeg");
    if (present) {
      Mpeg();
    } else {
      line_.Null();
    }
    line_.Key("id3v1");
    if (audio_.ID3v1().Present()) {
      Id3v1();
    } else {
      line_.Null();
    }
    line_.Key("id3v2");
    if (audio_.ID3v2().Present()) {
      Id3v2();
    } else {
      line_.Null();
    }
    const std::string& text = line_.End();
    std::fwrite(text.data(), 1, text.size(), stdout);
  }

  void Mpeg() {
    const audio::VBRData& vbr = audio_.VbrInfo();
    line_.Begin();
    line_.Key("version").Value(audio_.VersionText());
    line_.Key("layer").Value(audio_.LayerText());
    line_.Key("bitrate_kbps").Value(audio_.BitRateKbps());
    line_.Key("sample_rate_hz").Value(audio_.SampleRateHz());
    line_.Key("channel_mode").Value(audio_.ChannelModeText());
    line_.Key("frames").Value(audio_.FrameCount());
    line_.Key("duration_s").Value(audio_.DurationSeconds());
    line_.Key("vbr");
    if (vbr.Present) {
      line_.Value(std::string(vbr.Signature, 4));
    } else {
      line_.Null();
    }
    line_.Key("first_frame_offset").Value(audio_.FirstFramePosition());
    line_.Close();
  }

  void Id3v1() {
    const tags::ID3v1Tag& tag = audio_.ID3v1();
    line_.Begin();
    line_.Key("version").Value(tag.Version());
    line_.Key("title").Value(Text(tag.Title()));
    line_.Key("artist").Value(Text(tag.Artist()));
    line_.Key("album").Value(Text(tag.Album()));
    line_.Key("year").Value(Text(tag.Year()));
    line_.Key("comment").Value(Text(tag.Comment()));
    line_.Key("track").Value(tag.Track());
    line_.Key("genre").Value(tag.GenreNumber());
    line_.Key("genre_name").Value(Text(tag.GenreText()));
    line_.Close();
  }

  void Id3v2() {
    const tags::ID3v2Tag& tag = audio_.ID3v2();
    line_.Begin();
    line_.Key("version").Value(tag.Version());
    line_.Key("tag_size").Value(tag.TagSize());
    line_.Key("title").Value(Text(tag.Title()));
    line_.Key("artist").Value(Text(tag.Artist()));
    line_.Key("album").Value(Text(tag.Album()));
    line_.Key("track").Value(tag.Track());
    line_.Key("track_text").Value(Text(tag.TrackText()));
    line_.Key("year").Value(Text(tag.Year()));
    line_.Key("genre").Value(Text(tag.Genre()));
    line_.Key("comment").Value(Text(tag.Comment()));
    line_.Key("composer").Value(Text(tag.Composer()));
    line_.Key("orig_artist").Value(Text(tag.OrigArtist()));
    line_.Key("encoded_by").Value(Text(tag.EncodedBy()));
    line_.Key("copyright").Value(Text(tag.Copyright()));
    line_.Key("language").Value(Text(tag.Language()));
    line_.Key("url").Value(Text(tag.URL()));
    line_.Close();
  }

  std::string Text(const std::string& bytes) const { return decoder_.Decode(bytes); }

  inspect::ByteDecoder decoder_;
  audio::MPEGaudio audio_;
  JsonLine line_;
  int unread_ = 0;
};

int Usage(const char* problem) {
  std::fprintf(stderr, "tagwright-inspect: %s\n\n%s", problem, kUsage);
  return kExitUsage;
}

std::optional<unsigned> CodePageNumber(const std::string& text) {
  if (text.empty() || text.size() > 5 ||
      !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return std::nullopt;
  }
  const unsigned number = static_cast<unsigned>(std::stoul(text));
  if (number == 0 || number > 65535) return std::nullopt;
  return number;
}

}  // namespace

int main(int argc, char** argv) {
  std::optional<unsigned> codePage;
  std::vector<std::string> paths;
  bool optionsEnded = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
      paths.push_back(arg);
    } else if (arg == "--") {
      optionsEnded = true;
    } else if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return kExitAllRead;
    } else if (arg == "--codepage" || arg.rfind("--codepage=", 0) == 0) {
      std::string value;
      if (arg == "--codepage") {
        if (++i == argc) return Usage("--codepage needs a number");
        value = argv[i];
      } else {
        value = arg.substr(std::strlen("--codepage="));
      }
      codePage = CodePageNumber(value);
      if (!codePage) return Usage(("not a code page number: " + value).c_str());
    } else {
      return Usage(("unknown option " + arg).c_str());
    }
  }
  if (paths.empty()) return Usage("no file or folder named");

  const unsigned tagCodePage = codePage.value_or(sys::AnsiCodePage());
  auto decoder = inspect::ByteDecoder::ForCodePage(tagCodePage);
  if (!decoder) {
    return Usage(("code page " + std::to_string(tagCodePage) + " is not known").c_str());
  }

  static char buffer[1 << 16];
  std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
  Inspector inspector(std::move(*decoder));
  for (const std::string& path : paths) inspector.Named(path);
  if (std::fflush(stdout) != 0) return kExitSomeUnread;
  return inspector.AllRead() ? kExitAllRead : kExitSomeUnread;
}
