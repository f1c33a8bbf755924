#include "hostsim/terminal/terminal_driver.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "hostsim/codepage.h"
#include "hostsim/dialog_engine.h"
#include "hostsim/fs.h"
#include "hostsim/host.h"
#include "hostsim/host_text.h"
#include "hostsim/hotkeys.h"
#include "hostsim/keys.h"
#include "hostsim/lng.h"
#include "hostsim/loader.h"
#include "hostsim/oem_case.h"
#include "hostsim/terminal/help_view.h"
#include "hostsim/terminal/host_help.h"
#include "hostsim/terminal/screen.h"

namespace hostsim::terminal {

namespace {

FarDialogItem MakeItem(int type, int x1, int y1, int x2, int y2, const std::string& text,
                       DWORD flags = 0) {
  FarDialogItem it;
  std::memset(&it, 0, sizeof(it));
  it.Type = type;
  it.X1 = x1;
  it.Y1 = y1;
  it.X2 = x2;
  it.Y2 = y2;
  it.Flags = flags;
  CopyToField(text, it.Data, sizeof(it.Data));
  return it;
}

std::vector<ItemView> ViewsOf(const DialogEngine& d) {
  std::vector<ItemView> views;
  for (int i = 0; i < d.count(); ++i) {
    const FarDialogItem& f = d.farItem(i);
    ItemView v;
    v.type = f.Type;
    v.x1 = f.X1;
    v.y1 = f.Y1;
    v.x2 = f.X2;
    v.y2 = f.Y2;
    v.flags = f.Flags;
    v.selected = d.check(i);
    v.defaultButton = f.Type == DI_BUTTON && f.DefaultButton != 0;
    v.text = d.text(i);
    v.cursor = d.cursorColumn(i);
    if (f.Type == DI_LISTBOX) v.list = d.listTexts(i);
    v.listPos = d.listPos(i);
    views.push_back(std::move(v));
  }
  return views;
}

bool ReadNative(const std::string& path, std::string* content) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return false;
  content->clear();
  char buffer[8192];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof(buffer), f)) > 0) content->append(buffer, n);
  bool ok = !std::ferror(f);
  std::fclose(f);
  return ok;
}

}  // namespace

MessageDialog BuildMessageDialog(const MessageRequest& m, int maxWidth) {
  MessageDialog md;
  int textWidth = std::max(maxWidth - 10, 20);
  std::vector<std::string> lines;
  for (const auto& l : m.lines) {
    if (HostColumns(l) <= textWidth) {
      lines.push_back(l);
    } else {
      for (auto& w : WrapText(l, textWidth)) lines.push_back(w);
    }
  }
  int buttons = -1;
  for (const auto& b : m.buttons) {
    int hot;
    buttons += HostColumns(StripHotkey(b, &hot)) + 5;
  }
  int inner = std::max(HostColumns(m.title) + 2, buttons);
  for (const auto& l : lines) inner = std::max(inner, HostColumns(l));
  inner = std::min(inner, textWidth);
  md.width = inner + 10;
  md.height = static_cast<int>(lines.size()) + 5;
  md.items.push_back(MakeItem(DI_DOUBLEBOX, 3, 1, md.width - 4, md.height - 2, m.title));
  bool left = (m.flags & FMSG_LEFTALIGN) != 0;
  for (size_t k = 0; k < lines.size(); ++k) {
    md.items.push_back(MakeItem(DI_TEXT, left ? 5 : -1, 2 + static_cast<int>(k), 0, 0, lines[k],
                                DIF_SHOWAMPERSAND));
  }
  md.firstButton = static_cast<int>(md.items.size());
  for (size_t b = 0; b < m.buttons.size(); ++b) {
    FarDialogItem it = MakeItem(DI_BUTTON, 0, md.height - 3, 0, 0, m.buttons[b], DIF_CENTERGROUP);
    it.Focus = b == 0;
    it.DefaultButton = b == 0;
    md.items.push_back(it);
  }
  return md;
}

TerminalDriver::TerminalDriver(Host& host, Screen& screen, const PluginModule& module)
    : host_(host), screen_(screen), module_(module) {}

TerminalDriver::~TerminalDriver() = default;

void TerminalDriver::Redraw() {
  Canvas canvas(screen_.width(), screen_.height());
  if (background_) background_(canvas);
  canvas.HideCursor();
  for (const auto& box : host_.boxes()) DrawBox(canvas, box, false);
  for (const auto& layer : layers_) layer(canvas);
  screen_.Show(canvas);
}

