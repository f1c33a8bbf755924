#include "batch/template.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <optional>
#include <vector>

#include "audio/mpeg_audio.h"
#include "host/far_services.h"
#include "sys/sys.h"
#include "tags/codepage.h"
#include "tags/utf8.h"

namespace batch {

namespace {

bool IsMarker(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'N') || (c >= 'a' && c <= 'n');
}

char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Markers E and F split at '\' and ':' on Windows (not at '/'), at '/' on POSIX.
size_t LastPathSeparator(const std::string& path) {
  return path.find_last_of(sys::kBuiltPathSeparators);
}

// Path pieces are the host's text; the result of an expansion is UTF-8.
std::string PathPiece(std::string piece, bool wide) {
  ReplaceIllegalNameChars(piece, wide);
  return tags::FromHost(piece);
}

// Marker E's folder: unlike sys::FolderPart, a '/' ends no folder on Windows.
std::string MarkerFolderPart(const std::string& fullName) {
  const size_t sep = LastPathSeparator(fullName);
  return sep == std::string::npos ? std::string() : fullName.substr(0, sep + 1);
}

std::string NameWithoutExtension(const std::string& fullName) {
  const size_t sep = LastPathSeparator(fullName);
  std::string name = sep == std::string::npos ? fullName : fullName.substr(sep + 1);
  const size_t dot = name.rfind('.');
  if (dot != std::string::npos) name.erase(dot);
  return name;
}

// The extension is taken from the last dot of the whole path, so a name
// without a dot in a dotted folder yields the folder's tail (C:\a.b\c: .b\c).
std::string Extension(const std::string& fullName) {
  const size_t dot = fullName.rfind('.');
  return dot == std::string::npos ? std::string() : fullName.substr(dot);
}

std::string TwoDigits(int64_t n) {
  std::string text = std::to_string(n);
  if (text.size() < 2) text.insert(0, 2 - text.size(), '0');
  return text;
}

std::string PlayTime(double seconds) {
  int64_t whole = 0;
  if (std::isfinite(seconds) && seconds > 0 && seconds < 9.0e15) whole = static_cast<int64_t>(seconds);
  return TwoDigits(whole / 60) + "." + TwoDigits(whole % 60);
}

// Marker 8 of an ID3v2 tag: the track number, the digits before a "/" that
// gives the number of tracks (2/3 gives 2), as they are written; blanks
// around them are dropped. Only the number of tracks ("/12") gives no number;
// another text without such a number is given as it is.
std::string TrackNumberOf(const std::string& trackText) {
  const size_t slash = trackText.find('/');
  std::string_view number = std::string_view(trackText).substr(0, slash);
  while (!number.empty() && number.front() == ' ') number.remove_prefix(1);
  while (!number.empty() && number.back() == ' ') number.remove_suffix(1);
  if (number.empty()) return slash == std::string::npos ? trackText : std::string();
  for (const char c : number) {
    if (c < '0' || c > '9') return trackText;
  }
  return std::string(number);
}

struct TagSource {
  const tags::ID3v1Tag& v1;
  const tags::ID3v2Tag& v2;
  bool useV1;
};

std::string TagMarker(char marker, const TagSource& tag) {
  if (tag.useV1) {
    const tags::ID3v1Tag& t = tag.v1;
    switch (marker) {
      case '2': return t.Title();
      case '3': return t.Artist();
      case '4': return t.Album();
      case '5': return t.Year();
      case '6': return t.Genre();
      case '7': return t.Comment();
      case '8': return t.TrackText();
      default: return std::string();  // 9 to D exist in ID3v2 only
    }
  }
  const tags::ID3v2Tag& t = tag.v2;
  switch (marker) {
    case '2': return t.Title();
    case '3': return t.Artist();
    case '4': return t.Album();
    case '5': return t.Year();
    case '6': return t.Genre();
    case '7': return t.Comment();
    case '8': return TrackNumberOf(t.TrackText());
    case '9': return t.Composer();
    case 'A': return t.OrigArtist();
    case 'B': return t.Copyright();
    case 'C': return t.URL();
    case 'D': return t.EncodedBy();
    default: return std::string();
  }
}

std::string MarkerValue(char marker, const audio::MPEGaudio& analysis, const std::string& fullName,
                        const TagSource& tag, int counter) {
  switch (marker) {
    case '0': return std::to_string(counter);
    case 'E': return PathPiece(MarkerFolderPart(fullName), false);
    case 'F': return PathPiece(NameWithoutExtension(fullName), true);
    case 'G': return PathPiece(Extension(fullName), true);
    default: break;
  }
  if (!analysis.IsValid()) return std::string();
  switch (marker) {
    case '1': return PlayTime(analysis.DurationSeconds());
    case 'H': return std::to_string(analysis.FileSize());
    case 'I': return analysis.VersionText();
    case 'J': return analysis.LayerText();
    case 'K': return std::to_string(analysis.BitRateKbps());
    case 'L': return std::to_string(analysis.FrameCount());
    case 'M': return std::to_string(analysis.SampleRateHz());
    case 'N': return analysis.ChannelModeText();
    default: return TagMarker(marker, tag);
  }
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The counter's start value: optional leading blanks, an optional sign, then
// decimal digits, or hexadecimal ones after "$" or "0x", and nothing else;
// it must fit in 32 bits.
std::optional<int64_t> ParseStartValue(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int base = 10;
  if (i < text.size() && text[i] == '$') {
    base = 16;
    ++i;
  } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i == text.size()) return std::nullopt;
  int64_t value = 0;
  for (; i < text.size(); ++i) {
    const int digit = HexDigit(text[i]);
    if (digit < 0 || digit >= base) return std::nullopt;
    value = value * base + digit;
    if (value > int64_t{1} << 31) return std::nullopt;
  }
  if (negative) value = -value;
  if (value > INT32_MAX || value < INT32_MIN) return std::nullopt;
  return value;
}

std::string_view TrimControl(std::string_view text) {
  while (!text.empty() && static_cast<unsigned char>(text.front()) <= 0x20) text.remove_prefix(1);
  while (!text.empty() && static_cast<unsigned char>(text.back()) <= 0x20) text.remove_suffix(1);
  return text;
}

// A width as the host's atoi reads it (an optional sign, then the leading
// digits; 0 without digits), except that a number too large for it stays
// large instead of wrapping: anything above kMaxTemplateWidth is clamped anyway.
int64_t ParseWidth(std::string_view text) {
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  constexpr int64_t kCeiling = int64_t{1} << 31;
  int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = std::min(value * 10 + (text[i] - '0'), kCeiling);
  }
  return negative ? -value : value;
}

