// Mode 3: every ticked field of the tag creation dialog gets its value from
// its template, through the regular expression's sub-matches, the template
// markers and the field's case mode; then the tags are written (or shown for
// confirmation) and the file is renamed.
#include "batch/tag_creation.h"

#include <optional>
#include <string>

#include "audio/mpeg_audio.h"
#include "batch/regexp.h"
#include "batch/rename.h"
#include "batch/tag_creation_dialog.h"
#include "batch/template.h"
#include "host/dialog_frame.h"
#include "host/far_services.h"
#include "host/operations.h"
#include "sys/path.h"
#include "tags/codepage.h"
#include "tags/utf8.h"
#include "tags/genres.h"
#include "tagwright/messages.h"

namespace batch {

namespace {

// ID3v1 setters take texts as long as the dialogs' fields allow.
constexpr size_t kId3v1SetterLimit = 255;

// What the fields of one file are computed from.
struct FileContext {
  const std::string& fullName;
  audio::MPEGaudio& analysis;
  int counter;
  const Regexp* regexp;  // null when the expression is empty
};

// The value of one field, in the tag code page. `caseName` names the field's
// case mode; Track has none of its own (empty).
std::string FieldValue(const FileContext& file, const std::string& caseName, int valueItem,
                       bool preferID3v1) {
  std::string value = tags::FromHost(TagCreationText(valueItem));
  if (file.regexp != nullptr) value = file.regexp->Substitute(value);
  value = FormatTagTemplate(file.analysis, file.fullName, value, preferID3v1, file.counter);
  const CaseMode mode = CaseModeFor(caseName);
  if (mode.ChangesNothing()) return value;
  return ApplyCaseMode(value, mode);
}

std::string CaseName(const TagCreationField& field) {
  return field.field == TagField::Track ? std::string() : std::string(field.name);
}

// Returns whether the tag changed.
bool SetID3v1Field(tags::ID3v1Tag& tag, TagField field, const std::string& text) {
  const std::string_view value = std::string_view(text).substr(0, tags::PrefixBytes(text, kId3v1SetterLimit));
  switch (field) {
    case TagField::Title: tag.SetTitle(value); break;
    case TagField::Artist: tag.SetArtist(value); break;
    case TagField::Album: tag.SetAlbum(value); break;
    case TagField::Year: tag.SetYear(value); break;
    case TagField::Comment: tag.SetComment(value); break;
    case TagField::Track:
      tag.SetTrack(static_cast<uint8_t>(static_cast<uint32_t>(TrackNumber(text)) & 0xFF));
      break;
    case TagField::Genre: {
      // A name that is no genre leaves the number as it was.
      const std::optional<int> genre = tags::GenreLookup(text);
      if (!genre) return false;
      tag.SetGenreNumber(static_cast<uint8_t>(*genre));
      break;
    }
    case TagField::FileName: return false;
  }
  return true;
}

void SetID3v2Field(tags::ID3v2Tag& tag, TagField field, const std::string& value) {
  switch (field) {
    case TagField::Title: tag.SetTitle(value); break;
    case TagField::Artist: tag.SetArtist(value); break;
    case TagField::Album: tag.SetAlbum(value); break;
    case TagField::Year: tag.SetYear(value); break;
    case TagField::Genre: tag.SetGenre(value); break;
    case TagField::Comment: tag.SetComment(value); break;
    case TagField::Track:
      tag.SetTrack(static_cast<uint16_t>(static_cast<uint32_t>(TrackNumber(value)) & 0xFFFF));
      break;
    case TagField::FileName: break;
  }
}

bool RegexpWarning(const std::string& error) {
  host::Warning(FMSG_MB_OK, std::string(host::Msg(MBadRegexp)) + "\n" + error);
  return false;
}

const TagCreationField& FileNameField() { return kTagCreationFields.back(); }

}  // namespace

int32_t TrackNumber(std::string_view text) {
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  uint32_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + static_cast<uint32_t>(text[i] - '0');
  }
  if (negative) value = 0u - value;
  return static_cast<int32_t>(value);
}

std::string ApplyCaseMode(std::string text, const CaseMode& mode) {
  switch (mode.letters) {
    case LetterCase::Upper: text = tags::UpperText(text); break;
    case LetterCase::Lower: text = tags::LowerText(text); break;
    case LetterCase::FirstCapital: text = CapitalizeFirst(text); break;
    case LetterCase::WordsCapital: text = CapitalizeWords(text); break;
    case LetterCase::Swapped: text = SwapCase(text); break;
    case LetterCase::Keep: break;
  }
  if (mode.transliterate) text = Transliterate(text);
  return text;
}

