#include "hostsim/script.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "hostsim/codepage.h"
#include "hostsim/dialog_engine.h"
#include "hostsim/fs.h"
#include "hostsim/host.h"
#include "hostsim/host_text.h"
#include "hostsim/item_labels.h"
#include "hostsim/keys.h"
#include "hostsim/loader.h"
#include "hostsim/oem_case.h"
#include "hostsim/transcript.h"
#include "sys/sys.h"

namespace hostsim {

namespace {

struct Token {
  std::string text;  // UTF-8
  bool quoted = false;
  bool suffixed = false;  // a quoted text followed by #N, +M or both
  int ordinal = 1;        // N
  int after = 0;          // M
};

// The number after line[*i] ('#' or '+'), from 1; moves *i past it.
bool SuffixNumber(const std::string& line, size_t* i, int* n) {
  size_t start = ++*i;
  *n = 0;
  while (*i < line.size() && line[*i] >= '0' && line[*i] <= '9' && *i - start < 6) {
    *n = *n * 10 + (line[(*i)++] - '0');
  }
  return *n >= 1;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool Tokenize(const std::string& line, std::vector<Token>* tokens, std::string* error) {
  tokens->clear();
  size_t i = 0;
  while (i < line.size()) {
    char c = line[i];
    if (c == ' ' || c == '\t' || c == '\r') {
      ++i;
      continue;
    }
    Token t;
    if (c == '"') {
      t.quoted = true;
      ++i;
      bool closed = false;
      while (i < line.size()) {
        char d = line[i++];
        if (d == '"') {
          closed = true;
          break;
        }
        if (d == '\\' && i < line.size()) {
          char e = line[i];
          if (e == 'n') { t.text += '\n'; ++i; continue; }
          if (e == 'r') { t.text += '\r'; ++i; continue; }
          if (e == 't') { t.text += '\t'; ++i; continue; }
          if (e == '"' || e == '\\') { t.text += e; ++i; continue; }
          if (e == 'x' && i + 2 < line.size() && HexDigit(line[i + 1]) >= 0 &&
              HexDigit(line[i + 2]) >= 0) {
            t.text += static_cast<char>(HexDigit(line[i + 1]) * 16 + HexDigit(line[i + 2]));
            i += 3;
            continue;
          }
          // Any other backslash stands for itself (Windows paths).
        }
        t.text += d;
      }
      if (!closed) {
        *error = "a quoted text is not closed";
        return false;
      }
      // "label"#N+M: the N-th item of that label, or the M-th item after it.
      if (i < line.size() && (line[i] == '#' || line[i] == '+')) {
        t.suffixed = true;
        if (line[i] == '#' && !SuffixNumber(line, &i, &t.ordinal)) {
          *error = "# after a quoted label takes a number from 1, as in \"Title\"#2";
          return false;
        }
        if (i < line.size() && line[i] == '+' && !SuffixNumber(line, &i, &t.after)) {
          *error = "+ after a quoted label takes a number from 1, as in \"Title\"+1";
          return false;
        }
        if (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') {
          *error = "a quoted label ends with #N, +M or both, as in \"Title\"#2+1";
          return false;
        }
      }
    } else {
      while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') {
        t.text += line[i++];
      }
    }
    tokens->push_back(t);
  }
  return true;
}

bool IsWord(const Token& t, const char* word) {
  return !t.quoted && t.text.size() == std::strlen(word) &&
         CompareNoCase(t.text.c_str(), word) == 0;
}

bool ToNumber(const Token& t, int* n) {
  if (t.quoted || t.text.empty()) return false;
  char* end = nullptr;
  long v = std::strtol(t.text.c_str(), &end, 10);
  if (end == nullptr || *end != '\0' || v < -1 || v > 1000000) return false;
  *n = static_cast<int>(v);
  return true;
}

bool IsInteraction(Step::Kind k) {
  return k == Step::Menu || k == Step::Dialog || k == Step::Message || k == Step::InputBox ||
         k == Step::Editor;
}

bool EqualNoCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && CompareNoCase(a.c_str(), b.c_str()) == 0;
}

// Parses one line's tokens into `step`; false with a reason.
class LineParser {
 public:
  LineParser(const std::vector<Token>& tokens, Step* step) : t_(tokens), s_(step) {}

