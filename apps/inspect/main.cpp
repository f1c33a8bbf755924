// tagwright-inspect: what the plug-in sees in MPEG audio files, one JSON object
// per file and line.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "audio/mpeg_audio.h"
#include "sys/sys.h"
#include "tags/codepage.h"
#include "tags/codepage_guess.h"
#include "tags/id3v1.h"
#include "tags/id3v2.h"
#include "tags/unicode_text.h"
#include "text.h"

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;

constexpr int kExitAllAudio = 0;
constexpr int kExitSomeNotAudio = 1;
constexpr int kExitUsage = 2;

const char kUsage[] =
    "Usage: tagwright-inspect [--codepage N|guess] PATH...\n"
    "       tagwright-inspect --help | --version\n"
    "\n"
    "Prints, for every file named and every file in the folders named (walked\n"
    "recursively, entries in name order), one JSON object per line: the file's\n"
    "MPEG audio properties and its ID3v1 and ID3v2 tags as the Tagwright plug-in\n"
    "reads them.\n"
    "\n"
    "  --codepage N  code page of 8-bit tag text, the ID3v1 tag and ID3v2 frames\n"
    "                without Unicode (default: the system's ANSI code page, 1252\n"
    "                or 1251; 866 for DOS text)\n"
    "  --codepage guess\n"
    "                guess the code page of each file's 8-bit tag text among\n"
    "                1251, 866, 20866 (KOI8-R), 21866 (KOI8-U), 28595\n"
    "                (ISO-8859-5), 1250, 28592 (ISO-8859-2), 1253, 28597\n"
    "                (ISO-8859-7), 1257 and 1252, as the plug-in's conversion to\n"
    "                Unicode does with Russian Windows and DOS code pages, and\n"
    "                write the text converted from it; \"codepage\" names the\n"
    "                guess (null: no 8-bit text)\n"
    "  --help        this text\n"
    "  --version     the program's name and version\n"
    "\n"
    "\"analyzed\" is false when the file could not be read; \"valid\" tells whether\n"
    "the plug-in takes the file for MPEG audio. \"error\" is there only when a\n"
    "file could not be read (the system's reason) or holds no MPEG audio (\"no\n"
    "MPEG audio found\"); the same text goes to stderr, where control\n"
    "characters of names and texts are written as \\xNN as well. \"mpeg\" is null when no\n"
    "frame was found and a tag that is not present is null. \"first_frame_offset\" is the\n"
    "frame's position in the file (tags included). \"vbr\" names the header in\n"
    "the first frame that counts the file's frames: \"Xing\" or \"VBRI\" (variable\n"
    "bit rate), \"Info\" (LAME's, in a constant bit rate file), or null. Tag text\n"
    "is written in UTF-8, in every locale: the text of Unicode frames as it is,\n"
    "8-bit text converted from the code page (a byte the code page does not\n"
    "define becomes the C1 control of its value, else U+F7NN). A byte of a file\n"
    "name that is not UTF-8 is written as the four characters \\xNN (its value\n"
    "in hex).\n"
    "\n"
    "Exit status: 0 when every file was read and is valid MPEG audio (\"valid\"\n"
    "is true on every line), 1 when some file could not be read or holds no\n"
    "MPEG audio (its line has \"error\"), 2 for bad usage.\n";

// One output line: objects of fixed keys written in order, with a blank after
// every ':' and ',' ({"path": "...", "analyzed": true}). The JSON library
// writes every value that is not plain text, so strings are escaped by it; no
// tree is built per file. Its serializer (the one behind dump()) is kept for
// the whole run: a dump() per value would set up a serializer and make a
// value and a result string every time, which cost more than reading the
// file. The line is built in a buffer of its own, whose small copies the
// compiler inlines (std::string's append is a call into the library).
class JsonLine {
 public:
  void Begin() {
    if (depth_++ == 0) size_ = 0;
    Put("{", 1);
    first_ = true;
  }
  template <size_t N>
  JsonLine& Key(const char (&key)[N]) {
    if (first_) {
      Put("\"", 1);
    } else {
      Put(", \"", 3);
    }
    first_ = false;
    Put(key, N - 1);
    Put("\": ", 3);
    return *this;
  }
  // Printable ASCII other than '"' and '\\' stands for itself in JSON (the
  // library writes it unchanged); everything else goes through the library.
  static bool IsPlain(unsigned char c) { return kPlain[c]; }
  // Text made only of plain bytes.
  void PlainValue(std::string_view text) {
    Put("\"", 1);
    Put(text.data(), text.size());
    Put("\"", 1);
  }
  void Value(std::string_view text) {
    if (std::all_of(text.begin(), text.end(),
                    [](char c) { return IsPlain(static_cast<unsigned char>(c)); })) {
      PlainValue(text);
      return;
    }
    string_.get_ref<std::string&>().assign(text);
    Dump(string_);
  }
  void Value(const std::string& text) { Value(std::string_view(text)); }
  void Value(const char* text) { Value(std::string_view(text)); }
  void Value(bool value) { value ? Put("true", 4) : Put("false", 5); }
  void Value(double value) { Dump(Json(value)); }
  void Value(int64_t value) { Number(value); }
  void Value(unsigned value) { Number(value); }
  void Value(uint16_t value) { Number(value); }
  void Value(uint8_t value) { Number(value); }
  void Null() { Put("null", 4); }
  void Close() {
    Put("}", 1);
    --depth_;
    first_ = false;
  }
  std::string_view End() {
    Close();
    Put("\n", 1);
    return std::string_view(buffer_.data(), size_);
  }

