// The small display services every dialog and operation uses: message texts,
// warnings, the progress display, and compact dialog item tables.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "far/plugin_api.h"
#include "tags/write_notes.h"

namespace host {

// Text of message n of the language file (low seven bits of n are used).
const char* Msg(int n);

// printf-style formatting of message `msgId` with text arguments (each `%s`
// takes the next one), bounded at 1024 characters. Only the message text is a
// format: a '%' inside an argument (a file name) is copied as it is. Widths,
// precisions and the bound count characters of the host's text (a byte each in
// OEM, a UTF-8 sequence each in UTF-8) and never cut one.
std::string FormatMsg(int msgId, std::initializer_list<const char*> args);

// What to do about a file name with letters that the OEM code page lacks
// (sys::kErrorNoUnicodeTranslation): the message that names the pair of code
// pages in force and how to choose another.
std::string CodePageHint();

// A warning through the host's Message with FMSG_WARNING | FMSG_ALLINONE and
// `flags` (FMSG_MB_..., FMSG_ERRORTYPE): message 39 as the title, then `body`.
// Returns the pressed button (0 = first) or -1 for Esc.
int Warning(DWORD flags, const std::string& body);

// Tells the user that an operation on a file failed and asks whether to go on
// with the other files: message `messageId` formatted with the file's name
// (and `otherName` for a second %s), the system's reason for the last failure
// (FMSG_ERRORTYPE; for a name the OEM code page cannot spell, CodePageHint
// too), and Yes / No. The reason is taken at the call, before
// anything else can change it, so call this right after the failed operation.
// True: go on with the other files; false: stop (No or Esc).
bool ReportFileFailure(int messageId, const std::string& fileName);
bool ReportFileFailure(int messageId, const std::string& fileName, const std::string& otherName);
// How many failures ReportFileFailure has told of so far: the walk compares it
// around a file, or a folder, to keep the panel's mark of one that failed.
int FileFailuresReported();

// After a tag write that worked, what it has to tell: a write that landed
// but did not finish (with the system's reason), and a temporary copy that an
// earlier save which did not end left beside the file. Nothing when neither.
void ReportWriteNotes(const std::string& fileName, const tags::WriteNotes& notes);

// The progress display: a 43-cell bar in a message box without buttons.
void ProgressStart(int total);
void ProgressSet(int position);
void ProgressStep(int n);
void ProgressEnd();

// An item's text in a table row: a message number of the language file, or
// (through SpecText) a text as it stands.
struct SpecData {
  constexpr SpecData(int message) : Message(message) {}
  int Message;  // -1 for a text
  const char* Text = nullptr;

 private:
  friend constexpr SpecData SpecText(const char* text);
  constexpr explicit SpecData(const char* text) : Message(-1), Text(text) {}
};

// A text (rather than a message number) as a spec's Data.
constexpr SpecData SpecText(const char* text) { return SpecData(text); }

// One dialog item in compact form: `Item` names the item (the enumerator
// that indexes it), Data is its text, History a history name or an edit mask.
// Every table of rows is checked with ItemsInPlace.
struct DialogItemSpec {
  int Item;
  int Type;
  int X1, Y1, X2, Y2;
  int Focus;
  int Selected;
  DWORD Flags;
  int DefaultButton;
  SpecData Data;
  const char* History;
};

// True when the table (an array or std::array of rows) has `count` rows and
// row i names item i: the names of the rows and their positions agree. For a
// static_assert after each table.
template <typename Table>
constexpr bool ItemsInPlace(const Table& specs, int count) {
  int position = 0;
  for (const DialogItemSpec& spec : specs) {
    if (spec.Item != position) return false;
    ++position;
  }
  return position == count;
}

// Fills host items 0..count-1 from the specs (texts cut to 511 bytes, at a
// character's end).
// The caller clears the items first and attaches combo box lists afterwards.
void BuildDialogItems(const DialogItemSpec* specs, FarDialogItem* items, int count);

// The bytes of the longest start of `text` (the host's text) that fits `room`
// bytes without cutting a character.
size_t FittingBytes(std::string_view text, size_t room);

// An item's text, set cut to its 512-byte field at a character's end, and read
// never past it.
void SetItemText(FarDialogItem& item, const std::string& text);
std::string ItemText(const FarDialogItem& item);

// A list entry with its text cut to the 128-byte field at a character's end.
FarListItem ListEntry(const std::string& text, DWORD flags = 0);

// The code page choices of the dialogs: "Dos text", "Windows text" (by the
// names of the language file), with `withUtf8` "UTF-8" (for text files), and
// when the host has character tables a separator and their names in its order.
std::vector<FarListItem> CodePageListItems(bool withUtf8 = false);
// A code page setting as its choice is shown, and back: the settings keep
// "Dos text" and "Windows text" in every language; table names pass as they are.
std::string CodePageShownName(const std::string& setting);
std::string CodePageSettingName(const std::string& shown);

}  // namespace host
