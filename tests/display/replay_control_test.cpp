// The replay mailbox of a file client: the exports' commands and their limits, and the seek
// handshake the two file readers share.
#include "netclient/media/display/replay_control.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace qvnet {
namespace {

TEST(ReplayControlTest, SpeedStaysWithinItsRange) {
  ReplayControl rc;
  std::vector<bool> faster;
  for (int i = 0; i < 5; ++i) faster.push_back(rc.Faster());
  EXPECT_EQ(faster, (std::vector<bool>{true, true, true, true, false}));
  EXPECT_EQ(rc.Speed(), ReplayControl::kMaxSpeed);
  rc.NormalSpeed();
  for (int i = 0; i < 4; ++i) ASSERT_TRUE(rc.Slower());
  EXPECT_FALSE(rc.Slower());
  EXPECT_EQ(rc.Speed(), ReplayControl::kMinSpeed);
}

TEST(ReplayControlTest, StepAndPauseStates) {
  ReplayControl rc;
  EXPECT_EQ(rc.State(), PauseState::kPlaying);
  rc.Step();
  EXPECT_EQ(rc.State(), PauseState::kStepping);
  EXPECT_TRUE(rc.TakeStepRequest());
  EXPECT_FALSE(rc.TakeStepRequest()) << "one picture per step";
  rc.Pause();
  EXPECT_EQ(rc.State(), PauseState::kPaused);
  rc.Continue();
  EXPECT_EQ(rc.State(), PauseState::kPlaying);
}

TEST(ReplayControlTest, SeeksNeedALengthAndClampToIt) {
  ReplayControl rc;
  EXPECT_FALSE(rc.RequestSeek(3)) << "a file without length cannot seek";
  EXPECT_FALSE(rc.PendingSeek().has_value());
  rc.SetTimeline(1000, 60);
  ASSERT_TRUE(rc.RequestSeek(600));
  EXPECT_EQ(rc.PendingSeek(), std::optional<uint32_t>(60));
  EXPECT_EQ(rc.CurrentSeconds(), 60u);  // shown at once
  EXPECT_FALSE(rc.TakeSeekWhilePaused()) << "not paused";
  rc.SetPosition(75);
  EXPECT_EQ(rc.CurrentSeconds(), 60u) << "never beyond the length";
}

TEST(ReplayControlTest, ANewerRequestOutlivesTheStepThatCarriedOutTheOlder) {
  ReplayControl rc;
  rc.SetTimeline(0, 100);
  rc.Pause();
  ASSERT_TRUE(rc.RequestSeek(10));
  EXPECT_TRUE(rc.TakeSeekWhilePaused());
  const std::optional<uint32_t> first = rc.PendingSeek();
  ASSERT_EQ(first, std::optional<uint32_t>(10));
  ASSERT_TRUE(rc.RequestSeek(20));  // while the reader carries out the first
  rc.SeekDone(*first);
  EXPECT_TRUE(rc.SeekPending());
  EXPECT_EQ(rc.PendingSeek(), std::optional<uint32_t>(20));
  rc.SeekDone(20);
  EXPECT_FALSE(rc.SeekPending());

  const uint32_t generation = rc.SeekGeneration();
  rc.NoteConduitsEmptied();
  EXPECT_EQ(rc.SeekGeneration(), generation + 1);
}

}  // namespace
}  // namespace qvnet