struct Options {
  Alignment alignment = Alignment::Left;
  int64_t width = 1;  // as written
  // The width field within the option text, when one was written.
  size_t widthAt = 0;
  size_t widthLength = 0;
  std::string pad = " ";  // one character
  CutSide cut = CutSide::None;
};

Options ParseOptions(std::string_view text) {
  std::array<std::string_view, 4> fields = {"L", "1", " ", " "};
  const char* const base = text.data();
  text = TrimControl(text);
  size_t index = 0;
  while (index < fields.size()) {
    const size_t comma = text.find(',');
    fields[index++] = TrimControl(text.substr(0, comma));
    if (comma == std::string_view::npos) break;
    text.remove_prefix(comma + 1);
  }

  Options options;
  switch (fields[0].empty() ? '\0' : UpperAscii(fields[0][0])) {
    case 'L': options.alignment = Alignment::Left; break;
    case 'C': options.alignment = Alignment::Centre; break;
    case 'R': options.alignment = Alignment::Right; break;
    default: options.alignment = Alignment::None; break;
  }
  options.width = ParseWidth(fields[1]);
  if (index > 1) {
    options.widthAt = static_cast<size_t>(fields[1].data() - base);
    options.widthLength = fields[1].size();
  }
  if (fields[2].empty()) {
    options.pad = " ";
  } else if (fields[2] == "\\}") {
    options.pad = "}";
  } else {
    options.pad = fields[2].substr(0, tags::PrefixBytes(fields[2], 1));
  }
  switch (fields[3].empty() ? '\0' : UpperAscii(fields[3][0])) {
    case 'L': options.cut = CutSide::KeepLeft; break;
    case 'R': options.cut = CutSide::KeepRight; break;
    default: options.cut = CutSide::None; break;
  }
  return options;
}

// The first "}" at or after `from` that does not follow a "\".
size_t ClosingBrace(std::string_view text, size_t from) {
  for (size_t i = from; i < text.size(); ++i) {
    if (text[i] == '}' && (i == 0 || text[i - 1] != '\\')) return i;
  }
  return std::string::npos;
}

// What the option block behind the marker at text[at + 1] ("%" at `at`) does.
struct OptionBlock {
  size_t end = 0;                  // end (exclusive) of the text the value replaces
  std::optional<int64_t> start;    // marker 0: the counter's start value
  std::optional<Options> options;  // the value is padded or cut; widthAt within `text`
};

