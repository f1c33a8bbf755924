// The host's plugin interface, version 1.70: structures, constants and the
// signatures of its services, declared for this project.
//
// On 32-bit Windows every structure has the host's layout: 2-byte packing,
// 4-byte int, long and pointers (static_asserts at the end pin the sizes the
// plug-in relies on). Elsewhere the same declarations compile with the
// platform's natural alignment and sizes (pointers and long of 8 bytes on
// x86-64); both sides of the interface, our plug-in and our host stand-in, are
// then built from this one header. Code that takes the address of a member or
// binds a reference to one compiles here but not (or with a warning) for
// Windows, where the member may be misaligned: copy the value instead.
//
// This header does not include <windows.h>. A Windows-only file that needs
// both includes <windows.h> first: the few Windows types declared here are then
// the same types, and the DefDlgProc macro of windows.h is undone.
#pragma once

#include <cstddef>
#include <cstdint>

#include "far/far_keys.h"

// ------------------------------------------------------------ calling conventions

#if defined(_WIN32)
#ifndef WINAPI
#define WINAPI __stdcall
#endif
#ifndef WINAPIV
#define WINAPIV __cdecl
#endif
// Comparison callbacks of qsort, qsortex and bsearch.
#define FARCDECL __cdecl
#else
#ifndef WINAPI
#define WINAPI
#endif
#ifndef WINAPIV
#define WINAPIV
#endif
#define FARCDECL
#endif

// The four exports: C names; on Linux visible from a module built with hidden
// visibility (on Windows the .def file names them).
#if defined(_WIN32)
#define FAR_EXPORT extern "C"
#else
#define FAR_EXPORT extern "C" __attribute__((visibility("default")))
#endif

// windows.h maps DefDlgProc to DefDlgProcA; here it is the host service.
#ifdef DefDlgProc
#undef DefDlgProc
#endif

// ------------------------------------------------------------ basic types

#if defined(_WIN32)
// The same types as windows.h declares them, so that either order of
// inclusion compiles.
typedef unsigned long DWORD;
typedef int BOOL;
typedef void* HANDLE;
#else
typedef uint32_t DWORD;
typedef int BOOL;
typedef void* HANDLE;
#endif

#ifndef INVALID_HANDLE_VALUE
#define INVALID_HANDLE_VALUE ((HANDLE)(intptr_t)-1)
#endif

// Path buffer size used in the host's structures.
constexpr int NM = 260;

// The host's 2-byte packing on Windows. Elsewhere the structures keep their
// natural alignment, so that 8-byte pointers sit where their type wants them.
#if defined(_WIN32)
#pragma pack(push, 2)
#endif

struct FarFileTime {
  DWORD dwLowDateTime;
  DWORD dwHighDateTime;
};

// WIN32_FIND_DATAA as the host lays it out inside PluginPanelItem: 2-byte
// packing, 318 bytes on Windows (the default packing would give 320). The
// recursive search hands its callback the host's naturally packed
// WIN32_FIND_DATAA; every field sits at the same offset, only the two bytes of
// tail padding differ, so this declaration reads both.
struct FAR_FIND_DATA {
  DWORD dwFileAttributes;
  FarFileTime ftCreationTime;
  FarFileTime ftLastAccessTime;
  FarFileTime ftLastWriteTime;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
  DWORD dwReserved0;
  DWORD dwReserved1;
  char cFileName[NM];
  char cAlternateFileName[14];
};

// The Windows file attribute bit that marks a folder.
constexpr DWORD FAR_FILE_ATTRIBUTE_DIRECTORY = 0x10;

// COORD, SMALL_RECT and RECT with the Windows layouts (DM_SETCURSORPOS,
// DM_GETDLGRECT, PanelInfo.PanelRect).
struct FarCoord {
  short X;
  short Y;
};

struct FarSmallRect {
  short Left;
  short Top;
  short Right;
  short Bottom;
};

struct FarRect {
  int32_t left;
  int32_t top;
  int32_t right;
  int32_t bottom;
};

struct PluginPanelItem;
struct FarMenuItem;
struct FarDialogItem;
struct CharTableSet;
struct FarStandardFunctions;

// ------------------------------------------------------------ services (PluginStartupInfo)

typedef int(WINAPI* FARAPIMESSAGE)(int PluginNumber, DWORD Flags, const char* HelpTopic,
                                   const char* const* Items, int ItemsNumber, int ButtonsNumber);
// Dialog procedure; Param2 is a long on the host (on 64-bit Linux it holds a pointer).
typedef long(WINAPI* FARWINDOWPROC)(HANDLE hDlg, int Msg, int Param1, long Param2);
typedef long(WINAPI* FARAPISENDDLGMESSAGE)(HANDLE hDlg, int Msg, int Param1, long Param2);
typedef long(WINAPI* FARAPIDEFDLGPROC)(HANDLE hDlg, int Msg, int Param1, long Param2);
typedef int(WINAPI* FARAPIDIALOG)(int PluginNumber, int X1, int Y1, int X2, int Y2,
                                  const char* HelpTopic, FarDialogItem* Item, int ItemsNumber);
typedef int(WINAPI* FARAPIDIALOGEX)(int PluginNumber, int X1, int Y1, int X2, int Y2,
                                    const char* HelpTopic, FarDialogItem* Item, int ItemsNumber,
                                    DWORD Reserved, DWORD Flags, FARWINDOWPROC DlgProc,
                                    long Param);
typedef int(WINAPI* FARAPIMENU)(int PluginNumber, int X, int Y, int MaxHeight, DWORD Flags,
                                const char* Title, const char* Bottom, const char* HelpTopic,
                                const int* BreakKeys, int* BreakCode, const FarMenuItem* Item,
                                int ItemsNumber);