  bool Parse(std::string* why) {
    why_ = why;
    if (!ParseCommand()) return false;
    for (size_t i = 0; i < t_.size(); ++i) {
      if (t_[i].suffixed && i != itemToken_) return Bad("#N and +M follow only an item's label");
    }
    return true;
  }

 private:
  bool ParseCommand() {
    const std::string& cmd = t_[0].text;
    if (t_[0].quoted) return Bad("a line starts with a command, not a quoted text");
    auto is = [&](const char* c) { return EqualNoCase(cmd, c); };
    if (is("panel")) return ParsePanel();
    if (is("select") || is("unselect")) {
      s_->kind = is("select") ? Step::Select : Step::Unselect;
      if (t_.size() < 2) return Bad("names are missing");
      for (size_t i = 1; i < t_.size(); ++i) {
        std::string name;
        if (!Host(t_[i], &name)) return false;
        s_->names.push_back(name);
      }
      return true;
    }
    if (is("cursor")) {
      s_->kind = Step::Cursor;
      return Count(2) && Host(t_[1], &s_->text);
    }
    if (is("invoke")) return ParseInvoke();
    if (is("menu")) return ParseMenu();
    if (is("dialog")) return ParseDialog();
    if (is("message")) return ParseMessage();
    if (is("inputbox")) return ParseInputBox();
    if (is("editor-content")) {
      s_->kind = Step::Editor;
      s_->action = "save";
      return Count(2) && Host(t_[1], &s_->text);
    }
    if (is("editor-unchanged")) {
      s_->kind = Step::Editor;
      s_->action = "leave";
      return Count(1);
    }
    if (is("expect-end")) {
      s_->kind = Step::ExpectEnd;
      return Count(1);
    }
    if (is("expect-selected")) {
      s_->kind = Step::ExpectSelected;
      if (t_.size() < 2) return Bad("names (or none) are missing");
      if (t_.size() == 2 && IsWord(t_[1], "none")) return true;
      for (size_t i = 1; i < t_.size(); ++i) {
        std::string name;
        if (!Host(t_[i], &name)) return false;
        s_->names.push_back(name);
      }
      return true;
    }
    if (is("expect-output")) {
      s_->kind = Step::ExpectOutput;
      return Count(2) && Host(t_[1], &s_->text);
    }
    if (is("expect-file")) {
      s_->kind = Step::ExpectFile;
      return Count(3) && Host(t_[1], &s_->path) && Host(t_[2], &s_->text);
    }
    if (is("expect-no-file")) {
      s_->kind = Step::ExpectNoFile;
      return Count(2) && Host(t_[1], &s_->path);
    }
    if (is("echo")) {
      s_->kind = Step::Echo;
      std::string all;
      for (size_t i = 1; i < t_.size(); ++i) all += (i > 1 ? " " : "") + t_[i].text;
      Token joined{all, true};
      return Host(joined, &s_->text);
    }
    return Bad("unknown command \"" + cmd + "\"");
  }

  bool Bad(const std::string& why) {
    *why_ = why;
    return false;
  }
  bool Count(size_t n) {
    if (t_.size() < n) return Bad("a value is missing");
    if (t_.size() > n) return Bad("unexpected \"" + t_[n].text + "\"");
    return true;
  }
  // A token as the host's text.
  bool Host(const Token& t, std::string* out) {
    if (!Utf8ToHost(t.text, out)) {
      return Bad("\"" + t.text + "\" holds characters the OEM code page lacks");
    }
    return true;
  }
  // A key name, as the host's text.
  bool Key(const Token& t, DWORD* key) {
    std::string name;
    return Utf8ToHost(t.text, &name) && ParseKeyName(name, key);
  }
  bool Num(size_t i, int* n, const char* what) {
    if (i >= t_.size()) return Bad(std::string(what) + " is missing");
    if (!ToNumber(t_[i], n)) return Bad(std::string(what) + " \"" + t_[i].text + "\" is no number");
    return true;
  }

