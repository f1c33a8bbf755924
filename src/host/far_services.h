// The plug-in's copies of the host's tables, and the thin wrappers through
// which every module calls a host service. Modules outside src/host and
// src/views include this header, never far/ directly.
//
// The wrappers add no behaviour of their own: they pass the plug-in's module
// number where the host wants it, convert characters to the unsigned values
// the host's case functions expect, and give pointer-carrying dialog
// parameters their integer form.
#pragma once

#include <cstddef>
#include <string>

#include "far/plugin_api.h"

namespace host {

// Filled by SetStartupInfo. StartupInfo.FSF points at StandardFunctions; the
// tables the host passed are not used afterwards.
extern PluginStartupInfo StartupInfo;
extern FarStandardFunctions StandardFunctions;

// ---------------------------------------------------------------- PluginStartupInfo

// The text of message `msgId` of the plug-in's language file; "" when the
// host has none (never null).
const char* GetMsg(int msgId);

// Result: the pressed button, or -1 for Esc. Without buttons the box stays on
// screen and the call returns at once.
int Message(DWORD flags, const char* helpTopic, const char* const* items, int itemsNumber,
            int buttonsNumber);
// The FMSG_ALLINONE form: `text` is one text of '\n'-separated lines, the
// first of them the title. `flags` should carry FMSG_ALLINONE.
int Message(DWORD flags, const char* helpTopic, const char* text);

// Result: the chosen item, or -1 for Esc; *breakCode (when given) is the index
// of the break key that closed the menu, or -1.
int Menu(int x, int y, int maxHeight, DWORD flags, const char* title, const char* bottom,
         const char* helpTopic, const int* breakKeys, int* breakCode, const FarMenuItem* items,
         int itemsNumber);

// Result: the item that closed the dialog, or -1 for Esc. Items are updated in place.
int Dialog(int x1, int y1, int x2, int y2, const char* helpTopic, FarDialogItem* items,
           int itemsNumber);
int DialogEx(int x1, int y1, int x2, int y2, const char* helpTopic, FarDialogItem* items,
             int itemsNumber, DWORD flags, FARWINDOWPROC dialogProc, long param);
long SendDlgMessage(HANDLE dialog, int msg, int param1, long param2);
// For the messages whose Param2 is a pointer (DM_GETDLGITEM, DM_SETTEXTPTR ...).
long SendDlgMessagePtr(HANDLE dialog, int msg, int param1, const void* param2);
// A pointer that arrived in a dialog procedure's Param2.
template <typename T>
T* Param2Ptr(long param2) {
  return reinterpret_cast<T*>(param2);
}
long DefDlgProc(HANDLE dialog, int msg, int param1, long param2);

// Panel commands; `plugin` INVALID_HANDLE_VALUE means the active panel.
int Control(HANDLE plugin, int command, void* param);

// Without coordinates: the whole screen.
HANDLE SaveScreen(int x1 = 0, int y1 = 0, int x2 = -1, int y2 = -1);
// Puts the screen back and releases the handle.
void RestoreScreen(HANDLE screen);

// Fills `table` with the host's character table number `n`; -1 when there is none.
int CharTable(int n, CharTableSet* table);
// The raw form (FCT_DETECT and the like).
int CharTable(int command, char* buffer, int bufferSize);

// True when a text was confirmed; it is then in `dest` (at most destLength - 1 characters).
bool InputBox(const char* title, const char* subTitle, const char* historyName,
              const char* srcText, char* dest, int destLength, const char* helpTopic,
              DWORD flags);

int AdvControl(int command, void* param);

// Edits a file; returns when the user leaves the editor (an EEC_ value).
int Editor(const char* fileName, const char* title, int x1, int y1, int x2, int y2, DWORD flags,
           int startLine, int startChar);

// ---------------------------------------------------------------- FarStandardFunctions

// 0 without leading digits.
int Atoi(const char* text);
// Writes the digits into `buffer` (room for 33 characters with radix 2, 12 with 10).
char* Itoa(int value, char* buffer, int radix);
void QSort(void* base, size_t count, size_t width, FARSTDCMP compare);

// Character classes and case in the host's text: OEM bytes under FAR; where
// the host speaks UTF-8 a byte of 128 or above is a piece of a character and
// stays as it is (LStrupr, LStricmp and their kin take whole texts).
bool LIsLower(char ch);
bool LIsAlpha(char ch);
char LUpper(char ch);
char LLower(char ch);
void LStrupr(char* text);  // in place
void LStrlwr(char* text);  // in place
// 0 when equal ignoring case; otherwise the sign of the first difference.
int LStricmp(const char* a, const char* b);
// At most `n` characters (in UTF-8 host text, characters, not bytes).
int LStrnicmp(const char* a, const char* b, int n);

// Shortens a path in place to at most maxLength characters, whole ones.
char* TruncPathStr(char* path, int maxLength);
// The same on a copy of a path of any length, so that a long path keeps its
// end (the name) however many bytes it has.
std::string TruncatedPath(const std::string& path, int maxLength);
// A unique temporary file name (the file is not created); "" on failure.
std::string MkTemp(const char* prefix = nullptr);

void FarRecursiveSearch(const char* folder, const char* mask, FRSUSERFUNC callback, DWORD flags,
                        void* param);
// Non-zero when `name` matches `masks` (PN_CMPNAME, PN_CMPNAMELIST, with or
// without PN_SKIPPATH). PN_GENERATENAME would write into `name`: 0 without a call.
int ProcessName(const char* masks, const char* name, DWORD flags);
// Removes double quotes in place.
void Unquote(char* text);

}  // namespace host