typedef int(WINAPI* FARAPICONTROL)(HANDLE hPlugin, int Command, void* Param);
typedef void(WINAPI* FARAPITEXT)(int X, int Y, int Color, const char* Str);
typedef HANDLE(WINAPI* FARAPISAVESCREEN)(int X1, int Y1, int X2, int Y2);
typedef void(WINAPI* FARAPIRESTORESCREEN)(HANDLE hScreen);
typedef int(WINAPI* FARAPIGETDIRLIST)(const char* Dir, PluginPanelItem** pPanelItem,
                                      int* pItemsNumber);
typedef int(WINAPI* FARAPIGETPLUGINDIRLIST)(int PluginNumber, HANDLE hPlugin, const char* Dir,
                                            PluginPanelItem** pPanelItem, int* pItemsNumber);
typedef void(WINAPI* FARAPIFREEDIRLIST)(const PluginPanelItem* PanelItem);
typedef int(WINAPI* FARAPIVIEWER)(const char* FileName, const char* Title, int X1, int Y1, int X2,
                                  int Y2, DWORD Flags);
typedef int(WINAPI* FARAPIEDITOR)(const char* FileName, const char* Title, int X1, int Y1, int X2,
                                  int Y2, DWORD Flags, int StartLine, int StartChar);
typedef int(WINAPI* FARAPICMPNAME)(const char* Pattern, const char* String, int SkipPath);
typedef int(WINAPI* FARAPICHARTABLE)(int Command, char* Buffer, int BufferSize);
typedef const char*(WINAPI* FARAPIGETMSG)(int PluginNumber, int MsgId);
typedef BOOL(WINAPI* FARAPISHOWHELP)(const char* ModuleName, const char* Topic, DWORD Flags);
typedef int(WINAPI* FARAPIADVCONTROL)(int ModuleNumber, int Command, void* Param);
typedef int(WINAPI* FARAPIVIEWERCONTROL)(int Command, void* Param);
typedef int(WINAPI* FARAPIEDITORCONTROL)(int Command, void* Param);
typedef int(WINAPI* FARAPIINPUTBOX)(const char* Title, const char* SubTitle,
                                    const char* HistoryName, const char* SrcText, char* DestText,
                                    int DestLength, const char* HelpTopic, DWORD Flags);

// ------------------------------------------------------------ standard functions (FSF)

typedef int(WINAPIV* FARSTDSPRINTF)(char* Buffer, const char* Format, ...);
typedef int(WINAPIV* FARSTDSSCANF)(const char* Buffer, const char* Format, ...);
typedef int(FARCDECL* FARSTDCMP)(const void*, const void*);
typedef int(FARCDECL* FARSTDCMPEX)(const void*, const void*, void* userparam);
typedef void(WINAPI* FARSTDQSORT)(void* base, size_t nelem, size_t width, FARSTDCMP fcmp);
typedef void(WINAPI* FARSTDQSORTEX)(void* base, size_t nelem, size_t width, FARSTDCMPEX fcmp,
                                    void* userparam);
typedef void*(WINAPI* FARSTDBSEARCH)(const void* key, const void* base, size_t nelem,
                                     size_t width, FARSTDCMP fcmp);
typedef int(WINAPI* FARSTDGETFILEOWNER)(const char* Computer, const char* Name, char* Owner);
typedef int(WINAPI* FARSTDGETNUMBEROFLINKS)(const char* Name);
typedef int(WINAPI* FARSTDATOI)(const char* s);
typedef long long(WINAPI* FARSTDATOI64)(const char* s);
typedef char*(WINAPI* FARSTDITOA64)(long long value, char* string, int radix);
typedef char*(WINAPI* FARSTDITOA)(int value, char* string, int radix);
typedef char*(WINAPI* FARSTDLTRIM)(char* Str);
typedef char*(WINAPI* FARSTDRTRIM)(char* Str);
typedef char*(WINAPI* FARSTDTRIM)(char* Str);
typedef char*(WINAPI* FARSTDTRUNCSTR)(char* Str, int MaxLength);
typedef char*(WINAPI* FARSTDTRUNCPATHSTR)(char* Str, int MaxLength);
typedef char*(WINAPI* FARSTDQUOTESPACEONLY)(char* Str);
typedef char*(WINAPI* FARSTDPOINTTONAME)(const char* Path);
typedef void(WINAPI* FARSTDGETPATHROOT)(const char* Path, char* Root);
typedef BOOL(WINAPI* FARSTDADDENDSLASH)(char* Path);
typedef int(WINAPI* FARSTDCOPYTOCLIPBOARD)(const char* Data);
typedef char*(WINAPI* FARSTDPASTEFROMCLIPBOARD)(void);
// The argument is an INPUT_RECORD of the Windows console.
typedef int(WINAPI* FARSTDINPUTRECORDTOKEY)(const void* r);
typedef int(WINAPI* FARSTDLOCALISLOWER)(unsigned Ch);
typedef int(WINAPI* FARSTDLOCALISUPPER)(unsigned Ch);
typedef int(WINAPI* FARSTDLOCALISALPHA)(unsigned Ch);
typedef int(WINAPI* FARSTDLOCALISALPHANUM)(unsigned Ch);
typedef unsigned(WINAPI* FARSTDLOCALUPPER)(unsigned LowerChar);
typedef unsigned(WINAPI* FARSTDLOCALLOWER)(unsigned UpperChar);
typedef void(WINAPI* FARSTDLOCALUPPERBUF)(char* Buf, int Length);
typedef void(WINAPI* FARSTDLOCALLOWERBUF)(char* Buf, int Length);
typedef void(WINAPI* FARSTDLOCALSTRUPR)(char* s1);
typedef void(WINAPI* FARSTDLOCALSTRLWR)(char* s1);
typedef int(WINAPI* FARSTDLOCALSTRICMP)(const char* s1, const char* s2);
typedef int(WINAPI* FARSTDLOCALSTRNICMP)(const char* s1, const char* s2, int n);
typedef int(WINAPI* FARSTDPROCESSNAME)(const char* param1, char* param2, DWORD flags);
typedef void(WINAPI* FARSTDUNQUOTE)(char* Str);
typedef DWORD(WINAPI* FARSTDEXPANDENVIRONMENTSTR)(const char* src, char* dst, size_t size);
typedef char*(WINAPI* FARSTDXLAT)(char* Line, int StartPos, int EndPos,
                                  const CharTableSet* TableSet, DWORD Flags);
