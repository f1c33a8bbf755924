#include "host/far_services.h"
#include "host/settings.h"
#include "tags/codepage.h"

namespace host {

static_assert(sizeof(tags::CodePageTable) == sizeof(CharTableSet));

namespace {

// The host numbers its tables from 0 and answers -1 past the last one; the cap
// only keeps a host that never says so from holding the plug-in forever.
constexpr int kMaxHostTables = 1024;

}  // namespace

void LoadCodePage(const std::string& valueName, const std::string& subkey, tags::CodePage& codePage,
                  bool withUtf8) {
  using tags::CodePageKind;
  const std::string setting = ReadString(valueName, subkey, tags::kWindowsText);
  if (setting == tags::kWindowsText) {
    codePage.Kind = CodePageKind::Ansi;
    return;
  }
  if (setting == tags::kDosText) {
    codePage.Kind = CodePageKind::Oem;
    return;
  }
  if (withUtf8 && setting == tags::kUtf8Text) {
    codePage.Kind = CodePageKind::Utf8;
    return;
  }
  // A name the host no longer has falls back to "Windows text"; Table may keep
  // the last table looked at, which nothing reads for this kind.
  codePage.Kind = CodePageKind::Ansi;
  for (int n = 0; n < kMaxHostTables; ++n) {
    char* raw = reinterpret_cast<char*>(&codePage.Table);
    if (CharTable(n, raw, static_cast<int>(sizeof codePage.Table)) < 0) break;
    // The name is compared as a C text: never read past the field.
    codePage.Table.TableName[sizeof codePage.Table.TableName - 1] = '\0';
    if (LStricmp(setting.c_str(), codePage.Table.TableName) == 0) {
      codePage.Kind = CodePageKind::HostTable;
      return;
    }
  }
}

}  // namespace host
