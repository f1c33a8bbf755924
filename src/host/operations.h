// The five operations of the plug-in's menu, as the walk calls them, and the
// set-up dialogs that run before a walk. Each per-file operation returns true
// to go on with the walk and false to stop it; a set-up dialog returns false
// when the user cancelled it.
#pragma once

#include <string>
#include <vector>

namespace audio {
class MPEGaudio;
}

namespace host {

// Lines of the list file named in the tag creation dialog (mode 3 only).
using ListLines = std::vector<std::string>;

// The information view as tag creation opens it for its confirmation step
// (batch never calls views itself). `show` is views::ShowFileInfo, called with
// `single` false; `askNoMore` the state of its "ask no more" check box.
// Installed by ConnectLayers at start-up; null before.
struct InformationView {
  bool (*show)(const std::string& fullPath, audio::MPEGaudio& audio, bool single) = nullptr;
  bool (*askNoMore)() = nullptr;
};
extern InformationView FileInformationView;

}  // namespace host

namespace views {
// Mode 0: one file's information and tag editor. `single` is the constant
// true that the walk passes.
bool ShowFileInfo(const std::string& fullPath, audio::MPEGaudio& audio, bool single);
}  // namespace views

namespace batch {
// Mode 1: file list.
bool FileListSetup();
bool AddToFileList(const std::string& fullPath, audio::MPEGaudio& audio, int counter,
                   bool& interactive);

// Mode 2: rename from tags. `RenameConfirmation` is the dialog's confirmation
// check box as the dialog left it.
bool RenameSetup();
bool RenameConfirmation();
bool RenameFromTags(const std::string& fullPath, audio::MPEGaudio& audio, int counter,
                    bool& interactive);

// Mode 3: tag creation. After a confirmed dialog: whether the values come
// from the file's name (else from the lines of a list file), the list file's
// name (the host's text), and the confirmation check box.
bool TagCreationSetup();
bool TagCreationFromName();
std::string TagCreationListFile();
bool TagCreationConfirmation();
bool CreateTags(const std::string& fullPath, audio::MPEGaudio& audio, int counter,
                const host::ListLines* lines, bool& interactive);

// Mode 4: tag text converted to Unicode. After a confirmed dialog: the
// confirmation check box.
bool ConvertTextSetup();
bool ConvertTextConfirmation();
bool ConvertTagText(const std::string& fullPath, audio::MPEGaudio& audio, bool& interactive);
}  // namespace batch