  // An item: its number, or its label in quotes with an optional #N and +M.
  bool ItemRef(size_t i) {
    if (i < t_.size() && t_[i].quoted) {
      if (t_[i].text.empty()) return Bad("an item's label is not empty");
      itemToken_ = i;
      s_->ordinal = t_[i].ordinal;
      s_->after = t_[i].after;
      return Host(t_[i], &s_->label);
    }
    return Num(i, &s_->item, "the item number or label");
  }

  bool ParsePanel() {
    s_->kind = Step::Panel;
    if (t_.size() < 2) return Bad("the folder is missing");
    if (!Host(t_[1], &s_->path)) return false;
    for (size_t i = 2; i < t_.size();) {
      if (IsWord(t_[i], "select")) {
        ++i;
        size_t before = s_->names.size();
        while (i < t_.size() && !IsWord(t_[i], "cursor") && !IsWord(t_[i], "realnames") &&
               !IsWord(t_[i], "select")) {
          std::string name;
          if (!Host(t_[i++], &name)) return false;
          s_->names.push_back(name);
        }
        if (s_->names.size() == before) return Bad("select without names");
      } else if (IsWord(t_[i], "cursor")) {
        if (i + 1 >= t_.size()) return Bad("cursor without a name");
        if (!Host(t_[i + 1], &s_->cursor)) return false;
        i += 2;
      } else if (IsWord(t_[i], "realnames")) {
        if (i + 1 >= t_.size() || !(IsWord(t_[i + 1], "on") || IsWord(t_[i + 1], "off"))) {
          return Bad("realnames takes on or off");
        }
        s_->panelFlags = IsWord(t_[i + 1], "on") ? static_cast<DWORD>(PFLAGS_REALNAMES) : 0u;
        i += 2;
      } else {
        return Bad("unexpected \"" + t_[i].text + "\" (select, cursor or realnames)");
      }
    }
    return true;
  }

  bool ParseInvoke() {
    s_->kind = Step::Invoke;
    if (t_.size() < 2) return Bad("invoke what: menu, command, configure or info");
    if (IsWord(t_[1], "menu") || IsWord(t_[1], "configure")) {
      s_->action = IsWord(t_[1], "menu") ? "menu" : "configure";
      if (t_.size() == 3) return Num(2, &s_->number, "the item number");
      return Count(2);
    }
    if (IsWord(t_[1], "command")) {
      s_->action = "command";
      return Count(3) && Host(t_[2], &s_->text);
    }
    if (IsWord(t_[1], "info")) {
      s_->action = "info";
      return Count(2);
    }
    return Bad("invoke what: menu, command, configure or info");
  }

  // An optional MATCH: a quoted word or "*".
  size_t Match(size_t i) {
    if (i < t_.size() && (t_[i].quoted || t_[i].text == "*")) {
      Host(t_[i], &s_->match);
      return i + 1;
    }
    return i;
  }

  bool ParseMenu() {
    s_->kind = Step::Menu;
    size_t i = Match(1);
    if (i >= t_.size()) return Bad("what to do with the menu: choose N, enter, esc or break KEY");
    const Token& a = t_[i];
    if (IsWord(a, "choose")) {
      s_->action = "choose";
      return Num(i + 1, &s_->item, "the item number") && Count(i + 2);
    }
    if (IsWord(a, "enter") || IsWord(a, "esc")) {
      s_->action = IsWord(a, "enter") ? "enter" : "esc";
      return Count(i + 1);
    }
    if (IsWord(a, "break")) {
      s_->action = "break";
      DWORD key;
      if (i + 1 >= t_.size() || !Key(t_[i + 1], &key) || !KeyToBreakKey(key, &s_->breakKey)) {
        return Bad("break needs a key name such as F6, Del or CtrlUp");
      }
      if (i + 2 < t_.size()) {
        if (!IsWord(t_[i + 2], "on")) return Bad("unexpected \"" + t_[i + 2].text + "\"");
        return Num(i + 3, &s_->item, "the item number") && Count(i + 4);
      }
      return true;
    }
    return Bad("what to do with the menu: choose N, enter, esc or break KEY");
  }

