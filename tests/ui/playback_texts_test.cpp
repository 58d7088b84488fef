// The player window's small rules: the time label, the slider's range, snapshot names and
// where snapshots go.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <climits>
#include <filesystem>
#include <fstream>

#include "replay/core/playback_texts.h"
#include "replay/core/replay_launch.h"
#include "tests/support/temp_dir.h"
#include "tests/ui/test_archive.h"

namespace {

TEST(PlaybackTexts, TimeLabelAndSliderRange) {
  EXPECT_EQ(replay::TimeLabel(0, 0), "00:00/00:00");
  EXPECT_EQ(replay::TimeLabel(61, 7500), "01:01/125:00");
  EXPECT_EQ(replay::TimeLabel(4294967295u, 4294967295u), "71582788:15/71582788:15");
  EXPECT_EQ(replay::SliderMaximum(0), 0);
  EXPECT_EQ(replay::SliderMaximum(7500), 7500);
  EXPECT_EQ(replay::SliderMaximum(4294967295u), INT_MAX);  // a damaged file's total
}

TEST(PlaybackTexts, SnapshotNamesAndFolders) {
  std::tm t = uitest::Local(2024, 3, 7, 18, 5, 9);
  const time_t when = mktime(&t);
  const std::string a = replay::SnapshotPath("/f", when, 1000);
  EXPECT_EQ(a, "/f/ReplayShot_2024_03_07_18_05_09_1000.jpg");
  EXPECT_NE(replay::SnapshotPath("/f", when, 1001), a);  // same second, another tick

  qvtest::TempDir dir("qv_shots");
  EXPECT_EQ(replay::SnapshotFolder(dir.Path()), dir.Path() + "/ReplayShot");
  EXPECT_TRUE(std::filesystem::is_directory(dir.Path() + "/ReplayShot"));
  // A program folder that cannot hold a folder: the pictures folder instead.
  const std::string blocked = dir.File("file");
  { std::ofstream(blocked) << "x"; }
  setenv("XDG_PICTURES_DIR", dir.File("pictures").c_str(), 1);
  EXPECT_EQ(replay::SnapshotFolder(blocked), dir.File("pictures") + "/QV_NVR/ReplayShot");
  setenv("XDG_PICTURES_DIR", (blocked + "/no").c_str(), 1);
  setenv("HOME", (blocked + "/no").c_str(), 1);
  EXPECT_EQ(replay::SnapshotFolder(blocked), "");
}

TEST(ReplayLaunch, SoftModeIsExactlyOneArgument) {
  const char* soft[] = {"QV_NVR_Replay", "-soft"};
  const char* extra[] = {"QV_NVR_Replay", "-soft", "x"};
  const char* longer[] = {"QV_NVR_Replay", "-softer"};
  const char* none[] = {"QV_NVR_Replay"};
  EXPECT_TRUE(replay::IsSoftMode(2, soft));
  EXPECT_FALSE(replay::IsSoftMode(3, extra));
  EXPECT_FALSE(replay::IsSoftMode(2, longer));
  EXPECT_FALSE(replay::IsSoftMode(1, none));
}

}  // namespace
