// The fields of the tag objects as one comparable value, for the harnesses
// that compare two readings of a file.
#pragma once

#include <string>
#include <vector>

#include "tags/id3v1.h"
#include "tags/id3v2.h"

namespace fuzz {

inline std::vector<std::string> FieldsOf(const tags::ID3v2Tag& t) {
  return {t.Present() ? "present" : "absent", std::to_string(t.Version()),
          std::to_string(t.TagSize()), t.Title(), t.Artist(), t.Album(),
          std::to_string(t.Track()), t.TrackText(), t.Year(), t.Genre(), t.Comment(),
          t.FullComment(), t.Composer(), t.OrigArtist(), t.EncodedBy(), t.Copyright(),
          t.Language(), t.URL()};
}

inline std::vector<std::string> FieldsOf(const tags::ID3v1Tag& t) {
  return {t.Present() ? "present" : "absent", std::to_string(t.Version()), t.Title(),
          t.Artist(), t.Album(), t.Year(), t.Comment(), std::to_string(t.Track()),
          std::to_string(t.GenreNumber())};
}

}  // namespace fuzz