  bool ParseDialog() {
    s_->kind = Step::Dialog;
    if (t_.size() < 3) return Bad("dialog MATCH ACTION");
    if (!Host(t_[1], &s_->match)) return false;
    const Token& a = t_[2];
    s_->action = a.text;
    for (char& c : s_->action) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    const std::string& act = s_->action;
    if (a.quoted) return Bad("the action is a word, not a quoted text");
    if (act == "enter" || act == "esc") return Count(3);
    if (!ItemRef(3)) return false;
    if (act == "check" || act == "uncheck" || act == "choose" || act == "focus" || act == "press") {
      return Count(4);
    }
    if (act == "set" || act == "type") return Count(5) && Host(t_[4], &s_->text);
    if (act == "select") {
      if (!Count(5)) return false;
      s_->quotedText = t_[4].quoted;
      if (t_[4].quoted) return Host(t_[4], &s_->text);
      return Num(4, &s_->number, "the entry number");
    }
    if (act == "key") {
      if (t_.size() < 5) return Bad("key names are missing");
      for (size_t i = 4; i < t_.size(); ++i) {
        DWORD key;
        if (!Key(t_[i], &key)) return Bad("unknown key \"" + t_[i].text + "\"");
        s_->keys.push_back(key);
      }
      return true;
    }
    if (act == "expect") {
      if (t_.size() < 5) return Bad("expect what");
      if (t_[4].quoted) {
        s_->quotedText = true;
        return Count(5) && Host(t_[4], &s_->text);
      }
      static const char* const kStates[] = {"checked", "unchecked", "enabled", "disabled",
                                            "focused", "hidden", "visible"};
      for (const char* state : kStates) {
        if (IsWord(t_[4], state)) {
          s_->text = state;
          return Count(5);
        }
      }
      if (IsWord(t_[4], "cursor") || IsWord(t_[4], "entry")) {
        s_->text = IsWord(t_[4], "cursor") ? "cursor" : "entry";
        return Num(5, &s_->number, "the number") && Count(6);
      }
      return Bad("expect N \"text\", or a state, cursor C or entry E");
    }
    return Bad("unknown dialog action \"" + a.text + "\"");
  }

  size_t Expects(size_t i) {
    while (i + 1 < t_.size() && IsWord(t_[i], "expect")) {
      std::string text;
      if (!Host(t_[i + 1], &text)) return t_.size() + 1;
      s_->expects.push_back(text);
      i += 2;
    }
    return i;
  }

  bool ParseMessage() {
    s_->kind = Step::Message;
    size_t i = Expects(1);
    if (i > t_.size()) return false;
    if (i < t_.size() && IsWord(t_[i], "esc")) {
      s_->action = "esc";
      return Count(i + 1);
    }
    if (i < t_.size() && IsWord(t_[i], "button")) {
      s_->action = "button";
      return Num(i + 1, &s_->item, "the button number") && Count(i + 2);
    }
    return Bad("answer the message with button N or esc");
  }

  bool ParseInputBox() {
    s_->kind = Step::InputBox;
    size_t i = Expects(1);
    if (i > t_.size()) return false;
    if (i < t_.size() && IsWord(t_[i], "cancel")) {
      s_->action = "cancel";
      return Count(i + 1);
    }
    if (i < t_.size()) {
      s_->action = "text";
      return Count(i + 1) && Host(t_[i], &s_->text);
    }
    return Bad("answer the input box with a text or cancel");
  }

  const std::vector<Token>& t_;
  Step* s_;
  std::string* why_ = nullptr;
  size_t itemToken_ = 0;  // the token that names the item by label, if any
};

}  // namespace

