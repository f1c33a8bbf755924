// Text conversions of tagwright-inspect: code pages it can read, UTF-8 it
// prints, native file names to the host's text the analysis takes.
#pragma once

#include <optional>
#include <string>

namespace inspect {

// Whether iconv knows the Windows code page `codePage` (1251, 866, 20866 for
// KOI8-R, 28592 for ISO-8859-2 ...).
bool KnownCodePage(unsigned codePage);

// Valid UTF-8 as it stands; every byte of an invalid sequence as \xNN.
std::string SanitizeUtf8(const std::string& text);

// Text for the terminal (stderr): as SanitizeUtf8, and the control characters
// (C0, DEL, C1), which would drive the terminal, as \xNN of their value (a C1
// control: of its code point).
std::string TerminalText(const std::string& text);

// The name as the system layer takes paths: as it is where the host's text is
// UTF-8 (sys::HostTextIsUtf8); else in the OEM code page, when every
// character of the UTF-8 name has an equivalent there.
std::optional<std::string> SysPath(const std::string& name);

}  // namespace inspect
