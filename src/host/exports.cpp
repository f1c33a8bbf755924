// The four functions the host looks up by name. No exception may cross into
// the host: each export catches everything, tells the user where the host's
// tables allow it, and returns what the host expects.
#include <exception>

#include "far/plugin_api.h"
#include "host/config_dialog.h"
#include "host/settings.h"
#include "host/startup.h"
#include "host/walk.h"

namespace {

void ReportCurrentException() {
  try {
    throw;
  } catch (const std::exception& e) {
    host::ReportFailure(e.what());
  } catch (...) {
    host::ReportFailure(nullptr);
  }
}

}  // namespace

FAR_EXPORT void WINAPI SetStartupInfo(const PluginStartupInfo* Info) {
  try {
    host::TakeStartupInfo(Info);
    // The configuration needs the tables (message 0 names the key) and UserKey.
    host::LoadConfig();
  } catch (...) {
    ReportCurrentException();
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
    switch (OpenFrom) {
      case OPEN_PLUGINSMENU:
        host::OpenFromPluginsMenu();
        break;
      case OPEN_COMMANDLINE:
        host::OpenFromCommandLine(reinterpret_cast<const char*>(Item));
        break;
      default:
        break;
    }
  } catch (...) {
    ReportCurrentException();
  }
  return INVALID_HANDLE_VALUE;
}

FAR_EXPORT int WINAPI Configure(int /*ItemNumber*/) {
  try {
    host::ConfigDialog();
  } catch (...) {
    ReportCurrentException();
  }
  return 1;
}