typedef BOOL(WINAPI* FARSTDKEYTOKEYNAME)(int Key, char* KeyText, int Size);
typedef int(WINAPI* FARSTDKEYNAMETOKEY)(const char* Name);
// The recursive search's per-file callback: 0 stops the search.
typedef int(WINAPI* FRSUSERFUNC)(const FAR_FIND_DATA* FData, const char* FullName, void* Param);
typedef void(WINAPI* FARSTDRECURSIVESEARCH)(const char* InitDir, const char* Mask,
                                            FRSUSERFUNC Func, DWORD Flags, void* Param);
typedef char*(WINAPI* FARSTDMKTEMP)(char* Dest, const char* Prefix);
typedef void(WINAPI* FARSTDDELETEBUFFER)(char* Buffer);
typedef int(WINAPI* FARSTDMKLINK)(const char* Src, const char* Dest, DWORD Flags);
typedef int(WINAPI* FARCONVERTNAMETOREAL)(const char* Src, char* Dest, int DestSize);
typedef int(WINAPI* FARGETREPARSEPOINTINFO)(const char* Src, char* Dest, int DestSize);

struct FarStandardFunctions {
  int StructSize;
  FARSTDATOI atoi;
  FARSTDATOI64 atoi64;
  FARSTDITOA itoa;
  FARSTDITOA64 itoa64;
  FARSTDSPRINTF sprintf;
  FARSTDSSCANF sscanf;
  FARSTDQSORT qsort;
  FARSTDBSEARCH bsearch;
  FARSTDQSORTEX qsortex;
  DWORD Reserved[9];
  FARSTDLOCALISLOWER LIsLower;
  FARSTDLOCALISUPPER LIsUpper;
  FARSTDLOCALISALPHA LIsAlpha;
  FARSTDLOCALISALPHANUM LIsAlphanum;
  FARSTDLOCALUPPER LUpper;
  FARSTDLOCALLOWER LLower;
  FARSTDLOCALUPPERBUF LUpperBuf;
  FARSTDLOCALLOWERBUF LLowerBuf;
  FARSTDLOCALSTRUPR LStrupr;
  FARSTDLOCALSTRLWR LStrlwr;
  FARSTDLOCALSTRICMP LStricmp;
  FARSTDLOCALSTRNICMP LStrnicmp;
  FARSTDUNQUOTE Unquote;
  FARSTDEXPANDENVIRONMENTSTR ExpandEnvironmentStr;
  FARSTDLTRIM LTrim;
  FARSTDRTRIM RTrim;
  FARSTDTRIM Trim;
  FARSTDTRUNCSTR TruncStr;
  FARSTDTRUNCPATHSTR TruncPathStr;
  FARSTDQUOTESPACEONLY QuoteSpaceOnly;
  FARSTDPOINTTONAME PointToName;
  FARSTDGETPATHROOT GetPathRoot;
  FARSTDADDENDSLASH AddEndSlash;
  FARSTDCOPYTOCLIPBOARD CopyToClipboard;
  FARSTDPASTEFROMCLIPBOARD PasteFromClipboard;
  FARSTDKEYTOKEYNAME FarKeyToName;
  FARSTDKEYNAMETOKEY FarNameToKey;
  FARSTDINPUTRECORDTOKEY FarInputRecordToKey;
  FARSTDXLAT XLat;
  FARSTDGETFILEOWNER GetFileOwner;
  FARSTDGETNUMBEROFLINKS GetNumberOfLinks;
  FARSTDRECURSIVESEARCH FarRecursiveSearch;
  FARSTDMKTEMP MkTemp;
  FARSTDDELETEBUFFER DeleteBuffer;
  FARSTDPROCESSNAME ProcessName;
  FARSTDMKLINK MkLink;
  FARCONVERTNAMETOREAL ConvertNameToReal;
  FARGETREPARSEPOINTINFO GetReparsePointInfo;
};

struct PluginStartupInfo {
  int StructSize;
  char ModuleName[NM];
  int ModuleNumber;
  // Relative to HKEY_CURRENT_USER: the host's root + "\Plugins".
  const char* RootKey;
  FARAPIMENU Menu;
  FARAPIDIALOG Dialog;
  FARAPIMESSAGE Message;
  FARAPIGETMSG GetMsg;
  FARAPICONTROL Control;
  FARAPISAVESCREEN SaveScreen;
  FARAPIRESTORESCREEN RestoreScreen;
  FARAPIGETDIRLIST GetDirList;
  FARAPIGETPLUGINDIRLIST GetPluginDirList;
  FARAPIFREEDIRLIST FreeDirList;
  FARAPIVIEWER Viewer;
  FARAPIEDITOR Editor;
  FARAPICMPNAME CmpName;
  FARAPICHARTABLE CharTable;
  FARAPITEXT Text;
  FARAPIEDITORCONTROL EditorControl;
  // Valid only during SetStartupInfo: the plug-in copies the table.
  FarStandardFunctions* FSF;
  FARAPISHOWHELP ShowHelp;
  FARAPIADVCONTROL AdvControl;
  FARAPIINPUTBOX InputBox;
  FARAPIDIALOGEX DialogEx;
  FARAPISENDDLGMESSAGE SendDlgMessage;
  FARAPIDEFDLGPROC DefDlgProc;
  DWORD Reserved;
  FARAPIVIEWERCONTROL ViewerControl;
};

