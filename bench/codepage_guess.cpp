// Accuracy of code page guessers on short tag texts: our scorer
// (src/tags/codepage_guess.cpp), uchardet and enca. Each text of a data file
// (bench/data/tag_texts.tsv, the set the scorer is tuned on, and
// bench/data/tag_texts_heldout.tsv, kept apart) is written with iconv in every
// code page that holds its language (kLanguages); a code page that gives the
// same bytes as one before it in that list is left out, as the same file. A
// guess is right when the code page it names reads the bytes back as the text
// (so KOI8-U is right for Russian, as KOI8-R is). Measured per text (one field
// alone, the hardest case) and per file (title, artist and album together, as
// the conversion guesses). Our scorer chooses among the code pages the
// conversion offers on a Russian system, in its order (kCandidates). Built and
// run by bench/codepage_guess.
#include <enca.h>
#include <iconv.h>
#include <uchardet.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tags/codepage_guess.h"

namespace {

struct Page {
  const char* name;  // as iconv knows it
  const char* label;
};

const Page kPages[] = {
    {"CP1251", "1251"},       {"CP866", "866"},         {"KOI8-R", "KOI8-R"},
    {"KOI8-U", "KOI8-U"},     {"ISO-8859-5", "8859-5"}, {"CP1250", "1250"},
    {"ISO-8859-2", "8859-2"}, {"CP1253", "1253"},       {"ISO-8859-7", "8859-7"},
    {"CP1257", "1257"},       {"CP1252", "1252"},       {"ISO-8859-1", "8859-1"},
};
constexpr int kPageCount = sizeof kPages / sizeof kPages[0];

int PageNamed(const char* label) {
  for (int p = 0; p < kPageCount; ++p)
    if (std::strcmp(kPages[p].label, label) == 0) return p;
  std::fprintf(stderr, "no code page %s\n", label);
  std::exit(2);
}

// The conversion's candidates with Windows text 1251 and Dos text 866: both,
// then the host's tables, then Western 1252.
const char* const kCandidates[] = {"1251",   "866",  "KOI8-R", "KOI8-U", "8859-5", "1250",
                                   "8859-2", "1253", "8859-7", "1257",   "1252"};

struct Language {
  const char* code;
  const char* enca;  // enca's language, or "__" where it has none
  std::vector<const char*> pages;
};

const Language kLanguages[] = {
    {"ru", "ru", {"1251", "866", "KOI8-R", "KOI8-U", "8859-5"}},
    {"uk", "uk", {"1251", "KOI8-U", "8859-5"}},
    {"be", "be", {"1251", "8859-5"}},
    {"bg", "bg", {"1251", "866", "KOI8-R", "KOI8-U", "8859-5"}},
    {"pl", "pl", {"1250", "8859-2"}},
    {"cs", "cs", {"1250", "8859-2"}},
    {"sk", "sk", {"1250", "8859-2"}},
    {"hu", "hu", {"1250", "8859-2"}},
    {"hr", "hr", {"1250", "8859-2"}},
    {"sl", "sl", {"1250", "8859-2"}},
    {"ro", "__", {"1250", "8859-2"}},
    {"el", "__", {"1253", "8859-7"}},
    {"lt", "lt", {"1257"}},
    {"lv", "lv", {"1257"}},
    {"et", "et", {"1257", "1252"}},
    {"west", "__", {"1252", "8859-1"}},
};

const Language* LanguageNamed(const std::string& code) {
  for (const Language& l : kLanguages)
    if (code == l.code) return &l;
  return nullptr;
}

// Null when iconv lacks a code page or a character has no place in it.
bool Convert(const std::string& text, const char* from, const char* to, std::string* out) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  out->assign(text.size() * 4 + 8, '\0');
  char* in = const_cast<char*>(text.data());
  size_t inLeft = text.size();
  char* o = out->data();
  size_t outLeft = out->size();
  const size_t done = iconv(cd, &in, &inLeft, &o, &outLeft);
  iconv_close(cd);
  if (done == static_cast<size_t>(-1) || done > 0) return false;  // > 0: replaced characters
  out->resize(out->size() - outLeft);
  return true;
}

// Each candidate as a table of 256 UTF-16 units, as the system's decoders
// have it: a byte the code page lacks reads as its C1 control (0x98 of 1251).
struct Decoder {
  std::array<char16_t, 256> units;
  std::u16string operator()(std::string_view bytes) const {
    std::u16string out;
    out.reserve(bytes.size());
    for (char b : bytes) out.push_back(units[static_cast<uint8_t>(b)]);
    return out;
  }
};

Decoder MakeDecoder(const char* name) {
  Decoder d;
  for (int b = 0; b < 256; ++b) {
    std::string le;
    d.units[b] =
        Convert(std::string(1, static_cast<char>(b)), name, "UTF-16LE", &le) && le.size() == 2
            ? static_cast<char16_t>(static_cast<uint8_t>(le[0]) | static_cast<uint8_t>(le[1]) << 8)
            : static_cast<char16_t>(b < 0xA0 ? b : 0xFFFD);
  }
  return d;
}

