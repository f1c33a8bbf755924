#include "hostsim/codepage.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

#include "hostsim/platform.h"
#include "sys/sys.h"

namespace hostsim {

namespace {

// Pairs where the capital and the small letter alternate (even/odd or odd/even).
struct AlternatingRange {
  char32_t first;
  char32_t last;
  bool upperIsEven;
};

constexpr AlternatingRange kAlternating[] = {
    {0x0100, 0x012F, true}, {0x0132, 0x0137, true}, {0x0139, 0x0148, false},
    {0x014A, 0x0177, true}, {0x0179, 0x017E, false}, {0x0460, 0x0481, true},
    {0x048A, 0x04BF, true}, {0x04C1, 0x04CE, false}, {0x04D0, 0x052F, true},
};

// Capital range, offset to the small letters.
struct ShiftedRange {
  char32_t first;
  char32_t last;
  char32_t offset;
};

constexpr ShiftedRange kShifted[] = {
    {U'A', U'Z', 0x20},        {0x00C0, 0x00D6, 0x20}, {0x00D8, 0x00DE, 0x20},
    {0x0388, 0x038A, 0x25},    {0x038E, 0x038F, 0x3F}, {0x0391, 0x03A1, 0x20},
    {0x03A3, 0x03AB, 0x20},    {0x0400, 0x040F, 0x50}, {0x0410, 0x042F, 0x20},
};

// Single pairs that fit no range.
struct Pair {
  char32_t upper;
  char32_t lower;
};

constexpr Pair kPairs[] = {
    {0x0178, 0x00FF}, {0x0386, 0x03AC}, {0x038C, 0x03CC}, {0x039C, 0x00B5},
    {0x03A3, 0x03C2}, {0x04C0, 0x04CF},
};

}  // namespace

bool LoadCodePage(unsigned codePage, CodePageTable* table) {
  table->fill(kNoChar);
  return platform::LoadSystemCodePage(codePage, table);
}

int EncodeChar(const CodePageTable& table, char32_t c) {
  if (c == kNoChar) return -1;
  // Control characters and ASCII map to themselves in every code page the
  // host uses; the search keeps the table authoritative all the same.
  if (c < 0x80 && table[c] == c) return static_cast<int>(c);
  for (int b = 0; b < 256; ++b) {
    if (table[b] == c) return b;
  }
  return -1;
}

char32_t UnicodeUpper(char32_t c) {
  for (const auto& r : kShifted) {
    if (c >= r.first + r.offset && c <= r.last + r.offset) return c - r.offset;
  }
  for (const auto& r : kAlternating) {
    if (c >= r.first && c <= r.last) {
      bool even = c % 2 == 0;
      bool isUpper = even == r.upperIsEven;
      return isUpper ? c : c - 1;
    }
  }
  for (const auto& p : kPairs) {
    if (c == p.lower) return p.upper;
  }
  return c;
}

char32_t UnicodeLower(char32_t c) {
  for (const auto& r : kShifted) {
    if (c >= r.first && c <= r.last) return c + r.offset;
  }
  for (const auto& r : kAlternating) {
    if (c >= r.first && c <= r.last) {
      bool even = c % 2 == 0;
      bool isUpper = even == r.upperIsEven;
      return isUpper ? c + 1 : c;
    }
  }
  // Capital mu and sigma were handled above: they lower to the Greek small
  // letters, not to the micro sign or the final sigma of the pairs below.
  for (const auto& p : kPairs) {
    if (c == p.upper) return p.lower;
  }
  return c;
}

bool UnicodeIsLetter(char32_t c) {
  if ((c >= U'A' && c <= U'Z') || (c >= U'a' && c <= U'z')) return true;
  if (c == 0xAA || c == 0xB5 || c == 0xBA) return true;
  if (c >= 0xC0 && c <= 0x24F) return c != 0xD7 && c != 0xF7;
  if (c == 0x386 || (c >= 0x388 && c <= 0x3FF)) {
    return c != 0x38B && c != 0x38D && c != 0x3A2 && c != 0x3F6;
  }
  if (c >= 0x400 && c <= 0x481) return true;
  return c >= 0x48A && c <= 0x52F;
}

const CodePageTable& OemTable() {
  static CodePageTable table;
  static std::once_flag once;
  std::call_once(once, [] {
    if (!LoadCodePage(sys::OemCodePage(), &table)) {
      table.fill(kNoChar);
      for (char32_t c = 0; c < 0x80; ++c) table[c] = c;
    }
  });
  return table;
}

void AppendUtf8(char32_t c, std::string* out) {
  if (c < 0x80) {
    out->push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (c >> 6)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (c >> 12)));
    out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (c >> 18)));
    out->push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