// ------------------------------------------------------------ GetPluginInfo

struct PluginInfo {
  int StructSize;
  DWORD Flags;
  const char* const* DiskMenuStrings;
  int* DiskMenuNumbers;
  int DiskMenuStringsNumber;
  const char* const* PluginMenuStrings;
  int PluginMenuStringsNumber;
  const char* const* PluginConfigStrings;
  int PluginConfigStringsNumber;
  const char* CommandPrefix;
  DWORD Reserved;
};

enum PLUGIN_FLAGS : unsigned int {
  PF_PRELOAD = 0x0001,
  PF_DISABLEPANELS = 0x0002,
  PF_EDITOR = 0x0004,
  PF_VIEWER = 0x0008,
  PF_FULLCMDLINE = 0x0010,
};

// OpenPlugin's OpenFrom. With OPEN_COMMANDLINE, Item points at the writable
// text after the prefix and its colon.
enum OPENPLUGIN_OPENFROM : int {
  OPEN_DISKMENU = 0,
  OPEN_PLUGINSMENU = 1,
  OPEN_FINDLIST = 2,
  OPEN_SHORTCUT = 3,
  OPEN_COMMANDLINE = 4,
  OPEN_EDITOR = 5,
  OPEN_VIEWER = 6,
};

// The exports as the host calls them. OpenPlugin's Item is an int on the host
// and can carry a pointer, so it is pointer-sized here (the same 4 bytes on
// 32-bit Windows).
typedef void(WINAPI* FARPLUGINSETSTARTUPINFO)(const PluginStartupInfo* Info);
typedef void(WINAPI* FARPLUGINGETPLUGININFO)(PluginInfo* Info);
typedef HANDLE(WINAPI* FARPLUGINOPENPLUGIN)(int OpenFrom, intptr_t Item);
typedef int(WINAPI* FARPLUGINCONFIGURE)(int ItemNumber);

// ------------------------------------------------------------ panels

struct PluginPanelItem {
  FAR_FIND_DATA FindData;
  DWORD PackSizeHigh;
  DWORD PackSize;
  DWORD Flags;
  DWORD NumberOfLinks;
  char* Description;
  char* Owner;
  char** CustomColumnData;
  int CustomColumnNumber;
  DWORD UserData;
  DWORD CRC32;
  DWORD Reserved[2];
};

enum PLUGINPANELITEMFLAGS : unsigned int {
  PPIF_PROCESSDESCR = 0x80000000,
  PPIF_SELECTED = 0x40000000,
  PPIF_USERDATA = 0x20000000,
};

struct PanelInfo {
  int PanelType;
  int Plugin;
  FarRect PanelRect;
  PluginPanelItem* PanelItems;
  int ItemsNumber;
  PluginPanelItem* SelectedItems;
  int SelectedItemsNumber;
  int CurrentItem;
  int TopPanelItem;
  int Visible;
  int Focus;
  int ViewMode;
  char ColumnTypes[80];
  char ColumnWidths[80];
  char CurDir[NM];
  int ShortNames;
  int SortMode;
  DWORD Flags;
  DWORD Reserved;
};

enum PANELINFOTYPE : int {
  PTYPE_FILEPANEL = 0,
  PTYPE_TREEPANEL = 1,
  PTYPE_QVIEWPANEL = 2,
  PTYPE_INFOPANEL = 3,
};

enum PANELINFOFLAGS : unsigned int {
  PFLAGS_SHOWHIDDEN = 0x00000001,
  PFLAGS_HIGHLIGHT = 0x00000002,
  PFLAGS_REVERSESORTORDER = 0x00000004,
  PFLAGS_USESORTGROUPS = 0x00000008,
  PFLAGS_SELECTEDFIRST = 0x00000010,
  PFLAGS_REALNAMES = 0x00000020,
  PFLAGS_NUMERICSORT = 0x00000040,
};

// Control's Command. The handle INVALID_HANDLE_VALUE means the active panel.
enum FILE_CONTROL_COMMANDS : int {
  FCTL_CLOSEPLUGIN = 0,
  FCTL_GETPANELINFO = 1,
  FCTL_GETANOTHERPANELINFO = 2,
  FCTL_UPDATEPANEL = 3,
  FCTL_UPDATEANOTHERPANEL = 4,
  FCTL_REDRAWPANEL = 5,
  FCTL_REDRAWANOTHERPANEL = 6,
  FCTL_SETANOTHERPANELDIR = 7,
  FCTL_GETCMDLINE = 8,
  FCTL_SETCMDLINE = 9,
  FCTL_SETSELECTION = 10,
  FCTL_SETANOTHERSELECTION = 11,
  FCTL_SETVIEWMODE = 12,
  FCTL_SETANOTHERVIEWMODE = 13,
  FCTL_INSERTCMDLINE = 14,
  FCTL_SETUSERSCREEN = 15,
  FCTL_SETPANELDIR = 16,
  FCTL_SETCMDLINEPOS = 17,
  FCTL_GETCMDLINEPOS = 18,
  FCTL_SETSORTMODE = 19,
  FCTL_SETANOTHERSORTMODE = 20,
  FCTL_SETSORTORDER = 21,
  FCTL_SETANOTHERSORTORDER = 22,
  FCTL_GETCMDLINESELECTEDTEXT = 23,
  FCTL_SETCMDLINESELECTION = 24,
  FCTL_GETCMDLINESELECTION = 25,
  FCTL_GETPANELSHORTINFO = 26,
  FCTL_GETANOTHERPANELSHORTINFO = 27,
  FCTL_CHECKPANELSEXIST = 28,
  FCTL_SETNUMERICSORT = 29,
  FCTL_SETANOTHERNUMERICSORT = 30,
};

