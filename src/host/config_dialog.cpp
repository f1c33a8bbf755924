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
constexpr int kHeight = 13;

// A host that never answers -1 would otherwise fill the list without end.
constexpr int kMostCharTables = 256;

intptr_t Text(const char* text) { return reinterpret_cast<intptr_t>(text); }

// clang-format off
const DialogItemSpec kSpecs[ConfigItem::Count] = {
    /* Box           */ {DI_DOUBLEBOX, 3, 1, 65, 11, 0, 0, 0, 0, MConfigTitle, nullptr},
    /* ProcessLabel  */ {DI_TEXT, 5, 2, 0, 0, 0, 0, 0, 0, MProcessMask, nullptr},
    /* ProcessExt    */ {DI_EDIT, 5, 3, 62, 0, 0, 0, DIF_HISTORY | DIF_SELECTONENTRY, 0, Text(""),
                         "ID3_ProcessExt"},
    /* ExcludeLabel  */ {DI_TEXT, 5, 4, 0, 0, 0, 0, 0, 0, MExcludeMask, nullptr},
    /* ExcludeExt    */ {DI_EDIT, 5, 5, 62, 0, 0, 0, DIF_HISTORY | DIF_SELECTONENTRY, 0, Text(""),
                         "ID3_ExcludeExt"},
    /* CodePageLabel */ {DI_TEXT, 5, 6, 0, 0, 0, 0, 0, 0, MTagCodePage, nullptr},
    /* TagCP         */ {DI_COMBOBOX, 5, 7, 62, 0, 0, 0, DIF_DROPDOWNLIST, 0, Text(""), nullptr},
    /* ResetCounter  */ {DI_CHECKBOX, 5, 8, 0, 0, 0, 0, 0, 0, MResetCounter, nullptr},
    /* Separator     */ {DI_TEXT, 4, 9, 64, 0, 0, 0, DIF_SEPARATOR, 0, Text(""), nullptr},
    /* Ok            */ {DI_BUTTON, 0, 10, 0, 0, 0, 0, DIF_CENTERGROUP, 1, MOk, nullptr},
    /* Cancel        */ {DI_BUTTON, 0, 10, 0, 0, 0, 0, DIF_CENTERGROUP, 0, MCancel, nullptr},
};
// clang-format on

// Kept after the dialog closes, as every dialog's items are.
FarDialogItem items[ConfigItem::Count];

void SetText(FarDialogItem& item, const std::string& text) {
  const size_t length = std::min(text.size(), sizeof(item.Data) - 1);
  std::memcpy(item.Data, text.data(), length);
  item.Data[length] = '\0';
}

// An item's text as the host left it, never read past the field.
std::string ItemText(const FarDialogItem& item) {
  return std::string(item.Data, strnlen(item.Data, sizeof(item.Data)));
}

void SetListText(FarListItem& entry, const char* text) {
  const size_t length = strnlen(text, sizeof(entry.Text) - 1);
  std::memcpy(entry.Text, text, length);
  entry.Text[length] = '\0';
}

// "Dos text", "Windows text", and when the host has character tables a
// separator and their names in the host's order.
std::vector<FarListItem> CodePageList() {
  std::vector<FarListItem> list(2);
  std::memset(list.data(), 0, list.size() * sizeof(FarListItem));
  SetListText(list[0], tags::kDosText);
  SetListText(list[1], tags::kWindowsText);
  // Each table is asked for with a whole buffer: a host may refuse a smaller
  // one, and the name is needed anyway.
  for (int n = 0; n < kMostCharTables; ++n) {
    CharTableSet table;
    std::memset(&table, 0, sizeof table);
    if (CharTable(n, &table) == -1) break;
    if (n == 0) {
      FarListItem separator;
      std::memset(&separator, 0, sizeof separator);
      separator.Flags = LIF_SEPARATOR;
      list.push_back(separator);
    }
    FarListItem entry;
    std::memset(&entry, 0, sizeof entry);
    // The host's name is not trusted to be terminated within its field.
    char name[sizeof table.TableName + 1];
    std::memcpy(name, table.TableName, sizeof table.TableName);
    name[sizeof table.TableName] = '\0';
    SetListText(entry, name);
    list.push_back(entry);
  }
  return list;
}

}  // namespace

bool ConfigDialog() {
  std::vector<FarListItem> entries = CodePageList();
  FarList list{static_cast<int>(entries.size()), entries.data()};

  std::memset(items, 0, sizeof items);
  BuildDialogItems(kSpecs, items, ConfigItem::Count);
  items[ConfigItem::TagCP].ListItems = &list;

  SetText(items[ConfigItem::ProcessExt], ReadString("ProcessExt", kSubkey, "*.mp3"));
  SetText(items[ConfigItem::ExcludeExt], ReadString("ExcludeExt", kSubkey, ""));
  SetText(items[ConfigItem::TagCP], ReadString("TagCP", kSubkey, tags::kWindowsText));
  items[ConfigItem::ResetCounter].Selected = ReadBool("ResetCounter", kSubkey, true) ? 1 : 0;

  const int closedBy = Dialog(-1, -1, kWidth, kHeight, "Id3Config", items, ConfigItem::Count);
  // The list lives only as long as this call; the kept items must not point at it.
  items[ConfigItem::TagCP].ListItems = nullptr;
  if (closedBy != ConfigItem::Ok) return false;

  WriteString("ProcessExt", kSubkey, ItemText(items[ConfigItem::ProcessExt]));
  WriteString("ExcludeExt", kSubkey, ItemText(items[ConfigItem::ExcludeExt]));
  WriteString("TagCP", kSubkey, ItemText(items[ConfigItem::TagCP]));
  WriteBool("ResetCounter", kSubkey, items[ConfigItem::ResetCounter].Selected != 0);
  LoadConfig();
  return true;
}

}  // namespace host