bool ParseScript(const std::string& utf8, std::vector<Step>* steps, std::string* error) {
  steps->clear();
  size_t start = 0;
  int lineNumber = 0;
  while (start <= utf8.size()) {
    size_t end = utf8.find('\n', start);
    if (end == std::string::npos) end = utf8.size();
    std::string line = utf8.substr(start, end - start);
    start = end + 1;
    ++lineNumber;
    if (lineNumber == 1 && line.compare(0, 3, "\xEF\xBB\xBF") == 0) line.erase(0, 3);
    size_t first = line.find_first_not_of(" \t\r");
    if (first == std::string::npos || line[first] == '#') continue;
    std::vector<Token> tokens;
    std::string why;
    if (!Tokenize(line, &tokens, &why)) {
      *error = "line " + std::to_string(lineNumber) + ": " + why;
      return false;
    }
    Step step;
    step.line = lineNumber;
    std::string trimmed = line.substr(first);
    while (!trimmed.empty() && (trimmed.back() == ' ' || trimmed.back() == '\r')) trimmed.pop_back();
    Utf8ToHost(trimmed, &step.source);
    LineParser parser(tokens, &step);
    if (!parser.Parse(&why)) {
      *error = "line " + std::to_string(lineNumber) + ": " + why;
      return false;
    }
    steps->push_back(step);
    if (end == utf8.size()) break;
  }
  return true;
}

// ---------------------------------------------------------------- the driver

ScriptDriver::ScriptDriver(Host& host, PluginModule* module, std::vector<Step> steps,
                           std::string base)
    : host_(host), module_(module), steps_(std::move(steps)), base_(std::move(base)) {}

const std::string& ScriptDriver::failure() const { return host_.failure(); }

bool ScriptDriver::Fail(const Step& step, const std::string& why) {
  host_.Fail("line " + std::to_string(step.line) + ": " + why);
  return false;
}

std::string ScriptDriver::Resolve(const std::string& path) const {
  bool absolute = !path.empty() && (path[0] == '/' || path[0] == '\\' ||
                                    (path.size() >= 2 && path[1] == ':'));
  return AbsolutePath(absolute ? path : JoinPath(base_, path));
}

const Step* ScriptDriver::Take(Step::Kind kind, const std::string& shown) {
  if (host_.failed()) return nullptr;
  if (next_ >= steps_.size()) {
    host_.Fail(shown + " appeared, but the script has no more lines");
    return nullptr;
  }
  const Step& s = steps_[next_];
  if (s.kind != kind) {
    Fail(s, "the script expects `" + s.source + "`, but " + shown + " appeared");
    return nullptr;
  }
  ++next_;
  return &s;
}

bool ScriptDriver::Run() {
  while (next_ < steps_.size() && !host_.failed()) {
    const Step& s = steps_[next_];
    if (IsInteraction(s.kind)) {
      return Fail(s, "the script expects `" + s.source +
                         "`, but nothing is on screen: no invocation is running");
    }
    ++next_;
    RunStep(s);
  }
  return !host_.failed();
}