// ------------------------------------------------------------ menus

struct FarMenuItem {
  char Text[128];
  int Selected;
  int Checked;
  int Separator;
};

struct FarMenuItemEx {
  DWORD Flags;
  union {
    char Text[128];
    const char* TextPtr;
  } Text;
  DWORD AccelKey;
  DWORD Reserved;
  DWORD UserData;
};

enum MENUITEMFLAGS : unsigned int {
  MIF_SELECTED = 0x00010000,
  MIF_CHECKED = 0x00020000,
  MIF_SEPARATOR = 0x00040000,
  MIF_DISABLE = 0x00080000,
  MIF_USETEXTPTR = 0x80000000,
};

enum FARMENUFLAGS : unsigned int {
  FMENU_SHOWAMPERSAND = 0x0001,
  FMENU_WRAPMODE = 0x0002,
  FMENU_AUTOHIGHLIGHT = 0x0004,
  FMENU_REVERSEAUTOHIGHLIGHT = 0x0008,
  FMENU_USEEXT = 0x0020,
  FMENU_CHANGECONSOLETITLE = 0x0040,
};

// Modifier bits of a menu break key, shifted into its high word.
enum PROCESSKEYFLAGS : unsigned int {
  PKF_CONTROL = 0x00000001,
  PKF_ALT = 0x00000002,
  PKF_SHIFT = 0x00000004,
  PKF_PREPROCESS = 0x00080000,
};

// ------------------------------------------------------------ messages

// The FMSG_MB_ values form one 4-bit field (0x000F0000) choosing a button set.
enum FARMESSAGEFLAGS : unsigned int {
  FMSG_WARNING = 0x00000001,
  FMSG_ERRORTYPE = 0x00000002,
  FMSG_KEEPBACKGROUND = 0x00000004,
  FMSG_DOWN = 0x00000008,
  FMSG_LEFTALIGN = 0x00000010,
  FMSG_ALLINONE = 0x00000020,
  FMSG_MB_OK = 0x00010000,
  FMSG_MB_OKCANCEL = 0x00020000,
  FMSG_MB_ABORTRETRYIGNORE = 0x00030000,
  FMSG_MB_YESNO = 0x00040000,
  FMSG_MB_YESNOCANCEL = 0x00050000,
  FMSG_MB_RETRYCANCEL = 0x00060000,
};

enum INPUTBOXFLAGS : unsigned int {
  FIB_ENABLEEMPTY = 0x00000001,
  FIB_PASSWORD = 0x00000002,
  FIB_EXPANDENV = 0x00000004,
  FIB_NOUSELASTHISTORY = 0x00000008,
  FIB_BUTTONS = 0x00000010,
  FIB_NOAMPERSAND = 0x00000020,
};

// ------------------------------------------------------------ dialogs

enum DialogItemTypes : int {
  DI_TEXT = 0,
  DI_VTEXT = 1,
  DI_SINGLEBOX = 2,
  DI_DOUBLEBOX = 3,
  DI_EDIT = 4,
  DI_PSWEDIT = 5,
  DI_FIXEDIT = 6,
  DI_BUTTON = 7,
  DI_CHECKBOX = 8,
  DI_RADIOBUTTON = 9,
  DI_COMBOBOX = 10,
  DI_LISTBOX = 11,
  DI_USERCONTROL = 255,
};

// Several names share a bit; the item type decides which meaning applies.
enum FarDialogItemFlags : unsigned int {
  DIF_COLORMASK = 0x000000FF,
  DIF_SETCOLOR = 0x00000100,
  DIF_BOXCOLOR = 0x00000200,
  DIF_GROUP = 0x00000400,
  DIF_LEFTTEXT = 0x00000800,
  DIF_MOVESELECT = 0x00001000,
  DIF_SHOWAMPERSAND = 0x00002000,
  DIF_CENTERGROUP = 0x00004000,
  DIF_NOBRACKETS = 0x00008000,
  DIF_MANUALADDHISTORY = 0x00008000,
  DIF_SEPARATOR = 0x00010000,
  DIF_VAREDIT = 0x00010000,
  DIF_SEPARATOR2 = 0x00020000,
  DIF_EDITOR = 0x00020000,
  DIF_LISTNOAMPERSAND = 0x00020000,
  DIF_LISTNOBOX = 0x00040000,
  DIF_HISTORY = 0x00040000,
  DIF_BTNNOCLOSE = 0x00040000,
  DIF_CENTERTEXT = 0x00040000,
  DIF_EDITEXPAND = 0x00080000,
  DIF_DROPDOWNLIST = 0x00100000,
  DIF_USELASTHISTORY = 0x00200000,
  DIF_MASKEDIT = 0x00400000,
  DIF_SELECTONENTRY = 0x00800000,
  DIF_3STATE = 0x00800000,
  DIF_LISTWRAPMODE = 0x01000000,
  DIF_LISTAUTOHIGHLIGHT = 0x02000000,
  DIF_LISTNOCLOSE = 0x04000000,
  DIF_HIDDEN = 0x10000000,
  DIF_READONLY = 0x20000000,
  DIF_NOFOCUS = 0x40000000,
  DIF_DISABLE = 0x80000000,
};

