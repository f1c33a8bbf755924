#include "batch_scenario.h"

#include <cstdio>

#include "hostsim/fs.h"
#include "sys/sys.h"
#include "tags/codepage.h"
#include "tags/id3v1.h"
#include "tags/id3v2.h"

namespace scenario {

std::string SilentFrames() {
  // MPEG 1 Layer III, 32 kbit/s, 44100 Hz, mono, no CRC: 104-byte frames
  // (144 * 32000 / 44100); eight of them last 0.2 s.
  const std::string header = "\xFF\xFB\x10\xC0";
  std::string frame = header + std::string(104 - header.size(), '\0');
  std::string audio;
  for (int i = 0; i < 8; ++i) audio += frame;
  return audio;
}

void BatchScenario::TearDown() {
  module_.reset();
  SandboxTest::TearDown();
}

void BatchScenario::Start(const char* language) {
  module_ = std::make_unique<hostsim::PluginModule>();
  std::string error;
  ASSERT_TRUE(module_->Load(ModulePath(), language, &error)) << error;
  module_->SetStartupInfo();
}

bool BatchScenario::Play(const std::string& script) {
  return RunScript(module_.get(), script);
}

std::string BatchScenario::Transcript() const { return host_->transcript().Text(); }

void BatchScenario::MakeMp3(const std::string& relative, const Tags& t) {
  const std::string path = Path(relative);
  const std::string audio = SilentFrames();
  {
    sys::File f;
    ASSERT_TRUE(f.Open(path, sys::OpenMode::CreateNew)) << path;
    ASSERT_TRUE(f.Write(audio.data(), audio.size()));
    ASSERT_TRUE(f.Close());
  }
  // The same texts in either kind of tag, their bytes as they stand: read as
  // ISO-8859-1, which has a character for every byte, and written so.
  tags::CodePage latin1;
  latin1.Kind = tags::CodePageKind::HostTable;
  std::snprintf(latin1.Table.TableName, sizeof latin1.Table.TableName, "ISO-8859-1");
  const tags::CodePage saved = tags::TagCodePage;
  tags::TagCodePage = latin1;
  auto writeTag = [&](auto&& tag) {
    ASSERT_TRUE(tag.Load(path));
    tag.SetTitle(tags::BytesToUtf8(t.title, latin1));
    tag.SetArtist(tags::BytesToUtf8(t.artist, latin1));
    tag.SetAlbum(tags::BytesToUtf8(t.album, latin1));
    ASSERT_TRUE(tag.Save(path)) << path;
  };
  if (t.v2) writeTag(tags::ID3v2Tag());
  if (t.v1) writeTag(tags::ID3v1Tag());
  tags::TagCodePage = saved;
}

bool BatchScenario::Exists(const std::string& relative) const {
  return sys::Exists(Path(relative));
}

std::optional<std::string> BatchScenario::RegValue(const std::string& subkey,
                                                   const std::string& name) const {
  auto value = ReadRegistry(KeyPath(subkey), name);
  if (!value) return std::nullopt;
  std::string text = value->data;
  while (!text.empty() && text.back() == '\0') text.pop_back();
  return text;
}

void BatchScenario::SetRegValue(const std::string& subkey, const std::string& name,
                                const std::string& text) {
  ASSERT_TRUE(WriteRegistry(KeyPath(subkey), name, text)) << subkey << "\\" << name;
}

bool BatchScenario::RegKeyExists(const std::string& subkey) const {
  sys::RegKey key = nullptr;
  if (sys::RegOpenKeyEx(sys::CurrentUserKey(), KeyPath(subkey).c_str(), sys::kKeyRead, &key) !=
      0) {
    return false;
  }
  sys::RegCloseKey(key);
  return true;
}

}  // namespace scenario