KeyEvent TerminalDriver::ReadKey() {
  for (;;) {
    KeyEvent k = screen_.ReadKey();
    if (k.kind == KeyEvent::Resize) {
      Redraw();
      continue;
    }
    return k;
  }
}

MenuAnswer TerminalDriver::Menu(const MenuRequest& m) {
  MenuAnswer answer;
  std::vector<std::string> texts;
  for (const auto& item : m.items) texts.push_back(item.text);
  const std::vector<MenuHotkey> hotkeys = AssignMenuHotkeys(
      texts, (m.flags & (FMENU_AUTOHIGHLIGHT | FMENU_REVERSEAUTOHIGHLIGHT)) != 0,
      (m.flags & FMENU_REVERSEAUTOHIGHLIGHT) != 0, (m.flags & FMENU_SHOWAMPERSAND) != 0);
  std::vector<MenuLine> lines;
  for (size_t i = 0; i < m.items.size(); ++i) {
    const auto& item = m.items[i];
    lines.push_back({hotkeys[i].shown, item.separator, item.disabled, item.checked,
                     item.separator ? -1 : hotkeys[i].position});
  }
  int n = static_cast<int>(lines.size());
  auto selectable = [&](int i) { return i >= 0 && i < n && !lines[i].separator && !lines[i].disabled; };
  int highlighted = m.highlighted;
  int top = 0;
  LayerScope scope(*this, [&](Canvas& c) { DrawMenu(c, m.title, m.bottom, lines, highlighted, &top, false); });
  auto step = [&](int from, int dir, bool wrap) {
    for (int k = 1; k <= n; ++k) {
      int i = from + dir * k;
      if (!wrap && (i < 0 || i >= n)) break;
      i = ((i % n) + n) % n;
      if (selectable(i)) return i;
    }
    return from;
  };
  bool wrap = (m.flags & FMENU_WRAPMODE) != 0;
  for (;;) {
    Redraw();
    KeyEvent k = ReadKey();
    DWORD key = HostKey(k);
    int breakKey = 0;
    if (key != 0 && KeyToBreakKey(key, &breakKey) &&
        std::find(m.breakKeys.begin(), m.breakKeys.end(), breakKey) != m.breakKeys.end()) {
      answer.kind = MenuAnswer::BreakKey;
      answer.breakKey = breakKey;
      answer.item = highlighted;
      return answer;
    }
    // A hot key, alone or with Alt, chooses its item.
    if (const HostChar hot = HotkeyChar(key, true); hot != 0) {
      for (int i = 0; i < n; ++i) {
        const MenuLine& l = lines[i];
        size_t at = static_cast<size_t>(std::max(l.hotkey, 0));
        if (selectable(i) && l.hotkey >= 0 && HostUpper(NextHostChar(l.text, &at)) == hot) {
          answer.kind = MenuAnswer::Choose;
          answer.item = i;
          return answer;
        }
      }
    }
    if (k.ctrl || k.alt) continue;
    switch (k.kind) {
      case KeyEvent::Esc:
        return answer;
      case KeyEvent::Function:
        if (k.fn == 10) return answer;
        if (k.fn == 1 && !m.helpTopic.empty()) ShowHelp(m.helpTopic);
        break;
      case KeyEvent::Enter:
        if (selectable(highlighted)) {
          answer.kind = MenuAnswer::Choose;
          answer.item = highlighted;
          return answer;
        }
        break;
      case KeyEvent::Up:
      case KeyEvent::Down:
        if (n > 0) highlighted = step(highlighted < 0 ? (k.kind == KeyEvent::Down ? -1 : n) : highlighted,
                                      k.kind == KeyEvent::Down ? 1 : -1, wrap || highlighted < 0);
        break;
      case KeyEvent::Home:
      case KeyEvent::PgUp:
        if (n > 0) highlighted = step(-1, 1, false);
        break;
      case KeyEvent::End:
      case KeyEvent::PgDn:
        if (n > 0) highlighted = step(n, -1, false);
        break;
      default:
        break;
    }
  }
}

int TerminalDriver::HostMenu(const std::string& title, const std::vector<std::string>& items,
                             const std::string& helpTopic) {
  MenuRequest m;
  m.title = title;
  m.helpTopic = helpTopic;
  for (const auto& t : items) m.items.push_back({t, false, false, false});
  m.highlighted = items.empty() ? -1 : 0;
  MenuAnswer a = Menu(m);
  return a.kind == MenuAnswer::Choose ? a.item : -1;
}

