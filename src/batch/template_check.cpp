#include "batch/template_check.h"

#include <algorithm>
#include <optional>
#include <string>

#include "batch/template.h"
#include "host/dialog_frame.h"
#include "host/far_services.h"
#include "tagwright/messages.h"

namespace batch {

bool CheckTemplateWidths(HANDLE dialog, const std::vector<int>& items) {
  for (const int item : items) {
    // The running dialog's text: the item array is updated only when it closes.
    FarDialogItem live{};
    host::SendDlgMessagePtr(dialog, DM_GETDLGITEM, item, &live);
    // OEM text, one byte per character as in the tag code page the formatter
    // reads, so positions agree.
    const std::optional<ClampedWidth> clamped = FindClampedWidth(host::ItemText(live));
    if (!clamped) continue;
    const std::string limit = std::to_string(kMaxTemplateWidth);
    host::Warning(FMSG_MB_OK,
                  host::FormatMsg(MTemplateWidth, {clamped->width.c_str(), limit.c_str()}));
    host::SendDlgMessage(dialog, DM_SETFOCUS, item, 0);
    FarCoord cursor{static_cast<short>(std::min<size_t>(clamped->position, 0x7FFF)), 0};
    host::SendDlgMessagePtr(dialog, DM_SETCURSORPOS, item, &cursor);
    return false;
  }
  return true;
}

}  // namespace batch
