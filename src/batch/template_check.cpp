#include "batch/template_check.h"

#include <optional>
#include <string>

#include "batch/template.h"
#include "host/dialog_frame.h"
#include "host/far_services.h"
#include "tagwright/messages.h"

namespace batch {

void WarnOfClampedWidths(HANDLE dialog, const std::vector<int>& items) {
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
  }
}

}  // namespace batch