// DN_LISTHOTKEY sits in the DM_ range; DN_CLOSE = DM_CLOSE and DN_KEY = DM_KEY.
enum FarMessagesProc : int {
  DM_FIRST = 0,
  DM_CLOSE = 1,
  DM_ENABLE = 2,
  DM_ENABLEREDRAW = 3,
  DM_GETDLGDATA = 4,
  DM_GETDLGITEM = 5,
  DM_GETDLGRECT = 6,
  DM_GETTEXT = 7,
  DM_GETTEXTLENGTH = 8,
  DM_KEY = 9,
  DM_MOVEDIALOG = 10,
  DM_SETDLGDATA = 11,
  DM_SETDLGITEM = 12,
  DM_SETFOCUS = 13,
  DM_REDRAW = 14,
  DM_SETREDRAW = 14,
  DM_SETTEXT = 15,
  DM_SETMAXTEXTLENGTH = 16,
  DM_SETTEXTLENGTH = 16,
  DM_SHOWDIALOG = 17,
  DM_GETFOCUS = 18,
  DM_GETCURSORPOS = 19,
  DM_SETCURSORPOS = 20,
  DM_GETTEXTPTR = 21,
  DM_SETTEXTPTR = 22,
  DM_SHOWITEM = 23,
  DM_ADDHISTORY = 24,
  DM_GETCHECK = 25,
  DM_SETCHECK = 26,
  DM_SET3STATE = 27,
  DM_LISTSORT = 28,
  DM_LISTGETITEM = 29,
  DM_LISTGETCURPOS = 30,
  DM_LISTSETCURPOS = 31,
  DM_LISTDELETE = 32,
  DM_LISTADD = 33,
  DM_LISTADDSTR = 34,
  DM_LISTUPDATE = 35,
  DM_LISTINSERT = 36,
  DM_LISTFINDSTRING = 37,
  DM_LISTINFO = 38,
  DM_LISTGETDATA = 39,
  DM_LISTSETDATA = 40,
  DM_LISTSETTITLES = 41,
  DM_LISTGETTITLES = 42,
  DM_RESIZEDIALOG = 43,
  DM_SETITEMPOSITION = 44,
  DM_GETDROPDOWNOPENED = 45,
  DM_SETDROPDOWNOPENED = 46,
  DM_SETHISTORY = 47,
  DM_GETITEMPOSITION = 48,
  DM_SETMOUSEEVENTNOTIFY = 49,
  DM_EDITUNCHANGEDFLAG = 50,
  DM_GETITEMDATA = 51,
  DM_SETITEMDATA = 52,
  DM_LISTSET = 53,
  DM_LISTSETMOUSEREACTION = 54,
  DM_GETCURSORSIZE = 55,
  DM_SETCURSORSIZE = 56,
  DM_LISTGETDATASIZE = 57,
  DM_GETSELECTION = 58,
  DM_SETSELECTION = 59,
  DN_LISTHOTKEY = 60,

  DN_FIRST = 0x1000,
  DN_BTNCLICK = 0x1001,
  DN_CTLCOLORDIALOG = 0x1002,
  DN_CTLCOLORDLGITEM = 0x1003,
  DN_CTLCOLORDLGLIST = 0x1004,
  DN_DRAWDIALOG = 0x1005,
  DN_DRAWDLGITEM = 0x1006,
  DN_EDITCHANGE = 0x1007,
  DN_ENTERIDLE = 0x1008,
  DN_GOTFOCUS = 0x1009,
  DN_HELP = 0x100A,
  DN_HOTKEY = 0x100B,
  DN_INITDIALOG = 0x100C,
  DN_KILLFOCUS = 0x100D,
  DN_LISTCHANGE = 0x100E,
  DN_MOUSECLICK = 0x100F,
  DN_DRAGGED = 0x1010,
  DN_RESIZECONSOLE = 0x1011,
  DN_MOUSEEVENT = 0x1012,
  DN_DRAWDIALOGDONE = 0x1013,

  DN_CLOSE = DM_CLOSE,
  DN_KEY = DM_KEY,

  DM_USER = 0x4000,
};

enum FARCHECKEDSTATE : int {
  BSTATE_UNCHECKED = 0,
  BSTATE_CHECKED = 1,
  BSTATE_3STATE = 2,
  BSTATE_TOGGLE = 3,
};

enum FARDIALOGFLAGS : unsigned int {
  FDLG_WARNING = 0x00000001,
  FDLG_SMALLDIALOG = 0x00000002,
  FDLG_NODRAWSHADOW = 0x00000004,
  FDLG_NODRAWPANEL = 0x00000008,
};

enum LISTITEMFLAGS : unsigned int {
  LIF_SELECTED = 0x00010000,
  LIF_CHECKED = 0x00020000,
  LIF_SEPARATOR = 0x00040000,
  LIF_DISABLE = 0x00080000,
  LIF_DELETEUSERDATA = 0x80000000,
};

enum FARLISTINFOFLAGS : unsigned int {
  LINFO_SHOWNOBOX = 0x00000400,
  LINFO_AUTOHIGHLIGHT = 0x00000800,
  LINFO_REVERSEHIGHLIGHT = 0x00001000,
  LINFO_WRAPMODE = 0x00008000,
  LINFO_SHOWAMPERSAND = 0x00010000,
};

enum FARLISTFINDFLAGS : unsigned int {
  LIFIND_EXACTMATCH = 0x00000001,
};

