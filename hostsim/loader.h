// Loads a plug-in module the way the host does: LoadLibrary (after the file
// functions were switched to OEM) or dlopen, the exports looked up by their
// plain names, the language file chosen from the .lng files beside the
// module, and the exports called with the host's tables.
#pragma once

#include <string>
#include <vector>

#include "far/plugin_api.h"

namespace hostsim {

struct PluginInfoCopy {
  DWORD flags = 0;
  std::vector<std::string> menuStrings;
  std::vector<std::string> configStrings;
  std::vector<std::string> diskMenuStrings;
  std::string commandPrefix;
};

class PluginModule {
 public:
  explicit PluginModule(int moduleNumber = 0) : moduleNumber_(moduleNumber) {}
  ~PluginModule();
  PluginModule(const PluginModule&) = delete;
  PluginModule& operator=(const PluginModule&) = delete;

  // `path` in the host's text. `language` empty: $TAGWRIGHT_LANG, else English. A
  // missing or damaged language file, or a missing SetStartupInfo, is an
  // error here, before any export is called.
  bool Load(const std::string& path, const std::string& language, std::string* error);
  void Unload();
  bool loaded() const { return handle_ != nullptr; }

  const std::string& moduleName() const { return moduleName_; }
  const std::string& languageName() const { return languageName_; }
  const std::string& languageFile() const { return languageFile_; }
  // The folder of the language and help files: the module's own, else for a
  // module installed in PREFIX/lib/tagwright, PREFIX/share/tagwright.
  const std::string& dataFolder() const { return dataFolder_; }
  int moduleNumber() const { return moduleNumber_; }

  // The exports, as the host calls them; each call goes to the transcript.
  // A missing export does nothing and returns what the host assumes then.
  void SetStartupInfo();
  bool GetPluginInfo(PluginInfoCopy* info);
  // What the last GetPluginInfo said (the host keeps it, as FAR caches it).
  const PluginInfoCopy& lastInfo() const { return lastInfo_; }
  HANDLE OpenPlugin(int openFrom, intptr_t item);
  int Configure(int itemNumber);
  bool HasConfigure() const { return configure_ != nullptr; }
  bool HasOpenPlugin() const { return openPlugin_ != nullptr; }

 private:
  void* Symbol(const char* name) const;

  int moduleNumber_;
  void* handle_ = nullptr;
  std::string moduleName_;
  std::string languageName_;
  std::string languageFile_;
  std::string dataFolder_;
  PluginInfoCopy lastInfo_;
  FARPLUGINSETSTARTUPINFO setStartupInfo_ = nullptr;
  FARPLUGINGETPLUGININFO getPluginInfo_ = nullptr;
  FARPLUGINOPENPLUGIN openPlugin_ = nullptr;
  FARPLUGINCONFIGURE configure_ = nullptr;
  void(WINAPI* exitFar_)() = nullptr;
};

}  // namespace hostsim
