// The check that the batch dialogs make of their templates before they close.
#pragma once

#include <vector>

#include "far/plugin_api.h"

namespace batch {

// True when no template among `items` of the running dialog asks for a width
// above kMaxTemplateWidth (FindClampedWidth). Otherwise a warning names the
// width and the limit it is taken as, the focus and the cursor go to that
// width, and the result is false: the dialog stays open, as for a regular
// expression that does not compile. Items are checked in the order given.
bool CheckTemplateWidths(HANDLE dialog, const std::vector<int>& items);

}  // namespace batch
