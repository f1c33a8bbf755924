// A field's letter case in the tag creation, as the case dialog stores it and
// as the per-file step applies it.
#pragma once

#include <string>
#include <string_view>

namespace batch {

// The change of letter case, in the order of the case dialog's choices.
enum class LetterCase { Keep, Upper, Lower, FirstCapital, WordsCapital, Swapped };

struct CaseMode {
  LetterCase letters = LetterCase::Keep;
  bool transliterate = false;  // Cyrillic letters become Latin ones afterwards

  bool ChangesNothing() const { return letters == LetterCase::Keep && !transliterate; }
};

// The stored text (a registry value) read into what it means: its last
// character names the change, "0" to "5" in LetterCase's order (any other
// keeps the letters), and a text of more than one character (the dialog
// writes a "1" before the digit) transliterates too.
CaseMode ParseCaseMode(std::string_view stored);

// The text the case dialog stores for a mode: the digit, after "1" when the
// mode transliterates.
std::string StoredCaseMode(const CaseMode& mode);

}  // namespace batch
