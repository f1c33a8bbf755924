#include "hostsim/item_labels.h"

#include <vector>

#include "far/plugin_api.h"
#include "hostsim/dialog_engine.h"
#include "hostsim/hotkeys.h"

namespace hostsim {

namespace {

bool IsField(int type) {
  return type == DI_EDIT || type == DI_FIXEDIT || type == DI_PSWEDIT || type == DI_COMBOBOX ||
         type == DI_LISTBOX;
}

}  // namespace

std::string LabelKey(const std::string& text, bool marked) {
  int position = -1;
  std::string shown = marked ? StripAmpersands(text, &position) : text;
  size_t first = shown.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  size_t last = shown.find_last_not_of(" \t");
  shown = shown.substr(first, last - first + 1);
  if (shown.back() == ':') {
    shown.pop_back();
    while (!shown.empty() && (shown.back() == ' ' || shown.back() == '\t')) shown.pop_back();
  }
  return shown;
}

std::string ItemLabel(const DialogEngine& dialog, int item) {
  int type = dialog.type(item);
  if (type == DI_BUTTON || type == DI_CHECKBOX || type == DI_RADIOBUTTON) {
    return LabelKey(dialog.text(item));
  }
  if (IsField(type) && item > 0) {
    int before = dialog.type(item - 1);
    if (before == DI_TEXT || before == DI_VTEXT) return LabelKey(dialog.text(item - 1));
  }
  return "";
}

int FindLabelledItem(const DialogEngine& dialog, const std::string& label, int ordinal,
                     std::string* error) {
  std::string key = LabelKey(label, false);
  int seen = 0;
  std::vector<std::string> labels;
  for (int i = 0; i < dialog.count(); ++i) {
    std::string own = ItemLabel(dialog, i);
    if (own.empty()) continue;
    if (own == key && ++seen == ordinal) return i;
    labels.push_back(own);
  }
  if (seen > 0) {
    *error = "the dialog has " + std::to_string(seen) + " item" + (seen == 1 ? "" : "s") +
             " labelled \"" + key + "\", not " + std::to_string(ordinal);
    return -1;
  }
  *error = "the dialog has no item labelled \"" + key + "\"";
  if (labels.empty()) {
    *error += " (it has no labelled items)";
  } else {
    *error += " (its labels:";
    for (const auto& l : labels) *error += " \"" + l + "\"";
    *error += ")";
  }
  return -1;
}

}  // namespace hostsim