struct FarListItem {
  DWORD Flags;
  char Text[128];
  DWORD Reserved[3];
};

struct FarList {
  int ItemsNumber;
  FarListItem* Items;
};

struct FarListPos {
  int SelectPos;
  int TopPos;
};

struct FarListDelete {
  int StartIndex;
  int Count;
};

struct FarListFind {
  int StartIndex;
  const char* Pattern;
  DWORD Flags;
  DWORD Reserved;
};

struct FarListInfo {
  DWORD Flags;
  int ItemsNumber;
  int SelectPos;
  int TopPos;
  int MaxHeight;
  int MaxLength;
  DWORD Reserved[6];
};

struct FarListItemData {
  int Index;
  int DataSize;
  void* Data;
  DWORD Reserved;
};

struct FarListTitles {
  int TitleLen;
  char* Title;
  int BottomLen;
  char* Bottom;
};

struct FarListUpdate {
  int Index;
  FarListItem Item;
};

struct FarListInsert {
  int Index;
  FarListItem Item;
};

struct FarListGetItem {
  int ItemIndex;
  FarListItem Item;
};

struct FarDialogItem {
  int Type;
  int X1;
  int Y1;
  int X2;
  int Y2;
  int Focus;
  union {
    int Selected;
    const char* History;
    const char* Mask;
    FarList* ListItems;
    int ListPos;
    void* VBuf;  // CHAR_INFO array of a DI_USERCONTROL
  };
  DWORD Flags;
  int DefaultButton;
  union {
    char Data[512];
    // DIF_VAREDIT: the text lives outside the item.
    struct {
      DWORD PtrFlags;
      int PtrLength;
      char* PtrData;
      char PtrTail[1];
    } Ptr;
  };
};

// Param2 of DM_GETTEXT and DM_SETTEXT.
struct FarDialogItemData {
  int PtrLength;
  char* PtrData;
};

// ------------------------------------------------------------ character tables

struct CharTableSet {
  unsigned char DecodeTable[256];
  unsigned char EncodeTable[256];
  unsigned char UpperTable[256];
  unsigned char LowerTable[256];
  char TableName[128];
};

// CharTable's Command: a table number 0, 1, 2 ... (-1 back when there is none),
// or FCT_DETECT with the text to analyse in Buffer.
enum FARCHARTABLE_COMMAND : int {
  FCT_DETECT = 0x40000000,
};

// ------------------------------------------------------------ AdvControl

enum ADVANCED_CONTROL_COMMANDS : int {
  ACTL_GETFARVERSION = 0,
  ACTL_CONSOLEMODE = 1,
  ACTL_GETSYSWORDDIV = 2,
  ACTL_WAITKEY = 3,
  ACTL_GETCOLOR = 4,
  ACTL_GETARRAYCOLOR = 5,
  ACTL_EJECTMEDIA = 6,
  ACTL_KEYMACRO = 7,
  ACTL_POSTKEYSEQUENCE = 8,
  ACTL_GETWINDOWINFO = 9,
  ACTL_GETWINDOWCOUNT = 10,
  ACTL_SETCURRENTWINDOW = 11,
  ACTL_COMMIT = 12,
  ACTL_GETFARHWND = 13,
  ACTL_GETSYSTEMSETTINGS = 14,
  ACTL_GETPANELSETTINGS = 15,
  ACTL_GETINTERFACESETTINGS = 16,
  ACTL_GETCONFIRMATIONS = 17,
  ACTL_GETDESCSETTINGS = 18,
  ACTL_SETARRAYCOLOR = 19,
  ACTL_GETWCHARMODE = 20,
  ACTL_GETPLUGINMAXREADDATA = 21,
  ACTL_GETDIALOGSETTINGS = 22,
  ACTL_GETSHORTWINDOWINFO = 23,
};

// Param of ACTL_POSTKEYSEQUENCE: Count host key codes (KEY_...), processed
// after the plug-in returns to the host.
struct KeySequence {
  DWORD Flags;
  int Count;
  DWORD* Sequence;
};

enum KEYSEQUENCEFLAGS : unsigned int {
  KSFLAGS_DISABLEOUTPUT = 0x00000001,
  KSFLAGS_NOSENDKEYSTOPLUGINS = 0x00000002,
};

// ------------------------------------------------------------ editor, viewer

enum EDITOR_FLAGS : unsigned int {
  EF_NONMODAL = 0x00000001,
  EF_CREATENEW = 0x00000002,
  EF_ENABLE_F6 = 0x00000004,
  EF_DISABLEHISTORY = 0x00000008,
  EF_DELETEONCLOSE = 0x00000010,
  EF_IMMEDIATERETURN = 0x00000100,
  EF_DELETEONLYFILEONCLOSE = 0x00000200,
};

enum EDITOR_EXITCODE : int {
  EEC_OPEN_ERROR = 0,
  EEC_MODIFIED = 1,
  EEC_NOT_MODIFIED = 2,
  EEC_LOADING_INTERRUPTED = 3,
};

enum VIEWER_FLAGS : unsigned int {
  VF_NONMODAL = 0x00000001,
  VF_DELETEONCLOSE = 0x00000002,
  VF_ENABLE_F6 = 0x00000004,
  VF_DISABLEHISTORY = 0x00000008,
  VF_IMMEDIATERETURN = 0x00000100,
  VF_DELETEONLYFILEONCLOSE = 0x00000200,
};

// ------------------------------------------------------------ standard-function flags

enum PROCESSNAME_FLAGS : unsigned int {
  PN_CMPNAME = 0x00000000,
  PN_CMPNAMELIST = 0x00001000,
  PN_GENERATENAME = 0x00002000,
  PN_SKIPPATH = 0x00100000,
};

