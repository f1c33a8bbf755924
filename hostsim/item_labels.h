// Dialog items named by their labels, as a script names them (`press "Save"`,
// `set "Title" "..."`), the way a user reads the dialog.
//
// The label of an item:
// - a button, a check box or a radio button: its own text;
// - an edit field (DI_EDIT, DI_FIXEDIT, DI_PSWEDIT), a combo box or a list
//   box: the text of the item just before it in item order, when that is a
//   text item (DI_TEXT, DI_VTEXT) - the label a user reads above or before
//   the field;
// - any other item (a frame, a text, a field after anything but a text):
//   none.
// Texts are compared as shown: an item's text without its '&' marks ("&&"
// shows as '&'), a script's label as written (an '&' in it is one), both
// without the blanks at their ends and one ':' at the end, so that "Process
// files &matching:" is "Process files matching"; case counts. Several items may
// share a label: the label names the first in item order, and `#N` the N-th
// (`"Title"#2`). Items count whether hidden, disabled or not. An item without
// a label is named by its number, or counted on from a labelled item before
// it: `"Title"+1` is the item just after the one labelled "Title" (the field
// beside the check box "Title"), `"Title"#2+1` the one after the second.
#pragma once

#include <string>

namespace hostsim {

class DialogEngine;

// `text` as labels are compared; `marked`: an item's text with '&' marks.
std::string LabelKey(const std::string& text, bool marked = true);
// The label of `item` as LabelKey gives it, "" when it has none.
std::string ItemLabel(const DialogEngine& dialog, int item);
// The item that `label` (with `ordinal` 1 the first) names, or -1 with an
// error that lists the labels the dialog has.
int FindLabelledItem(const DialogEngine& dialog, const std::string& label, int ordinal,
                     std::string* error);

}  // namespace hostsim