OptionBlock ReadOptionBlock(std::string_view text, size_t at, char marker) {
  OptionBlock block;
  block.end = at + 2;
  // A "{" that is the last character is no block.
  if (at + 3 >= text.size() || text[at + 2] != '{') return block;

  size_t optionsStart = at + 3;
  if (marker == '0') {
    const size_t stop = text.find_first_of(",}", at + 3);
    if (stop == std::string::npos) {
      block.end = at + 3;  // the "{" is dropped
      return block;
    }
    block.start = ParseStartValue(text.substr(at + 3, stop - (at + 3)));
    if (block.start) {
      if (text[stop] == '}') {
        block.end = stop + 1;
        return block;
      }
      optionsStart = stop + 1;
    }
  }

  const size_t close = ClosingBrace(text, optionsStart);
  if (close == std::string::npos) return block;
  Options options = ParseOptions(text.substr(optionsStart, close - optionsStart));
  if (options.width <= 0 || options.alignment == Alignment::None) return block;
  options.widthAt += optionsStart;
  block.options = options;
  block.end = close + 1;
  return block;
}

constexpr std::array<const char*, 32> kTransliteration = {
    "a", "b",  "v",   "g", "d", "e", "zh", "z", "i", "j",  "k",  "l", "m",  "n",  "o", "p",
    "r", "s", "t", "u", "f", "h", "ts", "ch", "sh", "sch", "'", "y", "'", "e", "yu", "ya"};

std::string WithUpperFirst(const char* latin) {
  std::string text = latin;
  if (!text.empty()) text[0] = UpperAscii(text[0]);
  return text;
}

}  // namespace

// Literal text, then the marker's value (none after the last literal).
struct TagTemplate::Piece {
  std::string literal;  // "%%" already made one "%"
  char marker = 0;
  std::optional<int64_t> start;
  std::optional<Options> options;
};

TagTemplate::TagTemplate(const std::string& tmpl) {
  // The template ends at its first zero. A marker's block is read from the
  // template alone, so where the blocks are never depends on the values.
  const std::string_view text(tmpl.c_str());
  Piece piece;
  size_t p = 0;
  size_t copied = 0;  // the template up to here is in the pieces
  while (p + 1 < text.size()) {
    if (text[p] != '%') {
      ++p;
      continue;
    }
    const char c = text[p + 1];
    if (c == '%') {  // "%%" is one "%"
      piece.literal.append(text, copied, p + 1 - copied);
      p += 2;
      copied = p;
      continue;
    }
    if (!IsMarker(c)) {
      ++p;
      continue;
    }
    piece.marker = UpperAscii(c);
    const OptionBlock block = ReadOptionBlock(text, p, piece.marker);
    piece.literal.append(text, copied, p - copied);
    piece.start = block.start;
    piece.options = block.options;
    pieces_.push_back(std::move(piece));
    piece = Piece();
    p = block.end;
    copied = p;
  }
  piece.literal.append(text, copied);
  if (!piece.literal.empty()) pieces_.push_back(std::move(piece));
}

TagTemplate::TagTemplate(const TagTemplate&) = default;
TagTemplate::TagTemplate(TagTemplate&&) noexcept = default;
TagTemplate& TagTemplate::operator=(const TagTemplate&) = default;
TagTemplate& TagTemplate::operator=(TagTemplate&&) noexcept = default;
TagTemplate::~TagTemplate() = default;

std::string TagTemplate::Format(const audio::MPEGaudio& analysis, const std::string& fullName,
                                bool preferID3v1, int counter) const {
  const TagSource tag{analysis.ID3v1(), analysis.ID3v2(),
                      (preferID3v1 && analysis.ID3v1().Present()) ||
                          (!preferID3v1 && !analysis.ID3v2().Present())};
  std::string r;
  r.reserve(128);
  for (const Piece& piece : pieces_) {
    r += piece.literal;
    if (piece.marker == 0) continue;
    std::string value = piece.start ? std::to_string(int64_t{counter} + *piece.start)
                                    : MarkerValue(piece.marker, analysis, fullName, tag, counter);
    if (piece.options) {
      const Options& o = *piece.options;
      value = PadAndCut(value, static_cast<int>(std::min<int64_t>(o.width, kMaxTemplateWidth)),
                        o.alignment, o.pad, o.cut);
    }
    r += value;
  }
  return r;
}

std::string FormatTagTemplate(const audio::MPEGaudio& analysis, const std::string& fullName,
                              const std::string& tmpl, bool preferID3v1, int counter) {
  return TagTemplate(tmpl).Format(analysis, fullName, preferID3v1, counter);
}

