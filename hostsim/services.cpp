// The services of PluginStartupInfo: menus, messages, dialogs, the panel,
// the screen, input boxes, the editor, character tables, AdvControl, GetMsg.
#include "hostsim/services.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <mutex>

#include "hostsim/char_tables.h"
#include "hostsim/dialog_engine.h"
#include "hostsim/driver.h"
#include "hostsim/fs.h"
#include "hostsim/host.h"
#include "hostsim/host_text.h"
#include "hostsim/keys.h"
#include "hostsim/masks.h"
#include "sys/sys.h"

namespace hostsim {

namespace {

// MAKEFARVERSION(1, 70, 2087): the final 1.70 build.
constexpr DWORD kFarVersion = 0x08270146;
// Bounds on what a plug-in hands in, so that a broken call cannot make the
// stand-in read without end.
constexpr int kMaxMenuItems = 100000;
constexpr int kMaxBreakKeys = 256;
constexpr int kMaxMessageItems = 4096;
constexpr int kMaxDialogItems = 4096;
constexpr int kMaxPostedKeys = 4096;
constexpr size_t kMaxText = 65536;

std::string Str(const char* s, size_t max = kMaxText) {
  return s != nullptr ? std::string(s, strnlen(s, max)) : std::string();
}

Transcript& Log() { return Host::Current().transcript(); }

std::string FlagNames(DWORD flags, const std::pair<DWORD, const char*>* names, size_t n) {
  std::string out;
  for (size_t i = 0; i < n; ++i) {
    if (flags & names[i].first) {
      out += out.empty() ? "" : " ";
      out += names[i].second;
    }
  }
  return out;
}

// ---------------------------------------------------------------- menus

bool Selectable(const MenuItemView& item) { return !item.separator && !item.disabled; }

int StepHighlight(const MenuRequest& m, int from, int step, bool wrap) {
  int n = static_cast<int>(m.items.size());
  for (int k = 1; k <= n; ++k) {
    int i = from + step * k;
    if (!wrap && (i < 0 || i >= n)) return from;
    i = ((i % n) + n) % n;
    if (Selectable(m.items[i])) return i;
  }
  return from;
}

// One item of the plug-in's menu; `*selected` when the plug-in marked it.
MenuItemView ReadMenuItem(DWORD flags, const FarMenuItem* items, int i, bool* selected) {
  MenuItemView v;
  if (flags & FMENU_USEEXT) {
    const auto& ex = reinterpret_cast<const FarMenuItemEx*>(items)[i];
    v.text = (ex.Flags & MIF_USETEXTPTR) ? Str(ex.Text.TextPtr)
                                          : Str(ex.Text.Text, sizeof(ex.Text.Text));
    v.separator = (ex.Flags & MIF_SEPARATOR) != 0;
    v.disabled = (ex.Flags & MIF_DISABLE) != 0;
    v.checked = (ex.Flags & MIF_CHECKED) != 0;
    *selected = (ex.Flags & MIF_SELECTED) != 0;
  } else {
    v.text = Str(items[i].Text, sizeof(items[i].Text));
    v.separator = items[i].Separator != 0;
    v.checked = items[i].Checked != 0;
    *selected = items[i].Selected != 0;
  }
  return v;
}

void LogMenu(const MenuRequest& m) {
  const int count = static_cast<int>(m.items.size());
  std::string header = "menu " + Quote(m.title);
  if (!m.helpTopic.empty()) header += " help " + Quote(m.helpTopic);
  Log().Add(header + ": " + std::to_string(count) + " items");
  for (int i = 0; i < count; ++i) {
    const auto& v = m.items[i];
    std::string line = "  [" + std::to_string(i) + "] " + (v.separator ? "---" : Quote(v.text));
    if (v.checked) line += " checked";
    if (v.disabled) line += " disabled";
    Log().Add(line);
  }
  if (!m.bottom.empty()) Log().Add("  bottom " + Quote(m.bottom));
  if (!m.breakKeys.empty()) {
    std::string keys;
    for (int k : m.breakKeys) keys.append(" ").append(BreakKeyName(k));
    Log().Add("  break keys:" + keys);
  }
}

// Keys posted before the menu opened act on it first, as on the real host.
// True with the menu's result in `*result` when Enter or Esc among them
// closed it.
bool ApplyPostedKeys(Host& host, MenuRequest* m, int* result) {
  const int count = static_cast<int>(m->items.size());
  bool wrap = (m->flags & FMENU_WRAPMODE) != 0;
  std::string consumed;
  while (!host.postedKeys().empty()) {
    DWORD key = host.postedKeys().front();
    host.postedKeys().pop_front();
    consumed += ' ';
    consumed += KeyName(key);
    if (m->highlighted < 0) continue;
    if (key == KEY_DOWN || key == KEY_UP) {
      m->highlighted = StepHighlight(*m, m->highlighted, key == KEY_DOWN ? 1 : -1, wrap);
    } else if (key == KEY_HOME || key == KEY_END) {
      const bool home = key == KEY_HOME;
      m->highlighted = StepHighlight(*m, home ? -1 : count, home ? 1 : -1, false);
    } else if (key == KEY_ENTER) {
      Log().Add("  posted keys:" + consumed + " -> chose [" + std::to_string(m->highlighted) + "]");
      *result = m->highlighted;
      return true;
    } else if (key == KEY_ESC) {
      Log().Add("  posted keys:" + consumed + " -> Esc");
      *result = -1;
      return true;
    }
  }
  if (!consumed.empty()) Log().Add("  posted keys:" + consumed);
  if (m->highlighted >= 0) Log().Add("  highlighted [" + std::to_string(m->highlighted) + "]");
  return false;
}

// An item the driver chose must exist and be selectable; otherwise a failure.
bool CheckMenuItem(Host& host, const MenuRequest& m, int i) {
  const int count = static_cast<int>(m.items.size());
  if (i < 0 || i >= count) {
    host.Fail("menu " + Quote(m.title) + " has no item " + std::to_string(i) + " (it has " +
              std::to_string(count) + ")");
    return false;
  }
  if (!Selectable(m.items[i])) {
    host.Fail("item " + std::to_string(i) + " of menu " + Quote(m.title) +
              " is a separator or disabled");
    return false;
  }
  return true;
}

// The menu's result for the driver's answer.
int MenuResult(Host& host, const MenuRequest& m, const MenuAnswer& a, int* BreakCode) {
  switch (a.kind) {
    case MenuAnswer::Choose:
    case MenuAnswer::Enter: {
      int i = a.kind == MenuAnswer::Choose ? a.item : m.highlighted;
      if (!CheckMenuItem(host, m, i)) return -1;
      Log().Add("  -> chose [" + std::to_string(i) + "] " + Quote(m.items[i].text));
      return i;
    }
    case MenuAnswer::BreakKey: {
      auto it = std::find(m.breakKeys.begin(), m.breakKeys.end(), a.breakKey);
      if (it == m.breakKeys.end()) {
        host.Fail("menu " + Quote(m.title) + " has no break key " + BreakKeyName(a.breakKey));
        return -1;
      }
      int code = static_cast<int>(it - m.breakKeys.begin());
      if (BreakCode != nullptr) *BreakCode = code;
      // On an empty menu a break key closes it without an item.
      int i = m.items.empty() ? -1 : (a.item >= 0 ? a.item : m.highlighted);
      if (i >= 0 && !CheckMenuItem(host, m, i)) {
        if (BreakCode != nullptr) *BreakCode = -1;
        return -1;
      }
      Log().Add("  -> break key " + BreakKeyName(a.breakKey) + " (code " + std::to_string(code) +
                ") on " + (i >= 0 ? "[" + std::to_string(i) + "]" : std::string("no item")));
      return i;
    }
    case MenuAnswer::Escape:
      break;
  }
  Log().Add("  -> Esc");
  return -1;
}

int WINAPI MenuService(int /*PluginNumber*/, int /*X*/, int /*Y*/, int /*MaxHeight*/, DWORD Flags,
                       const char* Title, const char* Bottom, const char* HelpTopic,
                       const int* BreakKeys, int* BreakCode, const FarMenuItem* Item,
                       int ItemsNumber) {
  Host& host = Host::Current();
  if (BreakCode != nullptr) *BreakCode = -1;
  MenuRequest m;
  m.title = Str(Title);
  m.bottom = Str(Bottom);
  m.helpTopic = Str(HelpTopic);
  m.flags = Flags;
  if (ItemsNumber < 0 || ItemsNumber > kMaxMenuItems || (ItemsNumber > 0 && Item == nullptr)) {
    host.Fail("Menu called with " + std::to_string(ItemsNumber) + " items at " +
              (Item == nullptr ? "no address" : "an address"));
    return -1;
  }
  int firstSelected = -1;
  for (int i = 0; i < ItemsNumber; ++i) {
    bool selected = false;
    m.items.push_back(ReadMenuItem(Flags, Item, i, &selected));
    if (selected && firstSelected < 0 && Selectable(m.items.back())) firstSelected = i;
  }
  if (BreakKeys != nullptr) {
    for (int k = 0; k < kMaxBreakKeys && BreakKeys[k] != 0; ++k) m.breakKeys.push_back(BreakKeys[k]);
  }
  m.highlighted = firstSelected;
  for (int i = 0; i < ItemsNumber && m.highlighted < 0; ++i) {
    if (Selectable(m.items[i])) m.highlighted = i;
  }
  LogMenu(m);

  int closedByKeys = -1;
  if (ApplyPostedKeys(host, &m, &closedByKeys)) return closedByKeys;
  if (host.AnswerWithEscape("the menu " + Quote(m.title))) {
    Log().Add("  -> Esc");
    return -1;
  }
  MenuAnswer a = host.driver()->Menu(m);
  if (host.failed()) {
    Log().Add("  -> Esc");
    return -1;
  }
  return MenuResult(host, m, a, BreakCode);
}

// ---------------------------------------------------------------- messages

const std::pair<DWORD, const char*> kMessageFlags[] = {
    {FMSG_WARNING, "WARNING"},   {FMSG_ERRORTYPE, "ERRORTYPE"}, {FMSG_KEEPBACKGROUND, "KEEPBACKGROUND"},
    {FMSG_DOWN, "DOWN"},         {FMSG_LEFTALIGN, "LEFTALIGN"}, {FMSG_ALLINONE, "ALLINONE"},
};

std::vector<std::string> StandardButtons(DWORD flags) {
  switch (flags & 0x000F0000) {
    case FMSG_MB_OK: return {"OK"};
    case FMSG_MB_OKCANCEL: return {"OK", "Cancel"};
    case FMSG_MB_ABORTRETRYIGNORE: return {"Abort", "Retry", "Ignore"};
    case FMSG_MB_YESNO: return {"Yes", "No"};
    case FMSG_MB_YESNOCANCEL: return {"Yes", "No", "Cancel"};
    case FMSG_MB_RETRYCANCEL: return {"Retry", "Cancel"};
    default: return {};
  }
}

int WINAPI MessageService(int /*PluginNumber*/, DWORD Flags, const char* HelpTopic,
                          const char* const* Items, int ItemsNumber, int ButtonsNumber) {
  // Taken first: the calls below may change the last error.
  uint32_t lastError = sys::LastError();
  Host& host = Host::Current();
  // A box without buttons drawn over the same box (a progress bar between
  // two of its cells) changes nothing: it is not taken apart or recorded.
  if ((Flags & FMSG_ALLINONE) && !(Flags & FMSG_ERRORTYPE) && ButtonsNumber <= 0 &&
      (Flags & 0x000F0000) == 0 && !host.boxes().empty() && Items != nullptr) {
    const char* text = reinterpret_cast<const char*>(Items);
    const std::string& top = host.boxes().back();
    if (strnlen(text, kMaxText) == top.size() && top.compare(0, top.size(), text, top.size()) == 0)
      return -1;
  }
  std::vector<std::string> lines;
  if (Flags & FMSG_ALLINONE) {
    std::string all = Str(reinterpret_cast<const char*>(Items));
    size_t start = 0;
    for (;;) {
      size_t end = all.find('\n', start);
      lines.push_back(all.substr(start, end == std::string::npos ? std::string::npos : end - start));
      if (end == std::string::npos) break;
      start = end + 1;
    }
  } else {
    if (ItemsNumber < 0 || ItemsNumber > kMaxMessageItems || (ItemsNumber > 0 && Items == nullptr)) {
      host.Fail("Message called with " + std::to_string(ItemsNumber) + " items");
      return -1;
    }
    for (int i = 0; i < ItemsNumber; ++i) lines.push_back(Str(Items[i]));
  }
  MessageRequest req;
  req.flags = Flags;
  req.helpTopic = Str(HelpTopic);
  if (!lines.empty()) {
    req.title = lines.front();
    lines.erase(lines.begin());
  }
  req.buttons = StandardButtons(Flags);
  if (req.buttons.empty()) {
    int n = std::clamp(ButtonsNumber, 0, static_cast<int>(lines.size()));
    req.buttons.assign(lines.end() - n, lines.end());
    lines.resize(lines.size() - n);
  }
  if (Flags & FMSG_ERRORTYPE) lines.insert(lines.begin(), sys::ErrorText(lastError));
  req.lines = lines;

  const auto logRequest = [&] {
    std::string flags = FlagNames(Flags, kMessageFlags, std::size(kMessageFlags));
    std::string header = "message";
    if (!flags.empty()) header.append(" ").append(flags);
    if (!req.helpTopic.empty()) header += " help " + Quote(req.helpTopic);
    Log().Add(header + ":");
    Log().Add("  title " + Quote(req.title));
    for (const auto& l : req.lines) Log().Add("  " + Quote(l));
  };
  if (req.buttons.empty()) {
    // No buttons: the host draws the box, leaves it on screen and returns.
    // The same box drawn over itself (a progress bar between two of its
    // cells) changes nothing and is not recorded again.
    std::string box = req.title;
    for (const auto& l : req.lines) box += "\n" + l;
    if (!host.ShowBox(box)) return -1;
    logRequest();
    Log().Add("  (no buttons: stays on screen)");
    if (host.driver() != nullptr) host.driver()->ScreenChanged();
    return -1;
  }
  logRequest();
  std::string buttons;
  for (const auto& b : req.buttons) buttons += " [" + b + "]";
  Log().Add("  buttons" + buttons);
  if (host.AnswerWithEscape("the message " + Quote(req.title))) {
    Log().Add("  -> Esc");
    return -1;
  }
  int r = host.driver()->Message(req);
  if (host.failed()) {
    Log().Add("  -> Esc");
    return -1;
  }
  if (r < -1 || r >= static_cast<int>(req.buttons.size())) {
    host.Fail("message " + Quote(req.title) + " has no button " + std::to_string(r) + " (it has " +
              std::to_string(req.buttons.size()) + ")");
    return -1;
  }
  Log().Add(r < 0 ? std::string("  -> Esc")
                  : "  -> button " + std::to_string(r) + " [" + req.buttons[r] + "]");
  return r;
}

// ---------------------------------------------------------------- dialogs

int RunDialog(int X1, int Y1, int X2, int Y2, const char* HelpTopic, FarDialogItem* Item,
              int ItemsNumber, DWORD Flags, FARWINDOWPROC DlgProc, long Param) {
  Host& host = Host::Current();
  if (Item == nullptr || ItemsNumber <= 0 || ItemsNumber > kMaxDialogItems) {
    host.Fail("Dialog called with " + std::to_string(ItemsNumber) + " items at " +
              (Item == nullptr ? "no address" : "an address"));
    return -1;
  }
  DialogEngine dialog(X1, Y1, X2, Y2, HelpTopic, Item, ItemsNumber, Flags, DlgProc, Param);
  host.PushDialog(&dialog);
  dialog.Start();
  std::string name = Quote(dialog.name());
  std::string header = "dialog " + name + " opened: " + std::to_string(dialog.width()) + "x" +
                       std::to_string(dialog.height()) + ", " + std::to_string(ItemsNumber) +
                       " items";
  if (dialog.flags() & FDLG_WARNING) header += ", warning colours";
  if (DlgProc == nullptr) header += ", no dialog procedure";
  Log().Add(header);
  std::vector<std::string> before = dialog.DescribeItems();
  for (const auto& line : before) Log().Add(line);

  while (!dialog.closed() && !host.postedKeys().empty()) {
    DWORD key = host.postedKeys().front();
    host.postedKeys().pop_front();
    Log().Add("dialog " + name + ": posted key " + KeyName(key));
    dialog.ProcessKey(key);
  }
  if (!dialog.closed()) {
    if (host.AnswerWithEscape("the dialog " + name)) {
      dialog.ForceClose();
    } else {
      host.driver()->RunDialog(dialog);
      if (!dialog.closed()) {
        host.Fail("the dialog " + name + " was left open");
        dialog.ForceClose();
      }
    }
  }
  dialog.Finish();
  host.PopDialog(&dialog);

  int code = dialog.exitCode();
  std::string closedBy = code < 0 ? std::string("with Esc")
                                  : "by item " + std::to_string(code) + " " +
                                        Quote(dialog.text(code));
  Log().Add("dialog " + name + " closed " + closedBy);
  std::vector<std::string> after = dialog.DescribeItems();
  for (size_t i = 0; i < after.size(); ++i) {
    if (i >= before.size() || after[i] != before[i]) Log().Add(after[i]);
  }
  return code;
}

int WINAPI DialogService(int /*PluginNumber*/, int X1, int Y1, int X2, int Y2,
                         const char* HelpTopic, FarDialogItem* Item, int ItemsNumber) {
  return RunDialog(X1, Y1, X2, Y2, HelpTopic, Item, ItemsNumber, 0, nullptr, 0);
}

int WINAPI DialogExService(int /*PluginNumber*/, int X1, int Y1, int X2, int Y2,
                           const char* HelpTopic, FarDialogItem* Item, int ItemsNumber,
                           DWORD /*Reserved*/, DWORD Flags, FARWINDOWPROC DlgProc, long Param) {
  return RunDialog(X1, Y1, X2, Y2, HelpTopic, Item, ItemsNumber, Flags, DlgProc, Param);
}

DialogEngine* OpenDialog(HANDLE hDlg, const char* service, int msg) {
  Host& host = Host::Current();
  DialogEngine* d = host.FindDialog(hDlg);
  if (d == nullptr) {
    host.Fail(std::string(service) + "(" + std::to_string(msg) +
              ") with a handle that is no open dialog");
  }
  return d;
}

long WINAPI SendDlgMessageService(HANDLE hDlg, int Msg, int Param1, long Param2) {
  DialogEngine* d = OpenDialog(hDlg, "SendDlgMessage", Msg);
  return d != nullptr ? d->Send(Msg, Param1, Param2) : 0;
}

long WINAPI DefDlgProcService(HANDLE hDlg, int Msg, int Param1, long Param2) {
  DialogEngine* d = OpenDialog(hDlg, "DefDlgProc", Msg);
  return d != nullptr ? d->DefaultProc(Msg, Param1, Param2) : 0;
}

// ---------------------------------------------------------------- other services

const char* WINAPI GetMsgService(int PluginNumber, int MsgId) {
  Host& host = Host::Current();
  const char* text = host.Message(PluginNumber, MsgId);
  if (text == nullptr) {
    std::string file = host.MessagesFile(PluginNumber);
    host.Fail("GetMsg: message " + std::to_string(MsgId) + " not found" +
              (file.empty() ? " (module " + std::to_string(PluginNumber) + " has no language)"
                            : " in " + file));
    return "";
  }
  return text;
}

int WINAPI ControlService(HANDLE hPlugin, int Command, void* Param) {
  Host& host = Host::Current();
  return host.panel().Control(hPlugin, Command, Param, host.transcript());
}

HANDLE WINAPI SaveScreenService(int /*X1*/, int /*Y1*/, int /*X2*/, int /*Y2*/) {
  return Host::Current().SaveScreen();
}

void WINAPI RestoreScreenService(HANDLE hScreen) {
  Host& host = Host::Current();
  if (hScreen == nullptr) return;  // nothing saved: the host just redraws
  if (!host.RestoreScreen(hScreen)) {
    host.Fail("RestoreScreen with a handle that SaveScreen did not give or that was restored already");
  }
  if (host.driver() != nullptr) host.driver()->ScreenChanged();
}

int WINAPI GetDirListService(const char* Dir, PluginPanelItem** pPanelItem, int* pItemsNumber) {
  if (pPanelItem != nullptr) *pPanelItem = nullptr;
  if (pItemsNumber != nullptr) *pItemsNumber = 0;
  Log().Add("GetDirList " + Quote(Str(Dir)) + " is not supported by the stand-in");
  return 0;
}

int WINAPI GetPluginDirListService(int, HANDLE, const char* Dir, PluginPanelItem** pPanelItem,
                                   int* pItemsNumber) {
  return GetDirListService(Dir, pPanelItem, pItemsNumber);
}

void WINAPI FreeDirListService(const PluginPanelItem*) {}

int WINAPI ViewerService(const char* FileName, const char* Title, int, int, int, int, DWORD) {
  Log().Add("viewer " + Quote(Str(Title)) + " on " + Quote(Str(FileName)) + " (closed at once)");
  return 1;
}

int WINAPI EditorService(const char* FileName, const char* Title, int, int, int, int, DWORD Flags,
                         int /*StartLine*/, int /*StartChar*/) {
  Host& host = Host::Current();
  if (FileName == nullptr) {
    host.Fail("Editor called without a file name");
    return EEC_OPEN_ERROR;
  }
  EditorRequest req;
  req.fileName = Str(FileName);
  req.title = Str(Title);
  req.flags = Flags;
  char flagText[32];
  std::snprintf(flagText, sizeof(flagText), "0x%X", static_cast<unsigned>(Flags));
  if (!ReadWholeFile(req.fileName, &req.content)) {
    if (!(Flags & EF_CREATENEW)) {
      Log().Add("editor " + Quote(req.title) + ": cannot open the file");
      return EEC_OPEN_ERROR;
    }
    req.content.clear();
  }
  Log().Add("editor " + Quote(req.title) + " flags " + flagText + ": " + Quote(req.content));
  EditorAnswer a;
  if (!host.AnswerWithEscape("the editor " + Quote(req.title))) a = host.driver()->Editor(req);
  if (a.save && !host.failed()) {
    if (!WriteWholeFile(req.fileName, a.content)) {
      host.Fail("the editor could not save " + Quote(req.fileName));
      return EEC_NOT_MODIFIED;
    }
    Log().Add("  -> saved " + Quote(a.content));
    if (host.driver() != nullptr) host.driver()->EditorClosed(req);
    return EEC_MODIFIED;
  }
  Log().Add("  -> left without saving");
  // Without a save the host deletes a file opened with these flags.
  if (Flags & (EF_DELETEONCLOSE | EF_DELETEONLYFILEONCLOSE)) {
    sys::DeleteFile(req.fileName);
    Log().Add("  (the file was deleted on close)");
  }
  if (host.driver() != nullptr) host.driver()->EditorClosed(req);
  return EEC_NOT_MODIFIED;
}

int WINAPI CmpNameService(const char* Pattern, const char* String, int SkipPath) {
  std::string name = Str(String);
  if (SkipPath) {
    size_t cut = name.find_last_of("\\/:");
    if (cut != std::string::npos) name = name.substr(cut + 1);
  }
  return MatchMask(Str(Pattern), name) ? 1 : 0;
}

int WINAPI CharTableServiceEntry(int Command, char* Buffer, int BufferSize) {
  return CharTableService(Command, Buffer, BufferSize);
}

void WINAPI TextService(int, int, int, const char*) {}

int WINAPI EditorControlService(int, void*) { return 0; }
int WINAPI ViewerControlService(int, void*) { return 0; }

BOOL WINAPI ShowHelpService(const char* /*ModuleName*/, const char* Topic, DWORD /*Flags*/) {
  Log().Add("help " + Quote(Str(Topic)));
  return 1;
}

int WINAPI AdvControlService(int /*ModuleNumber*/, int Command, void* Param) {
  Host& host = Host::Current();
  switch (Command) {
    case ACTL_GETFARVERSION:
      if (Param != nullptr) *static_cast<DWORD*>(Param) = kFarVersion;
      return static_cast<int>(kFarVersion);
    case ACTL_POSTKEYSEQUENCE: {
      const auto* ks = static_cast<const KeySequence*>(Param);
      if (ks == nullptr || ks->Count < 0 || ks->Count > kMaxPostedKeys ||
          (ks->Count > 0 && ks->Sequence == nullptr)) {
        host.Fail("AdvControl(ACTL_POSTKEYSEQUENCE) with a broken KeySequence");
        return 0;
      }
      std::string names;
      for (int i = 0; i < ks->Count; ++i) {
        host.postedKeys().push_back(ks->Sequence[i]);
        names.append(" ").append(KeyName(ks->Sequence[i]));
      }
      Log().Add("keys posted:" + names);
      return 1;
    }
    case ACTL_GETWINDOWCOUNT:
      return 1;
    case ACTL_GETSYSWORDDIV:
      if (Param != nullptr) std::strcpy(static_cast<char*>(Param), " ~!%^&*()+|{}:\"<>?`-=\\[];',./");
      return 1;
    case ACTL_COMMIT:
      return 1;
    default:
      return 0;
  }
}

int WINAPI InputBoxService(const char* Title, const char* SubTitle, const char* HistoryName,
                           const char* SrcText, char* DestText, int DestLength,
                           const char* HelpTopic, DWORD Flags) {
  Host& host = Host::Current();
  if (DestText == nullptr || DestLength <= 0) {
    host.Fail("InputBox called without room for the text");
    return 0;
  }
  InputBoxRequest req;
  req.title = Str(Title);
  req.prompt = Str(SubTitle);
  req.history = Str(HistoryName);
  req.initial = Str(SrcText);
  req.helpTopic = Str(HelpTopic);
  req.flags = Flags;
  req.maxLength = DestLength - 1;
  char flagText[16];
  std::snprintf(flagText, sizeof(flagText), "0x%X", static_cast<unsigned>(Flags));
  Log().Add("inputbox " + Quote(req.title) + " prompt " + Quote(req.prompt) + " text " +
            Quote(req.initial) + " flags " + flagText +
            (req.helpTopic.empty() ? "" : " help " + Quote(req.helpTopic)));
  // An empty text without FIB_ENABLEEMPTY is refused and the box stays open;
  // a bounded number of attempts keeps a script that insists from looping.
  for (int attempt = 0; attempt < 100; ++attempt) {
    if (host.AnswerWithEscape("the input box " + Quote(req.title))) break;
    InputBoxAnswer a = host.driver()->InputBox(req);
    if (host.failed() || !a.confirmed) break;
    std::string text = a.text;
    if (Flags & FIB_EXPANDENV) {
      std::string expanded;
      for (size_t i = 0; i < text.size(); ++i) {
        size_t close = text[i] == '%' ? text.find('%', i + 1) : std::string::npos;
        std::string value;
        if (close != std::string::npos && sys::GetEnv(text.substr(i + 1, close - i - 1).c_str(), &value)) {
          expanded += value;
          i = close;
        } else {
          expanded.push_back(text[i]);
        }
      }
      text = expanded;
    }
    if (text.empty() && !(Flags & FIB_ENABLEEMPTY)) {
      Log().Add("  empty input refused: the box stays open");
      continue;
    }
    if (static_cast<int>(text.size()) > req.maxLength) {
      // The bytes that fit, never half a character.
      text.resize(HostFitBytes(text, static_cast<size_t>(req.maxLength)));
      Log().Add("  (the field takes " + std::to_string(req.maxLength) +
                (HostSpeaksUtf8() ? " bytes)" : " characters)"));
    }
    std::memcpy(DestText, text.data(), text.size());
    DestText[text.size()] = '\0';
    Log().Add("  -> " + Quote(text));
    return 1;
  }
  Log().Add("  -> cancelled");
  return 0;
}

std::string ComputeRootKey() {
  std::string user;
  if (sys::GetEnv("FARUSER", &user) && !user.empty()) {
    return "Software\\Far\\Users\\" + user + "\\Plugins";
  }
  return "Software\\Far\\Plugins";
}

}  // namespace

const char* PluginsRootKey() {
  static std::string key;
  static std::once_flag once;
  std::call_once(once, [] { key = ComputeRootKey(); });
  return key.c_str();
}

void FillStartupInfo(PluginStartupInfo* info, FarStandardFunctions* fsf,
                     const std::string& moduleName, int moduleNumber) {
  std::memset(info, 0, sizeof(*info));
  FillStandardFunctions(fsf);
  info->StructSize = sizeof(PluginStartupInfo);
  size_t n = std::min(moduleName.size(), sizeof(info->ModuleName) - 1);
  std::memcpy(info->ModuleName, moduleName.data(), n);
  info->ModuleNumber = moduleNumber;
  info->RootKey = PluginsRootKey();
  info->Menu = MenuService;
  info->Dialog = DialogService;
  info->Message = MessageService;
  info->GetMsg = GetMsgService;
  info->Control = ControlService;
  info->SaveScreen = SaveScreenService;
  info->RestoreScreen = RestoreScreenService;
  info->GetDirList = GetDirListService;
  info->GetPluginDirList = GetPluginDirListService;
  info->FreeDirList = FreeDirListService;
  info->Viewer = ViewerService;
  info->Editor = EditorService;
  info->CmpName = CmpNameService;
  info->CharTable = CharTableServiceEntry;
  info->Text = TextService;
  info->EditorControl = EditorControlService;
  info->FSF = fsf;
  info->ShowHelp = ShowHelpService;
  info->AdvControl = AdvControlService;
  info->InputBox = InputBoxService;
  info->DialogEx = DialogExService;
  info->SendDlgMessage = SendDlgMessageService;
  info->DefDlgProc = DefDlgProcService;
  info->ViewerControl = ViewerControlService;
}

}  // namespace hostsim