bool ScriptDriver::RunStep(const Step& s) {
  Transcript& log = host_.transcript();
  Panel& panel = host_.panel();
  switch (s.kind) {
    case Step::Panel: {
      std::string folder = Resolve(s.path);
      std::string error;
      if (!panel.Open(folder, &error)) return Fail(s, error);
      log.AddSubstitution(folder, "panel");
      ChangeFolder(folder);  // the host works in the active panel's folder
      panel.SetFlags(s.panelFlags);  // a panel of real files unless the line says otherwise
      for (const auto& name : s.names) {
        if (!panel.Select(name, true)) return Fail(s, "the panel has no item " + Quote(name));
      }
      if (!s.cursor.empty() && !panel.SetCursor(s.cursor)) {
        return Fail(s, "the panel has no item " + Quote(s.cursor));
      }
      const auto& items = panel.items();
      std::string cursor = panel.cursor() < static_cast<int>(items.size())
                               ? items[panel.cursor()].FindData.cFileName
                               : "";
      log.Add("panel " + folder + ": " + std::to_string(items.size()) + " items, selected " +
              JoinNames(panel.SelectedNames()) + ", cursor " + Quote(cursor) +
              ((panel.flags() & PFLAGS_REALNAMES) ? "" : ", not real files"));
      return true;
    }
    case Step::Select:
    case Step::Unselect:
      for (const auto& name : s.names) {
        if (!panel.Select(name, s.kind == Step::Select)) {
          return Fail(s, "the panel has no item " + Quote(name));
        }
      }
      log.Add("panel: selected " + JoinNames(panel.SelectedNames()));
      return true;
    case Step::Cursor:
      if (!panel.SetCursor(s.text)) return Fail(s, "the panel has no item " + Quote(s.text));
      log.Add("panel: cursor " + Quote(s.text));
      return true;
    case Step::Invoke:
      return Invoke(s);
    case Step::ExpectEnd:
      if (host_.openDialogs() != 0) return Fail(s, "a dialog is still open");
      if (host_.savedScreens() != 0) {
        return Fail(s, std::to_string(host_.savedScreens()) +
                           " screen(s) saved with SaveScreen were never restored");
      }
      return true;
    case Step::ExpectSelected: {
      std::vector<std::string> want = s.names, have = panel.SelectedNames();
      std::sort(want.begin(), want.end());
      std::sort(have.begin(), have.end());
      if (want != have) {
        return Fail(s, "the panel has selected " + JoinNames(panel.SelectedNames()) +
                           ", the script expects " + JoinNames(s.names));
      }
      return true;
    }
    case Step::ExpectOutput:
      if (!log.Contains(HostToUtf8(s.text), invocationStart_)) {
        return Fail(s, "the transcript of the last invocation has no " + Quote(s.text));
      }
      return true;
    case Step::ExpectFile: {
      std::string content;
      std::string path = Resolve(s.path);
      if (!ReadWholeFile(path, &content)) return Fail(s, "cannot read " + Quote(s.path));
      if (content.find(s.text) == std::string::npos) {
        return Fail(s, Quote(s.path) + " does not hold " + Quote(s.text));
      }
      return true;
    }
    case Step::ExpectNoFile:
      if (sys::Exists(Resolve(s.path))) return Fail(s, Quote(s.path) + " exists");
      return true;
    case Step::Echo:
      log.Add(s.text);
      return true;
    default:
      return Fail(s, "`" + s.source + "` cannot run here");
  }
}

bool ScriptDriver::Invoke(const Step& s) {
  Transcript& log = host_.transcript();
  if (module_ == nullptr || !module_->loaded()) return Fail(s, "no plug-in is loaded");
  log.Add("== " + s.source);
  invocationStart_ = log.size();
  if (s.action == "menu") {
    module_->OpenPlugin(OPEN_PLUGINSMENU, s.number >= 0 ? s.number : 0);
  } else if (s.action == "configure") {
    module_->Configure(s.number >= 0 ? s.number : 0);
  } else if (s.action == "info") {
    PluginInfoCopy info;
    module_->GetPluginInfo(&info);
  } else if (s.action == "command") {
    // The host keeps what GetPluginInfo said; it asks only when it has nothing.
    PluginInfoCopy info = module_->lastInfo();
    if (info.commandPrefix.empty()) module_->GetPluginInfo(&info);
    // The host finds the plug-in by its prefix; several are separated by ':'.
    size_t colon = s.text.find(':');
    std::string prefix = colon == std::string::npos ? std::string() : s.text.substr(0, colon);
    bool known = false;
    for (size_t start = 0; start <= info.commandPrefix.size();) {
      size_t end = info.commandPrefix.find(':', start);
      if (end == std::string::npos) end = info.commandPrefix.size();
      std::string p = info.commandPrefix.substr(start, end - start);
      if (!p.empty() && EqualNoCase(p, prefix)) known = true;
      start = end + 1;
    }
    if (!known) {
      return Fail(s, "the plug-in has no command prefix " + Quote(prefix) + " (its prefixes: " +
                         Quote(info.commandPrefix) + ")");
    }
    // A writable copy of the text after the prefix and its colon.
    std::string rest = s.text.substr(colon + 1);
    std::vector<char> buffer(std::max<size_t>(rest.size() + 1, 1024), '\0');
    std::memcpy(buffer.data(), rest.data(), rest.size());
    module_->OpenPlugin(OPEN_COMMANDLINE, reinterpret_cast<intptr_t>(buffer.data()));
  }
  if (!host_.postedKeys().empty()) {
    std::string keys;
    for (DWORD k : host_.postedKeys()) keys.append(" ").append(KeyName(k));
    log.Add("keys left unused after the invocation:" + keys);
    host_.postedKeys().clear();
  }
  if (!host_.failed() && next_ < steps_.size() && IsInteraction(steps_[next_].kind)) {
    const Step& n = steps_[next_];
    return Fail(n, "the script expects `" + n.source + "`, but the invocation ended without it");
  }
  return !host_.failed();
}

