// The configuration dialog behind the plug-in's entry in the host's
// configuration menu: the masks of the files to process and to skip, the code
// page of tag text, the per-folder file counter, whether tag writes keep
// the file's modification time and whether they write 8-bit text in Unicode.
#pragma once

namespace host {

// Items of the configuration dialog, in the order the host receives them.
struct ConfigItem {
  enum : int {
    Box = 0,
    ProcessLabel,
    ProcessExt,
    ExcludeLabel,
    ExcludeExt,
    CodePageLabel,
    TagCP,
    ResetCounter,
    KeepFileTime,
    Separator,
    Ok,
    Cancel,
    // Added after the buttons, so that the items before keep their numbers;
    // it sits above the separator.
    WriteUnicode,
    Count
  };
};

// Shows the dialog with the values stored in the registry. On OK writes the
// six values back and reloads the configuration; true then. Anything else
// writes nothing and gives false.
bool ConfigDialog();

}  // namespace host
