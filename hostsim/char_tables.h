// The host's character tables (CharTable service): a few real single-byte
// code pages, each as a CharTableSet computed against the OEM code page.
// DecodeTable maps a byte of the table to OEM and EncodeTable an OEM byte to
// the table ('?' where the other side lacks the character); UpperTable and
// LowerTable give the case of each byte within the table's own code page.
#pragma once

#include <string>
#include <vector>

#include "far/plugin_api.h"
#include "hostsim/codepage.h"

namespace hostsim {

struct CharTableInfo {
  unsigned codePage;
  std::string name;
};

// The tables offered, numbered from 0: Windows-1251 and CP866 where they are
// not the system's ANSI and OEM code pages, KOI8-R, KOI8-U, ISO-8859-5,
// Windows-1250, ISO-8859-2, Windows-1253, ISO-8859-7, Windows-1257 (those the
// system can describe).
const std::vector<CharTableInfo>& CharTables();
// The tables a system of that pair of code pages is offered, in that order,
// before the check that it can describe them.
std::vector<CharTableInfo> CandidateTables(unsigned oem, unsigned ansi);

// One table against a given OEM code page.
bool BuildCharTable(const CharTableInfo& info, const CodePageTable& oem, CharTableSet* set);

// The service: fills `buffer` (when given) with table `command` and returns
// `command`; -1 past the last table, for FCT_DETECT, or for a buffer too small.
int CharTableService(int command, char* buffer, int bufferSize);

}  // namespace hostsim
