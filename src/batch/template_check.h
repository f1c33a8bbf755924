// The check that the batch dialogs make of their templates as they close.
#pragma once

#include <vector>

#include "far/plugin_api.h"

namespace batch {

// For each template among `items` of the running dialog that asks for a width
// above kMaxTemplateWidth (FindClampedWidth), a warning names the width and the
// limit it is taken as. The formatter takes it so, so nothing stops: the
// dialog closes and the operation goes on. Items are checked in the order
// given.
void WarnOfClampedWidths(HANDLE dialog, const std::vector<int>& items);

}  // namespace batch
