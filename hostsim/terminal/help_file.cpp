#include "hostsim/terminal/help_file.h"

#include "hostsim/oem_case.h"

namespace hostsim::terminal {

namespace {

std::string StripTopicPrefix(const std::string& name) {
  std::string n = name;
  if (!n.empty() && n[0] == '<') {
    size_t close = n.find('>');
    n = close == std::string::npos ? std::string() : n.substr(close + 1);
  }
  if (!n.empty() && n[0] == ':') n.erase(0, 1);
  return n;
}

void Add(HelpLine* line, HelpSpan::Kind kind, const std::string& text, const std::string& target) {
  if (text.empty() && kind != HelpSpan::Link) return;
  if (!line->spans.empty() && kind != HelpSpan::Link && line->spans.back().kind == kind) {
    line->spans.back().text += text;
    return;
  }
  line->spans.push_back(HelpSpan{kind, text, target});
}

// Link text may carry highlight marks and doubled characters of its own.
std::string Unmark(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if ((s[i] == '#' || s[i] == '~' || s[i] == '@') && i + 1 < s.size() && s[i + 1] == s[i]) {
      out.push_back(s[i++]);
    } else if (s[i] != '#') {
      out.push_back(s[i]);
    }
  }
  return out;
}

}  // namespace

HelpLine ParseHelpLine(const std::string& raw) {
  HelpLine line;
  std::string s = raw;
  if (!s.empty() && s.back() == '\r') s.pop_back();
  if (!s.empty() && s[0] == '^') {
    line.centred = true;
    s.erase(0, 1);
  }
  bool bold = false;
  std::string run;
  auto flush = [&] {
    Add(&line, bold ? HelpSpan::Bold : HelpSpan::Plain, run, "");
    run.clear();
  };
  for (size_t i = 0; i < s.size(); ++i) {
    char c = s[i];
    if ((c == '#' || c == '~' || c == '@') && i + 1 < s.size() && s[i + 1] == c) {
      run.push_back(c);
      ++i;
    } else if (c == '#') {
      flush();
      bold = !bold;
    } else if (c == '~') {
      // ~text~@Topic@; without its target the '~' stands as it is.
      size_t close = i + 1;
      while (close < s.size()) {
        if (s[close] == '~' && close + 1 < s.size() && s[close + 1] == '~') {
          close += 2;
        } else if (s[close] == '~') {
          break;
        } else {
          ++close;
        }
      }
      size_t at2 = close + 1 < s.size() && s[close + 1] == '@' ? s.find('@', close + 2) : std::string::npos;
      if (close >= s.size() || at2 == std::string::npos) {
        run.push_back(c);
        continue;
      }
      flush();
      std::string target = s.substr(close + 2, at2 - close - 2);
      bool outside = target.find("://") != std::string::npos || target.find("mailto:") == 0;
      Add(&line, HelpSpan::Link, Unmark(s.substr(i + 1, close - i - 1)), outside ? "" : target);
      i = at2;
    } else {
      run.push_back(c);
    }
  }
  flush();
  return line;
}

std::string PlainText(const HelpLine& line) {
  std::string out;
  for (const auto& s : line.spans) out += s.text;
  return out;
}

bool ParseHelpFile(const std::string& content, HelpFile* file, std::string* error) {
  *file = HelpFile();
  HelpTopic* topic = nullptr;
  bool inHeader = false;
  int number = 0;
  for (size_t start = 0; start < content.size();) {
    size_t end = content.find('\n', start);
    if (end == std::string::npos) end = content.size();
    std::string line = content.substr(start, end - start);
    start = end + 1;
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (topic == nullptr && !line.empty() && line[0] == '.') {
      size_t eq = line.find('=');
      std::string key = line.substr(1, eq == std::string::npos ? std::string::npos : eq - 1);
      std::string value = eq == std::string::npos ? "" : line.substr(eq + 1);
      if (key == "Language") file->language = value.substr(0, value.find(','));
      if (key == "PluginContents") file->contents = value;
      continue;
    }
    if (!line.empty() && line[0] == '@' && (line.size() < 2 || line[1] != '@')) {
      std::string name = line.substr(1);
      while (!name.empty() && name.back() == ' ') name.pop_back();
      if (name.empty()) {
        *error = "line " + std::to_string(number) + ": a topic without a name";
        return false;
      }
      // "@-" and "@+" switch the host's text formatting; they name no topic.
      if (name == "-" || name == "+") continue;
      file->topics.push_back(HelpTopic{name, "", {}, {}});
      topic = &file->topics.back();
      inHeader = true;
      continue;
    }
    if (topic == nullptr) continue;
    if (inHeader && !line.empty() && line[0] == '$') {
      HelpLine h = ParseHelpLine(line.substr(1));
      if (topic->title.empty()) {
        for (const auto& s : h.spans) {
          if (s.kind == HelpSpan::Bold) {
            topic->title = s.text;
            break;
          }
        }
        if (topic->title.empty()) topic->title = PlainText(h);
        size_t first = topic->title.find_first_not_of(' ');
        topic->title = first == std::string::npos ? "" : topic->title.substr(first);
      }
      topic->header.push_back(h);
      continue;
    }
    inHeader = false;
    topic->body.push_back(ParseHelpLine(line));
  }
  if (file->topics.empty()) {
    *error = "no topic in the file";
    return false;
  }
  // Blank lines at a topic's end are the gap before the next one.
  for (auto& t : file->topics) {
    while (!t.body.empty() && PlainText(t.body.back()).find_first_not_of(' ') == std::string::npos) {
      t.body.pop_back();
    }
  }
  return true;
}

const HelpTopic* HelpFile::Find(const std::string& name) const {
  std::string n = StripTopicPrefix(name);
  if (n.empty()) n = "Contents";
  for (const auto& t : topics) {
    if (t.name.size() == n.size() && CompareNoCase(t.name.c_str(), n.c_str()) == 0) return &t;
  }
  return nullptr;
}

}  // namespace hostsim::terminal
