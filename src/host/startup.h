// What the entry points do before any invocation: take over the host's tables
// and describe the plug-in to the host.
#pragma once

#include <string>

#include "far/plugin_api.h"

namespace host {

// Copies the host's PluginStartupInfo and the FarStandardFunctions it points at
// into StartupInfo and StandardFunctions, points StartupInfo.FSF at the copy,
// sets UserKey from the environment variable FARUSER, takes the host's text
// (TakeHostText), and connects the layers.
void TakeStartupInfo(const PluginStartupInfo* info);

// The host's text in which the plug-in meets the host (tags::HostCodePage):
// OEM, or UTF-8 where the process decided so (sys::HostTextIsUtf8, read again
// from the environment here).
void TakeHostText();

// Gives the lower layers what they reach only through this one: the host's
// LStricmp and qsort wrappers to the tag code (tags::HostTextOrder), the
// information view to tag creation (FileInformationView).
void ConnectLayers();

// UserKey for a FARUSER value (null: the variable is not set). Empty for an
// unset or empty variable and for the literal "FARUSER".
std::string UserKeyFor(const char* farUser);

// One plug-in menu entry and one configuration entry, both message 0 (fetched
// anew each time), and the command-line prefix "id3". Flags, the disk menu
// fields and Reserved are left as the host gave them.
void DescribePlugin(PluginInfo* info);

}  // namespace host