bool CreateTags(const std::string& fullPath, audio::MPEGaudio& audio, int counter,
                const host::ListLines* lines, bool& interactive) {
  std::string subject;
  if (lines != nullptr) {
    if (counter >= 0 && static_cast<size_t>(counter) < lines->size()) {
      subject = (*lines)[static_cast<size_t>(counter)];
    }
    subject = tags::BytesToUtf8(subject, tags::ListCodePage);
  } else {
    subject = tags::FromHost(fullPath);
  }

  // The expression is used as typed; it is compiled once for the files that
  // follow with the same text.
  const std::string pattern = tags::FromHost(TagCreationText(CreateRegexp));
  static Regexp regexp;
  static std::string compiled;
  static bool valid = false;
  if (!pattern.empty()) {
    std::string error;
    int position = 0;
    if (!valid || compiled != pattern) {
      valid = regexp.Compile(pattern, &error, &position);
      compiled = pattern;
      if (!valid) return RegexpWarning(error);
    }
    switch (regexp.Execute(subject, &error)) {
      case Regexp::Result::Match: break;
      case Regexp::Result::NoMatch: return false;  // the walk stops silently
      case Regexp::Result::Error: return RegexpWarning(error);
    }
  }
  const FileContext file{fullPath, audio, counter, pattern.empty() ? nullptr : &regexp};

  // The tag order of each target is taken before any field is set.
  const bool v1Prefer = audio.ID3v1().Present();
  const bool v2Prefer = !audio.ID3v2().Present();
  const bool writeV1 = TagCreationChecked(CreateWriteV1);
  const bool writeV2 = TagCreationChecked(CreateWriteV2);
  bool changed = false;
  for (const TagCreationField& field : kTagCreationFields) {
    if (field.field == TagField::FileName || !TagCreationChecked(field.checkItem)) continue;
    if (writeV1) {
      const std::string value = FieldValue(file, CaseName(field), field.valueItem, v1Prefer);
      if (SetID3v1Field(audio.ID3v1(), field.field, value)) changed = true;
    }
    if (writeV2) {
      SetID3v2Field(audio.ID3v2(), field.field,
                    FieldValue(file, CaseName(field), field.valueItem, v2Prefer));
      changed = true;
    }
  }

  const bool renaming = TagCreationChecked(FileNameField().checkItem);
  auto newName = [&] {
    return tags::ToHost(FieldValue(file, FileNameField().name, FileNameField().valueItem, v2Prefer));
  };

  if (interactive) {
    if (changed && !host::FileInformationView.show(fullPath, audio, false)) return false;
    if (changed && host::FileInformationView.askNoMore()) interactive = false;
    if (!renaming) return true;
    std::string name = newName();
    ReplaceIllegalNameChars(name, false);
    if (!interactive) return RenameFile(fullPath, name) != RenameResult::Stop;
    bool askNoMore = false;
    const RenameAnswer answer = ConfirmRename(sys::NamePart(fullPath), name, askNoMore);
    if (answer == RenameAnswer::Stop) return false;
    if (askNoMore) interactive = false;
    return answer == RenameAnswer::Skip || RenameFile(fullPath, name) != RenameResult::Stop;
  }

  // Both tags are written even when no field changed, so that ticking a tag
  // creates it on the files that lack it. ID3v1 goes first: a rebuilt ID3v2
  // tag copies the file's end, the new ID3v1 tag included. A write that fails
  // is said; going on means going on with the next file: this one is neither
  // written further nor renamed, since its name would come from tags it does
  // not hold.
  // A tag the file has and no field changed is not written again.
  tags::ID3v1Tag& v1 = audio.ID3v1();
  tags::ID3v2Tag& v2 = audio.ID3v2();
  const bool saveV1 = writeV1 && v1.NeedsSave();
  const bool saveV2 = writeV2 && v2.NeedsSave();
  if (saveV1 && saveV2) {
    // Both in one step where the ID3v2 tag must be rebuilt.
    if (!v2.Save(fullPath, &v1)) return host::ReportFileFailure(MCannotWriteTags, fullPath);
  } else if ((saveV1 && !v1.Save(fullPath)) || (saveV2 && !v2.Save(fullPath))) {
    return host::ReportFileFailure(MCannotWriteTags, fullPath);
  }
  if (saveV1) host::ReportWriteNotes(fullPath, v1.Notes());
  if (saveV2) host::ReportWriteNotes(fullPath, v2.Notes());
  if (renaming) return RenameFile(fullPath, newName()) != RenameResult::Stop;
  return true;
}

}  // namespace batch