struct Sample {
  std::string utf8;   // the text as written
  std::string bytes;  // in the code page
};

// What a guesser answers: an iconv name, or nothing.
using Guesser = std::string (*)(const std::vector<Sample>&, const Language&);

std::vector<Decoder>& CandidateDecoders() {
  static std::vector<Decoder> decoders;
  if (decoders.empty())
    for (const char* label : kCandidates)
      decoders.push_back(MakeDecoder(kPages[PageNamed(label)].name));
  return decoders;
}

std::string OurGuess(const std::vector<Sample>& file, const Language&) {
  std::vector<tags::TextDecoder> decoders;
  for (const Decoder& d : CandidateDecoders()) decoders.push_back(d);
  std::vector<std::string> texts;
  for (const Sample& s : file) texts.push_back(s.bytes);
  return kPages[PageNamed(kCandidates[tags::GuessCodePage(texts, decoders)])].name;
}

std::string UchardetGuess(const std::vector<Sample>& file, const Language&) {
  uchardet_t ud = uchardet_new();
  for (const Sample& s : file) {
    uchardet_handle_data(ud, s.bytes.data(), s.bytes.size());
    uchardet_handle_data(ud, "\n", 1);
  }
  uchardet_data_end(ud);
  std::string name = uchardet_get_charset(ud);
  uchardet_delete(ud);
  return name;
}

// enca needs the language named; it is told the text's own where it knows it.
// Text it cannot place is taken as 1252, the Western fallback.
std::string EncaGuess(const std::vector<Sample>& file, const Language& language) {
  std::string all;
  for (const Sample& s : file) all += s.bytes + "\n";
  EncaAnalyser analyser = enca_analyser_alloc(language.enca);
  if (analyser == nullptr) return "CP1252";
  enca_set_threshold(analyser, 1.38);
  enca_set_multibyte(analyser, 0);
  enca_set_ambiguity(analyser, 1);
  enca_set_garbage_test(analyser, 0);
  enca_set_filtering(analyser, 0);
  enca_set_significant(analyser, 1);
  EncaEncoding e = enca_analyse_const(analyser, reinterpret_cast<const unsigned char*>(all.data()), all.size());
  std::string name = "CP1252";
  if (enca_charset_is_known(e.charset)) {
    const char* known = enca_charset_name(e.charset, ENCA_NAME_STYLE_ICONV);
    if (known != nullptr) name = known;
  }
  enca_analyser_free(analyser);
  return name;
}

// Whether code page `name` reads every sample's bytes as its text.
bool ReadsRight(const std::string& name, const std::vector<Sample>& file) {
  if (name.empty()) return false;
  for (const Sample& s : file) {
    std::string back;
    if (!Convert(s.bytes, name.c_str(), "UTF-8", &back) || back != s.utf8) return false;
  }
  return true;
}

struct Tally {
  std::map<int, std::pair<int, int>> byPage;  // written code page: right, all
  void Add(int page, bool right) {
    byPage[page].second++;
    if (right) byPage[page].first++;
  }
  void Print(const char* name) const {
    int right = 0, all = 0;
    for (const auto& [page, counts] : byPage) {
      right += counts.first;
      all += counts.second;
    }
    std::printf("  %-10s %5.1f%% (%d/%d)\n", name, all ? 100.0 * right / all : 0.0, right, all);
    std::printf("            ");
    for (const auto& [page, counts] : byPage)
      std::printf(" %s %d/%d", kPages[page].label, counts.first, counts.second);
    std::printf("\n");
  }
};

bool HasHigh(const std::string& t) {
  for (char c : t)
    if (static_cast<unsigned char>(c) >= 0x80) return true;
  return false;
}

constexpr int kGuessers = 3;
const char* const kGuesserNames[kGuessers] = {"own scorer", "uchardet", "enca"};
const Guesser kGuessersRun[kGuessers] = {OurGuess, UchardetGuess, EncaGuess};

struct Result {
  Tally perText[kGuessers], perFile[kGuessers];
  std::map<std::string, std::pair<int, int>> oursByLanguage;  // per file
  int files = 0;
};

