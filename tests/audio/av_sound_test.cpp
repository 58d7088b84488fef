// The sound player against ALSA's file plugin: what goes into the audio conduit comes out of
// the device byte for byte and in order; no device and stopping both end in the
// sound-unavailable state with the conduit emptied, without blocking.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <vector>

#include "netclient/media/conduit/buffer_conduit.h"
#include "netclient/media/sound/av_sound.h"
#include "tests/audio/alsa_sandbox.h"

namespace qvnet {
namespace {


class SoundPlayerTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(conduit_.Create(kLiveAudioConduitBytes, false, kConduitLowWater, false));
  }

  qvtest::AlsaSandbox alsa_;
  CBufferConduit conduit_;
  std::atomic<bool> unavailable_{false};
};

// Bytes that differ from one position to the next across whole buffers, so that a lost,
// repeated or reordered buffer shows.
std::vector<uint8_t> Pattern(size_t n) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>((i * 7 + i / 800) & 0xFF);
  return v;
}

TEST_F(SoundPlayerTest, PlaysConduitBytesInOrderAndDropsTheUnfinishedTail) {
  CAVSound sound(conduit_, unavailable_);
  ASSERT_EQ(sound.Start(), qvp::JThread::kStarted);
  // 24 whole buffers, written in pieces that do not line up with them, then half a buffer
  // that never completes: the player reads exactly 800 bytes at a time.
  const std::vector<uint8_t> sound_bytes = Pattern(24 * CAVSound::kBufferBytes);
  for (size_t off = 0; off < sound_bytes.size(); off += 333) {
    const uint32_t n = static_cast<uint32_t>(std::min<size_t>(333, sound_bytes.size() - off));
    ASSERT_TRUE(conduit_.Write(sound_bytes.data() + off, n, false));
  }
  const std::vector<uint8_t> tail(400, 0xEE);
  ASSERT_TRUE(conduit_.Write(tail.data(), static_cast<uint32_t>(tail.size()), false));
  ASSERT_TRUE(qvtest::PollUntil([&] { return conduit_.GetUsed() == tail.size(); }));
  EXPECT_FALSE(unavailable_);

  sound.Stop();
  EXPECT_EQ(alsa_.Played(), sound_bytes);
  EXPECT_TRUE(unavailable_);
  EXPECT_EQ(conduit_.GetUsed(), 0u);  // the tail was thrown away with the conduit's reset
}

TEST_F(SoundPlayerTest, NoDeviceSetsUnavailableAndEmptiesTheConduit) {
  alsa_.UseNoDevice();
  const std::vector<uint8_t> queued(1000, 1);
  ASSERT_TRUE(conduit_.Write(queued.data(), 1000, false));
  CAVSound sound(conduit_, unavailable_);
  ASSERT_EQ(sound.Start(), qvp::JThread::kStarted);
  ASSERT_TRUE(qvtest::PollUntil([&] { return !sound.IsRunning(); }));
  EXPECT_TRUE(unavailable_);
  EXPECT_EQ(conduit_.GetUsed(), 0u);
  // Later sound is not played by anyone; stopping the ended player is harmless.
  EXPECT_LT(qvtest::MillisecondsOf([&] { sound.Stop(); }), 100);
}

TEST_F(SoundPlayerTest, StopIsPromptWhetherWaitingOrClosed) {
  struct Case {
    const char* name;
    bool close_conduit;  // the client's stop closes the conduits before it stops the player
  };
  for (const Case& c : {Case{"waiting for sound", false}, Case{"conduit closed", true}}) {
    SCOPED_TRACE(c.name);
    unavailable_ = false;
    conduit_.Reset();
    CAVSound sound(conduit_, unavailable_);
    ASSERT_EQ(sound.Start(), qvp::JThread::kStarted);
    const std::vector<uint8_t> one(CAVSound::kBufferBytes, 3);
    ASSERT_TRUE(conduit_.Write(one.data(), CAVSound::kBufferBytes, false));
    ASSERT_TRUE(qvtest::PollUntil([&] { return conduit_.GetUsed() == 0; }));
    if (c.close_conduit) conduit_.Close();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(sound.IsRunning());
    EXPECT_LT(qvtest::MillisecondsOf([&] { sound.Stop(); }), 500);
    EXPECT_FALSE(sound.IsRunning());
    EXPECT_TRUE(unavailable_);
  }
}

}  // namespace
}  // namespace qvnet
