#include "tags/genres.h"

#include <algorithm>

#include "tags/text_order.h"

namespace tags {

// clang-format off
const std::array<const char*, kGenreCount> GenreNames = {
    /*   0 */ "Blues", "Classic Rock", "Country", "Dance",
    /*   4 */ "Disco", "Funk", "Grunge", "Hip-Hop",
    /*   8 */ "Jazz", "Metal", "New Age", "Oldies",
    /*  12 */ "Other", "Pop", "R&B", "Rap",
    /*  16 */ "Reggae", "Rock", "Techno", "Industrial",
    /*  20 */ "Alternative", "Ska", "Death Metal", "Pranks",
    /*  24 */ "Soundtrack", "Euro-Techno", "Ambient", "Trip-Hop",
    /*  28 */ "Vocal", "Jazz+Funk", "Fusion", "Trance",
    /*  32 */ "Classical", "Instrumental", "Acid", "House",
    /*  36 */ "Game", "Sound Clip", "Gospel", "Noise",
    /*  40 */ "AlternRock", "Bass", "Soul", "Punk",
    /*  44 */ "Space", "Meditative", "Instrumental Pop", "Instrumental Rock",
    /*  48 */ "Ethnic", "Gothic", "Darkwave", "Techno-Industrial",
    /*  52 */ "Electronic", "Pop-Folk", "Eurodance", "Dream",
    /*  56 */ "Southern Rock", "Comedy", "Cult", "Gangsta",
    /*  60 */ "Top 40", "Christian Rap", "Pop/Funk", "Jungle",
    /*  64 */ "Native American", "Cabaret", "New Wave", "Psychadelic",
    /*  68 */ "Rave", "Showtunes", "Trailer", "Lo-Fi",
    /*  72 */ "Tribal", "Acid Punk", "Acid Jazz", "Polka",
    /*  76 */ "Retro", "Musical", "Rock & Roll", "Hard Rock",
    /*  80 */ "Folk", "Folk-Rock", "National Folk", "Swing",
    /*  84 */ "Fast Fusion", "Bebob", "Latin", "Revival",
    /*  88 */ "Celtic", "Bluegrass", "Avantgarde", "Gothic Rock",
    /*  92 */ "Progressive Rock", "Psychedelic Rock", "Symphonic Rock", "Slow Rock",
    /*  96 */ "Big Band", "Chorus", "Easy Listening", "Acoustic",
    /* 100 */ "Humour", "Speech", "Chanson", "Opera",
    /* 104 */ "Chamber Music", "Sonata", "Symphony", "Booty Bass",
    /* 108 */ "Primus", "Porn Groove", "Satire", "Slow Jam",
    /* 112 */ "Club", "Tango", "Samba", "Folklore",
    /* 116 */ "Ballad", "Power Ballad", "Rhythmic Soul", "Freestyle",
    /* 120 */ "Duet", "Punk Rock", "Drum Solo", "Acapella",
    /* 124 */ "Euro-House", "Dance Hall", "Goa", "Drum & Bass",
    /* 128 */ "Club-House", "Hardcore", "Terror", "Indie",
    /* 132 */ "BritPop", "Negerpunk", "Polsk Punk", "Beat",
    /* 136 */ "Christian Gangsta Rap", "Heavy Metal", "Black Metal", "Crossover",
    /* 140 */ "Contemporary Christian", "Christian Rock", "Merengue", "Salsa",
    /* 144 */ "Trash Metal", "Anime", "JPop", "Synthpop",
};
// clang-format on

std::string GenreText(int number) {
  if (number < 0 || number >= kGenreCount) return std::string();
  return GenreNames[static_cast<size_t>(number)];
}

std::optional<std::string> GenreOfNumberText(std::string_view text) {
  if (text.empty()) return std::nullopt;
  int number = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    number = number * 10 + (c - '0');
    if (number >= kGenreCount) return std::nullopt;
  }
  return GenreText(number);
}

std::optional<int> GenreLookup(std::string_view text) {
  const std::string wanted(text);
  for (int i = 0; i < kGenreCount; ++i) {
    const char* name = GenreNames[static_cast<size_t>(i)];
    if (HostTextOrder.compareNoCase(wanted.c_str(), name) == 0) return i;
  }
  return std::nullopt;
}

namespace {

int CompareNames(const void* a, const void* b) {
  return HostTextOrder.compareNoCase(*static_cast<const char* const*>(a),
                                     *static_cast<const char* const*>(b));
}

}  // namespace

std::vector<std::string> GenreChoiceList() {
  std::array<const char*, kGenreCount + 1> names;
  names[0] = "<Unknown>";
  std::copy(GenreNames.begin(), GenreNames.end(), names.begin() + 1);
  HostTextOrder.sort(names.data(), names.size(), sizeof(const char*), CompareNames);
  return std::vector<std::string>(names.begin(), names.end());
}

}  // namespace tags