bool Measure(const char* path, bool listWrong, Result* result) {
  std::ifstream in(path);
  if (!in) {
    std::fprintf(stderr, "cannot read %s\n", path);
    return false;
  }
  std::string line;
  int lineNumber = 0;
  while (std::getline(in, line)) {
    ++lineNumber;
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> fields;
    std::stringstream ss(line);
    std::string f;
    while (std::getline(ss, f, '\t')) fields.push_back(f);
    const Language* language = fields.empty() ? nullptr : LanguageNamed(fields[0]);
    if (language == nullptr || fields.size() < 2) {
      std::fprintf(stderr, "%s:%d: no language or no text\n", path, lineNumber);
      return false;
    }
    std::vector<std::vector<std::string>> written;  // per page, the bytes of each field
    for (const char* label : language->pages) {
      const int page = PageNamed(label);
      std::vector<std::string> bytes(fields.size());
      bool fits = true;
      for (size_t i = 1; i < fields.size(); ++i)
        fits = fits && Convert(fields[i], "UTF-8", kPages[page].name, &bytes[i]);
      if (!fits) continue;  // a letter the code page lacks (œ in 8859-1)
      bool same = false;
      for (const auto& earlier : written) same = same || earlier == bytes;
      written.push_back(bytes);
      if (same) continue;
      std::vector<Sample> file;
      for (size_t i = 1; i < fields.size(); ++i) {
        if (!HasHigh(bytes[i])) continue;
        const std::vector<Sample> one = {{fields[i], bytes[i]}};
        file.push_back(one[0]);
        for (int g = 0; g < kGuessers; ++g) {
          const std::string guess = kGuessersRun[g](one, *language);
          const bool right = ReadsRight(guess, one);
          result->perText[g].Add(page, right);
          if (listWrong && !right)
            std::printf("%-10s %-6s text %-6s -> %-12s %s\n", kGuesserNames[g], language->code,
                        label, guess.empty() ? "?" : guess.c_str(), fields[i].c_str());
        }
      }
      if (file.empty()) continue;
      ++result->files;
      for (int g = 0; g < kGuessers; ++g) {
        const std::string guess = kGuessersRun[g](file, *language);
        const bool right = ReadsRight(guess, file);
        result->perFile[g].Add(page, right);
        if (listWrong && !right)
          std::printf("%-10s %-6s file %-6s -> %-12s %s\n", kGuesserNames[g], language->code, label,
                      guess.empty() ? "?" : guess.c_str(),
                      line.substr(line.find('\t') + 1).c_str());
        if (g == 0) {
          auto& counts = result->oursByLanguage[language->code];
          counts.second++;
          if (right) counts.first++;
        }
      }
    }
  }
  return true;
}

void Report(const char* title, const char* path, const Result& r) {
  std::printf("== %s: %s (%d files)\n", title, path, r.files);
  std::printf("per text (one field), right / all by the code page written:\n");
  for (int g = 0; g < kGuessers; ++g) r.perText[g].Print(kGuesserNames[g]);
  std::printf("per file (title, artist, album together):\n");
  for (int g = 0; g < kGuessers; ++g) r.perFile[g].Print(kGuesserNames[g]);
  std::printf("own scorer per file by language:");
  for (const auto& [code, counts] : r.oursByLanguage)
    std::printf(" %s %d/%d", code.c_str(), counts.first, counts.second);
  std::printf("\n\n");
}

// The time our scorer takes for a file of three fields among all candidates.
void Speed(const char* path) {
  std::ifstream in(path);
  std::vector<std::vector<std::string>> files;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> fields;
    std::stringstream ss(line);
    std::string f;
    std::getline(ss, f, '\t');
    const Language* language = LanguageNamed(f);
    if (language == nullptr) continue;
    std::vector<std::string> texts;
    while (std::getline(ss, f, '\t')) {
      std::string bytes;
      if (Convert(f, "UTF-8", kPages[PageNamed(language->pages[0])].name, &bytes))
        texts.push_back(bytes);
    }
    files.push_back(texts);
  }
  std::vector<tags::TextDecoder> decoders;
  for (const Decoder& d : CandidateDecoders()) decoders.push_back(d);
  const auto start = std::chrono::steady_clock::now();
  size_t sum = 0;
  constexpr int kRounds = 200;
  for (int round = 0; round < kRounds; ++round)
    for (const auto& texts : files) sum += tags::GuessCodePage(texts, decoders);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("own scorer: %.1f us per file of three fields among %zu candidates (%zu)\n",
              1e6 * seconds / (kRounds * files.size()), decoders.size(), sum % 10);
}

}  // namespace

int main(int argc, char** argv) {
  const char* tuned = argc > 1 ? argv[1] : "bench/data/tag_texts.tsv";
  const char* heldOut =
      argc > 2 ? argv[2] : (argc > 1 ? nullptr : "bench/data/tag_texts_heldout.tsv");
  // VERBOSE=1 lists the wrong guesses on the tuned set, never on the held-out one.
  const bool verbose = std::getenv("VERBOSE") != nullptr;
  std::printf("Our candidates, in order:");
  for (const char* label : kCandidates) std::printf(" %s", label);
  std::printf(
      "\nuchardet names its own; enca is told the language where it has one (not for\n"
      "west, el, ro), and text it cannot place counts as 1252.\n\n");
  Result tunedResult;
  if (!Measure(tuned, verbose, &tunedResult)) return 2;
  if (verbose) std::printf("\n");
  Report("tuned set", tuned, tunedResult);
  if (heldOut != nullptr) {
    Result heldOutResult;
    if (!Measure(heldOut, false, &heldOutResult)) return 2;
    Report("held-out set (not tuned on)", heldOut, heldOutResult);
  }
  Speed(tuned);
  return 0;
}