MenuAnswer ScriptDriver::Menu(const MenuRequest& menu) {
  MenuAnswer a;
  std::string shown = "the menu " + Quote(menu.title);
  if (!menu.helpTopic.empty()) shown += " (help " + Quote(menu.helpTopic) + ")";
  if (next_ < steps_.size() && steps_[next_].kind == Step::Menu) {
    const Step& s = steps_[next_];
    if (!s.match.empty() && s.match != "*" && !EqualNoCase(s.match, menu.title) &&
        !EqualNoCase(s.match, menu.helpTopic)) {
      Fail(s, "the script expects `" + s.source + "`, but " + shown + " appeared");
      return a;
    }
  }
  const Step* s = Take(Step::Menu, shown);
  if (s == nullptr) return a;
  if (s->action == "choose") {
    a.kind = MenuAnswer::Choose;
    a.item = s->item;
  } else if (s->action == "enter") {
    a.kind = MenuAnswer::Enter;
  } else if (s->action == "break") {
    a.kind = MenuAnswer::BreakKey;
    a.breakKey = s->breakKey;
    a.item = s->item;
  }
  return a;
}

void ScriptDriver::RunDialog(DialogEngine& dialog) {
  while (!dialog.closed()) {
    if (host_.failed()) {
      dialog.ForceClose();
      return;
    }
    std::string shown = "the dialog " + Quote(dialog.name());
    if (next_ >= steps_.size()) {
      host_.Fail(shown + " is open, but the script has no more lines");
      dialog.ForceClose();
      return;
    }
    const Step& s = steps_[next_];
    bool matches = s.kind == Step::Dialog &&
                   (s.match.empty() || s.match == "*" || EqualNoCase(s.match, dialog.helpTopic()) ||
                    EqualNoCase(s.match, dialog.title()));
    if (!matches) {
      Fail(s, "the script expects `" + s.source + "`, but " + shown + " is open");
      dialog.ForceClose();
      return;
    }
    ++next_;
    host_.transcript().Add("> " + s.source);
    if (!DialogAction(dialog, s)) {
      dialog.ForceClose();
      return;
    }
  }
}

