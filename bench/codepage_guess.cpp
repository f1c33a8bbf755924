// Accuracy of code page guessers on short tag texts (bench/data/tag_texts.tsv):
// our scorer (src/tags/codepage_guess.cpp), uchardet and enca. Each Cyrillic
// text is written in 1251, 866 and KOI8-R, each Western one in 1252; a guesser
// is right when it names the code page the text was written in. Measured per
// text (the hardest case: one short field) and per file (title, artist and
// album together, as the conversion guesses). Built and run by
// bench/codepage_guess.
#include <enca.h>
#include <iconv.h>
#include <uchardet.h>

#include <cstdio>
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
const Page kPages[] = {{"CP1251", "1251"}, {"CP866", "866"}, {"KOI8-R", "KOI8-R"}, {"CP1252", "1252"}};
constexpr int kPageCount = 4;

std::string Convert(const std::string& text, const char* from, const char* to) {
  iconv_t cd = iconv_open(to, from);
  std::string out(text.size() * 4 + 8, '\0');
  char* in = const_cast<char*>(text.data());
  size_t inLeft = text.size();
  char* o = out.data();
  size_t outLeft = out.size();
  const size_t done = iconv(cd, &in, &inLeft, &o, &outLeft);
  iconv_close(cd);
  if (done == static_cast<size_t>(-1)) return std::string();
  out.resize(out.size() - outLeft);
  return out;
}

std::u16string Decode(std::string_view bytes, const char* page) {
  const std::string le = Convert(std::string(bytes), page, "UTF-16LE");
  std::u16string units;
  for (size_t i = 0; i + 1 < le.size(); i += 2)
    units.push_back(static_cast<char16_t>(static_cast<uint8_t>(le[i]) | (static_cast<uint8_t>(le[i + 1]) << 8)));
  // A byte the code page lacks (0x98 of 1251): as Windows reads it, a control.
  if (units.size() < bytes.size()) units.resize(bytes.size(), u'\x98');
  return units;
}

int OurGuess(const std::vector<std::string>& texts) {
  std::vector<tags::TextDecoder> decoders;
  for (const Page& p : kPages) decoders.push_back([&p](std::string_view t) { return Decode(t, p.name); });
  return static_cast<int>(tags::GuessCodePage(texts, decoders));
}

int PageOfName(std::string name) {
  for (char& c : name) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
  if (name == "WINDOWS-1251" || name == "CP1251") return 0;
  if (name == "IBM866" || name == "CP866") return 1;
  if (name == "KOI8-R" || name == "KOI8-U") return 2;
  if (name == "WINDOWS-1252" || name == "ISO-8859-1" || name == "ISO-8859-15" || name == "CP1252") return 3;
  return -1;
}

int UchardetGuess(const std::vector<std::string>& texts) {
  uchardet_t ud = uchardet_new();
  for (const std::string& t : texts) {
    uchardet_handle_data(ud, t.data(), t.size());
    uchardet_handle_data(ud, "\n", 1);
  }
  uchardet_data_end(ud);
  const int page = PageOfName(uchardet_get_charset(ud));
  uchardet_delete(ud);
  return page;
}

// enca knows the Cyrillic code pages of a language; text it cannot place is
// taken as 1252, the one Western candidate.
int EncaGuess(const std::vector<std::string>& texts) {
  std::string all;
  for (const std::string& t : texts) all += t + "\n";
  EncaAnalyser analyser = enca_analyser_alloc("ru");
  enca_set_threshold(analyser, 1.38);
  enca_set_multibyte(analyser, 0);
  enca_set_ambiguity(analyser, 1);
  enca_set_garbage_test(analyser, 0);
  enca_set_filtering(analyser, 0);
  enca_set_significant(analyser, 1);
  EncaEncoding e = enca_analyse_const(analyser, reinterpret_cast<const unsigned char*>(all.data()), all.size());
  int page = 3;
  if (enca_charset_is_known(e.charset)) {
    const char* name = enca_charset_name(e.charset, ENCA_NAME_STYLE_ICONV);
    if (name) {
      const int p = PageOfName(name);
      if (p >= 0) page = p;
    }
  }
  enca_analyser_free(analyser);
  return page;
}

bool HasHigh(const std::string& t) {
  for (char c : t)
    if (static_cast<unsigned char>(c) >= 0x80) return true;
  return false;
}

struct Tally {
  std::map<int, std::pair<int, int>> byPage;  // right, all
  void Add(int page, bool right) {
    byPage[page].second++;
    if (right) byPage[page].first++;
  }
  std::string Line() const {
    std::ostringstream s;
    int right = 0, all = 0;
    for (const auto& [page, counts] : byPage) {
      s << "  " << kPages[page].label << " " << counts.first << "/" << counts.second;
      right += counts.first;
      all += counts.second;
    }
    char head[64];
    std::snprintf(head, sizeof head, "%5.1f%% (%d/%d)", all ? 100.0 * right / all : 0.0, right, all);
    return head + s.str();
  }
};

}  // namespace

int main(int argc, char** argv) {
  const char* path = argc > 1 ? argv[1] : "bench/data/tag_texts.tsv";
  std::ifstream in(path);
  if (!in) {
    std::fprintf(stderr, "cannot read %s\n", path);
    return 2;
  }
  const char* names[] = {"own scorer", "uchardet", "enca"};
  int (*guessers[])(const std::vector<std::string>&) = {OurGuess, UchardetGuess, EncaGuess};
  Tally perText[3], perFile[3];
  bool verbose = std::getenv("VERBOSE") != nullptr;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> fields;
    std::stringstream ss(line);
    std::string f;
    while (std::getline(ss, f, '\t')) fields.push_back(f);
    if (fields.size() < 2) continue;
    const bool western = fields[0] == "west";
    std::vector<int> pages = western ? std::vector<int>{3} : std::vector<int>{0, 1, 2};
    for (int page : pages) {
      std::vector<std::string> file;
      for (size_t i = 1; i < fields.size(); ++i) {
        const std::string bytes = Convert(fields[i], "UTF-8", kPages[page].name);
        if (!HasHigh(bytes)) continue;
        file.push_back(bytes);
        for (int g = 0; g < 3; ++g) {
          const int guess = guessers[g]({bytes});
          perText[g].Add(page, guess == page);
          if (verbose && guess != page)
            std::printf("%-10s text %-6s -> %-6s %s\n", names[g], kPages[page].label,
                        guess < 0 ? "?" : kPages[guess].label, fields[i].c_str());
        }
      }
      if (file.empty()) continue;
      for (int g = 0; g < 3; ++g) perFile[g].Add(page, guessers[g](file) == page);
    }
  }
  std::printf("per text (one field):\n");
  for (int g = 0; g < 3; ++g) std::printf("  %-10s %s\n", names[g], perText[g].Line().c_str());
  std::printf("per file (title, artist, album together):\n");
  for (int g = 0; g < 3; ++g) std::printf("  %-10s %s\n", names[g], perFile[g].Line().c_str());
  return 0;
}
