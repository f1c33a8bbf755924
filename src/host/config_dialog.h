// The configuration dialog behind the plug-in's entry in the host's
// configuration menu: the masks of the files to process and to skip, the code
// page of tag text, the per-folder file counter and whether tag writes keep
// the file's modification time.
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
    Count
  };
};

// Shows the dialog with the values stored in the registry. On OK writes the
// five values back and reloads the configuration; true then. Anything else
// writes nothing and gives false.
bool ConfigDialog();

}  // namespace host
