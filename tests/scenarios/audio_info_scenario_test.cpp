// The audio properties of the information view for the headers that count a
// file's frames: LAME's Info header is named, and its frame count is what the
// view shows.
#include <string>

#include "plugin_scenario.h"  // windows.h before sys.h
#include "sys/sys.h"

namespace {

class AudioInfoScenario : public scenario::PluginScenario {
 protected:
  void SetUp() override {
    PluginScenario::SetUp();
    ASSERT_NO_FATAL_FAILURE(MakeFolder("music"));
    Start();
  }

  // The audio properties dialog of `name`, lines 3 and 4 checked.
  bool ShowsAudio(const std::string& name, const std::string& version, const std::string& bitRate) {
    const std::string script = "panel music select " + name +
                               "\ninvoke menu\nmenu * choose 0\n"
                               "dialog Id3Edit press \"Audio info\"\n"
                               "dialog \"Audio properties\" expect 3 \"" +
                               version +
                               "\"\n"
                               "dialog \"Audio properties\" expect 4 \"" +
                               bitRate +
                               "\"\n"
                               "dialog \"Audio properties\" enter\n"
                               "dialog Id3Edit press \"Skip this file\"\n"
                               "expect-end\n";
    const bool ok = Play(script);
    if (!ok) ADD_FAILURE() << host_->failure() << "\n" << output_;
    return ok;
  }
};

// Twenty frames, the first holding a header at 36 bytes (the joint stereo
// place) that states `frames` frames of 417 bytes.
std::string WithHeader(const char* marker, int frames) {
  std::string audio = scenario::Mp3Audio();
  audio.replace(36, 4, marker);
  audio[36 + 11] = static_cast<char>(frames);
  audio[36 + 14] = static_cast<char>((frames * 417) >> 8);
  audio[36 + 15] = static_cast<char>(frames * 417);
  return audio;
}

TEST_F(AudioInfoScenario, InfoHeaderIsNamedAndCountsTheFrames) {
  WriteFile("music\\info.mp3", WithHeader("Info", 19));
  EXPECT_TRUE(ShowsAudio("info.mp3", "MPEG 1 Layer III, CBR (Info)", "128 kbit, 19 frames"));
  // A Xing header keeps the plain line; its bit rate comes from its counts.
  WriteFile("music\\xing.mp3", WithHeader("Xing", 19));
  EXPECT_TRUE(ShowsAudio("xing.mp3", "MPEG 1 Layer III", "128 kbit, 19 frames"));
  // No header: the frames the file's size holds.
  WriteFile("music\\plain.mp3", scenario::Mp3Audio());
  EXPECT_TRUE(ShowsAudio("plain.mp3", "MPEG 1 Layer III", "128 kbit, 20 frames"));
}

class RussianAudioInfo : public scenario::PluginScenario {
 protected:
  void SetUp() override {
    PluginScenario::SetUp();
    if (sys::OemCodePage() != 866) GTEST_SKIP() << "needs OEM 866 (TAGWRIGHT_CODEPAGES or a Russian locale)";
    ASSERT_NO_FATAL_FAILURE(MakeFolder("music"));
    Start("Russian");
  }
};

// In Russian the units and the channel mode come from the Russian language file.
TEST_F(RussianAudioInfo, UnitsAndChannelModeAreTranslated) {
  WriteFile("music\\plain.mp3", scenario::Mp3Audio());
  ASSERT_TRUE(Play("panel music select plain.mp3\ninvoke menu\nmenu * choose 0\n"
                   "dialog Id3Edit press \"Параметры звука\"\n"
                   "dialog \"Параметры звука\" expect 4 \"128 кбит, 20 кадров\"\n"
                   "dialog \"Параметры звука\" expect 5 \"44100 Гц, Объединённое стерео\"\n"
                   "dialog \"Параметры звука\" enter\n"
                   "dialog Id3Edit press \"Пропустить\"\n"
                   "expect-end\n"))
      << host_->failure() << "\n" << output_;
}

}  // namespace
