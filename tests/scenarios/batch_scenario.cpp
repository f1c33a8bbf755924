// windows.h comes before sys.h, which takes back the names it maps.
#if defined(_WIN32)
#include <windows.h>
#undef DeleteFile
#undef MoveFile
#undef ReplaceFile
#else
#include <stdlib.h>
#include <unistd.h>
#endif

#include "batch_scenario.h"

#include <ctime>
#include <filesystem>

#include "hostsim/fs.h"
#include "hostsim/script.h"
#include "sys/sys.h"
#include "tags/id3v1.h"
#include "tags/id3v2.h"

namespace scenario {

namespace {

std::string ModulePath() {
#if defined(_WIN32)
  std::string path = std::string(TAGWRIGHT_PLUGIN_DIR) + "/tagwright.dll";
  if (!path.empty() && path[0] == '/') path = "Z:" + path;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
#else
  return std::string(TAGWRIGHT_PLUGIN_DIR) + "/libtagwright.so";
#endif
}

void SetEnv(const char* name, const std::optional<std::string>& value) {
#if defined(_WIN32)
  SetEnvironmentVariableA(name, value ? value->c_str() : nullptr);
#else
  if (value) {
    setenv(name, value->c_str(), 1);
  } else {
    unsetenv(name);
  }
#endif
}

std::optional<std::string> GetEnv(const char* name) {
  std::string value;
  if (!sys::GetEnv(name, &value)) return std::nullopt;
  return value;
}

int Pid() {
#if defined(_WIN32)
  return static_cast<int>(GetCurrentProcessId());
#else
  return static_cast<int>(getpid());
#endif
}

void DeleteTree(sys::RegKey parent, const std::string& path) {
  sys::RegKey key = nullptr;
  if (sys::RegOpenKeyEx(parent, path.c_str(), sys::kKeyRead | sys::kKeyWrite, &key) != 0) return;
  for (int guard = 0; guard < 10000; ++guard) {
    char name[256];
    uint32_t size = sizeof(name);
    if (sys::RegEnumKeyEx(key, 0, name, &size) != 0) break;
    DeleteTree(key, name);
  }
  sys::RegCloseKey(key);
  sys::RegDeleteKey(parent, path.c_str());
}

}  // namespace

std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out + "\"";
}

std::string SilentFrames() {
  // MPEG 1 Layer III, 32 kbit/s, 44100 Hz, mono, no CRC: 104-byte frames
  // (144 * 32000 / 44100); eight of them last 0.2 s.
  const std::string header = "\xFF\xFB\x10\xC0";
  std::string frame = header + std::string(104 - header.size(), '\0');
  std::string audio;
  for (int i = 0; i < 8; ++i) audio += frame;
  return audio;
}

void BatchScenario::SetUp() {
  static int serial = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    user_ = "batch-" + std::to_string(Pid()) + "-" + std::to_string(std::time(nullptr) % 100000) +
            "-" + std::to_string(++serial);
    dir_ = hostsim::TemporaryFolder() + user_;
    if (sys::CreateFolder(dir_)) break;
  }
  ASSERT_TRUE(sys::IsFolder(dir_)) << dir_;
  savedRegistry_ = GetEnv("TAGWRIGHT_REGISTRY");
  savedUser_ = GetEnv("FARUSER");
  SetEnv("TAGWRIGHT_REGISTRY", hostsim::JoinPath(dir_, "registry.reg"));
  SetEnv("FARUSER", user_);
  host_ = std::make_unique<hostsim::Host>();
}

void BatchScenario::TearDown() {
  module_.reset();
  host_.reset();
  hostsim::ChangeFolder(hostsim::TemporaryFolder());
  SetEnv("TAGWRIGHT_REGISTRY", savedRegistry_);
  SetEnv("FARUSER", savedUser_);
  DeleteTree(sys::CurrentUserKey(), "Software\\Far\\Users\\" + user_);
  std::error_code ec;
  std::filesystem::remove_all(hostsim::NativePath(dir_), ec);
}

void BatchScenario::Start(const char* language) {
  module_ = std::make_unique<hostsim::PluginModule>();
  std::string error;
  ASSERT_TRUE(module_->Load(ModulePath(), language, &error)) << error;
  module_->SetStartupInfo();
}

