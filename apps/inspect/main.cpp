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
using Json = nlohmann::ordered_json;

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
      // Linked folders are not followed (a link may lead back up the tree).
      const fs::file_status own = entry.symlink_status(error);
      const fs::file_status target = entry.status(error);
      if (fs::is_directory(own)) {
        Folder(entry.path());
      } else if (fs::is_regular_file(target)) {
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
    Json line;
    line["path"] = inspect::SanitizeUtf8(path.native());
    line["analyzed"] = analyzed;
    line["valid"] = audio_.IsValid();
    line["file_size"] = fileSize;
    line["mpeg"] = present ? Mpeg() : Json();
    line["id3v1"] = audio_.ID3v1().Present() ? Id3v1() : Json();
    line["id3v2"] = audio_.ID3v2().Present() ? Id3v2() : Json();
    const std::string text = Spaced(line.dump());
    std::fwrite(text.data(), 1, text.size(), stdout);
  }

  // The compact dump with a blank after every ':' and ',' between tokens
  // ({"path": "...", "analyzed": true}), and the line's end.
  static std::string Spaced(const std::string& compact) {
    std::string out;
    out.reserve(compact.size() + compact.size() / 8);
    bool inString = false;
    for (size_t i = 0; i < compact.size(); ++i) {
      const char c = compact[i];
      out += c;
      if (inString) {
        if (c == '\\') {
          out += compact[++i];
        } else if (c == '"') {
          inString = false;
        }
      } else if (c == '"') {
        inString = true;
      } else if (c == ':' || c == ',') {
        out += ' ';
      }
    }
    out += '\n';
    return out;
  }

  Json Mpeg() const {
    const audio::VBRData& vbr = audio_.VbrInfo();
    Json mpeg;
    mpeg["version"] = audio_.VersionText();
    mpeg["layer"] = audio_.LayerText();
    mpeg["bitrate_kbps"] = audio_.BitRateKbps();
    mpeg["sample_rate_hz"] = audio_.SampleRateHz();
    mpeg["channel_mode"] = audio_.ChannelModeText();
    mpeg["frames"] = audio_.FrameCount();
    mpeg["duration_s"] = audio_.DurationSeconds();
    mpeg["vbr"] = vbr.Present ? Json(std::string(vbr.Signature, 4)) : Json();
    mpeg["first_frame_offset"] = audio_.FirstFramePosition();
    return mpeg;
  }

  Json Id3v1() const {
    const tags::ID3v1Tag& tag = audio_.ID3v1();
    Json v1;
    v1["version"] = tag.Version();
    v1["title"] = Text(tag.Title());
    v1["artist"] = Text(tag.Artist());
    v1["album"] = Text(tag.Album());
    v1["year"] = Text(tag.Year());
    v1["comment"] = Text(tag.Comment());
    v1["track"] = tag.Track();
    v1["genre"] = tag.GenreNumber();
    v1["genre_name"] = Text(tag.GenreText());
    return v1;
  }

  Json Id3v2() const {
    const tags::ID3v2Tag& tag = audio_.ID3v2();
    Json v2;
    v2["version"] = tag.Version();
    v2["tag_size"] = tag.TagSize();
    v2["title"] = Text(tag.Title());
    v2["artist"] = Text(tag.Artist());
    v2["album"] = Text(tag.Album());
    v2["track"] = tag.Track();
    v2["track_text"] = Text(tag.TrackText());
    v2["year"] = Text(tag.Year());
    v2["genre"] = Text(tag.Genre());
    v2["comment"] = Text(tag.Comment());
    v2["composer"] = Text(tag.Composer());
    v2["orig_artist"] = Text(tag.OrigArtist());
    v2["encoded_by"] = Text(tag.EncodedBy());
    v2["copyright"] = Text(tag.Copyright());
    v2["language"] = Text(tag.Language());
    v2["url"] = Text(tag.URL());
    return v2;
  }

  std::string Text(const std::string& bytes) const { return decoder_.Decode(bytes); }

  inspect::ByteDecoder decoder_;
  audio::MPEGaudio audio_;
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