std::optional<ClampedWidth> FindClampedWidth(std::string_view tmpl) {
  // The formatter's scan, over the template alone: inserted values are never
  // scanned, so where the blocks are does not depend on them.
  const std::string_view text = tmpl.substr(0, tmpl.find('\0'));
  size_t p = 0;
  while (p + 1 < text.size()) {
    if (text[p] != '%') {
      ++p;
      continue;
    }
    const char c = text[p + 1];
    if (c == '%') {
      p += 2;
      continue;
    }
    if (!IsMarker(c)) {
      ++p;
      continue;
    }
    const OptionBlock block = ReadOptionBlock(text, p, UpperAscii(c));
    if (block.options && block.options->width > kMaxTemplateWidth) {
      const Options& o = *block.options;
      return ClampedWidth{o.widthAt, std::string(text.substr(o.widthAt, o.widthLength))};
    }
    p = block.end;
  }
  return std::nullopt;
}

std::string PadAndCut(const std::string& value, int width, Alignment alignment, std::string_view pad,
                      CutSide cut) {
  // Widths count characters, never bytes of one.
  width = std::clamp(width, 0, kMaxTemplateWidth);
  const size_t w = static_cast<size_t>(width);
  const size_t length = tags::IsAscii(value) ? value.size() : tags::CharCount(value);
  if (length > w) {
    switch (cut) {
      case CutSide::KeepLeft: return value.substr(0, tags::PrefixBytes(value, w));
      case CutSide::KeepRight: return value.substr(tags::SuffixStart(value, w));
      case CutSide::None: return value;
    }
    return value;
  }
  const size_t surplus = w - length;
  auto fill = [&](size_t n) {
    std::string text;
    text.reserve(n * pad.size());
    for (size_t i = 0; i < n; ++i) text += pad;
    return text;
  };
  switch (alignment) {
    case Alignment::Left: return value + fill(surplus);
    case Alignment::Right: return fill(surplus) + value;
    case Alignment::Centre: return fill(surplus / 2) + value + fill(surplus / 2 + surplus % 2);
    case Alignment::None: return value;
  }
  return value;
}

char* ReplaceIllegalNameChars(char* buffer, bool wide) {
  std::array<bool, 256> illegal{};
  for (unsigned char c : std::string_view(sys::kIllegalNameChars)) illegal[c] = true;
  if (wide) {
    for (unsigned char c : std::string_view(sys::kSeparatorNameChars)) illegal[c] = true;
  }
  for (char* c = buffer; *c != '\0'; ++c) {
    if (illegal[static_cast<unsigned char>(*c)]) *c = '_';
  }
  return buffer;
}

void ReplaceIllegalNameChars(std::string& text, bool wide) {
  if (!text.empty()) ReplaceIllegalNameChars(text.data(), wide);
}

std::string CapitalizeFirst(std::string_view text) {
  if (text.empty()) return std::string();
  size_t at = 0;
  std::string result;
  tags::AppendUtf8(result, tags::UpperChar(tags::NextChar(text, &at)));
  return result + tags::LowerText(text.substr(at));
}

std::string CapitalizeWords(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  bool wordStart = true;
  for (size_t at = 0; at < text.size();) {
    const char32_t c = tags::NextChar(text, &at);
    if (!tags::IsLetter(c)) {
      tags::AppendUtf8(result, c);
      wordStart = true;
    } else {
      tags::AppendUtf8(result, wordStart ? tags::UpperChar(c) : tags::LowerChar(c));
      wordStart = false;
    }
  }
  return result;
}

std::string SwapCase(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  for (size_t at = 0; at < text.size();) {
    const char32_t c = tags::NextChar(text, &at);
    const char32_t lower = tags::LowerChar(c);
    tags::AppendUtf8(result, lower == c ? tags::UpperChar(c) : lower);
  }
  return result;
}

std::string Transliterate(std::string_view text) {
  constexpr char32_t kCapitalA = 0x0410, kSmallA = 0x0430, kCapitalYo = 0x0401, kSmallYo = 0x0451;
  std::string result;
  result.reserve(text.size() * 2);
  for (size_t at = 0; at < text.size();) {
    const char32_t c = tags::NextChar(text, &at);
    if (c >= kCapitalA && c < kCapitalA + 32) {
      result += WithUpperFirst(kTransliteration[c - kCapitalA]);
    } else if (c >= kSmallA && c < kSmallA + 32) {
      result += kTransliteration[c - kSmallA];
    } else if (c == kCapitalYo) {
      result += 'E';
    } else if (c == kSmallYo) {
      result += 'e';
    } else {
      tags::AppendUtf8(result, c);
    }
  }
  return result;
}

}  // namespace batch
