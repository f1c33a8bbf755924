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
// Cyrillic (Russian, Ukrainian, Belarusian, Bulgarian), Greek and Latin text
// (Western, Central European and Baltic languages) scores by how common its
// letters are in the language of its script that fits it best, and by
// spelling: where a letter may stand beside which (ç before a, o or u; no
// vowel after ś; й after a vowel; a final sigma at the end ...), one case
// pattern per word (all lower, all upper, capital first) and per text.
// Words mixing scripts, box-drawing characters, control characters, signs
// inside words and bytes the code page lacks cost.
int TextScore(std::u16string_view text);

using TextDecoder = std::function<std::u16string(std::string_view)>;

// The candidate (an index into `decoders`) whose reading of all `texts`
// together scores best, their letters taken as of one language per script;
// the first of equal ones (two code pages that read the texts alike score
// alike). `scores`, when given, receives the score of each candidate.
size_t GuessCodePage(const std::vector<std::string>& texts,
                     const std::vector<TextDecoder>& decoders, std::vector<int>* scores = nullptr);

}  // namespace tags
