// The tag template formatter shared by the batch operations, and the text
// modifiers they apply to its results.
//
// A template is text in the tag code page in which "%" and a marker character
// (0-9, A-N, either case) stands for a property of the current file; "%%" is a
// literal "%". An option block in braces after the marker pads, aligns and
// cuts the value: {alignment,width,pad,cut}; for the counter (marker 0) a
// leading integer shifts its start: %0{1,R,3,0} gives 005 for the fifth file.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace audio {
class MPEGaudio;
}

namespace batch {

// The two choices of the tag order that the file list and rename dialogs
// offer: which tag a marker reads first.
inline constexpr char kTagOrderV1First[] = "ID3v&1, ID3v2";
inline constexpr char kTagOrderV2First[] = "ID3v&2, ID3v1";

// The widest an option block pads or cuts a value: the longest text that a
// caller of the formatter keeps, a dialog item's text (512 bytes with its
// terminating zero; file names and the 500 bytes of an ID3v2 field are
// shorter). A larger width is taken as this one, so that a slip of the keyboard
// cannot ask for gigabytes of padding.
inline constexpr int kMaxTemplateWidth = 511;

// Expands `tmpl` (tag code page; text after a zero byte is ignored) for the
// file `fullName` (OEM) with its loaded analysis. Tag markers read the ID3v1
// tag when (preferID3v1 and it is present) or (not preferID3v1 and the ID3v2
// tag is absent), the ID3v2 tag otherwise. Inserted values are not scanned
// again. Never fails; malformed markers and blocks stay as literal text.
std::string FormatTagTemplate(const audio::MPEGaudio& analysis, const std::string& fullName,
                              const std::string& tmpl, bool preferID3v1, int counter);

// A template read once and formatted for many files, as FormatTagTemplate
// does it.
class TagTemplate {
 public:
  explicit TagTemplate(const std::string& tmpl = std::string());
  TagTemplate(const TagTemplate&);
  TagTemplate(TagTemplate&&) noexcept;
  TagTemplate& operator=(const TagTemplate&);
  TagTemplate& operator=(TagTemplate&&) noexcept;
  ~TagTemplate();
  std::string Format(const audio::MPEGaudio& analysis, const std::string& fullName,
                     bool preferID3v1, int counter) const;

 private:
  struct Piece;
  std::vector<Piece> pieces_;
};

// An option block that FormatTagTemplate uses with a width above
// kMaxTemplateWidth: where its width starts in the template (0-based) and the
// width as it is written.
struct ClampedWidth {
  size_t position = 0;
  std::string width;
};
// The first such block of `tmpl` (up to its first zero byte), found the way
// FormatTagTemplate reads the template; nothing when every width fits. The
// dialogs that take templates tell the user before they close.
std::optional<ClampedWidth> FindClampedWidth(std::string_view tmpl);

enum class Alignment { None, Left, Centre, Right };
enum class CutSide { None, KeepLeft, KeepRight };

// Pads `value` with `pad` up to `width` bytes on the side(s) that `alignment`
// names (an odd surplus puts the extra byte on the right when centring), or,
// when it is longer, keeps its first or last `width` bytes as `cut` says. A
// width above kMaxTemplateWidth is taken as kMaxTemplateWidth.
std::string PadAndCut(const std::string& value, int width, Alignment alignment, std::string_view pad,
                      CutSide cut);

// Replaces, up to the terminating zero, every character that no file name may
// hold (sys::kIllegalNameChars: on Windows " * < > ? |, on POSIX none) and
// with `wide` also the separators (sys::kSeparatorNameChars: / : \ on Windows,
// / on POSIX) by "_". Returns `buffer`.
char* ReplaceIllegalNameChars(char* buffer, bool wide);
void ReplaceIllegalNameChars(std::string& text, bool wide);

// Case modifiers over UTF-8 text, by the system's Unicode letter case.
std::string CapitalizeFirst(std::string_view text);
std::string CapitalizeWords(std::string_view text);
std::string SwapCase(std::string_view text);
// Russian Cyrillic letters become Latin ones (Ж -> Zh, ш -> sh, Ъ and Ь -> ',
// Ё -> E); every other character is copied.
std::string Transliterate(std::string_view text);

}  // namespace batch
