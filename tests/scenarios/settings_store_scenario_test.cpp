// The settings store through the plug-in's exports: a confirmed dialog's
// values go to the registry file in one write (natively; under Wine the real
// registry has no such file).
#include <gtest/gtest.h>

#include <string>

#include "../unit/registry_file_probe.h"
#include "batch_scenario.h"

namespace {

#ifndef _WIN32

class SettingsStore : public scenario::BatchScenario {};

// The tag creation dialog stores 23 values and reads one back (the list's
// character table) on confirm: one lock and one write of the file, where
// each value used to be a write of its own.
TEST_F(SettingsStore, ConfirmedTagCreationIsOneWriteOfTheRegistryFile) {
  MakeFolder("Music");
  MakeMp3("Music\\a.mp3", scenario::Tags{"", "", "", false, false});
  SetRegValue("TagCreationDialog", "Confirmation", "0");
  SetRegValue("TagCreationDialog", "CreateID3v2", "0");
  Start();
  const std::string file = *scenario::GetEnv("TAGWRIGHT_REGISTRY");
  const size_t slash = file.rfind('/');
  registryprobe::FileWatch watch(file.substr(0, slash), file.substr(slash + 1));
  ASSERT_TRUE(watch.Watching());
  ASSERT_TRUE(Play("panel Music select a.mp3\n"
                   "invoke menu\n"
                   "menu choose 3\n"
                   "dialog Id3TagCreation set \"Regular expression\" \"(.*)\\.mp3$\"\n"
                   "dialog Id3TagCreation check \"Title\"\n"
                   "dialog Id3TagCreation set \"Title\"+1 \"$1\"\n"
                   "dialog Id3TagCreation press \"OK\"\n"
                   "expect-end\n"))
      << host_->failure() << Transcript();
  EXPECT_EQ(watch.Replacements(), 1);
  EXPECT_EQ(watch.LockOpenings(), 1);
  EXPECT_EQ(RegValue("TagCreationDialog", "Regexp"), "(.*)\\.mp3$");
  EXPECT_EQ(RegValue("TagCreationDialog", "CB_Title"), "1");
  EXPECT_EQ(RegValue("TagCreationDialog", "Edit_Title"), "$1");
  EXPECT_EQ(RegValue("TagCreationDialog", "CreateID3v2"), "0");
}

#endif  // !_WIN32

}  // namespace
