#include "host/schemes.h"

#include <algorithm>
#include <string>
#include <vector>

#include "far/far_keys.h"
#include "far/plugin_api.h"
#include "host/dialog_frame.h"
#include "host/far_services.h"
#include "host/settings.h"
#include "sys/sys.h"
#include "tagwright/messages.h"

namespace host {

namespace {

constexpr const char* kSchemeHelp = "ID3Scheme";
constexpr const char* kNameHelp = "Id3NameOfScheme";
constexpr const char* kNameHistory = "ID3_Scheme";
constexpr const char* kMenuBottom = "Enter, F6, Del, Esc, Ctrl-Up, Ctrl-Down";
constexpr const char* kTemporaryName = "TEMP";
// InputBox: an empty name is not accepted, the last history entry is not
// offered, OK and Cancel are shown, '&' has no meaning.
constexpr DWORD kNameInputFlags = FIB_NOUSELASTHISTORY | FIB_BUTTONS | FIB_NOAMPERSAND;
constexpr int kNameLength = 128;  // destination size, terminator included
constexpr size_t kMenuTextMax = sizeof(FarMenuItem::Text) - 1;

// Break codes: the index into kBreakKeys.
enum SchemeBreak : int { BreakRename = 0, BreakDelete, BreakMoveUp, BreakMoveDown };
constexpr int kBreakKeys[] = {
    static_cast<int>(FARVK_F6),
    static_cast<int>(FARVK_DELETE),
    static_cast<int>(FARVK_CTRL | FARVK_UP),
    static_cast<int>(FARVK_CTRL | FARVK_DOWN),
    0,
};

std::string SchemesKey(const std::string& dialogKey) { return dialogKey + "\\Scheme"; }
std::string SchemeKey(const std::string& dialogKey, int n) {
  return SchemesKey(dialogKey) + "\\" + std::to_string(n);
}

// Count as the host's atoi reads it; a text that is no number, a negative
// one or one beyond kMaxSchemes is not believed.
int ReadCount(const std::string& dialogKey) {
  std::string text = ReadString("Count", SchemesKey(dialogKey), "0");
  int count = Atoi(text.c_str());
  if (count < 0) return 0;
  return std::min(count, kMaxSchemes);
}

void WriteCount(const std::string& dialogKey, int count) {
  WriteString("Count", SchemesKey(dialogKey), std::to_string(count));
}

std::string SchemeName(const std::string& dialogKey, int n) {
  return ReadString("SchemeName", SchemeKey(dialogKey, n), "Name " + std::to_string(n));
}

bool KeyExists(const std::string& fullPath) {
  sys::RegKey key = nullptr;
  if (sys::RegOpenKeyEx(sys::CurrentUserKey(), fullPath.c_str(), sys::kKeyRead, &key) != 0) {
    return false;
  }
  sys::RegCloseKey(key);
  return true;
}

// Renumbers one scheme below D\Scheme; an existing target is never replaced.
bool MoveScheme(const std::string& dialogKey, const std::string& from, const std::string& to) {
  return MoveKey(sys::CurrentUserKey(), KeyPath(SchemesKey(dialogKey)), from, to, false);
}

void Swap(const std::string& dialogKey, int a, int b) {
  // Each move refuses an existing target, so a TEMP left behind by an
  // interrupted swap makes this one change nothing rather than lose a scheme.
  MoveScheme(dialogKey, std::to_string(a), kTemporaryName);
  MoveScheme(dialogKey, std::to_string(b), std::to_string(a));
  MoveScheme(dialogKey, kTemporaryName, std::to_string(b));
}

// The menu opens on entry `position`: the host applies posted keys to the
// next menu it shows.
void PostDownKeys(int position) {
  std::vector<DWORD> keys(static_cast<size_t>(position), KEY_DOWN);
  KeySequence sequence{};
  sequence.Flags = KSFLAGS_DISABLEOUTPUT;
  sequence.Count = position;
  sequence.Sequence = keys.data();
  AdvControl(ACTL_POSTKEYSEQUENCE, &sequence);
}

bool AskName(int titleMsg, const std::string& initial, std::string* name) {
  char buffer[kNameLength] = {};
  if (!InputBox(Msg(titleMsg), Msg(MSchemeName), kNameHistory, initial.c_str(), buffer,
                kNameLength, kNameHelp, kNameInputFlags)) {
    return false;
  }
  buffer[kNameLength - 1] = '\0';
  *name = buffer;
  return true;
}

bool ConfirmDelete(const std::string& name) {
  // One text of lines, the first the title and the last two the buttons: a
  // line break inside a name read from the registry would shift them.
  std::string shown = name;
  std::replace(shown.begin(), shown.end(), '\n', ' ');
  std::replace(shown.begin(), shown.end(), '\r', ' ');
  std::string text = std::string(Msg(MDeleteSchemeTitle)) + "\n" + Msg(MDeleteSchemeAsk) + "\n" +
                     shown + "\n" + Msg(MDelete) + "\n" + Msg(MCancel);
  return Message(FMSG_ALLINONE, nullptr, reinterpret_cast<const char* const*>(text.c_str()), 0,
                 2) == 0;
}

// Deletes scheme s and closes the gap; the new Count.
int DeleteScheme(const std::string& dialogKey, int s, int count) {
  // A scheme whose key could not be deleted stays where it is, and so do the
  // others: lowering Count then would hide the last scheme instead. An entry
  // whose key is already missing (a Count larger than the keys) does go.
  if (!DeleteKey(sys::CurrentUserKey(), KeyPath(SchemeKey(dialogKey, s))) &&
      KeyExists(KeyPath(SchemeKey(dialogKey, s)))) {
    return count;
  }
  for (int i = s + 1; i < count; ++i) {
    MoveScheme(dialogKey, std::to_string(i), std::to_string(i - 1));
  }
  WriteCount(dialogKey, count - 1);
  return count - 1;
}

}  // namespace

void SaveScheme(const std::string& dialogKey) {
  std::string name;
  if (!AskName(MSaveSchemeTitle, "", &name)) return;
  StoreSettingsChange([&] {
    int n = ReadCount(dialogKey);
    if (n >= kMaxSchemes) return;
    // Values only: the schemes below the dialog's key are not copied into themselves.
    if (!CopyKey(sys::CurrentUserKey(), KeyPath(dialogKey), KeyPath(SchemeKey(dialogKey, n)),
                 false)) {
      return;
    }
    WriteString("SchemeName", SchemeKey(dialogKey, n), name);
    WriteCount(dialogKey, n + 1);
  });
}

void SchemeMenu(const std::string& dialogKey) {
  int reselect = 0;
  for (;;) {
    const int count = ReadCount(dialogKey);
    std::vector<FarMenuItem> items(static_cast<size_t>(count));
    std::vector<std::string> names(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
      names[i] = SchemeName(dialogKey, i);
      names[i].copy(items[i].Text, FittingBytes(names[i], kMenuTextMax));
    }
    if (reselect > 0) {
      PostDownKeys(reselect);
      reselect = 0;
    }
    int breakCode = -1;
    int s = Menu(-1, -1, 0, FMENU_WRAPMODE | FMENU_AUTOHIGHLIGHT, Msg(MSchemesTitle), kMenuBottom,
                 kSchemeHelp, kBreakKeys, &breakCode, items.data(), count);
    if (s < 0 || s >= count) {
      if (breakCode < 0) return;  // Esc
      continue;                   // a break key on an empty menu
    }
    switch (breakCode) {
      case -1:
        StoreSettingsChange([&] {
          CopyKey(sys::CurrentUserKey(), KeyPath(SchemeKey(dialogKey, s)), KeyPath(dialogKey),
                  false);
        });
        return;
      case BreakRename: {
        std::string shown(items[s].Text);
        std::string name;
        if (AskName(MRenameSchemeTitle, shown, &name)) {
          StoreSettingsChange([&] { WriteString("SchemeName", SchemeKey(dialogKey, s), name); });
        }
        reselect = s;
        break;
      }
      case BreakDelete:
        if (ConfirmDelete(names[s])) {
          int left = count;
          StoreSettingsChange([&] { left = DeleteScheme(dialogKey, s, count); });
          reselect = std::min(s, std::max(left - 1, 0));
        } else {
          reselect = s;
        }
        break;
      case BreakMoveUp:
        if (s > 0) {
          StoreSettingsChange([&] { Swap(dialogKey, s, s - 1); });
          reselect = s - 1;
        } else {
          reselect = s;
        }
        break;
      case BreakMoveDown:
        if (s < count - 1) {
          StoreSettingsChange([&] { Swap(dialogKey, s, s + 1); });
          reselect = s + 1;
        } else {
          reselect = s;
        }
        break;
      default:
        reselect = s;
        break;
    }
  }
}

bool RunSchemeDialog(const SchemeDialog& dialog) {
  for (;;) {
    dialog.fill();
    int closed = dialog.run();
    bool schemes = closed == dialog.schemesItem;
    bool save = closed == dialog.saveSchemeItem;
    if (closed == dialog.confirmItem || schemes || save) StoreDialogValues(dialog.store);
    if (schemes) {
      SchemeMenu(dialog.key);
    } else if (save) {
      SaveScheme(dialog.key);
    } else {
      return closed == dialog.confirmItem;
    }
  }
}

}  // namespace host
