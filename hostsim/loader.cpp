#include "hostsim/loader.h"

#include <cstdio>
#include <cstring>

#include "hostsim/fs.h"
#include "hostsim/host.h"
#include "hostsim/lng.h"
#include "hostsim/oem_case.h"
#include "hostsim/platform.h"
#include "hostsim/services.h"
#include "hostsim/transcript.h"
#include "sys/sys.h"

namespace hostsim {

namespace {

// MAKEFARVERSION(1, 70, 2087): what the stand-in claims to be.
constexpr DWORD kFarVersion = 0x08270146;

template <typename F>
F As(void* symbol) {
  return reinterpret_cast<F>(symbol);
}

std::string FolderOf(const std::string& path) {
  size_t cut = path.find_last_of("\\/");
  return cut == std::string::npos ? std::string(".") : path.substr(0, cut == 0 ? 1 : cut);
}

bool EndsWithNoCase(const std::string& s, const char* suffix) {
  size_t n = std::strlen(suffix);
  return s.size() >= n && CompareNoCase(s.c_str() + s.size() - n, suffix) == 0;
}

bool HasLanguageFile(const std::vector<FAR_FIND_DATA>& entries) {
  for (const auto& e : entries) {
    if (!(e.dwFileAttributes & FAR_FILE_ATTRIBUTE_DIRECTORY) && EndsWithNoCase(e.cFileName, ".lng")) return true;
  }
  return false;
}

std::vector<std::string> CopyStrings(const char* const* strings, int count) {
  std::vector<std::string> out;
  if (strings == nullptr) return out;
  for (int i = 0; i < count && i < 256; ++i) {
    out.push_back(strings[i] != nullptr ? std::string(strings[i], strnlen(strings[i], 1024)) : "");
  }
  return out;
}

std::string Describe(const std::vector<std::string>& strings) {
  std::string out = "[";
  for (size_t i = 0; i < strings.size(); ++i) out += (i ? ", " : "") + Quote(strings[i]);
  return out + "]";
}

}  // namespace

PluginModule::~PluginModule() { Unload(); }

void* PluginModule::Symbol(const char* name) const {
  return platform::ModuleSymbol(handle_, name);
}

bool PluginModule::Load(const std::string& path, const std::string& language, std::string* error) {
  Unload();
  moduleName_ = AbsolutePath(path);
  // The language first: a damaged file is reported before the module runs.
  std::string folder = FolderOf(moduleName_);
  std::vector<FAR_FIND_DATA> entries;
  if (!ListFolder(folder, &entries)) {
    *error = "cannot list the module's folder " + folder;
    return false;
  }
  // An installed module (PREFIX/lib/tagwright) keeps its language and help
  // files in PREFIX/share/tagwright.
  if (!HasLanguageFile(entries)) {
    const std::string installed = JoinPath(JoinPath(FolderOf(FolderOf(folder)), "share"), "tagwright");
    std::vector<FAR_FIND_DATA> data;
    if (ListFolder(installed, &data) && HasLanguageFile(data)) {
      folder = installed;
      entries.swap(data);
    }
  }
  dataFolder_ = folder;
  std::vector<LanguageFile> files;
  for (const auto& e : entries) {
    if (e.dwFileAttributes & FAR_FILE_ATTRIBUTE_DIRECTORY) continue;
    if (!EndsWithNoCase(e.cFileName, ".lng")) continue;
    std::string content;
    if (!ReadWholeFile(JoinPath(folder, e.cFileName), &content)) {
      *error = std::string("cannot read the language file ") + e.cFileName;
      return false;
    }
    LanguageFile file;
    if (!ParseLanguageFile(content, e.cFileName, &file, error)) return false;
    ToHostText(&file);
    files.push_back(std::move(file));
  }
  std::string wanted = language;
  if (wanted.empty() && !sys::GetEnv("TAGWRIGHT_LANG", &wanted)) wanted.clear();
  if (wanted.empty()) wanted = "English";
  size_t chosen = 0;
  if (!ChooseLanguage(files, wanted, &chosen, error)) {
    *error += " (in " + folder + ")";
    return false;
  }
  languageName_ = files[chosen].name;
  languageFile_ = files[chosen].fileName;

  // As the host: file names in OEM from here on (the Host did it already).
  platform::UseOemFileNames();
  // The host's copy of the system layer shares its fault injection state
  // first: the state every copy uses then outlives every module.
  sys::ShareFileOperationState();
  std::string why;
  handle_ = platform::OpenModule(moduleName_, &why);
  if (handle_ == nullptr) {
    *error = "cannot load " + moduleName_ + ": " + why;
    return false;
  }
  setStartupInfo_ = As<FARPLUGINSETSTARTUPINFO>(Symbol("SetStartupInfo"));
  getPluginInfo_ = As<FARPLUGINGETPLUGININFO>(Symbol("GetPluginInfo"));
  openPlugin_ = As<FARPLUGINOPENPLUGIN>(Symbol("OpenPlugin"));
  configure_ = As<FARPLUGINCONFIGURE>(Symbol("Configure"));
  exitFar_ = As<void(WINAPI*)()>(Symbol("ExitFAR"));
  auto minVersion = As<int(WINAPI*)()>(Symbol("GetMinFarVersion"));
  if (setStartupInfo_ == nullptr) {
    *error = moduleName_ + " does not export SetStartupInfo";
    Unload();
    return false;
  }
  if (minVersion != nullptr) {
    DWORD required = static_cast<DWORD>(minVersion());
    // The host's rule: the low word (major, minor) first, then the build.
    if ((required & 0xFFFF) > (kFarVersion & 0xFFFF) ||
        ((required & 0xFFFF) == (kFarVersion & 0xFFFF) && (required >> 16) > (kFarVersion >> 16))) {
      *error = moduleName_ + " needs a newer host";
      Unload();
      return false;
    }
  }
  Host& host = Host::Current();
  host.SetMessages(moduleNumber_, languageFile_, files[chosen].messages);
  // The module's file name differs between the platforms; the transcript
  // names only what is the same on both.
  host.transcript().Add("loaded the plug-in, language " + languageName_ + " (" + languageFile_ +
                        ", " + std::to_string(files[chosen].messages.size()) + " messages)");
  return true;
}

void PluginModule::Unload() {
  if (handle_ == nullptr) return;
  if (exitFar_ != nullptr) exitFar_();
  platform::CloseModule(handle_);
  handle_ = nullptr;
  lastInfo_ = PluginInfoCopy();
  setStartupInfo_ = nullptr;
  getPluginInfo_ = nullptr;
  openPlugin_ = nullptr;
  configure_ = nullptr;
  exitFar_ = nullptr;
}

void PluginModule::SetStartupInfo() {
  if (setStartupInfo_ == nullptr) return;
  // The host hands over copies that live only for the call: a plug-in must
  // copy both tables.
  PluginStartupInfo info;
  FarStandardFunctions fsf;
  FillStartupInfo(&info, &fsf, moduleName_, moduleNumber_);
  Host::Current().transcript().Add("call SetStartupInfo");
  setStartupInfo_(&info);
  std::memset(&info, 0, sizeof(info));
  std::memset(&fsf, 0, sizeof(fsf));
}

bool PluginModule::GetPluginInfo(PluginInfoCopy* copy) {
  *copy = PluginInfoCopy();
  if (getPluginInfo_ == nullptr) return false;
  PluginInfo info;
  std::memset(&info, 0, sizeof(info));
  getPluginInfo_(&info);
  Host& host = Host::Current();
  if (info.StructSize != static_cast<int>(sizeof(PluginInfo))) {
    host.Fail("GetPluginInfo set StructSize " + std::to_string(info.StructSize) + ", not " +
              std::to_string(sizeof(PluginInfo)));
  }
  copy->flags = info.Flags;
  copy->menuStrings = CopyStrings(info.PluginMenuStrings, info.PluginMenuStringsNumber);
  copy->configStrings = CopyStrings(info.PluginConfigStrings, info.PluginConfigStringsNumber);
  copy->diskMenuStrings = CopyStrings(info.DiskMenuStrings, info.DiskMenuStringsNumber);
  if (info.CommandPrefix != nullptr) copy->commandPrefix = std::string(info.CommandPrefix, strnlen(info.CommandPrefix, 1024));
  char flags[16];
  std::snprintf(flags, sizeof(flags), "0x%X", static_cast<unsigned>(info.Flags));
  host.transcript().Add("call GetPluginInfo: menu " + Describe(copy->menuStrings) + ", config " +
                        Describe(copy->configStrings) + ", disk menu " +
                        Describe(copy->diskMenuStrings) + ", prefix " +
                        Quote(copy->commandPrefix) + ", flags " + flags);
  lastInfo_ = *copy;
  return true;
}

HANDLE PluginModule::OpenPlugin(int openFrom, intptr_t item) {
  Host& host = Host::Current();
  if (openPlugin_ == nullptr) {
    host.transcript().Add("the module has no OpenPlugin");
    return INVALID_HANDLE_VALUE;
  }
  HANDLE result = openPlugin_(openFrom, item);
  host.transcript().Add(result == INVALID_HANDLE_VALUE
                            ? std::string("OpenPlugin returned INVALID_HANDLE_VALUE")
                            : std::string("OpenPlugin returned a panel handle"));
  return result;
}

int PluginModule::Configure(int itemNumber) {
  Host& host = Host::Current();
  if (configure_ == nullptr) {
    host.transcript().Add("the module has no Configure");
    return 0;
  }
  int result = configure_(itemNumber);
  host.transcript().Add("Configure returned " + std::to_string(result));
  return result;
}

}  // namespace hostsim
