// Guessing the code page of old 8-bit tag text: each candidate reading of a
// file's text is scored, the best one wins.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tags {

// How plausible `text` is as the text of a tag; higher is more plausible.
// Letters of one alphabet per word in a usual case pattern (all lower, all
// upper, capital first) score, Cyrillic letters by how common they are in
// Russian text; words mixing Cyrillic and Latin letters, Latin words made
// mostly of accented letters, box-drawing characters, control characters and
// bytes the code page lacks cost.
int TextScore(std::u16string_view text);

using TextDecoder = std::function<std::u16string(std::string_view)>;

// The candidate (an index into `decoders`) whose reading of all `texts`
// together scores best; the first of equal ones. `scores`, when given,
// receives the score of each candidate.
size_t GuessCodePage(const std::vector<std::string>& texts,
                     const std::vector<TextDecoder>& decoders, std::vector<int>* scores = nullptr);

}  // namespace tags