std::string OemToUtf8(const std::string& oem) {
  // Every line of the transcript comes through here: each OEM byte's UTF-8
  // form is spelt out once.
  struct Encoded {
    char bytes[4];
    size_t length;
  };
  static std::array<Encoded, 256> encoded;
  static std::once_flag once;
  std::call_once(once, [] {
    const CodePageTable& table = OemTable();
    for (int b = 0; b < 256; ++b) {
      std::string utf8;
      AppendUtf8(table[b] == kNoChar ? U'?' : table[b], &utf8);
      encoded[b].length = utf8.size();
      utf8.copy(encoded[b].bytes, utf8.size());
    }
  });
  std::string out(oem.size() * 4, '\0');  // at most 4 bytes a character
  char* at = out.data();
  for (unsigned char b : oem) {
    const Encoded& e = encoded[b];
    if (e.length == 1) {
      *at++ = e.bytes[0];
    } else {
      std::memcpy(at, e.bytes, e.length);
      at += e.length;
    }
  }
  out.resize(static_cast<size_t>(at - out.data()));
  return out;
}

std::string CodePageToUtf8(unsigned codePage, const std::string& text) {
  static std::mutex mutex;
  static std::map<unsigned, CodePageTable> tables;
  std::lock_guard<std::mutex> lock(mutex);
  auto found = tables.find(codePage);
  if (found == tables.end()) {
    CodePageTable table;
    if (!LoadCodePage(codePage, &table)) {
      table.fill(kNoChar);
      for (char32_t c = 0; c < 0x80; ++c) table[c] = c;
    }
    found = tables.emplace(codePage, table).first;
  }
  std::string utf8;
  utf8.reserve(text.size() * 2);
  for (const unsigned char b : text)
    AppendUtf8(found->second[b] == kNoChar ? U'?' : found->second[b], &utf8);
  return utf8;
}

bool Utf8ToOem(const std::string& utf8, std::string* oem) {
  const CodePageTable& table = OemTable();
  // The ASCII the table keeps as it is (all of it, in the code pages the host
  // uses) is copied in one piece: most names are nothing else.
  size_t i = 0;
  while (i < utf8.size()) {
    const unsigned char b = static_cast<unsigned char>(utf8[i]);
    if (b >= 0x80 || table[b] != b) break;
    ++i;
  }
  oem->assign(utf8, 0, i);
  bool exact = true;
  while (i < utf8.size()) {
    unsigned char b = static_cast<unsigned char>(utf8[i]);
    char32_t c;
    size_t extra;
    if (b < 0x80) {
      c = b;
      extra = 0;
    } else if ((b & 0xE0) == 0xC0) {
      c = b & 0x1F;
      extra = 1;
    } else if ((b & 0xF0) == 0xE0) {
      c = b & 0x0F;
      extra = 2;
    } else if ((b & 0xF8) == 0xF0) {
      c = b & 0x07;
      extra = 3;
    } else {
      oem->push_back('?');
      exact = false;
      ++i;
      continue;
    }
    if (i + extra >= utf8.size()) {  // a sequence cut short at the end
      oem->push_back('?');
      exact = false;
      break;
    }
    bool valid = true;
    for (size_t k = 1; k <= extra; ++k) {
      unsigned char cont = static_cast<unsigned char>(utf8[i + k]);
      if ((cont & 0xC0) != 0x80) {
        valid = false;
        break;
      }
      c = c << 6 | (cont & 0x3F);
    }
    if (!valid) {
      oem->push_back('?');
      exact = false;
      ++i;
      continue;
    }
    i += extra + 1;
    int byte = EncodeChar(table, c);
    if (byte < 0) {
      oem->push_back('?');
      exact = false;
    } else {
      oem->push_back(static_cast<char>(byte));
    }
  }
  return exact;
}

}  // namespace hostsim
