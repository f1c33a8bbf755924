// Real files written by other programs (the shared sample corpus): the title
// changed and saved, then mutagen reads every other frame as it read it
// before, and the audio after the tag is the same bytes.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "tags/id3v2.h"

namespace tags {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

// Every frame mutagen reads, keyed as mutagen keys it, with its values but
// not its text encoding (which a 2.4 frame carried into 2.3 changes).
constexpr const char* kDump = R"PY(
import sys, json, hashlib
from mutagen.id3 import ID3
def norm(v):
    if isinstance(v, bytes): return "sha256:" + hashlib.sha256(v).hexdigest()
    if isinstance(v, (list, tuple)): return [norm(x) for x in v]
    if isinstance(v, (int, float, str)) or v is None: return v
    return str(v)
out = {}
for path in sys.argv[1:]:
    try:
        tag = ID3(path, load_v1=False)
    except Exception as e:
        out[path] = {"error": type(e).__name__}
        continue
    frames = {key: {k: norm(v) for k, v in vars(frame).items() if k != "encoding"}
              for key, frame in tag.items()}
    # A TYER in a 2.4 tag (where it has no place) is what a 2.3 tag's reader
    # turns into TDRC.
    if "TYER" in frames and "TDRC" not in frames:
        frames["TDRC"] = frames.pop("TYER")
    out[path] = frames
print(json.dumps(out))
)PY";

fs::path CorpusDir() {
  const char* source = std::getenv("TAGWRIGHT_SOURCE_DIR");
  return fs::path(source ? source : ".") / ".." / "shared" / "corpus";
}

// Debian's python3, which has python3-mutagen, before any other on the path.
std::string Python() { return fs::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3"; }

bool HasMutagen() {
  return std::system((Python() + " -c 'import mutagen' >/dev/null 2>&1").c_str()) == 0;
}

std::optional<json> Dump(const std::vector<std::string>& paths, const fs::path& script) {
  std::string command = Python() + " " + script.string();
  for (const std::string& p : paths) command += " '" + p + "'";
  FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
  if (!pipe) return std::nullopt;
  std::string out;
  std::array<char, 65536> buffer;
  size_t n;
  while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) out.append(buffer.data(), n);
  if (pclose(pipe) != 0) return std::nullopt;
  return json::parse(out, nullptr, false);
}

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

int64_t TagEnd(const std::string& file) {
  if (file.size() < 10 || file.compare(0, 3, "ID3") != 0) return 0;
  int64_t size = 0;
  for (int i = 6; i < 10; ++i) size = (size << 7) | (static_cast<unsigned char>(file[i]) & 0x7F);
  return 10 + size + ((file[5] & 0x10) ? 10 : 0);
}

// The tolerances of a 2.3 tag, as mutagen reads it:
// - a 2.4 recording time of hours and minutes comes back from TYER, TDAT and
//   TIME with the seconds ":00" that mutagen adds to a TIME;
// - text ending in a zero byte reads as one more, empty, value in a 2.4 tag
//   ("0\0" is ["0", ""]) and as the value alone in a 2.3 tag.
json Tolerated(json frame) {
  if (!frame.contains("text") || !frame["text"].is_array()) return frame;
  json& text = frame["text"];
  for (auto& t : text)
    if (t.is_string()) {
      std::string s = t.get<std::string>();
      if (s.size() == 19 && s.compare(16, 3, ":00") == 0) t = s.substr(0, 16);
    }
  if (text.size() > 1 && text.back() == "") text.erase(text.size() - 1);
  return frame;
}

TEST(CorpusSave, OtherFramesAndTheAudioSurviveATitleChange) {
  if (!HasMutagen()) GTEST_SKIP() << "python3-mutagen is not installed";
  if (!fs::exists(CorpusDir())) GTEST_SKIP() << "no corpus at " << CorpusDir();
  const fs::path work = fs::temp_directory_path() / ("tagwright-corpus-save-" +
                                                     std::to_string(std::rand()));
  fs::create_directories(work);
  const fs::path script = work / "dump.py";
  std::ofstream(script) << kDump;

  // Every file that starts with a tag, copied under a plain name.
  std::vector<std::string> copies;
  std::map<std::string, std::string> origin;
  for (const auto& entry : fs::recursive_directory_iterator(CorpusDir())) {
    if (!entry.is_regular_file() || entry.file_size() > 8 * 1024 * 1024) continue;
    const std::string head = ReadAll(entry.path()).substr(0, 3);
    if (head != "ID3") continue;
    const fs::path copy = work / (std::to_string(copies.size()) + ".mp3");
    fs::copy_file(entry.path(), copy);
    copies.push_back(copy.string());
    origin[copy.string()] = fs::relative(entry.path(), CorpusDir()).string();
  }
  ASSERT_FALSE(copies.empty());
  const std::optional<json> before = Dump(copies, script);
  ASSERT_TRUE(before && before->is_object());

  std::vector<std::string> saved;
  std::map<std::string, std::string> audio;
  for (const std::string& path : copies) {
    const json& frames = (*before)[path];
    if (frames.contains("error")) continue;  // mutagen cannot read it either
    ID3v2Tag tag;
    if (!tag.Load(path) || tag.Version() < 2 || tag.Version() > 4 || tag.TagSize() == 0) continue;
    const std::string old = ReadAll(path);
    audio[path] = old.substr(static_cast<size_t>(TagEnd(old)));
    tag.SetTitle("Title set by Tagwright");
    EXPECT_TRUE(tag.Save(path)) << origin[path];
    saved.push_back(path);
  }
  const std::optional<json> after = Dump(saved, script);
  ASSERT_TRUE(after && after->is_object());

  int compared = 0;
  for (const std::string& path : saved) {
    SCOPED_TRACE(origin[path]);
    const json& was = (*before)[path];
    const json& now = (*after)[path];
    ASSERT_FALSE(now.contains("error")) << now.dump();
    const std::string file = ReadAll(path);
    EXPECT_EQ(file.substr(static_cast<size_t>(TagEnd(file))), audio[path]);
    ASSERT_TRUE(now.contains("TIT2"));
    EXPECT_EQ(now["TIT2"]["text"], json::array({"Title set by Tagwright"}));
    for (const auto& [key, frame] : was.items()) {
      if (key == "TIT2") continue;
      ASSERT_TRUE(now.contains(key)) << "lost " << key << ": " << frame.dump().substr(0, 200);
      EXPECT_EQ(Tolerated(now[key]), Tolerated(frame)) << key;
    }
    for (const auto& [key, frame] : now.items())
      EXPECT_TRUE(key == "TIT2" || was.contains(key)) << "new " << key << ": " << frame.dump();
    ++compared;
  }
  EXPECT_GT(compared, 50);
  std::error_code ignored;
  fs::remove_all(work, ignored);
}

}  // namespace
}  // namespace tags