bool BatchScenario::Play(const std::string& script) {
  std::vector<hostsim::Step> steps;
  std::string error;
  if (!hostsim::ParseScript(script, &steps, &error)) {
    ADD_FAILURE() << error;
    return false;
  }
  hostsim::ScriptDriver driver(*host_, module_.get(), steps, dir_);
  host_->SetDriver(&driver);
  bool ok = driver.Run();
  host_->SetDriver(nullptr);
  return ok;
}

std::string BatchScenario::Transcript() const { return host_->transcript().Text(); }

std::string BatchScenario::Path(const std::string& relative) const {
  return hostsim::JoinPath(dir_, relative);
}

void BatchScenario::MakeFolder(const std::string& relative) {
  ASSERT_TRUE(sys::CreateFolder(Path(relative))) << relative;
}

void BatchScenario::MakeMp3(const std::string& relative, const Tags& t) {
  const std::string path = Path(relative);
  const std::string audio = SilentFrames();
  {
    sys::File f;
    ASSERT_TRUE(f.Open(path, sys::OpenMode::CreateNew)) << path;
    ASSERT_TRUE(f.Write(audio.data(), audio.size()));
    ASSERT_TRUE(f.Close());
  }
  if (t.v2) {
    tags::ID3v2Tag tag;
    ASSERT_TRUE(tag.Load(path));
    tag.SetTitle(t.title);
    tag.SetArtist(t.artist);
    tag.SetAlbum(t.album);
    ASSERT_TRUE(tag.Save(path)) << path;
  }
  if (t.v1) {
    tags::ID3v1Tag tag;
    ASSERT_TRUE(tag.Load(path));
    tag.SetTitle(t.title);
    tag.SetArtist(t.artist);
    tag.SetAlbum(t.album);
    ASSERT_TRUE(tag.Save(path)) << path;
  }
}

std::optional<std::string> BatchScenario::ReadFile(const std::string& relative) const {
  std::string content;
  if (!hostsim::ReadWholeFile(Path(relative), &content)) return std::nullopt;
  return content;
}

bool BatchScenario::Exists(const std::string& relative) const {
  return sys::Exists(Path(relative));
}

std::string BatchScenario::PluginKey() const {
  return "Software\\Far\\Users\\" + user_ + "\\Plugins\\Tagwright";
}

std::optional<std::string> BatchScenario::RegValue(const std::string& subkey,
                                                   const std::string& name) const {
  sys::RegKey key = nullptr;
  const std::string path = PluginKey() + "\\" + subkey;
  if (sys::RegOpenKeyEx(sys::CurrentUserKey(), path.c_str(), sys::kKeyRead, &key) != 0) {
    return std::nullopt;
  }
  uint32_t type = 0, size = 0;
  std::optional<std::string> value;
  if (sys::RegQueryValueEx(key, name.c_str(), &type, nullptr, &size) == 0) {
    std::string data(size, '\0');
    if (sys::RegQueryValueEx(key, name.c_str(), &type, reinterpret_cast<uint8_t*>(data.data()),
                             &size) == 0) {
      data.resize(size);
      while (!data.empty() && data.back() == '\0') data.pop_back();
      value = data;
    }
  }
  sys::RegCloseKey(key);
  return value;
}

void BatchScenario::SetRegValue(const std::string& subkey, const std::string& name,
                                const std::string& text) {
  sys::RegKey key = nullptr;
  const std::string path = PluginKey() + "\\" + subkey;
  ASSERT_EQ(sys::RegCreateKeyEx(sys::CurrentUserKey(), path.c_str(), sys::kKeyWrite, &key), 0);
  EXPECT_EQ(sys::RegSetValueEx(key, name.c_str(), sys::kRegSz,
                               reinterpret_cast<const uint8_t*>(text.c_str()),
                               static_cast<uint32_t>(text.size() + 1)),
            0);
  sys::RegCloseKey(key);
}

bool BatchScenario::RegKeyExists(const std::string& subkey) const {
  sys::RegKey key = nullptr;
  const std::string path = PluginKey() + "\\" + subkey;
  if (sys::RegOpenKeyEx(sys::CurrentUserKey(), path.c_str(), sys::kKeyRead, &key) != 0) {
    return false;
  }
  sys::RegCloseKey(key);
  return true;
}

}  // namespace scenario
