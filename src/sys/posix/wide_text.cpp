// Single-byte text of a named Windows code page to UTF-16, with tables built
// once per code page through iconv. KOI8-R and KOI8-U have Windows numbers that
// iconv does not know; they go by their names.
#include <iconv.h>
#include <locale.h>
#include <wctype.h>

#include <array>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "sys/posix/posix_internal.h"
#include "sys/sys.h"

namespace sys {
namespace {

using Table = std::array<char16_t, 256>;
constexpr char16_t kReplacement = 0xFFFD;

std::string IconvName(unsigned codePage) {
  switch (codePage) {
    case 20866: return "KOI8-R";
    case 21866: return "KOI8-U";
    default: break;
  }
  // 28591 to 28599 are ISO-8859-1 to -9.
  if (codePage >= 28591 && codePage <= 28599) return "ISO-8859-" + std::to_string(codePage - 28590);
  return "CP" + std::to_string(codePage);
}

locale_t UnicodeLocale() {
  static const locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
  return locale;
}

// Null when iconv has no such code page.
const Table* TableOf(unsigned codePage) {
  static std::mutex mutex;
  static std::map<unsigned, std::unique_ptr<Table>> tables;
  std::lock_guard<std::mutex> lock(mutex);
  auto found = tables.find(codePage);
  if (found != tables.end()) return found->second.get();
  std::unique_ptr<Table>& slot = tables[codePage];
  iconv_t cd = iconv_open(posix::kIconvUnits, IconvName(codePage).c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return nullptr;
  slot = std::make_unique<Table>();
  posix::DecodeBytes(cd, slot->data(), kReplacement);
  iconv_close(cd);
  return slot.get();
}

}  // namespace

std::u16string CodePageToWide(unsigned codePage, const char* text, size_t length) {
  std::u16string out;
  const Table* table = TableOf(codePage);
  if (table == nullptr) return out;
  out.reserve(length);
  for (size_t i = 0; i < length; ++i) out.push_back((*table)[static_cast<uint8_t>(text[i])]);
  return out;
}

char32_t UpperCase(char32_t c) {
  const locale_t locale = UnicodeLocale();
  return locale == nullptr ? c : static_cast<char32_t>(towupper_l(static_cast<wint_t>(c), locale));
}

char32_t LowerCase(char32_t c) {
  const locale_t locale = UnicodeLocale();
  return locale == nullptr ? c : static_cast<char32_t>(towlower_l(static_cast<wint_t>(c), locale));
}

bool IsLetter(char32_t c) {
  const locale_t locale = UnicodeLocale();
  return locale != nullptr && iswalpha_l(static_cast<wint_t>(c), locale) != 0;
}

}  // namespace sys
