#include "hostsim/terminal/terminal_host.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "hostsim/codepage.h"
#include "hostsim/fs.h"
#include "hostsim/host.h"
#include "hostsim/host_text.h"
#include "hostsim/loader.h"
#include "hostsim/masks.h"
#include "hostsim/oem_case.h"
#include "hostsim/panel.h"
#include "hostsim/terminal/host_help.h"
#include "hostsim/terminal/screen.h"
#include "hostsim/terminal/terminal_driver.h"
#include "sys/sys.h"

namespace hostsim::terminal {

namespace {

// The key hints of the status line, the most needed first.
constexpr const char* kHints[] = {"F10/q Quit", "F1 Help", "F11/F9/m Plug-ins", "F12/c Configure",
                                  "Ins Select", ": Command", "Enter Open"};

bool IsFolder(const PluginPanelItem& item) {
  return (item.FindData.dwFileAttributes & FAR_FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::string SizeColumn(const PluginPanelItem& item) {
  if (std::strcmp(item.FindData.cFileName, "..") == 0) return "Up";
  if (IsFolder(item)) return "Folder";
  unsigned long long size =
      (static_cast<unsigned long long>(item.FindData.nFileSizeHigh) << 32) | item.FindData.nFileSizeLow;
  return std::to_string(size);
}

std::string DateColumn(const PluginPanelItem& item) {
  const FarFileTime& t = item.FindData.ftLastWriteTime;
  unsigned long long ticks = (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
  // FILETIME counts 100 ns from 1601; 11644473600 seconds lie between then and 1970.
  constexpr unsigned long long kEpochSeconds = 11644473600ULL;
  if (ticks / 10000000ULL < kEpochSeconds) return "";
  std::time_t seconds = static_cast<std::time_t>(ticks / 10000000ULL - kEpochSeconds);
  std::tm local{};
  if (localtime_r(&seconds, &local) == nullptr) return "";
  char text[32];
  std::strftime(text, sizeof(text), "%Y-%m-%d %H:%M", &local);
  return text;
}

// The panel's folder is absolute and in the system's own form.
std::string Parent(const std::string& folder) { return AbsolutePath(JoinPath(folder, "..")); }

std::string LastName(const std::string& folder) {
  size_t cut = folder.find_last_of(sys::kPathSeparator);
  return cut == std::string::npos ? folder : folder.substr(cut + 1);
}

// The end of `text` that takes at most `columns` columns, in whole characters.
std::string TailColumns(const std::string& text, int columns) {
  size_t start = text.size();
  int used = 0;
  while (start > 0) {
    const size_t before = PreviousHostChar(text, start);
    const int width = HostColumns(std::string_view(text).substr(before, start - before));
    if (used + width > columns) break;
    used += width;
    start = before;
  }
  return text.substr(start);
}

std::string PadLeft(const std::string& s, size_t n) {
  return s.size() >= n ? s.substr(0, n) : std::string(n - s.size(), ' ') + s;
}

class App {
 public:
  App(Host& host, PluginModule& module, Screen& screen)
      : host_(host), module_(module), screen_(screen), driver_(host, screen, module) {
    driver_.SetBackground([this](Canvas& c) { DrawPanel(c, host_.panel(), &state_); });
  }

  // The panel shows `folder` already; the cursor goes to `cursor` when it is
  // not empty.
  int Run(const std::string& folder, const std::string& cursor) {
    host_.SetDriver(&driver_);
    ChangeFolder(folder);
    if (!cursor.empty()) panel().SetCursor(cursor);
    WarnWhenSettingsCannotBeStored();
    for (;;) {
      driver_.Redraw();
      KeyEvent k = driver_.ReadKey();
      if (!Handle(k)) break;
      if (host_.failed()) {
        driver_.Notice("Tagwright host",
                       {"The plug-in used the host wrongly; the host stops:", host_.failure()}, true);
        host_.SetDriver(nullptr);
        return 1;
      }
    }
    host_.SetDriver(nullptr);
    return 0;
  }

 private:
  Panel& panel() { return host_.panel(); }

  // Once, at the start: a plug-in whose settings cannot be stored would lose
  // every change of them.
  void WarnWhenSettingsCannotBeStored() {
    std::string where;
    if (sys::RegStorable(&where)) return;
    const std::string reason = sys::ErrorText(sys::LastError());
    std::string path;
    Utf8ToHost(where, &path);
    driver_.Redraw();
    driver_.Notice("Settings", {"The settings cannot be stored in", path, reason,
                                "Changed settings will not be kept.",
                                "Set TAGWRIGHT_REGISTRY to a file in a writable folder."},
                   true);
  }

  bool Open(const std::string& folder, const std::string& cursor, std::string* error) {
    if (!panel().Open(folder, error)) return false;
    ChangeFolder(folder);
    if (!cursor.empty()) panel().SetCursor(cursor);
    state_.top = 0;
    return true;
  }

  void Enter(const std::string& folder, const std::string& cursor) {
    std::string error;
    std::string previous = panel().folder();
    if (!Open(folder, cursor, &error)) {
      driver_.Notice("Error", {error}, true);
      std::string ignored;
      Open(previous, "", &ignored);
    }
  }

  void MoveCursor(int to) {
    const auto& items = panel().items();
    if (items.empty()) return;
    to = std::clamp(to, 0, static_cast<int>(items.size()) - 1);
    panel().SetCursor(items[to].FindData.cFileName);
  }

  int PageRows() const { return std::max(1, screen_.height() - 6); }

  void AfterInvocation() {
    host_.postedKeys().clear();
    panel().Refresh();
  }

  void PluginsMenu() {
    PluginInfoCopy info;
    module_.GetPluginInfo(&info);
    if (info.menuStrings.empty()) return;
    int item = driver_.HostMenu("Plugin commands", info.menuStrings, "");
    if (item < 0) return;
    module_.OpenPlugin(OPEN_PLUGINSMENU, item);
    AfterInvocation();
  }

  void ConfigureMenu() {
    PluginInfoCopy info;
    module_.GetPluginInfo(&info);
    if (info.configStrings.empty() || !module_.HasConfigure()) return;
    int item = driver_.HostMenu("Plugins configuration", info.configStrings, "");
    if (item < 0) return;
    module_.Configure(item);
    AfterInvocation();
  }

  void RunCommand() {
    std::string line = state_.command;
    PluginInfoCopy info = module_.lastInfo();
    if (info.commandPrefix.empty()) module_.GetPluginInfo(&info);
    std::string rest;
    if (!MatchCommandPrefix(info.commandPrefix, line, &rest)) {
      driver_.Notice("Command line", {"No plug-in takes this command: " + line,
                                      "Prefixes: " + info.commandPrefix + ":"},
                     true);
      return;
    }
    state_.command.clear();
    state_.commandFocused = false;
    std::vector<char> buffer(std::max<size_t>(rest.size() + 1, 1024), '\0');
    std::memcpy(buffer.data(), rest.data(), rest.size());
    module_.OpenPlugin(OPEN_COMMANDLINE, reinterpret_cast<intptr_t>(buffer.data()));
    AfterInvocation();
  }

  bool HandleCommandKey(const KeyEvent& k) {
    switch (k.kind) {
      case KeyEvent::Esc:
        state_.command.clear();
        state_.commandFocused = false;
        return true;
      case KeyEvent::Backspace:
        state_.command.resize(PreviousHostChar(state_.command, state_.command.size()));
        if (state_.command.empty()) state_.commandFocused = false;
        return true;
      case KeyEvent::Enter:
        if (!state_.command.empty()) RunCommand();
        return true;
      case KeyEvent::Char: {
        if (k.ctrl || k.alt) return false;
        const HostChar c = KeyChar(HostKey(k));
        if (c != 0 && state_.command.size() < 1000) AppendHostChar(c, &state_.command);
        return true;
      }
      default:
        return false;
    }
  }

  // False to quit.
  bool Handle(const KeyEvent& k) {
    if (state_.commandFocused && HandleCommandKey(k)) return true;
    const auto& items = panel().items();
    int cursor = panel().cursor();
    bool plain = !k.ctrl && !k.alt && !k.shift;
    switch (k.kind) {
      case KeyEvent::Function:
        if (k.fn == 10 && plain) return false;
        if ((k.fn == 11 || k.fn == 9) && plain) PluginsMenu();
        if (k.fn == 12 || (k.fn == 9 && k.alt && k.shift)) ConfigureMenu();
        if (k.fn == 1 && plain) driver_.ShowHelp(kHostHelpTopic);
        return true;
      case KeyEvent::Up: MoveCursor(cursor - 1); return true;
      case KeyEvent::Down: MoveCursor(cursor + 1); return true;
      case KeyEvent::PgUp: MoveCursor(cursor - PageRows()); return true;
      case KeyEvent::PgDn: MoveCursor(cursor + PageRows()); return true;
      case KeyEvent::Home: MoveCursor(0); return true;
      case KeyEvent::End: MoveCursor(static_cast<int>(items.size()) - 1); return true;
      case KeyEvent::Ins:
        ToggleSelection();
        return true;
      case KeyEvent::GrayPlus:
      case KeyEvent::GrayMinus:
        SelectByMask(k.kind == KeyEvent::GrayPlus);
        return true;
      case KeyEvent::GrayStar:
        InvertSelection();
        return true;
      case KeyEvent::Enter:
        if (cursor >= 0 && cursor < static_cast<int>(items.size())) {
          const auto& item = items[cursor];
          if (std::strcmp(item.FindData.cFileName, "..") == 0) {
            Enter(Parent(panel().folder()), LastName(panel().folder()));
          } else if (IsFolder(item)) {
            Enter(AbsolutePath(JoinPath(panel().folder(), item.FindData.cFileName)), "");
          }
        }
        return true;
      case KeyEvent::Backspace:
        if (Parent(panel().folder()) != panel().folder()) {
          Enter(Parent(panel().folder()), LastName(panel().folder()));
        }
        return true;
      case KeyEvent::Char:
        if (k.ctrl && k.ch == U'r') {
          panel().Refresh();
          return true;
        }
        if (!plain && !(k.shift && !k.ctrl && !k.alt)) return true;
        if (k.ch == U' ') {
          ToggleSelection();
        } else if (k.ch == U'q') {
          return false;
        } else if (k.ch == U'm') {
          PluginsMenu();
        } else if (k.ch == U'c') {
          ConfigureMenu();
        } else if (k.ch == U':') {
          state_.commandFocused = true;
        } else {
          state_.commandFocused = true;
          HandleCommandKey(k);
        }
        return true;
      default:
        return true;
    }
  }

  // Gray+ and Gray-: the files whose names match a mask the user gives are
  // selected or unselected, as in FAR (folders are left as they are).
  void SelectByMask(bool on) {
    InputBoxRequest box;
    box.title = on ? "Select" : "Deselect";
    box.prompt = "Mask:";
    box.initial = sys::kPathSeparator == '\\' ? "*.*" : "*";
    box.maxLength = 255;
    const InputBoxAnswer answer = driver_.InputBox(box);
    if (!answer.confirmed) return;
    MaskList masks;
    if (!ParseMaskList(answer.text, &masks)) return;
    std::vector<std::string> names;
    for (const auto& item : panel().items()) {
      if (IsFolder(item)) continue;
      if (MatchMaskList(masks, item.FindData.cFileName)) names.push_back(item.FindData.cFileName);
    }
    for (const std::string& name : names) panel().Select(name, on);
  }

  // Gray*: every file's selection turns over (folders are left as they are).
  void InvertSelection() {
    std::vector<std::pair<std::string, bool>> changes;
    for (const auto& item : panel().items()) {
      if (IsFolder(item)) continue;
      changes.emplace_back(item.FindData.cFileName, (item.Flags & PPIF_SELECTED) == 0);
    }
    for (const auto& [name, on] : changes) panel().Select(name, on);
  }

  void ToggleSelection() {
    const auto& items = panel().items();
    int cursor = panel().cursor();
    if (cursor < 0 || cursor >= static_cast<int>(items.size())) return;
    std::string name = items[cursor].FindData.cFileName;
    if (name != "..") {
      bool on = (items[cursor].Flags & PPIF_SELECTED) == 0;
      panel().Select(name, on);
    }
    MoveCursor(cursor + 1);
  }

  Host& host_;
  PluginModule& module_;
  Screen& screen_;
  TerminalDriver driver_;
  PanelState state_;
};

}  // namespace

bool MatchCommandPrefix(const std::string& prefixes, const std::string& line, std::string* rest) {
  size_t colon = line.find(':');
  if (colon == std::string::npos || colon == 0) return false;
  std::string prefix = line.substr(0, colon);
  for (size_t start = 0; start <= prefixes.size();) {
    size_t end = prefixes.find(':', start);
    if (end == std::string::npos) end = prefixes.size();
    std::string p = prefixes.substr(start, end - start);
    if (p.size() == prefix.size() && !p.empty() && CompareNoCase(p.c_str(), prefix.c_str()) == 0) {
      *rest = line.substr(colon + 1);
      return true;
    }
    start = end + 1;
  }
  return false;
}

std::string StatusHints(int width) {
  // Two blanks between hints, else one; then the least needed hints go until
  // the rest fits. "F10/q Quit" stays last, where it always is.
  const int count = static_cast<int>(sizeof(kHints) / sizeof(kHints[0]));
  for (int shown = count; shown >= 1; --shown) {
    for (const char* gap : {"  ", " "}) {
      std::string line;
      for (int i = 1; i < shown; ++i) line += std::string(kHints[i]) + gap;
      line += kHints[0];
      if (static_cast<int>(line.size()) <= width) return line;
    }
  }
  return std::string(kHints[0]).substr(0, static_cast<size_t>(std::max(width, 0)));
}

void DrawPanel(Canvas& c, const Panel& panel, PanelState* state) {
  int w = c.width(), h = c.height();
  c.Fill(0, 0, w - 1, h - 1, Style::Panel);
  int frameBottom = std::max(h - 3, 2);
  c.Frame(0, 0, w - 1, frameBottom, true, Style::Panel, panel.folder());
  // The host's text and the code pages in force (TAGWRIGHT_CODEPAGES or the
  // locale's), on the frame's foot.
  const std::string pages = std::string(HostSpeaksUtf8() ? " UTF-8," : "") + " OEM " +
                            std::to_string(sys::OemCodePage()) + " / ANSI " +
                            std::to_string(sys::AnsiCodePage()) + " ";
  if (w >= static_cast<int>(pages.size()) + 4)
    c.Text(w - 2 - static_cast<int>(pages.size()), frameBottom, pages, Style::Panel);
  // Columns: a mark, the name, the size, the date.
  int inner = w - 2;
  bool withDate = inner >= 50;
  int sizeWidth = 12, dateWidth = withDate ? 17 : 0;
  int nameWidth = std::max(inner - 2 - sizeWidth - dateWidth - 1, 4);
  int rows = std::max(frameBottom - 1, 1);
  const auto& items = panel.items();
  int cursor = panel.cursor();
  int count = static_cast<int>(items.size());
  if (cursor < state->top) state->top = cursor;
  if (cursor >= state->top + rows) state->top = cursor - rows + 1;
  state->top = std::clamp(state->top, 0, std::max(0, count - rows));
  for (int r = 0; r < rows && state->top + r < count; ++r) {
    const PluginPanelItem& item = items[state->top + r];
    bool selected = (item.Flags & PPIF_SELECTED) != 0;
    bool atCursor = state->top + r == cursor;
    Style s = atCursor ? (selected ? Style::PanelCursorSelected : Style::PanelCursor)
                       : (selected ? Style::PanelSelected : Style::Panel);
    int y = 1 + r;
    c.Fill(1, y, w - 2, y, s);
    if (selected) c.Put(1, y, U'√', s);
    std::string name = item.FindData.cFileName;
    if (HostColumns(name) > nameWidth) {
      c.Text(3, y, name, s, nameWidth - 1);
      c.Put(3 + nameWidth - 1, y, U'»', s);
    } else {
      c.Text(3, y, name, s, nameWidth);
    }
    c.Text(3 + nameWidth + 1, y, PadLeft(SizeColumn(item), sizeWidth), s);
    if (withDate) c.Text(3 + nameWidth + 1 + sizeWidth + 1, y, DateColumn(item), s, dateWidth - 1);
  }
  // The command line, then the key hints.
  std::string prompt = panel.folder() + ">";
  int promptRoom = std::max(w / 3, 8);
  if (HostColumns(prompt) > promptRoom) prompt = "..." + TailColumns(prompt, promptRoom - 3);
  c.Fill(0, h - 2, w - 1, h - 2, Style::Panel);
  int x = c.Text(0, h - 2, prompt, Style::Panel);
  int room = std::max(w - x - 1, 1);
  std::string shown = TailColumns(state->command, room - 1);
  const int shownColumns = c.Text(x, h - 2, shown, Style::Panel, room);
  c.Fill(0, h - 1, w - 1, h - 1, Style::Status);
  c.Text(0, h - 1, StatusHints(w), Style::Status, w);
  if (state->commandFocused) {
    c.SetCursor(x + shownColumns, h - 2);
  } else {
    c.HideCursor();
  }
}

int RunTerminalHost(Host& host, PluginModule& module, const std::string& path) {
  // A file opens its folder with the cursor on it.
  std::string folder = path, cursor;
  if (sys::Exists(path) && !sys::IsFolder(path)) {
    folder = Parent(path);
    cursor = LastName(path);
  }
  std::string error;
  if (!host.panel().Open(folder, &error)) {
    std::fprintf(stderr, "tagwright: %s\n", HostToUtf8(error).c_str());
    return 2;
  }
  Screen screen;
  if (!screen.Begin()) {
    std::fputs("tagwright: the terminal host needs a terminal; run a script with --script FILE\n", stderr);
    return 2;
  }
  int status;
  {
    App app(host, module, screen);
    status = app.Run(folder, cursor);
  }
  screen.End();
  return status;
}

}  // namespace hostsim::terminal
