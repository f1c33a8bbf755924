#include "hostsim/char_tables.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <utility>
#include <vector>

#include "sys/sys.h"

namespace hostsim {

namespace {

// Cyrillic code pages, then Central European, Greek and Baltic ones, under
// the names the host's tables go by. The Russian Windows and DOS code pages
// come first where they are not the system's own pair ("Windows text", "Dos
// text"), so that old Russian tags can be read on any system.
// clang-format off
const CharTableInfo kCandidates[] = {
    {1251, "Windows-1251"},  {866, "CP866"},
    {20866, "KOI8-R"},       {21866, "KOI8-U"},       {28595, "ISO-8859-5"},
    {1250, "Windows-1250"},  {28592, "ISO-8859-2"},   {1253, "Windows-1253"},
    {28597, "ISO-8859-7"},   {1257, "Windows-1257"},
};
// clang-format on

struct BuiltTable {
  CharTableInfo info;
  CharTableSet set;
};

const std::vector<BuiltTable>& Built() {
  static std::vector<BuiltTable> tables;
  static std::once_flag once;
  std::call_once(once, [] {
    for (const auto& info : CandidateTables(sys::OemCodePage(), sys::AnsiCodePage())) {
      BuiltTable t{info, {}};
      if (BuildCharTable(info, OemTable(), &t.set)) tables.push_back(t);
    }
  });
  return tables;
}

}  // namespace

std::vector<CharTableInfo> CandidateTables(unsigned oem, unsigned ansi) {
  std::vector<CharTableInfo> tables;
  for (const auto& info : kCandidates)
    if (info.codePage != oem && info.codePage != ansi) tables.push_back(info);
  return tables;
}

const std::vector<CharTableInfo>& CharTables() {
  static std::vector<CharTableInfo> infos;
  static std::once_flag once;
  std::call_once(once, [] {
    for (const auto& t : Built()) infos.push_back(t.info);
  });
  return infos;
}

namespace {

// EncodeChar over one table, through its characters sorted once instead of
// a search of the table per character.
class Encoder {
 public:
  explicit Encoder(const CodePageTable& table) : table_(table) {
    for (int b = 0; b < 256; ++b)
      if (table[b] != kNoChar) bytes_.push_back({table[b], b});
    // The lowest byte first where two share a character, as EncodeChar finds it.
    std::sort(bytes_.begin(), bytes_.end());
  }
  int operator()(char32_t c) const {
    if (c == kNoChar) return -1;
    if (c < 0x80 && table_[c] == c) return static_cast<int>(c);
    const auto found = std::lower_bound(bytes_.begin(), bytes_.end(), std::pair<char32_t, int>{c, -1});
    return found != bytes_.end() && found->first == c ? found->second : -1;
  }

 private:
  const CodePageTable& table_;
  std::vector<std::pair<char32_t, int>> bytes_;
};

}  // namespace

bool BuildCharTable(const CharTableInfo& info, const CodePageTable& oem, CharTableSet* set) {
  CodePageTable table;
  if (!LoadCodePage(info.codePage, &table)) return false;
  std::memset(set, 0, sizeof(*set));
  const Encoder toOemByte(oem), toTableByte(table);
  for (int b = 0; b < 256; ++b) {
    int toOem = toOemByte(table[b]);
    set->DecodeTable[b] = static_cast<unsigned char>(toOem >= 0 ? toOem : '?');
    int fromOem = toTableByte(oem[b]);
    set->EncodeTable[b] = static_cast<unsigned char>(fromOem >= 0 ? fromOem : '?');
    char32_t c = table[b];
    int up = c == kNoChar ? -1 : toTableByte(UnicodeUpper(c));
    int low = c == kNoChar ? -1 : toTableByte(UnicodeLower(c));
    set->UpperTable[b] = static_cast<unsigned char>(up >= 0 ? up : b);
    set->LowerTable[b] = static_cast<unsigned char>(low >= 0 ? low : b);
  }
  std::strncpy(set->TableName, info.name.c_str(), sizeof(set->TableName) - 1);
  return true;
}

int CharTableService(int command, char* buffer, int bufferSize) {
  const auto& tables = Built();
  if (command < 0 || command >= static_cast<int>(tables.size())) return -1;  // FCT_DETECT too
  if (buffer != nullptr && bufferSize > 0) {
    if (bufferSize < static_cast<int>(sizeof(CharTableSet))) return -1;
    std::memcpy(buffer, &tables[command].set, sizeof(CharTableSet));
  }
  return command;
}

}  // namespace hostsim
