#include "tags/codepage.h"

#include "sys/sys.h"
#include "tags/text_order.h"

namespace tags {

CodePage TagCodePage;
CodePage ListCodePage;

namespace {

void MapBytes(char* buffer, const uint8_t (&map)[256]) {
  for (char* p = buffer; *p != '\0'; ++p) {
    *p = static_cast<char>(map[static_cast<uint8_t>(*p)]);
  }
}

bool SameCodePage(const CodePage& a, const CodePage& b) {
  if (a.Kind != b.Kind) return false;
  if (a.Kind != CodePageKind::HostTable) return true;
  return HostTextOrder.compareNoCase(a.Table.TableName, b.Table.TableName) == 0;
}

}  // namespace

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
    case CodePageKind::Utf8:
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
    case CodePageKind::Utf8:
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
