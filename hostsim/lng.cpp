#include "hostsim/lng.h"

#include "hostsim/codepage.h"
#include "hostsim/host_text.h"
#include "hostsim/oem_case.h"

namespace hostsim {

namespace {

// The host reads lines into a 1024-byte buffer and documents 1000 characters.
constexpr size_t kMaxLine = 1000;

std::string TrimBlanks(const std::string& s) {
  size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return std::string();
  size_t e = s.find_last_not_of(" \t");
  return s.substr(b, e - b + 1);
}

// The body between the quotes: \n \r \t \b \\ \" are escapes, "" is one quote,
// any other backslash stays as it is.
std::string Unescape(const std::string& body) {
  std::string out;
  for (size_t i = 0; i < body.size(); ++i) {
    char c = body[i];
    if (c == '\\' && i + 1 < body.size()) {
      char n = body[i + 1];
      char e = 0;
      switch (n) {
        case 'n': e = '\n'; break;
        case 'r': e = '\r'; break;
        case 't': e = '\t'; break;
        case 'b': e = '\b'; break;
        case '\\': e = '\\'; break;
        case '"': e = '"'; break;
        default: break;
      }
      if (e != 0) {
        out.push_back(e);
        ++i;
        continue;
      }
    } else if (c == '"' && i + 1 < body.size() && body[i + 1] == '"') {
      out.push_back('"');
      ++i;
      continue;
    }
    out.push_back(c);
  }
  return out;
}

}  // namespace

bool ParseLanguageFile(const std::string& content, const std::string& fileName,
                       LanguageFile* file, std::string* error) {
  *file = LanguageFile();
  file->fileName = fileName;
  auto fail = [&](size_t line, const std::string& why) {
    *error = fileName + ":" + std::to_string(line) + ": " + why;
    return false;
  };
  if (content.compare(0, 3, "\xEF\xBB\xBF") == 0) {
    return fail(1, "starts with a UTF-8 byte order mark; language files are OEM text");
  }
  bool haveLanguage = false;
  size_t lineNumber = 0;
  size_t start = 0;
  while (start < content.size()) {
    size_t end = content.find('\n', start);
    if (end == std::string::npos) end = content.size();
    std::string raw = content.substr(start, end - start);
    start = end + 1;
    ++lineNumber;
    if (!raw.empty() && raw.back() == '\r') raw.pop_back();
    if (raw.size() > kMaxLine) {
      return fail(lineNumber, "line longer than " + std::to_string(kMaxLine) + " characters");
    }
    if (raw.find('\0') != std::string::npos) return fail(lineNumber, "zero byte in the line");
    std::string line = TrimBlanks(raw);
    if (line.empty() || line.compare(0, 2, "//") == 0) continue;
    if (line[0] == '.') {
      constexpr size_t kStatementLength = 9;  // ".Language"
      if (line.size() >= kStatementLength &&
          CompareNoCase(line.c_str(), ".Language", kStatementLength) == 0) {
        if (haveLanguage) continue;  // only the first one counts
        if (!file->messages.empty()) {
          return fail(lineNumber, ".Language must come before the first message");
        }
        // Older hosts reject blanks around '='.
        if (line.size() == kStatementLength || line[kStatementLength] != '=' ||
            (line.size() > kStatementLength + 1 && line[kStatementLength + 1] == ' ')) {
          return fail(lineNumber, "write the statement as .Language=Name,Description");
        }
        std::string value = line.substr(kStatementLength + 1);
        size_t comma = value.find(',');
        file->name = TrimBlanks(value.substr(0, comma));
        file->description = comma == std::string::npos ? std::string() : value.substr(comma + 1);
        if (file->name.empty()) return fail(lineNumber, ".Language without a language name");
        haveLanguage = true;
      }
      continue;
    }
    if (line[0] != '"') {
      return fail(lineNumber,
                  "neither a message in double quotes, a comment nor a control statement");
    }
    if (line.size() < 2 || line.back() != '"') {
      return fail(lineNumber, "message without its closing double quote");
    }
    if (!haveLanguage) return fail(lineNumber, "message before the .Language statement");
    file->messages.push_back(Unescape(line.substr(1, line.size() - 2)));
  }
  if (!haveLanguage) return fail(lineNumber == 0 ? 1 : lineNumber, "no .Language statement");
  if (file->messages.empty()) return fail(lineNumber, "no messages");
  return true;
}

unsigned LanguageCodePage(const std::string& languageName) {
  for (const char* cyrillic : {"Russian", "Ukrainian", "Belarusian", "Bulgarian", "Serbian"})
    if (CompareNoCase(languageName.c_str(), cyrillic) == 0) return 866;
  if (CompareNoCase(languageName.c_str(), "Greek") == 0) return 737;
  return 437;
}

void ToHostText(LanguageFile* file) {
  if (!HostSpeaksUtf8()) return;
  const unsigned codePage = LanguageCodePage(file->name);
  for (std::string& message : file->messages) message = CodePageToUtf8(codePage, message);
  file->description = CodePageToUtf8(codePage, file->description);
}

bool ChooseLanguage(const std::vector<LanguageFile>& files, const std::string& wanted,
                    size_t* chosen, std::string* error) {
  if (files.empty()) {
    *error = "no language file (.lng) beside the module";
    return false;
  }
  for (size_t i = 0; i < files.size(); ++i) {
    if (files[i].messages.size() != files[0].messages.size()) {
      *error = files[i].fileName + " holds " + std::to_string(files[i].messages.size()) +
               " messages but " + files[0].fileName + " holds " +
               std::to_string(files[0].messages.size()) + ": a message is missing";
      return false;
    }
    for (size_t k = 0; k < i; ++k) {
      if (CompareNoCase(files[i].name.c_str(), files[k].name.c_str()) == 0) {
        *error = files[k].fileName + " and " + files[i].fileName + " both are language " +
                 files[i].name;
        return false;
      }
    }
  }
  for (const std::string& name : {wanted, std::string("English")}) {
    for (size_t i = 0; i < files.size(); ++i) {
      if (CompareNoCase(files[i].name.c_str(), name.c_str()) == 0) {
        *chosen = i;
        return true;
      }
    }
  }
  *chosen = 0;
  return true;
}

}  // namespace hostsim