enum FRSMODE : unsigned int {
  FRS_RETUPDIR = 0x01,
  FRS_RECUR = 0x02,
  FRS_SCANSYMLINK = 0x04,
};

enum XLATMODE : unsigned int {
  XLAT_SWITCHKEYBLAYOUT = 0x00000001,
  XLAT_SWITCHKEYBBEEP = 0x00000002,
};

enum FARHELPFLAGS : unsigned int {
  FHELP_SELFHELP = 0x00000000,
  FHELP_FARHELP = 0x00000001,
  FHELP_CUSTOMFILE = 0x00000002,
  FHELP_CUSTOMPATH = 0x00000004,
  FHELP_USECONTENTS = 0x40000000,
  FHELP_NOSHOWERROR = 0x80000000,
};

#if defined(_WIN32)
#pragma pack(pop)
#endif

// ------------------------------------------------------------ layout checks

static_assert(sizeof(FarMenuItem::Text) == 128, "menu item text field");
static_assert(sizeof(FarListItem::Text) == 128, "list item text field");
static_assert(sizeof(FarDialogItem::Data) == 512, "dialog item data field");
static_assert(sizeof(CharTableSet) == 1152, "CharTableSet");

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(FAR_FIND_DATA) == 318, "find data, 2-packed");
static_assert(sizeof(PluginStartupInfo) == 372, "PluginStartupInfo");
static_assert(offsetof(PluginStartupInfo, ModuleNumber) == 264, "PluginStartupInfo.ModuleNumber");
static_assert(offsetof(PluginStartupInfo, RootKey) == 268, "PluginStartupInfo.RootKey");
static_assert(offsetof(PluginStartupInfo, Menu) == 272, "PluginStartupInfo.Menu");
static_assert(offsetof(PluginStartupInfo, GetMsg) == 284, "PluginStartupInfo.GetMsg");
static_assert(offsetof(PluginStartupInfo, CharTable) == 324, "PluginStartupInfo.CharTable");
static_assert(offsetof(PluginStartupInfo, FSF) == 336, "PluginStartupInfo.FSF");
static_assert(offsetof(PluginStartupInfo, InputBox) == 348, "PluginStartupInfo.InputBox");
static_assert(offsetof(PluginStartupInfo, DefDlgProc) == 360, "PluginStartupInfo.DefDlgProc");
static_assert(offsetof(PluginStartupInfo, ViewerControl) == 368, "PluginStartupInfo.ViewerControl");
static_assert(sizeof(FarStandardFunctions) == 228, "FarStandardFunctions");
static_assert(offsetof(FarStandardFunctions, qsort) == 28, "FSF.qsort");
static_assert(offsetof(FarStandardFunctions, LIsLower) == 76, "FSF.LIsLower");
static_assert(offsetof(FarStandardFunctions, LStricmp) == 116, "FSF.LStricmp");
static_assert(offsetof(FarStandardFunctions, Unquote) == 124, "FSF.Unquote");
static_assert(offsetof(FarStandardFunctions, TruncPathStr) == 148, "FSF.TruncPathStr");
static_assert(offsetof(FarStandardFunctions, FarRecursiveSearch) == 200, "FSF.FarRecursiveSearch");
static_assert(offsetof(FarStandardFunctions, ProcessName) == 212, "FSF.ProcessName");
static_assert(offsetof(FarStandardFunctions, GetReparsePointInfo) == 224, "FSF.GetReparsePointInfo");
static_assert(sizeof(PluginInfo) == 44, "PluginInfo");
static_assert(offsetof(PluginInfo, PluginMenuStrings) == 20, "PluginInfo.PluginMenuStrings");
static_assert(offsetof(PluginInfo, CommandPrefix) == 36, "PluginInfo.CommandPrefix");
static_assert(sizeof(PluginPanelItem) == 366, "PluginPanelItem");
static_assert(offsetof(PluginPanelItem, PackSizeHigh) == 318, "PluginPanelItem.PackSizeHigh");
static_assert(offsetof(PluginPanelItem, Flags) == 326, "PluginPanelItem.Flags");
static_assert(offsetof(FAR_FIND_DATA, cFileName) == 44, "find data cFileName");
static_assert(sizeof(PanelInfo) == 496, "PanelInfo");
static_assert(offsetof(PanelInfo, PanelItems) == 24, "PanelInfo.PanelItems");
static_assert(offsetof(PanelInfo, CurDir) == 220, "PanelInfo.CurDir");
static_assert(offsetof(PanelInfo, Flags) == 488, "PanelInfo.Flags");
static_assert(sizeof(FarMenuItem) == 140, "FarMenuItem");
static_assert(sizeof(FarMenuItemEx) == 144, "FarMenuItemEx");
static_assert(sizeof(FarDialogItem) == 548, "FarDialogItem");
static_assert(offsetof(FarDialogItem, Selected) == 24, "FarDialogItem.Selected");
static_assert(offsetof(FarDialogItem, Flags) == 28, "FarDialogItem.Flags");
static_assert(offsetof(FarDialogItem, Data) == 36, "FarDialogItem.Data");
static_assert(sizeof(FarListItem) == 144, "FarListItem");
static_assert(sizeof(FarListUpdate) == 148, "FarListUpdate");
static_assert(sizeof(FarListInfo) == 48, "FarListInfo");
static_assert(sizeof(FarList) == 8, "FarList");
static_assert(sizeof(KeySequence) == 12, "KeySequence");
static_assert(sizeof(FarDialogItemData) == 8, "FarDialogItemData");
#endif
