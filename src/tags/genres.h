// The ID3v1 genre table: numbers 0 to 147 and their names, spelled exactly as
// the system has always shown them.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tags {

constexpr int kGenreCount = 148;
extern const std::array<const char*, kGenreCount> GenreNames;

// The name of a genre number; empty for 148 and above.
std::string GenreText(int number);
// The name of the genre that a text made only of decimal digits numbers
// (leading zeros allowed), as ID3v2.4 and many taggers write a genre in TCON;
// nothing for other text and for numbers beyond the table.
std::optional<std::string> GenreOfNumberText(std::string_view text);
// The number of the first name equal to `text` by the host's case-insensitive
// comparison (no blanks are trimmed); nothing when no name is equal.
std::optional<int> GenreLookup(std::string_view text);
// The genre choice list of the dialogs: "<Unknown>" and the 148 names, sorted
// together by the host's qsort with LStricmp.
std::vector<std::string> GenreChoiceList();

}  // namespace tags
