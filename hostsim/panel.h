// The active file panel: a folder of the real file system, its items as the
// host lists them (".." first outside a root, then folders, then files, each
// in name order), the PPIF_SELECTED marks, the item under the cursor and the
// panel flags; and the host's Control commands over it.
#pragma once

#include <string>
#include <vector>

#include "far/plugin_api.h"

namespace hostsim {

class Transcript;

class Panel {
 public:
  // Lists `folder` (absolute, the host's text). The cursor goes to the first item after
  // "..", nothing is selected. False with a reason when it cannot be read.
  bool Open(const std::string& folder, std::string* error);
  // Reads the folder again, keeping the selection and the cursor by name.
  bool Refresh();

  const std::string& folder() const { return folder_; }
  const std::vector<PluginPanelItem>& items() const { return items_; }
  int Find(const std::string& name) const;  // -1 when absent
  bool Select(const std::string& name, bool on);
  void ClearSelection();
  bool SetCursor(const std::string& name);
  int cursor() const { return cursor_; }
  std::vector<std::string> SelectedNames() const;

  // PFLAGS_ of the panel; PFLAGS_REALNAMES by default (a panel of real files).
  DWORD flags() const { return flags_; }
  void SetFlags(DWORD flags) { flags_ = flags; }

  // The host's Control for the active panel. Records updates in `transcript`;
  // a misuse that would break the real host goes to Host::Fail.
  int Control(HANDLE plugin, int command, void* param, Transcript& transcript);

 private:
  void FillInfo(PanelInfo* info, bool withItems);

  std::string folder_;
  std::vector<PluginPanelItem> items_;
  int cursor_ = 0;
  DWORD flags_ = PFLAGS_REALNAMES;
  // What the last FCTL_GETPANELINFO handed out: valid until the next one.
  std::vector<PluginPanelItem> infoItems_;
  std::vector<PluginPanelItem> infoSelected_;
};

// "a.mp3, sub" or "(none)".
std::string JoinNames(const std::vector<std::string>& names);

}  // namespace hostsim