int TerminalDriver::PickFromList(const std::vector<std::string>& entries, int current) {
  MenuRequest m;
  for (const auto& e : entries) m.items.push_back({e, false, false, false});
  m.highlighted = current >= 0 && current < static_cast<int>(entries.size()) ? current : 0;
  m.flags = FMENU_WRAPMODE | FMENU_SHOWAMPERSAND;
  MenuAnswer a = Menu(m);
  return a.kind == MenuAnswer::Choose ? a.item : -1;
}

void TerminalDriver::RunEngine(DialogEngine& d, bool arrowsMoveFocus) {
  // A dialog larger than the screen shows the part around the focused item;
  // the offsets keep that part steady while the focus stays inside it.
  int offsetX = 0, offsetY = 0;
  LayerScope scope(*this, [&](Canvas& c) {
    const std::vector<ItemView> views = ViewsOf(d);
    const Extent focused = ItemExtent(views, d.focus(), d.width());
    // A margin around the item brings the frame near it into view as well.
    const int left = PlaceOnScreen(c.width(), d.width(), focused.x1 - 3, focused.x2 + 3, &offsetX);
    const int top = PlaceOnScreen(c.height(), d.height(), focused.y1 - 1, focused.y2 + 1, &offsetY);
    DrawDialog(c, left, top, d.width(), d.height(), views, d.focus(),
               (d.flags() & FDLG_WARNING) != 0);
  });
  while (!d.closed()) {
    if (host_.failed()) {
      d.ForceClose();
      return;
    }
    Redraw();
    KeyEvent k = ReadKey();
    int f = d.focus();
    int type = d.type(f);
    if (k.kind == KeyEvent::Function && k.fn == 1 && !k.ctrl && !k.alt && !k.shift) {
      if (!d.helpTopic().empty()) ShowHelp(d.helpTopic());
      continue;
    }
    bool dropDown = type == DI_COMBOBOX && (d.farItem(f).Flags & DIF_DROPDOWNLIST);
    bool opensList = (k.kind == KeyEvent::Down && (k.ctrl || k.alt)) ||
                     (k.kind == KeyEvent::Function && k.fn == 4 && !k.ctrl && !k.alt) ||
                     (dropDown && k.kind == KeyEvent::Char && k.ch == U' ' && !k.ctrl && !k.alt);
    if (type == DI_COMBOBOX && opensList && d.enabled(f)) {
      std::vector<std::string> entries = d.listTexts(f);
      if (entries.empty()) continue;
      int chosen = PickFromList(entries, d.listPos(f));
      std::string error;
      if (chosen >= 0 && !d.ChooseEntry(f, chosen, &error)) Notice("List", {error}, true);
      continue;
    }
    if (arrowsMoveFocus && (k.kind == KeyEvent::Left || k.kind == KeyEvent::Right)) {
      k.shift = k.kind == KeyEvent::Left;
      k.kind = KeyEvent::Tab;
    }
    DWORD key = HostKey(k);
    if (key != 0) d.ProcessKey(key);
  }
}

void TerminalDriver::RunDialog(DialogEngine& dialog) { RunEngine(dialog, false); }

int TerminalDriver::Message(const MessageRequest& m) {
  MessageDialog md = BuildMessageDialog(m, screen_.width());
  DialogEngine d(-1, -1, md.width, md.height, m.helpTopic.c_str(), md.items.data(),
                 static_cast<int>(md.items.size()), (m.flags & FMSG_WARNING) ? static_cast<DWORD>(FDLG_WARNING) : 0u,
                 nullptr, 0);
  d.Start();
  RunEngine(d, true);
  int code = d.exitCode();
  return code >= md.firstButton ? code - md.firstButton : -1;
}

void TerminalDriver::Notice(const std::string& title, const std::vector<std::string>& lines,
                            bool warning) {
  MessageRequest m;
  m.title = title;
  m.lines = lines;
  m.buttons = {"OK"};
  m.flags = warning ? static_cast<DWORD>(FMSG_WARNING) : 0u;
  Message(m);
}

InputBoxAnswer TerminalDriver::InputBox(const InputBoxRequest& box) {
  int inner = std::clamp(std::max(HostColumns(box.prompt), HostColumns(box.title) + 2), 40,
                         std::max(screen_.width() - 12, 20));
  int width = inner + 10;
  std::vector<FarDialogItem> items;
  items.push_back(MakeItem(DI_DOUBLEBOX, 3, 1, width - 4, 4, box.title));
  items.push_back(MakeItem(DI_TEXT, 5, 2, 0, 0, box.prompt, DIF_SHOWAMPERSAND));
  FarDialogItem edit = MakeItem(DI_EDIT, 5, 3, width - 6, 3, box.initial);
  edit.Focus = 1;
  items.push_back(edit);
  DialogEngine d(-1, -1, width, 6, box.helpTopic.c_str(), items.data(), static_cast<int>(items.size()),
                 0, nullptr, 0);
  d.Start();
  RunEngine(d, false);
  InputBoxAnswer a;
  a.confirmed = d.exitCode() == 2;
  a.text = d.text(2);
  return a;
}