 private:
  [[gnu::always_inline]] void Put(const char* bytes, size_t count) {
    if (buffer_.size() - size_ < count) Grow(count);
    std::memcpy(buffer_.data() + size_, bytes, count);
    size_ += count;
  }
  void Grow(size_t count) { buffer_.resize(std::max(2 * buffer_.size(), size_ + count)); }
  template <typename Integer>
  void Number(Integer value) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    Put(digits, static_cast<size_t>(end - digits));
  }
  void Dump(const Json& value) {
    dumped_.clear();
    serializer_.dump(value, false, false, 0);
    Put(dumped_.data(), dumped_.size());
  }

  static constexpr std::array<bool, 256> kPlain = [] {
    std::array<bool, 256> plain{};
    for (int c = 0x20; c < 0x7F; ++c) plain[c] = c != '"' && c != '\\';
    return plain;
  }();

  std::vector<char> buffer_ = std::vector<char>(4096);
  size_t size_ = 0;
  std::string dumped_;
  Json string_ = std::string();
  nlohmann::detail::serializer<Json> serializer_{nlohmann::detail::output_adapter<char>(dumped_),
                                                 ' '};
  int depth_ = 0;
  bool first_ = true;
};

// The candidates of --codepage guess, in the order the plug-in's conversion
// offers them on a Russian system: Windows and DOS text, the host's tables,
// Western text.
constexpr unsigned kGuessCodePages[] = {1251,  866,  20866, 21866, 28595, 1250,
                                        28592, 1253, 28597, 1257,  1252};

// The tag code page that reads 8-bit text in the Windows code page `number`:
// the system's ANSI or OEM one as the plug-in names them, any other as a
// host table named by its number.
tags::CodePage PageOfNumber(unsigned number) {
  tags::CodePage page;
  if (number == sys::AnsiCodePage() || number == sys::OemCodePage()) {
    page.Kind = number == sys::AnsiCodePage() ? tags::CodePageKind::Ansi : tags::CodePageKind::Oem;
    return page;
  }
  page.Kind = tags::CodePageKind::HostTable;
  std::snprintf(page.Table.TableName, sizeof page.Table.TableName, "CP%u", number);
  return page;
}

class Inspector {
 public:
  // `guessPages`: the candidates of --codepage guess, none without it.
  Inspector(unsigned codePage, std::vector<unsigned> guessPages)
      : codePage_(codePage), guessPages_(std::move(guessPages)) {}

  void Named(const fs::path& path) {
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (fs::is_directory(status)) {
      Folder(path.native());
    } else if (fs::is_regular_file(status)) {
      File(path.native());
    } else if (error) {
      Unread(path.native(), error.message());  // missing, or out of reach
    } else {
      Unread(path.native(), "not a file or folder");  // a device or a pipe
    }
  }

  // Whether every file was read and is MPEG audio.
  bool AllAudio() const { return failed_ == 0; }

