// Letter classes and case of single-byte text, the way the host offers them
// through LIsLower, LUpper, LStricmp and the like: computed from the code
// page's characters, so that the Cyrillic letters of 866 and the accented
// letters of 437 are letters with a case when that is the OEM code page.
#pragma once

#include <cstddef>

#include "hostsim/codepage.h"

namespace hostsim {

struct CaseTables {
  unsigned char upper[256];
  unsigned char lower[256];
  bool isAlpha[256];
  bool isLower[256];
  bool isUpper[256];
};

// A byte whose other case the code page lacks keeps its value.
CaseTables BuildCaseTables(const CodePageTable& table);
// For the process's OEM code page, built once.
const CaseTables& OemCase();

// Compares texts of the host's text ignoring case: in OEM each byte
// upper-cased by the OEM code page and compared as unsigned bytes, in UTF-8
// each character upper-cased and compared by its value (host_text.h); at
// most `n` characters.
int CompareNoCase(const char* a, const char* b, size_t n = static_cast<size_t>(-1));

}  // namespace hostsim
