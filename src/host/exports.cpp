// The four functions the host looks up by name. No exception may cross into
// the host: each export catches everything and returns what the host expects.
#include "far/plugin_api.h"
#include "host/settings.h"
#include "host/startup.h"

FAR_EXPORT void WINAPI SetStartupInfo(const PluginStartupInfo* Info) {
  try {
    host::TakeStartupInfo(Info);
    // The configuration needs the tables (message 0 names the key) and UserKey.
    host::LoadConfig();
  } catch (...) {
  }
}

FAR_EXPORT void WINAPI GetPluginInfo(PluginInfo* Info) {
  try {
    host::DescribePlugin(Info);
  } catch (...) {
  }
}

FAR_EXPORT HANDLE WINAPI OpenPlugin(int OpenFrom, intptr_t Item) {
  try {
    // The operations menu and the walk over the selection (OPEN_PLUGINSMENU)
    // and the command-line form (OPEN_COMMANDLINE) are not in this build yet:
    // every call ends at once.
    (void)OpenFrom;
    (void)Item;
  } catch (...) {
  }
  return INVALID_HANDLE_VALUE;
}

FAR_EXPORT int WINAPI Configure(int ItemNumber) {
  try {
    // The configuration dialog is not in this build yet.
    (void)ItemNumber;
  } catch (...) {
  }
  return 1;
}