 private:
  // The listing comes from readdir: its entries carry their type, and no
  // path object is built per entry.
  void Folder(const std::string& folder) {
    struct Entry {
      std::string name;
      unsigned char type;
    };
    std::vector<Entry> entries;
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) {
      Unread(folder, std::strerror(errno));
      return;
    }
    for (;;) {
      errno = 0;
      const dirent* entry = ::readdir(dir);
      if (entry == nullptr) break;
      if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
      entries.push_back({entry->d_name, entry->d_type});
    }
    const int error = errno;
    ::closedir(dir);
    if (error != 0) {
      Unread(folder, std::strerror(error));
      return;
    }
    std::sort(entries.begin(), entries.end(),
              [](const Entry& a, const Entry& b) { return a.name < b.name; });
    std::string path = folder;
    if (!path.empty() && path.back() != '/') path += '/';
    const size_t base = path.size();
    for (const Entry& entry : entries) {
      path.resize(base);
      path += entry.name;
      // Only links are looked through, and linked folders are not followed
      // (a link may lead back up the tree).
      struct stat st;
      unsigned char type = entry.type;
      if (type == DT_UNKNOWN && ::lstat(path.c_str(), &st) == 0) {
        type = S_ISLNK(st.st_mode)   ? DT_LNK
               : S_ISDIR(st.st_mode) ? DT_DIR
               : S_ISREG(st.st_mode) ? DT_REG
                                     : DT_UNKNOWN;
      }
      if (type == DT_LNK) {
        if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) File(path);
      } else if (type == DT_DIR) {
        Folder(path);
      } else if (type == DT_REG) {
        File(path);
      }
    }
  }

  void File(const std::string& path) {
    bool analyzed = false;
    std::string error;
    try {
      sys::SetLastError(sys::kErrorSuccess);
      analyzed = Analyze(path);
      if (!analyzed) error = sys::SystemErrorText();
    } catch (const std::exception& e) {
      audio_.Reset();
      error = e.what();
    }
    if (analyzed && !audio_.IsValid()) error = "no MPEG audio found";
    if (!error.empty()) ++failed_;
    Print(path, analyzed, error);
  }

  // The analysis takes the host's text; a name without an OEM spelling (where
  // the host's text is OEM) is reached through its open descriptor.
  bool Analyze(const std::string& name) {
    guessed_.reset();
    eightBit_.clear();
    tags::TagCodePage = PageOfNumber(codePage_);
    if (const auto path = inspect::SysPath(name)) return audio_.Analyze(*path) && Guess(*path);
    const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
      audio_.Reset();
      return false;
    }
    const std::string path = "/proc/self/fd/" + std::to_string(fd);
    const bool analyzed = audio_.Analyze(path) && Guess(path);
    ::close(fd);
    return analyzed;
  }

  // --codepage guess: the code page of the file's 8-bit text (that of its
  // ID3v2 frames under encoding 0 and of its ID3v1 tag), scored as the
  // plug-in's conversion scores it; the file is then read again in it. False
  // when the tag cannot be read.
  bool Guess(const std::string& path) {
    if (guessPages_.empty()) return true;
    const auto texts = tags::ID3v2Tag::EightBitTexts(path);
    if (!texts) return false;
    eightBit_ = *texts;
    // The ID3v1 fields' bytes: the code page that read them writes them back.
    const tags::ID3v1Tag& v1 = audio_.ID3v1();
    for (const std::string* field : {&v1.Title(), &v1.Artist(), &v1.Album(), &v1.Comment()}) {
      std::string bytes;
      tags::Utf8ToBytes(*field, tags::TagCodePage, &bytes);
      if (tags::HasHighBytes(bytes)) eightBit_.push_back(bytes);
    }
    if (eightBit_.empty()) return true;
    std::vector<tags::TextDecoder> decoders;
    for (const unsigned number : guessPages_) {
      decoders.push_back([number](std::string_view text) {
        return sys::CodePageToWide(number, text.data(), text.size());
      });
    }
    guessed_ = tags::GuessCodePage(eightBit_, decoders);
    tags::TagCodePage = PageOfNumber(guessPages_[*guessed_]);
    return audio_.Analyze(path);
  }

  void Unread(const std::string& path, const std::string& error) {
    ++failed_;
    audio_.Reset();
    Print(path, false, error);
  }

  // `error`, when not empty, is why the file was not analysed or is no audio
  // file: the last key of the line, and a line on stderr.
  void Print(const std::string& path, bool analyzed, const std::string& error) {
    const bool present = audio_.FirstFrame().Present;
    int64_t fileSize = audio_.FileSize();
    if (!present) {
      std::error_code sizeError;
      const auto size = fs::file_size(fs::path(path), sizeError);
      fileSize = sizeError ? 0 : static_cast<int64_t>(size);
    }
    line_.Begin();
    line_.Key("path").Value(inspect::SanitizeUtf8(path));
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
    if (!guessPages_.empty()) {
      line_.Key("codepage");
      if (guessed_) {
        line_.Value(guessPages_[*guessed_]);
      } else {
        line_.Null();
      }
    }
    if (!error.empty()) {
      line_.Key("error").Value(inspect::SanitizeUtf8(error));
      std::fprintf(stderr, "tagwright-inspect: %s: %s\n", inspect::TerminalText(path).c_str(),
                   inspect::TerminalText(error).c_str());
    }
    const std::string_view text = line_.End();
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
    Text("title", tag.Title());
    Text("artist", tag.Artist());
    Text("album", tag.Album());
    Text("year", tag.Year());
    Text("comment", tag.Comment());
    line_.Key("track").Value(tag.Track());
    line_.Key("genre").Value(tag.GenreNumber());
    Text("genre_name", tag.Genre());
    line_.Close();
  }

  void Id3v2() {
    const tags::ID3v2Tag& tag = audio_.ID3v2();
    line_.Begin();
    line_.Key("version").Value(tag.Version());
    line_.Key("tag_size").Value(tag.TagSize());
    Text("title", tag.Title());
    Text("artist", tag.Artist());
    Text("album", tag.Album());
    line_.Key("track").Value(tag.Track());
    Text("track_text", tag.TrackText());
    Text("year", tag.Year());
    Text("genre", tag.Genre());
    Text("comment", tag.Comment());
    Text("composer", tag.Composer());
    Text("orig_artist", tag.OrigArtist());
    Text("encoded_by", tag.EncodedBy());
    Text("copyright", tag.Copyright());
    Text("language", tag.Language());
    Text("url", tag.URL());
    line_.Close();
  }

  // Tag text in UTF-8. Bytes that both the code page and JSON leave as they
  // are (plain ASCII, mostly) go over as they stand.
  // With a guess, 8-bit text is read in the guessed code page; the rest
  // (text of Unicode frames, which the tag holds in the ANSI code page) as
  // without one.
  template <size_t N>
  void Text(const char (&key)[N], const std::string& text) {
    line_.Key(key);
    if (std::all_of(text.begin(), text.end(),
                    [](char c) { return JsonLine::IsPlain(static_cast<unsigned char>(c)); })) {
      line_.PlainValue(text);
    } else {
      line_.Value(inspect::SanitizeUtf8(text));
    }
  }

  unsigned codePage_;
  std::vector<unsigned> guessPages_;
  std::optional<size_t> guessed_;
  std::vector<std::string> eightBit_;
  audio::MPEGaudio audio_;
  JsonLine line_;
  int failed_ = 0;  // files not read, or not MPEG audio
};

