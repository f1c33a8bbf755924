#include "host/config_dialog.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "host/dialog_frame.h"
#include "host/far_services.h"
#include "host/settings.h"
#include "tags/codepage.h"
#include "tagwright/messages.h"

namespace host {

namespace {

constexpr const char* kSubkey = "ConfigDialog";
constexpr int kWidth = 69;
constexpr int kHeight = 15;

// clang-format off
constexpr DialogItemSpec kSpecs[] = {
    {ConfigItem::Box, DI_DOUBLEBOX, 3, 1, 65, 13, 0, 0, 0, 0, MConfigTitle, nullptr},
    {ConfigItem::ProcessLabel, DI_TEXT, 5, 2, 0, 0, 0, 0, 0, 0, MProcessMask, nullptr},
    {ConfigItem::ProcessExt, DI_EDIT, 5, 3, 62, 0, 0, 0, DIF_HISTORY | DIF_SELECTONENTRY, 0, host::SpecText(""), "ID3_ProcessExt"},
    {ConfigItem::ExcludeLabel, DI_TEXT, 5, 4, 0, 0, 0, 0, 0, 0, MExcludeMask, nullptr},
    {ConfigItem::ExcludeExt, DI_EDIT, 5, 5, 62, 0, 0, 0, DIF_HISTORY | DIF_SELECTONENTRY, 0, host::SpecText(""), "ID3_ExcludeExt"},
    {ConfigItem::CodePageLabel, DI_TEXT, 5, 6, 0, 0, 0, 0, 0, 0, MTagCodePage, nullptr},
    {ConfigItem::TagCP, DI_COMBOBOX, 5, 7, 62, 0, 0, 0, DIF_DROPDOWNLIST, 0, host::SpecText(""), nullptr},
    {ConfigItem::ResetCounter, DI_CHECKBOX, 5, 8, 0, 0, 0, 0, 0, 0, MResetCounter, nullptr},
    {ConfigItem::KeepFileTime, DI_CHECKBOX, 5, 9, 0, 0, 0, 0, 0, 0, MKeepFileTime, nullptr},
    {ConfigItem::Separator, DI_TEXT, 4, 11, 64, 0, 0, 0, DIF_SEPARATOR, 0, host::SpecText(""), nullptr},
    {ConfigItem::Ok, DI_BUTTON, 0, 12, 0, 0, 0, 0, DIF_CENTERGROUP, 1, MOk, nullptr},
    {ConfigItem::Cancel, DI_BUTTON, 0, 12, 0, 0, 0, 0, DIF_CENTERGROUP, 0, MCancel, nullptr},
    {ConfigItem::WriteUnicode, DI_CHECKBOX, 5, 10, 0, 0, 0, 0, 0, 0, MWriteUnicode, nullptr},
};
// clang-format on
static_assert(ItemsInPlace(kSpecs, ConfigItem::Count));

// Kept after the dialog closes, as every dialog's items are.
FarDialogItem items[ConfigItem::Count];

}  // namespace

bool ConfigDialog() {
  std::vector<FarListItem> entries = CodePageListItems();
  FarList list{static_cast<int>(entries.size()), entries.data()};

  std::memset(items, 0, sizeof items);
  BuildDialogItems(kSpecs, items, ConfigItem::Count);
  items[ConfigItem::TagCP].ListItems = &list;

  host::SetItemText(items[ConfigItem::ProcessExt], ReadString("ProcessExt", kSubkey, "*.mp3"));
  host::SetItemText(items[ConfigItem::ExcludeExt], ReadString("ExcludeExt", kSubkey, ""));
  host::SetItemText(items[ConfigItem::TagCP], CodePageShownName(ReadString("TagCP", kSubkey, tags::kWindowsText)));
  items[ConfigItem::ResetCounter].Selected = ReadBool("ResetCounter", kSubkey, true) ? 1 : 0;
  items[ConfigItem::KeepFileTime].Selected = ReadBool("KeepFileTime", kSubkey, false) ? 1 : 0;
  items[ConfigItem::WriteUnicode].Selected = ReadBool("WriteUnicode", kSubkey, WriteUnicodeByDefault()) ? 1 : 0;

  const int closedBy = Dialog(-1, -1, kWidth, kHeight, "Id3Config", items, ConfigItem::Count);
  // The list lives only as long as this call; the kept items must not point at it.
  items[ConfigItem::TagCP].ListItems = nullptr;
  if (closedBy != ConfigItem::Ok) return false;

  // LoadConfig inside the batch reads the values just written: the choices
  // take effect also when they cannot be stored.
  StoreDialogValues([] {
    WriteString("ProcessExt", kSubkey, host::ItemText(items[ConfigItem::ProcessExt]));
    WriteString("ExcludeExt", kSubkey, host::ItemText(items[ConfigItem::ExcludeExt]));
    WriteString("TagCP", kSubkey, CodePageSettingName(host::ItemText(items[ConfigItem::TagCP])));
    WriteBool("ResetCounter", kSubkey, items[ConfigItem::ResetCounter].Selected != 0);
    WriteBool("KeepFileTime", kSubkey, items[ConfigItem::KeepFileTime].Selected != 0);
    WriteBool("WriteUnicode", kSubkey, items[ConfigItem::WriteUnicode].Selected != 0);
    LoadConfig();
  });
  return true;
}

}  // namespace host
