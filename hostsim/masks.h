// The host's file masks, as its documentation describes them:
//   *  any number of characters, ? any one character,
//   [c,x-z] one character of those listed (single characters and ranges),
//   several masks in a list separated by commas or semicolons, each of which
//   may be put in double quotes (to hold a comma or a semicolon),
//   an exclusion list after '|': names matching it do not match the whole.
// Characters are those of the host's text (a byte in OEM, a UTF-8 character
// in UTF-8); letters compare ignoring case. Two rules about dots:
// a name without an extension also matches as if it ended with a dot (so
// "*.*" and "name." match "name"), and a mask without a dot also matches
// names with an extension (so "*" and "name" match "name.txt").
#pragma once

#include <string>
#include <vector>

namespace hostsim {

// One mask, no list syntax.
bool MatchMask(const std::string& mask, const std::string& name);

struct MaskList {
  std::vector<std::string> include;
  std::vector<std::string> exclude;
};

// False for a malformed list (a second '|', an unclosed quote).
bool ParseMaskList(const std::string& text, MaskList* list);
// A malformed list matches nothing; an empty list matches nothing.
bool MatchMaskList(const std::string& text, const std::string& name);
bool MatchMaskList(const MaskList& list, const std::string& name);

// The name that `mask` makes of `name` ("*.bak" and "file.txt" give
// "file.bak"): '*' takes the rest of the name's part, '?' its next character.
std::string GenerateName(const std::string& mask, const std::string& name);

}  // namespace hostsim
