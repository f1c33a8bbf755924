#include "tags/id3v2_convert.h"

#include <algorithm>
#include <array>
#include <utility>

namespace tags::id3v2 {

namespace {

// Version 2.2 frame ids and the 2.3 frames that took their place, sorted by
// the 2.2 id. TCP, TS2, TSA, TSC,
// TSP and TST are not in the 2.2 standard, but iTunes writes them (the
// compilation flag and the sort orders). Left out: CRM, the encrypted meta
// frame, which 2.3 does not have, and LNK, whose first field is a 3-character
// frame id where LINK has a 4-character one.
constexpr std::array<std::pair<std::string_view, std::string_view>, 67> kIds{{
    {"BUF", "RBUF"}, {"CNT", "PCNT"}, {"COM", "COMM"}, {"CRA", "AENC"}, {"EQU", "EQUA"},
    {"ETC", "ETCO"}, {"GEO", "GEOB"}, {"IPL", "IPLS"}, {"MCI", "MCDI"}, {"MLL", "MLLT"},
    {"PIC", "APIC"}, {"POP", "POPM"}, {"REV", "RVRB"}, {"RVA", "RVAD"}, {"SLT", "SYLT"},
    {"STC", "SYTC"}, {"TAL", "TALB"}, {"TBP", "TBPM"}, {"TCM", "TCOM"}, {"TCO", "TCON"},
    {"TCP", "TCMP"}, {"TCR", "TCOP"}, {"TDA", "TDAT"}, {"TDY", "TDLY"}, {"TEN", "TENC"},
    {"TFT", "TFLT"}, {"TIM", "TIME"}, {"TKE", "TKEY"}, {"TLA", "TLAN"}, {"TLE", "TLEN"},
    {"TMT", "TMED"}, {"TOA", "TOPE"}, {"TOF", "TOFN"}, {"TOL", "TOLY"}, {"TOR", "TORY"},
    {"TOT", "TOAL"}, {"TP1", "TPE1"}, {"TP2", "TPE2"}, {"TP3", "TPE3"}, {"TP4", "TPE4"},
    {"TPA", "TPOS"}, {"TPB", "TPUB"}, {"TRC", "TSRC"}, {"TRD", "TRDA"}, {"TRK", "TRCK"},
    {"TS2", "TSO2"}, {"TSA", "TSOA"}, {"TSC", "TSOC"}, {"TSI", "TSIZ"}, {"TSP", "TSOP"},
    {"TSS", "TSSE"}, {"TST", "TSOT"}, {"TT1", "TIT1"}, {"TT2", "TIT2"}, {"TT3", "TIT3"},
    {"TXT", "TEXT"}, {"TXX", "TXXX"}, {"TYE", "TYER"}, {"UFI", "UFID"}, {"ULT", "USLT"},
    {"WAF", "WOAF"}, {"WAR", "WOAR"}, {"WAS", "WOAS"}, {"WCM", "WCOM"}, {"WCP", "WCOP"},
    {"WPB", "WPUB"}, {"WXX", "WXXX"},
}};

static_assert(std::is_sorted(kIds.begin(), kIds.end()));

std::optional<std::string_view> V23Id(std::string_view id3) {
  const auto it = std::lower_bound(kIds.begin(), kIds.end(), id3,
                                   [](const auto& entry, std::string_view id) { return entry.first < id; });
  if (it == kIds.end() || it->first != id3) return std::nullopt;
  return it->second;
}

// The MIME type for a 2.2 image format: "-->" (the data is a URL) stays, JPG
// becomes "image/jpeg" and any other "image/" and the format in lower case
// (PNG, GIF, BMP give their registered types so). The field is 3 bytes; a zero
// or trailing blanks end it early.
std::string MimeType(ByteView format) {
  std::string name;
  for (uint8_t c : format) {
    if (c == 0) break;
    name.push_back(static_cast<char>(c));
  }
  while (!name.empty() && name.back() == ' ') name.pop_back();
  if (name == "-->") return name;
  for (char& c : name)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  if (name.empty()) return name;
  if (name == "jpg") return "image/jpeg";
  return "image/" + name;
}

// PIC (ID3v2.2 section 4.15): encoding, image format (3 bytes), picture type,
// description, data. APIC (ID3v2.3 section 4.15) has a terminated MIME type
// in place of the image format.
std::optional<Bytes> PictureContent(ByteView pic) {
  constexpr size_t kFormatAt = 1;
  constexpr size_t kFormatSize = 3;
  constexpr size_t kTypeAt = kFormatAt + kFormatSize;
  if (pic.size() <= kTypeAt) return std::nullopt;
  const std::string mime = MimeType(pic.subspan(kFormatAt, kFormatSize));
  Bytes out;
  out.reserve(pic.size() + mime.size() + 1 - kFormatSize);
  out.push_back(pic[0]);
  out.insert(out.end(), mime.begin(), mime.end());
  out.push_back(0);
  out.insert(out.end(), pic.begin() + kTypeAt, pic.end());
  return out;
}

}  // namespace

std::optional<ConvertedFrame> ConvertV22Frame(std::string_view id3, ByteView content) {
  const auto id = V23Id(id3);
  if (!id) return std::nullopt;
  ConvertedFrame frame;
  frame.id = std::string(*id);
  if (*id == "APIC") {
    auto picture = PictureContent(content);
    if (!picture) return std::nullopt;
    frame.content = std::move(*picture);
  } else {
    frame.content.assign(content.begin(), content.end());
  }
  return frame;
}

}  // namespace tags::id3v2
