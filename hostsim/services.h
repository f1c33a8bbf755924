// The host's service tables as the stand-in fills them: every pointer of
// PluginStartupInfo and FarStandardFunctions leads to a function of the
// stand-in that works on the current Host.
#pragma once

#include <string>

#include "far/plugin_api.h"

namespace hostsim {

// StructSize, ModuleName (cut to fit), ModuleNumber, RootKey, all services,
// and FSF pointing at `fsf` (filled too).
void FillStartupInfo(PluginStartupInfo* info, FarStandardFunctions* fsf,
                     const std::string& moduleName, int moduleNumber);
void FillStandardFunctions(FarStandardFunctions* fsf);

// The registry path the host gives plug-ins: "Software\Far\Plugins", or with
// FARUSER set "Software\Far\Users\<name>\Plugins".
const char* PluginsRootKey();

}  // namespace hostsim
