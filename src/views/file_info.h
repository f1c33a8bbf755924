// The file information view and tag editor (menu mode 0, and the confirmation
// step of tag creation). ShowFileInfo itself is declared with the other
// operations in host/operations.h.
#pragma once

namespace views {

// The state in which the user left the "ask no more" check box of the last
// full-form information dialog; false after a compact one.
bool FileInfoAskNoMore();

}  // namespace views