EditorAnswer TerminalDriver::Editor(const EditorRequest& e) {
  EditorAnswer answer;
  const char* tmp = std::getenv("TMPDIR");
  std::string path = std::string(tmp != nullptr && *tmp ? tmp : "/tmp") + "/tagwright-edit-XXXXXX";
  std::vector<char> name(path.begin(), path.end());
  name.push_back('\0');
  int fd = mkstemp(name.data());
  if (fd < 0) {
    Notice("Editor", {"Cannot create a temporary file for the editor"}, true);
    return answer;
  }
  path = name.data();
  // The user edits UTF-8; the plug-in gets its own text back.
  std::string utf8 = HostToUtf8(e.content);
  bool written = write(fd, utf8.data(), utf8.size()) == static_cast<ssize_t>(utf8.size());
  close(fd);
  if (!written) {
    unlink(path.c_str());
    Notice("Editor", {"Cannot write the temporary file for the editor"}, true);
    return answer;
  }
  const char* editor = std::getenv("EDITOR");
  std::string command = editor != nullptr && *editor
                            ? std::string(editor) + " \"$1\""
                            : std::string("if command -v vi >/dev/null 2>&1; then exec vi \"$1\"; else exec nano \"$1\"; fi");
  screen_.Suspend();
  pid_t pid = fork();
  int status = -1;
  if (pid == 0) {
    execl("/bin/sh", "sh", "-c", command.c_str(), "sh", path.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  if (pid > 0) waitpid(pid, &status, 0);
  screen_.Resume();
  std::string edited;
  bool read = ReadNative(path, &edited);
  unlink(path.c_str());
  if (pid < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0 || !read) {
    Notice("Editor", {"The editor did not end normally; nothing was saved", command}, true);
    return answer;
  }
  if (edited != utf8) {
    answer.save = true;
    Utf8ToHost(edited, &answer.content);
  }
  return answer;
}

const HelpFile* TerminalDriver::LoadHelp() {
  if (help_) return help_.get();
  std::string module = module_.moduleName();
  std::string folder = module_.dataFolder();
  std::vector<FAR_FIND_DATA> entries;
  if (!ListFolder(folder, &entries)) entries.clear();
  std::vector<HelpFile> files;
  for (const auto& e : entries) {
    std::string name = e.cFileName;
    if (name.size() < 4 || CompareNoCase(name.c_str() + name.size() - 4, ".hlf") != 0) continue;
    std::string content, why;
    HelpFile file;
    if (ReadWholeFile(JoinPath(folder, name), &content) && ParseHelpFile(content, &file, &why)) {
      // The file is written in its language's code page; a host that speaks
      // UTF-8 reads it as UTF-8.
      if (HostSpeaksUtf8())
        ParseHelpFile(CodePageToUtf8(LanguageCodePage(file.language), content), &file, &why);
      files.push_back(std::move(file));
    }
  }
  // The host's own topic goes with the plug-in's help (or alone without it).
  HelpFile hostHelp;
  std::string why;
  ParseHelpFile(HostHelpText(), &hostHelp, &why);
  if (files.empty()) {
    help_ = std::make_unique<HelpFile>(std::move(hostHelp));
    return help_.get();
  }
  size_t chosen = 0;
  bool found = false;
  for (const std::string& wanted : {module_.languageName(), std::string("English")}) {
    for (size_t i = 0; i < files.size() && !found; ++i) {
      if (CompareNoCase(files[i].language.c_str(), wanted.c_str()) == 0) {
        chosen = i;
        found = true;
      }
    }
  }
  help_ = std::make_unique<HelpFile>(std::move(files[chosen]));
  if (help_->Find(kHostHelpTopic) == nullptr) {
    for (auto& topic : hostHelp.topics) help_->topics.push_back(std::move(topic));
  }
  return help_.get();
}

void TerminalDriver::ShowHelp(const std::string& topic) {
  HelpView view(*LoadHelp());
  if (!view.Open(topic)) {
    Notice("Help", {"Help topic \"" + topic + "\" not found"}, true);
    return;
  }
  LayerScope scope(*this, [&](Canvas& c) { view.Draw(c); });
  for (;;) {
    Redraw();
    if (!view.Key(ReadKey())) return;
  }
}

}  // namespace hostsim::terminal
