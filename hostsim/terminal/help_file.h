// The host's help files (.hlf): a header of ".Name=value" lines
// (".Language=English,English"), then topics. A topic starts with a line
// "@Name"; its first lines starting with '$' are its fixed header ("$ #Title#").
// In the text, #...# is highlighted, ~text~@Topic@ is a link to a topic, and
// "##", "~~" and "@@" stand for the characters themselves; a line starting
// with '^' is centred. The text is the host's text (the terminal driver
// converts a file from its language's code page where the host speaks UTF-8).
#pragma once

#include <string>
#include <vector>

namespace hostsim::terminal {

struct HelpSpan {
  enum Kind { Plain, Bold, Link } kind = Plain;
  std::string text;    // the host's text, without the marks
  std::string target;  // Link: the topic ("" for a link that leads outside the file)
};

struct HelpLine {
  std::vector<HelpSpan> spans;
  bool centred = false;
};

struct HelpTopic {
  std::string name;
  std::string title;  // the highlighted text of the first header line
  std::vector<HelpLine> header;
  std::vector<HelpLine> body;
};

struct HelpFile {
  std::string language;  // the name before the comma of .Language
  std::string contents;  // .PluginContents
  std::vector<HelpTopic> topics;
  // Ignoring case; a leading "<folder>" or ':' of the host's topic syntax is
  // skipped. nullptr when absent.
  const HelpTopic* Find(const std::string& name) const;
};

// False with "line N: reason" when the file has no topic at all or a topic
// without a name.
bool ParseHelpFile(const std::string& content, HelpFile* file, std::string* error);
// One text line with its marks.
HelpLine ParseHelpLine(const std::string& line);
// The line as plain text.
std::string PlainText(const HelpLine& line);

}  // namespace hostsim::terminal
