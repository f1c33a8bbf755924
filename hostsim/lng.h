// The host's language files (.lng): a ".Language=Name,Description" statement,
// then one message per line in double quotes, numbered from 0 in file order.
// Comment lines (//), blank lines and other control statements (.Name=...)
// may stand anywhere. The stand-in is stricter than the host: a line that is
// none of these is an error, because a message that lost its opening quote
// would silently shift every later message number.
#pragma once

#include <string>
#include <vector>

namespace hostsim {

struct LanguageFile {
  std::string fileName;     // for error texts
  std::string name;         // "English"
  std::string description;  // free text after the comma
  std::vector<std::string> messages;
};

// `content` is the file's bytes (OEM text). False with "<file>:<line>: reason".
bool ParseLanguageFile(const std::string& content, const std::string& fileName,
                       LanguageFile* file, std::string* error);

// Chooses among the parsed files of one module: the one whose language name
// equals `wanted` (ignoring case), else English, else the first. Every file
// must hold as many messages as the others and name its own language;
// otherwise the result is false with a text naming the culprit.
bool ChooseLanguage(const std::vector<LanguageFile>& files, const std::string& wanted,
                    size_t* chosen, std::string* error);

}  // namespace hostsim
