// A running host dialog: its items, the focus, radio groups, check boxes,
// edit fields (fixed widths, masks, read-only), combo and list boxes with
// their lists, buttons; the DN_ notifications the host sends to the dialog
// procedure and the DM_ messages the plug-in sends back.
//
// Notification order, as the host does it:
// - opening: DN_INITDIALOG (Param1 the focused item, Param2 the DialogEx
//   parameter), then DN_GOTFOCUS for the focused item. DM_SETFOCUS during
//   DN_INITDIALOG moves the focus without notifications.
// - moving the focus: DN_KILLFOCUS to the item that has it (-1 lets it go, an
//   item number keeps the focus or sends it there), then DN_GOTFOCUS.
// - check box, radio button: the state changes, then DN_BTNCLICK (check box:
//   the new state; radio button: the number of the item that was on); a zero
//   result takes the change back.
// - button: DN_BTNCLICK (Param2 0), then, without DIF_BTNNOCLOSE, DN_CLOSE
//   with the button's number; a zero result keeps the dialog open.
// - a key: DN_KEY; when the procedure does not handle it (zero), the dialog
//   does what the key means (typing, Tab, Enter, Esc, Space ...).
// - a hot key (Alt with the '&' letter of an item's text, or the letter alone
//   when the focused item is no edit field or list): DN_HOTKEY with the item
//   (a zero result refuses), then as the user would: the focus moves, and a
//   button is pressed, a check box toggled, a radio button chosen; a label's
//   hot key moves the focus to the next item that takes it.
// - an edit's text changed by the user: DN_EDITCHANGE with the item.
// - Esc: DN_CLOSE with -1.
// Changes made through DM_ messages send no notifications.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "far/plugin_api.h"
#include "hostsim/host_text.h"

namespace hostsim {

class DialogEngine {
 public:
  DialogEngine(int x1, int y1, int x2, int y2, const char* helpTopic, FarDialogItem* items,
               int count, DWORD flags, FARWINDOWPROC proc, long param);
  DialogEngine(const DialogEngine&) = delete;
  DialogEngine& operator=(const DialogEngine&) = delete;

  HANDLE handle() { return static_cast<HANDLE>(this); }

  // DN_INITDIALOG and the first DN_GOTFOCUS.
  void Start();
  // Writes the final texts and states into the caller's items.
  void Finish();

  const std::string& helpTopic() const { return helpTopic_; }
  // The text of the first box item (the frame's title), else "".
  std::string title() const;
  // Help topic, else the title, else "dialog": names it in the transcript.
  std::string name() const;
  DWORD flags() const { return flags_; }  // FDLG_
  int width() const { return width_; }
  int height() const { return height_; }
  int count() const { return static_cast<int>(items_.size()); }
  bool closed() const { return closed_; }
  int exitCode() const { return exitCode_; }
  int focus() const { return focus_; }

  int type(int item) const;
  std::string text(int item) const;
  int check(int item) const;
  bool enabled(int item) const;
  bool visible(int item) const;
  int cursorColumn(int item) const;
  std::vector<std::string> listTexts(int item) const;
  // The item as the dialog holds it: position, flags, states (its text is text()).
  const FarDialogItem& farItem(int item) const { return items_[Valid(item) ? item : 0].far; }
  int listPos(int item) const;

  // One line per item, for the transcript.
  std::string DescribeItem(int item) const;
  std::vector<std::string> DescribeItems() const;

  // What the user does. Each returns false with `*error` when the action
  // cannot be done at all (no such item, an item of another kind, disabled,
  // read-only, a text that does not fit); a dialog procedure that keeps the
  // focus elsewhere is no error: the action stops there and a note goes to
  // the transcript.
  bool SetText(int item, const std::string& text, std::string* error);
  bool SetCheck(int item, int state, std::string* error);
  bool ChooseRadio(int item, std::string* error);
  bool ChooseEntry(int item, int entry, std::string* error);
  bool ChooseEntry(int item, const std::string& entryText, std::string* error);
  bool Type(int item, const std::string& text, std::string* error);
  bool Keys(int item, const std::vector<DWORD>& keys, std::string* error);
  bool Focus(int item, std::string* error);
  bool Press(int item, std::string* error);
  void Escape();
  // Enter on the focused item: a button is pressed, elsewhere the default
  // button closes the dialog.
  void Enter();
  // Closes with -1 even against DN_CLOSE (after a failure).
  void ForceClose();

  // A key as the host processes it: DN_KEY, then the default meaning.
  void ProcessKey(DWORD key);