bool ScriptDriver::DialogAction(DialogEngine& d, const Step& step) {
  std::string error;
  Step s = step;
  if (!s.label.empty()) {
    s.item = FindLabelledItem(d, s.label, s.ordinal, &error);
    if (s.item < 0) return Fail(s, error);
    s.item += s.after;
  }
  bool ok = true;
  const std::string& a = s.action;
  if (a == "set") {
    ok = d.SetText(s.item, s.text, &error);
  } else if (a == "check" || a == "uncheck") {
    ok = d.SetCheck(s.item, a == "check" ? 1 : 0, &error);
  } else if (a == "choose") {
    ok = d.ChooseRadio(s.item, &error);
  } else if (a == "select") {
    ok = s.quotedText ? d.ChooseEntry(s.item, s.text, &error) : d.ChooseEntry(s.item, s.number, &error);
  } else if (a == "type") {
    ok = d.Type(s.item, s.text, &error);
  } else if (a == "key") {
    ok = d.Keys(s.item, s.keys, &error);
  } else if (a == "focus") {
    ok = d.Focus(s.item, &error);
  } else if (a == "press") {
    ok = d.Press(s.item, &error);
  } else if (a == "enter") {
    d.Enter();
  } else if (a == "esc") {
    d.Escape();
  } else if (a == "expect") {
    if (s.item < 0 || s.item >= d.count()) {
      error = "the dialog has no item " + std::to_string(s.item);
      ok = false;
    } else if (s.quotedText) {
      if (d.text(s.item) != s.text) {
        error = "item " + std::to_string(s.item) + " holds " + Quote(d.text(s.item)) +
                ", the script expects " + Quote(s.text);
        ok = false;
      }
    } else {
      const std::string& state = s.text;
      bool holds = true;
      std::string actual;
      if (state == "checked" || state == "unchecked") {
        holds = (d.check(s.item) != 0) == (state == "checked");
        actual = "state " + std::to_string(d.check(s.item));
      } else if (state == "enabled" || state == "disabled") {
        holds = d.enabled(s.item) == (state == "enabled");
        actual = d.enabled(s.item) ? "enabled" : "disabled";
      } else if (state == "hidden" || state == "visible") {
        holds = d.visible(s.item) == (state == "visible");
        actual = d.visible(s.item) ? "visible" : "hidden";
      } else if (state == "focused") {
        holds = d.focus() == s.item;
        actual = "the focus on item " + std::to_string(d.focus());
      } else if (state == "cursor") {
        holds = d.cursorColumn(s.item) == s.number;
        actual = "the cursor in column " + std::to_string(d.cursorColumn(s.item));
      } else if (state == "entry") {
        holds = d.listPos(s.item) == s.number;
        actual = "entry " + std::to_string(d.listPos(s.item));
      }
      if (!holds) {
        error = "item " + std::to_string(s.item) + " is not " + state + " (" + actual + ")";
        ok = false;
      }
    }
  }
  if (!ok) return Fail(s, error);
  return !host_.failed();
}

int ScriptDriver::Message(const MessageRequest& message) {
  std::string all = message.title;
  for (const auto& l : message.lines) all += "\n" + l;
  std::string brief = message.title;
  for (const auto& l : message.lines) brief += " / " + l;
  const Step* s = Take(Step::Message, "the message " + Quote(brief));
  if (s == nullptr) return -1;
  for (const auto& e : s->expects) {
    if (all.find(e) == std::string::npos) {
      Fail(*s, "the message shows " + Quote(brief) + ", the script expects " + Quote(e));
      return -1;
    }
  }
  return s->action == "button" ? s->item : -1;
}

InputBoxAnswer ScriptDriver::InputBox(const InputBoxRequest& box) {
  InputBoxAnswer a;
  std::string brief = box.title + " / " + box.prompt;
  const Step* s = Take(Step::InputBox, "the input box " + Quote(brief));
  if (s == nullptr) return a;
  std::string all = box.title + "\n" + box.prompt + "\n" + box.initial;
  for (const auto& e : s->expects) {
    if (all.find(e) == std::string::npos) {
      Fail(*s, "the input box shows " + Quote(brief) + ", the script expects " + Quote(e));
      return a;
    }
  }
  a.confirmed = s->action == "text";
  a.text = s->text;
  return a;
}

EditorAnswer ScriptDriver::Editor(const EditorRequest& editor) {
  EditorAnswer a;
  const Step* s = Take(Step::Editor, "the editor " + Quote(editor.title));
  if (s == nullptr) return a;
  a.save = s->action == "save";
  a.content = s->text;
  return a;
}

}  // namespace hostsim
