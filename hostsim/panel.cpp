#include "hostsim/panel.h"

#include <algorithm>
#include <cstring>

#include "hostsim/fs.h"
#include "hostsim/host.h"
#include "hostsim/host_text.h"
#include "hostsim/transcript.h"

namespace hostsim {

namespace {

bool IsRoot(const std::string& folder) {
  if (folder == "/" || folder == "\\") return true;
  return folder.size() == 3 && folder[1] == ':' && (folder[2] == '\\' || folder[2] == '/');
}

PluginPanelItem MakeItem(const FAR_FIND_DATA& data) {
  PluginPanelItem item;
  std::memset(&item, 0, sizeof(item));
  item.FindData = data;
  item.NumberOfLinks = 1;
  return item;
}

}  // namespace

std::string JoinNames(const std::vector<std::string>& names) {
  if (names.empty()) return "(none)";
  std::string out;
  for (const auto& n : names) {
    if (!out.empty()) out += ", ";
    out += n;
  }
  return out;
}

bool Panel::Open(const std::string& folder, std::string* error) {
  std::vector<FAR_FIND_DATA> entries;
  if (!ListFolder(folder, &entries)) {
    *error = "cannot list the folder " + folder;
    return false;
  }
  folder_ = folder;
  items_.clear();
  if (!IsRoot(folder)) {
    FAR_FIND_DATA up;
    std::memset(&up, 0, sizeof(up));
    up.dwFileAttributes = FAR_FILE_ATTRIBUTE_DIRECTORY;
    std::strcpy(up.cFileName, "..");
    items_.push_back(MakeItem(up));
  }
  // Folders before files, as the host sorts by name.
  for (int pass = 0; pass < 2; ++pass) {
    for (const auto& e : entries) {
      bool isFolder = (e.dwFileAttributes & FAR_FILE_ATTRIBUTE_DIRECTORY) != 0;
      if (isFolder == (pass == 0)) items_.push_back(MakeItem(e));
    }
  }
  cursor_ = items_.size() > 1 && std::strcmp(items_[0].FindData.cFileName, "..") == 0 ? 1 : 0;
  return true;
}

bool Panel::Refresh() {
  std::vector<std::string> selected = SelectedNames();
  std::string current =
      cursor_ < static_cast<int>(items_.size()) ? items_[cursor_].FindData.cFileName : "";
  std::string error;
  if (!Open(folder_, &error)) return false;
  for (const auto& name : selected) Select(name, true);
  if (!current.empty()) SetCursor(current);
  return true;
}

int Panel::Find(const std::string& name) const {
  for (size_t i = 0; i < items_.size(); ++i) {
    if (name == items_[i].FindData.cFileName) return static_cast<int>(i);
  }
  return -1;
}

bool Panel::Select(const std::string& name, bool on) {
  int i = Find(name);
  if (i < 0 || name == "..") return false;
  if (on) {
    items_[i].Flags |= PPIF_SELECTED;
  } else {
    items_[i].Flags &= ~static_cast<DWORD>(PPIF_SELECTED);
  }
  return true;
}

void Panel::ClearSelection() {
  for (auto& item : items_) item.Flags &= ~static_cast<DWORD>(PPIF_SELECTED);
}

bool Panel::SetCursor(const std::string& name) {
  int i = Find(name);
  if (i < 0) return false;
  cursor_ = i;
  return true;
}

std::vector<std::string> Panel::SelectedNames() const {
  std::vector<std::string> names;
  for (const auto& item : items_) {
    if (item.Flags & PPIF_SELECTED) names.push_back(item.FindData.cFileName);
  }
  return names;
}

void Panel::FillInfo(PanelInfo* info, bool withItems) {
  std::memset(info, 0, sizeof(*info));
  info->PanelType = PTYPE_FILEPANEL;
  info->PanelRect = FarRect{0, 1, 39, 22};
  infoItems_ = items_;
  infoSelected_.clear();
  for (const auto& item : items_) {
    if (item.Flags & PPIF_SELECTED) infoSelected_.push_back(item);
  }
  // Nothing selected: the host reports the item under the cursor, unmarked.
  if (infoSelected_.empty() && cursor_ < static_cast<int>(items_.size())) {
    infoSelected_.push_back(items_[cursor_]);
  }
  info->ItemsNumber = static_cast<int>(infoItems_.size());
  info->SelectedItemsNumber = static_cast<int>(infoSelected_.size());
  if (withItems) {
    info->PanelItems = infoItems_.empty() ? nullptr : infoItems_.data();
    info->SelectedItems = infoSelected_.empty() ? nullptr : infoSelected_.data();
  }
  info->CurrentItem = cursor_;
  info->Visible = 1;
  info->Focus = 1;
  info->ViewMode = 2;
  std::strcpy(info->ColumnTypes, "N,S,D");
  std::strcpy(info->ColumnWidths, "0,10,8");
  CopyToField(folder_, info->CurDir, sizeof(info->CurDir));
  info->SortMode = 1;  // by name
  info->Flags = flags_;
}

int Panel::Control(HANDLE plugin, int command, void* param, Transcript& transcript) {
  Host& host = Host::Current();
  // Only the active panel exists here; a plug-in's own panel handle names none.
  if (plugin != INVALID_HANDLE_VALUE) return 0;
  switch (command) {
    case FCTL_GETPANELINFO:
    case FCTL_GETPANELSHORTINFO:
      if (param == nullptr) {
        host.Fail("Control: panel information requested without a PanelInfo");
        return 0;
      }
      FillInfo(static_cast<PanelInfo*>(param), command == FCTL_GETPANELINFO);
      return 1;
    case FCTL_SETSELECTION: {
      const auto* info = static_cast<const PanelInfo*>(param);
      if (info == nullptr || (info->ItemsNumber > 0 && info->PanelItems == nullptr)) {
        host.Fail("Control(FCTL_SETSELECTION) without panel items");
        return 0;
      }
      // The host applies the marks by position: the array must be the panel's.
      if (info->ItemsNumber != static_cast<int>(items_.size())) {
        host.Fail("Control(FCTL_SETSELECTION) with " + std::to_string(info->ItemsNumber) +
                  " items for a panel of " + std::to_string(items_.size()));
        return 0;
      }
      for (size_t i = 0; i < items_.size(); ++i) {
        if (std::strcmp(info->PanelItems[i].FindData.cFileName, items_[i].FindData.cFileName) !=
            0) {
          host.Fail("Control(FCTL_SETSELECTION): item " + std::to_string(i) + " is " +
                    Quote(info->PanelItems[i].FindData.cFileName) + ", the panel has " +
                    Quote(items_[i].FindData.cFileName) + " there");
          return 0;
        }
      }
      for (size_t i = 0; i < items_.size(); ++i) {
        if (std::strcmp(items_[i].FindData.cFileName, "..") == 0) continue;
        DWORD selected = info->PanelItems[i].Flags & PPIF_SELECTED;
        items_[i].Flags = (items_[i].Flags & ~static_cast<DWORD>(PPIF_SELECTED)) | selected;
      }
      transcript.Add("panel: selection set: " + JoinNames(SelectedNames()));
      return 1;
    }
    case FCTL_REDRAWPANEL:
      if (param != nullptr) {
        const auto* redraw = static_cast<const int*>(param);  // PanelRedrawInfo: CurrentItem first
        if (redraw[0] >= 0 && redraw[0] < static_cast<int>(items_.size())) cursor_ = redraw[0];
      }
      transcript.Add("panel: redrawn");
      return 1;
    case FCTL_UPDATEPANEL: {
      Refresh();
      if (param == nullptr) ClearSelection();
      transcript.Add("panel: updated, " + std::to_string(items_.size()) + " items");
      return 1;
    }
    case FCTL_CHECKPANELSEXIST:
      return 1;
    case FCTL_GETANOTHERPANELINFO:
    case FCTL_GETANOTHERPANELSHORTINFO:
      return 0;  // the stand-in has one panel
    default:
      transcript.Add("Control: command " + std::to_string(command) +
                     " is not supported by the stand-in");
      return 0;
  }
}

}  // namespace hostsim