// Bad usage: one line that says what was wrong and where to read more.
int Usage(const char* problem) {
  std::fprintf(stderr, "tagwright-inspect: %s (see tagwright-inspect --help)\n",
               inspect::TerminalText(problem).c_str());
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
  bool guess = false;
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
      return kExitAllAudio;
    } else if (arg == "--version") {
      std::puts("tagwright-inspect " TAGWRIGHT_VERSION);
      return kExitAllAudio;
    } else if (arg == "--codepage" || arg.rfind("--codepage=", 0) == 0) {
      std::string value;
      if (arg == "--codepage") {
        if (++i == argc) return Usage("--codepage needs a number");
        value = argv[i];
      } else {
        value = arg.substr(std::strlen("--codepage="));
      }
      guess = value == "guess";
      if (!guess) {
        codePage = CodePageNumber(value);
        if (!codePage) return Usage(("not a code page number: " + value).c_str());
      }
    } else {
      return Usage(("unknown option " + arg).c_str());
    }
  }
  if (paths.empty()) return Usage("no file or folder named");

  const unsigned tagCodePage = codePage.value_or(sys::AnsiCodePage());
  if (!inspect::KnownCodePage(tagCodePage)) {
    return Usage(("code page " + std::to_string(tagCodePage) + " is not known").c_str());
  }

  static char buffer[1 << 16];
  std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
  std::vector<unsigned> guessPages;
  if (guess) {
    for (const unsigned number : kGuessCodePages) {
      if (!inspect::KnownCodePage(number))
        return Usage(("code page " + std::to_string(number) + " is not known").c_str());
      guessPages.push_back(number);
    }
  }
  Inspector inspector(tagCodePage, std::move(guessPages));
  for (const std::string& path : paths) inspector.Named(path);
  if (std::fflush(stdout) != 0) return kExitSomeNotAudio;
  return inspector.AllAudio() ? kExitAllAudio : kExitSomeNotAudio;
}
