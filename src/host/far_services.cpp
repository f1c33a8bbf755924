#include "host/far_services.h"

#include <vector>

namespace host {

// A dialog's Param2 is a long that also carries pointers.
static_assert(sizeof(long) >= sizeof(void*), "dialog Param2 must hold a pointer");

PluginStartupInfo StartupInfo{};
FarStandardFunctions StandardFunctions{};

const char* GetMsg(int msgId) {
  if (StartupInfo.GetMsg == nullptr) return "";
  const char* text = StartupInfo.GetMsg(StartupInfo.ModuleNumber, msgId);
  return text != nullptr ? text : "";
}

int Message(DWORD flags, const char* helpTopic, const char* const* items, int itemsNumber,
            int buttonsNumber) {
  return StartupInfo.Message(StartupInfo.ModuleNumber, flags, helpTopic, items, itemsNumber,
                             buttonsNumber);
}

int Message(DWORD flags, const char* helpTopic, const char* text) {
  // With FMSG_ALLINONE the host reads Items as the one text.
  return StartupInfo.Message(StartupInfo.ModuleNumber, flags, helpTopic,
                             reinterpret_cast<const char* const*>(text), 0, 0);
}

int Menu(int x, int y, int maxHeight, DWORD flags, const char* title, const char* bottom,
         const char* helpTopic, const int* breakKeys, int* breakCode, const FarMenuItem* items,
         int itemsNumber) {
  return StartupInfo.Menu(StartupInfo.ModuleNumber, x, y, maxHeight, flags, title, bottom,
                          helpTopic, breakKeys, breakCode, items, itemsNumber);
}

int Dialog(int x1, int y1, int x2, int y2, const char* helpTopic, FarDialogItem* items,
           int itemsNumber) {
  return StartupInfo.Dialog(StartupInfo.ModuleNumber, x1, y1, x2, y2, helpTopic, items,
                            itemsNumber);
}

int DialogEx(int x1, int y1, int x2, int y2, const char* helpTopic, FarDialogItem* items,
             int itemsNumber, DWORD flags, FARWINDOWPROC dialogProc, long param) {
  return StartupInfo.DialogEx(StartupInfo.ModuleNumber, x1, y1, x2, y2, helpTopic, items,
                              itemsNumber, 0, flags, dialogProc, param);
}

long SendDlgMessage(HANDLE dialog, int msg, int param1, long param2) {
  return StartupInfo.SendDlgMessage(dialog, msg, param1, param2);
}

long SendDlgMessagePtr(HANDLE dialog, int msg, int param1, const void* param2) {
  return StartupInfo.SendDlgMessage(dialog, msg, param1, reinterpret_cast<long>(param2));
}

long DefDlgProc(HANDLE dialog, int msg, int param1, long param2) {
  return StartupInfo.DefDlgProc(dialog, msg, param1, param2);
}

int Control(HANDLE plugin, int command, void* param) {
  return StartupInfo.Control(plugin, command, param);
}

HANDLE SaveScreen(int x1, int y1, int x2, int y2) {
  return StartupInfo.SaveScreen(x1, y1, x2, y2);
}

void RestoreScreen(HANDLE screen) { StartupInfo.RestoreScreen(screen); }

int CharTable(int n, CharTableSet* table) {
  return StartupInfo.CharTable(n, reinterpret_cast<char*>(table),
                               static_cast<int>(sizeof(CharTableSet)));
}

int CharTable(int command, char* buffer, int bufferSize) {
  return StartupInfo.CharTable(command, buffer, bufferSize);
}

bool InputBox(const char* title, const char* subTitle, const char* historyName,
              const char* srcText, char* dest, int destLength, const char* helpTopic,
              DWORD flags) {
  return StartupInfo.InputBox(title, subTitle, historyName, srcText, dest, destLength,
                              helpTopic, flags) != 0;
}

int AdvControl(int command, void* param) {
  return StartupInfo.AdvControl(StartupInfo.ModuleNumber, command, param);
}

int Editor(const char* fileName, const char* title, int x1, int y1, int x2, int y2, DWORD flags,
           int startLine, int startChar) {
  return StartupInfo.Editor(fileName, title, x1, y1, x2, y2, flags, startLine, startChar);
}

int Atoi(const char* text) { return StandardFunctions.atoi(text); }

char* Itoa(int value, char* buffer, int radix) {
  return StandardFunctions.itoa(value, buffer, radix);
}

void QSort(void* base, size_t count, size_t width, FARSTDCMP compare) {
  StandardFunctions.qsort(base, count, width, compare);
}

// The host's case functions take the character as an unsigned value; a plain
// char above 127 would arrive sign-extended.
static unsigned Unsigned(char ch) { return static_cast<unsigned char>(ch); }

bool LIsLower(char ch) { return StandardFunctions.LIsLower(Unsigned(ch)) != 0; }
bool LIsAlpha(char ch) { return StandardFunctions.LIsAlpha(Unsigned(ch)) != 0; }
char LUpper(char ch) { return static_cast<char>(StandardFunctions.LUpper(Unsigned(ch))); }
char LLower(char ch) { return static_cast<char>(StandardFunctions.LLower(Unsigned(ch))); }
void LStrupr(char* text) { StandardFunctions.LStrupr(text); }
void LStrlwr(char* text) { StandardFunctions.LStrlwr(text); }
int LStricmp(const char* a, const char* b) { return StandardFunctions.LStricmp(a, b); }

int LStrnicmp(const char* a, const char* b, int n) {
  return StandardFunctions.LStrnicmp(a, b, n);
}

char* TruncPathStr(char* path, int maxLength) {
  return StandardFunctions.TruncPathStr(path, maxLength);
}

std::string TruncatedPath(const std::string& path, int maxLength) {
  std::vector<char> copy(path.c_str(), path.c_str() + path.size() + 1);
  return TruncPathStr(copy.data(), maxLength);
}

std::string MkTemp(const char* prefix) {
  // The host writes at most a path (NM bytes) into Dest.
  char name[NM + 1] = {};
  if (StandardFunctions.MkTemp(name, prefix) == nullptr) return std::string();
  name[NM] = '\0';
  return name;
}

void FarRecursiveSearch(const char* folder, const char* mask, FRSUSERFUNC callback, DWORD flags,
                        void* param) {
  StandardFunctions.FarRecursiveSearch(folder, mask, callback, flags, param);
}

int ProcessName(const char* masks, const char* name, DWORD flags) {
  if ((flags & PN_GENERATENAME) != 0) return 0;
  // Without PN_GENERATENAME the host only reads `name`.
  return StandardFunctions.ProcessName(masks, const_cast<char*>(name), flags);
}

void Unquote(char* text) { StandardFunctions.Unquote(text); }

}  // namespace host
