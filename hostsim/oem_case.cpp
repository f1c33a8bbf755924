#include "hostsim/oem_case.h"

#include <mutex>
#include <string_view>

#include "hostsim/host_text.h"

namespace hostsim {

CaseTables BuildCaseTables(const CodePageTable& table) {
  CaseTables t{};
  for (int b = 0; b < 256; ++b) {
    char32_t c = table[b];
    t.upper[b] = static_cast<unsigned char>(b);
    t.lower[b] = static_cast<unsigned char>(b);
    if (c == kNoChar || !UnicodeIsLetter(c)) continue;
    t.isAlpha[b] = true;
    int up = EncodeChar(table, UnicodeUpper(c));
    int low = EncodeChar(table, UnicodeLower(c));
    if (up >= 0) t.upper[b] = static_cast<unsigned char>(up);
    if (low >= 0) t.lower[b] = static_cast<unsigned char>(low);
    t.isUpper[b] = UnicodeLower(c) != c;
    // Letters without a capital of their own (sharp s, kra) count as small;
    // the ordinal indicators are neither.
    t.isLower[b] = !t.isUpper[b] && c != 0xAA && c != 0xBA;
  }
  return t;
}

const CaseTables& OemCase() {
  static CaseTables tables;
  static std::once_flag once;
  std::call_once(once, [] { tables = BuildCaseTables(OemTable()); });
  return tables;
}

int CompareNoCase(const char* a, const char* b, size_t n) {
  if (HostSpeaksUtf8()) {
    // Character by character, each upper-cased; the end of a text (its zero)
    // comes before every character.
    const std::string_view x(a), y(b);
    size_t i = 0, j = 0;
    for (size_t k = 0; k < n; ++k) {
      const HostChar cx = i < x.size() ? HostUpper(NextHostChar(x, &i)) : 0;
      const HostChar cy = j < y.size() ? HostUpper(NextHostChar(y, &j)) : 0;
      if (cx != cy) return cx < cy ? -1 : 1;
      if (cx == 0) return 0;
    }
    return 0;
  }
  const CaseTables& t = OemCase();
  for (size_t i = 0; i < n; ++i) {
    unsigned char ca = t.upper[static_cast<unsigned char>(a[i])];
    unsigned char cb = t.upper[static_cast<unsigned char>(b[i])];
    if (ca != cb) return ca < cb ? -1 : 1;
    if (ca == 0) return 0;
  }
  return 0;
}

}  // namespace hostsim