  // SendDlgMessage.
  long Send(int msg, int param1, long param2);
  // DefDlgProc: the default answers to notifications.
  long DefaultProc(int msg, int param1, long param2);

 private:
  struct ListEntry {
    DWORD flags = 0;
    std::string text;
    std::vector<char> data;  // DM_LISTSETDATA copy; empty with dataPointer set: pointer kept
    long dataPointer = 0;
  };
  struct Item {
    FarDialogItem far;  // as the caller gave it (the text lives in `text`)
    std::string text;
    std::string history;
    std::string mask;
    std::vector<ListEntry> list;
    int listPos = -1;
    int listTop = 0;
    std::string listTitle;
    std::string listBottom;
    size_t maxBytes = 511;                      // the room of its field
    size_t maxChars = static_cast<size_t>(-1);  // a fixed width, a mask, DM_SETMAXTEXTLENGTH
    int cursor = 0;                             // in characters
    int selStart = -1;                          // selection [selStart, selEnd) in characters, or -1
    int selEnd = -1;
    bool unchanged = true;
    long userData = 0;
  };

  long CallProc(int msg, int param1, long param2);
  // Send by family of messages: the answer, or nothing for a message of
  // another family.
  std::optional<long> SendDialog(int msg, int param1, long param2);
  std::optional<long> SendItemText(int msg, int param1, long param2);
  std::optional<long> SendEditField(int msg, int param1, long param2);
  std::optional<long> SendItemData(int msg, int param1, long param2);
  std::optional<long> SendItemState(int msg, int param1, long param2);
  std::optional<long> SendListPosition(int msg, int param1, long param2);
  std::optional<long> SendListChange(int msg, int param1, long param2);
  std::optional<long> SendListData(int msg, int param1, long param2);
  bool Valid(int item) const { return item >= 0 && item < count(); }
  bool IsEditLike(int item) const;
  bool IsDropDown(int item) const;
  bool Focusable(int item) const;
  bool CheckUsable(int item, std::string* error) const;
  // Moves the focus as the user would; false when the procedure kept it.
  bool MoveFocus(int item);
  // Focus moves made by DM_SETFOCUS: notifications unless the dialog is starting.
  bool SetFocusByMessage(int item);
  void TryClose(int code);
  void PressButton(int item);
  void ToggleCheck(int item);
  void SelectRadio(int item);
  void SelectEntry(int item, int entry, bool notify);
  void NextFocus(int step);
  // The first visible, enabled label, button, check box or radio button
  // whose hot key is `hot`, or -1.
  int HotkeyItem(HostChar hot) const;
  // Acts on the item of hot key `hot` as the host does: DN_HOTKEY (a zero
  // answer refuses), then the focus moves to it (from a label, to the next
  // item that takes the focus) and a button is pressed, a check box toggled,
  // a radio button chosen. False when no item has that hot key.
  bool ActivateHotkey(HostChar hot, DWORD key);
  void ApplyEditKey(int item, DWORD key);
  bool InsertChar(int item, HostChar c);
  void EditChanged(int item);
  bool FitsMask(const Item& it, const std::string& text) const;
  // The bytes an item's field holds, and the characters it takes at most
  // (none but the bytes: -1).
  size_t ByteRoom(const Item& it) const;
  size_t CharRoom(const Item& it) const;
  bool Fits(const Item& it, const std::string& text) const;
  // The limit that `Fits` applies, in words.
  std::string LimitOf(const Item& it) const;
  void SetTextInternal(int item, const std::string& text);
  void LoadList(Item& it, const FarList* list);
  void FillFarItem(int item, FarDialogItem* out) const;
  void ApplyFarItem(int item, const FarDialogItem& in);
  int RadioGroupStart(int item) const;
  int RadioGroupEnd(int item) const;
  int FindEntry(const Item& it, const std::string& text) const;
  void Note(const std::string& text);

  std::string helpTopic_;
  int width_ = 0;
  int height_ = 0;
  DWORD flags_ = 0;
  FARWINDOWPROC proc_ = nullptr;
  long param_ = 0;
  long userData_ = 0;
  FarDialogItem* callerItems_ = nullptr;
  std::vector<Item> items_;
  int focus_ = -1;
  bool starting_ = false;
  bool closed_ = false;
  int exitCode_ = -1;
  int redrawLock_ = 0;
  FarDialogItem scratch_;  // Param2 of DN_EDITCHANGE
};

}  // namespace hostsim
