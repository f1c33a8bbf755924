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

// `content` is the file's bytes (OEM text of the language's code page). False
// with "<file>:<line>: reason".
bool ParseLanguageFile(const std::string& content, const std::string& fileName,
                       LanguageFile* file, std::string* error);

// The OEM code page a language's files are written in, as the host's users
// write them: 866 for the Cyrillic languages (Russian, Ukrainian, Belarusian,
// Bulgarian, Serbian), 737 for Greek, 437 for any other (English is ASCII).
// The code page goes with the language, whatever the locale.
unsigned LanguageCodePage(const std::string& languageName);
// The file's texts (messages and description) as the host's text: converted
// from the language's code page to UTF-8 where the host speaks UTF-8, as they
// are in OEM.
void ToHostText(LanguageFile* file);

// Chooses among the parsed files of one module: the one whose language name
// equals `wanted` (ignoring case), else English, else the first. Every file
// must hold as many messages as the others and name its own language;
// otherwise the result is false with a text naming the culprit.
bool ChooseLanguage(const std::vector<LanguageFile>& files, const std::string& wanted,
                    size_t* chosen, std::string* error);

}  // namespace hostsim
