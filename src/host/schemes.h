// Schemes: named copies of a batch dialog's settings, kept below the dialog's
// own key as D\Scheme\0 .. D\Scheme\<Count - 1>, with Count in D\Scheme.
#pragma once

#include <functional>
#include <string>

namespace host {

// Asks for a name and saves the values of `dialogKey` (a subkey of the
// plug-in's key, such as "TagToFileDialog") as a new last scheme.
void SaveScheme(const std::string& dialogKey);

// The scheme menu of `dialogKey`: Enter loads a scheme into the dialog's key,
// F6 renames, Del deletes, Ctrl-Up and Ctrl-Down move. Returns when a scheme
// was loaded or the menu was closed with Esc.
void SchemeMenu(const std::string& dialogKey);

// The loop every batch dialog runs around its two scheme buttons: fill the
// items from the registry, run the dialog, and when it closed with the confirm
// button or a scheme button store the items to the registry; a scheme button
// then opens SchemeMenu or SaveScheme and the dialog opens again with what the
// key now holds. True when the dialog was confirmed.
struct SchemeDialog {
  std::string key;      // the dialog's subkey
  int confirmItem;      // message 6
  int schemesItem;      // message 75: SchemeMenu
  int saveSchemeItem;   // message 76: SaveScheme
  std::function<void()> fill;   // registry -> items
  std::function<int()> run;     // the closing item, -1 for Esc
  std::function<void()> store;  // items -> registry
};
bool RunSchemeDialog(const SchemeDialog& dialog);

// Beyond this Count a damaged value is not believed: the menu lists at most
// this many schemes and no scheme is saved past it.
inline constexpr int kMaxSchemes = 1000;

}  // namespace host
