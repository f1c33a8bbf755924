#include "tags/codepage.h"

#include "host/far_services.h"
#include "host/settings.h"
#include "sys/sys.h"

namespace tags {

static_assert(sizeof(CodePageTable) == sizeof(CharTableSet));

CodePage TagCodePage;
CodePage ListCodePage;

namespace {

// The host numbers its tables from 0 and answers -1 past the last one; the cap
// only keeps a host that never says so from holding the plug-in forever.
constexpr int kMaxHostTables = 1024;

void MapBytes(char* buffer, const uint8_t (&map)[256]) {
  for (char* p = buffer; *p != '\0'; ++p) {
    *p = static_cast<char>(map[static_cast<uint8_t>(*p)]);
  }
}

bool SameCodePage(const CodePage& a, const CodePage& b) {
  if (a.Kind != b.Kind) return false;
  if (a.Kind != CodePageKind::HostTable) return true;
  return host::LStricmp(a.Table.TableName, b.Table.TableName) == 0;
}

}  // namespace

void LoadCodePage(const std::string& valueName, const std::string& subkey, CodePage& codePage) {
  const std::string setting = host::ReadString(valueName, subkey, kWindowsText);
  if (setting == kWindowsText) {
    codePage.Kind = CodePageKind::Ansi;
    return;
  }
  if (setting == kDosText) {
    codePage.Kind = CodePageKind::Oem;
    return;
  }
  // A name the host no longer has falls back to "Windows text"; Table may keep
  // the last table looked at, which nothing reads for this kind.
  codePage.Kind = CodePageKind::Ansi;
  for (int n = 0; n < kMaxHostTables; ++n) {
    char* raw = reinterpret_cast<char*>(&codePage.Table);
    if (host::CharTable(n, raw, static_cast<int>(sizeof codePage.Table)) < 0) break;
    // The name is compared as a C text: never read past the field.
    codePage.Table.TableName[sizeof codePage.Table.TableName - 1] = '\0';
    if (host::LStricmp(setting.c_str(), codePage.Table.TableName) == 0) {
      codePage.Kind = CodePageKind::HostTable;
      return;
    }
  }
}

char* ToOem(char* buffer, const CodePage& codePage) {
  if (buffer == nullptr) return buffer;
  switch (codePage.Kind) {
    case CodePageKind::Ansi:
      if (buffer[0] != '\0') sys::CharToOem(buffer, buffer);
      break;
    case CodePageKind::HostTable:
      MapBytes(buffer, codePage.Table.DecodeTable);
      break;
    case CodePageKind::Oem:
      break;
  }
  return buffer;
}

char* FromOem(char* buffer, const CodePage& codePage) {
  if (buffer == nullptr) return buffer;
  switch (codePage.Kind) {
    case CodePageKind::Ansi:
      if (buffer[0] != '\0') sys::OemToChar(buffer, buffer);
      break;
    case CodePageKind::HostTable:
      MapBytes(buffer, codePage.Table.EncodeTable);
      break;
    case CodePageKind::Oem:
      break;
  }
  return buffer;
}

char* Recode(char* buffer, const CodePage& from, const CodePage& to) {
  if (!SameCodePage(from, to)) FromOem(ToOem(buffer, from), to);
  return buffer;
}

void ToOem(std::string& text, const CodePage& codePage) { ToOem(text.data(), codePage); }

void FromOem(std::string& text, const CodePage& codePage) { FromOem(text.data(), codePage); }

void Recode(std::string& text, const CodePage& from, const CodePage& to) {
  Recode(text.data(), from, to);
}

}  // namespace tags
