// Voice frames: reset rules, frame sizes, packing order, header checks and the output bound.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "netclient/media/codec/g711.h"
#include "netclient/media/codec/g726.h"
#include "netclient/media/codec/voiceengine.h"

namespace qvcodec {
namespace {

std::vector<int16_t> Tone(int samples) {
  std::vector<int16_t> pcm(static_cast<size_t>(samples));
  for (int n = 0; n < samples; ++n) {
    pcm[static_cast<size_t>(n)] = static_cast<int16_t>(std::lround(8000 * std::sin(n * 0.37)));
  }
  return pcm;
}

std::vector<uint8_t> Frame(uint16_t tag, uint16_t words, const std::vector<uint8_t>& data) {
  std::vector<uint8_t> f(kVoiceHeaderSize + data.size());
  f[0] = static_cast<uint8_t>(tag);
  f[1] = static_cast<uint8_t>(tag >> 8);
  f[2] = static_cast<uint8_t>(words);
  f[3] = static_cast<uint8_t>(words >> 8);
  for (size_t i = 0; i < data.size(); ++i) f[kVoiceHeaderSize + i] = data[i];
  return f;
}

TEST(VoiceEngine, OnlyStatesResetForAKnownCodecAndDirectionAreUsed) {
  VoiceState st;
  for (int16_t codec = -1; codec <= 9; ++codec) {
    const bool known = codec == 1 || codec == 2 || (codec >= 4 && codec <= 7);
    EXPECT_EQ(VoiceDecReset(&st, codec) == 0, known) << codec;
    EXPECT_EQ(VoiceEncReset(&st, codec) == 0, known) << codec;
  }
  EXPECT_NE(VoiceDecReset(nullptr, kVoiceAlaw), 0);

  // A state must be reset for its direction before use; a failed reset leaves none behind.
  std::memset(&st, 0xA5, sizeof(st));
  int16_t out[kMaxVoiceSamples];
  uint16_t count = 99;
  const auto frame = Frame(kVoiceFrameTag, 1, {0xD5, 0xD5});
  EXPECT_EQ(VoiceDecodeFrame(&st, frame.data(), out, &count), kVoiceNotReset);
  EXPECT_EQ(count, 0);

  ASSERT_EQ(VoiceEncReset(&st, kVoiceAlaw), 0);
  EXPECT_EQ(VoiceDecodeFrame(&st, frame.data(), out, &count), kVoiceNotReset);

  ASSERT_EQ(VoiceDecReset(&st, kVoiceAlaw), 0);
  EXPECT_NE(VoiceDecReset(&st, 3), 0);
  EXPECT_EQ(VoiceDecodeFrame(&st, frame.data(), out, &count), kVoiceNotReset);
}

struct SizeCase {
  int16_t codec;
  uint16_t words_for_320;
};

// The talk sender relies on byte 2: 320 samples of G.726-32 are 80 words, 164 bytes.
TEST(VoiceEngine, EncodingTalkBlocksGivesTheWordCountInByteTwo) {
  const SizeCase cases[] = {{kVoiceAlaw, 160},    {kVoiceUlaw, 160},    {kVoiceG726_16, 40},
                            {kVoiceG726_24, 60},  {kVoiceG726_32, 80},  {kVoiceG726_40, 100}};
  const auto pcm = Tone(320);
  for (const SizeCase& c : cases) {
    VoiceState st;
    ASSERT_EQ(VoiceEncReset(&st, c.codec), 0);
    std::vector<uint8_t> out(kMaxVoiceFrameBytes, 0xEE);
    ASSERT_EQ(VoiceEncodeFrame(&st, pcm.data(), out.data(), 320), 0);
    EXPECT_EQ(out[0], 0x00);
    EXPECT_EQ(out[1], 0x01);
    EXPECT_EQ(out[2] | (out[3] << 8), c.words_for_320) << c.codec;
    EXPECT_EQ(VoiceFrameBytes(c.codec, 320), 4u + 2u * c.words_for_320);
    EXPECT_EQ(out[4 + 2 * c.words_for_320], 0xEE) << "wrote past the frame, codec " << c.codec;
  }
}

// Frames decode to what the codecs give sample by sample, for every codec, with the
// state carried from one frame to the next.
TEST(VoiceEngine, FramesRoundTripThroughTheCodecs) {
  const auto pcm = Tone(640);
  for (int16_t codec : {kVoiceAlaw, kVoiceUlaw, kVoiceG726_16, kVoiceG726_24, kVoiceG726_32,
                        kVoiceG726_40}) {
    VoiceState enc;
    VoiceState dec;
    ASSERT_EQ(VoiceEncReset(&enc, codec), 0);
    ASSERT_EQ(VoiceDecReset(&dec, codec), 0);
    G726State ref_enc;
    G726State ref_dec;
    G726Init(&ref_enc, codec - 2);
    G726Init(&ref_dec, codec - 2);
    for (int block = 0; block < 2; ++block) {
      std::vector<uint8_t> frame(kMaxVoiceFrameBytes);
      ASSERT_EQ(VoiceEncodeFrame(&enc, pcm.data() + block * 320, frame.data(), 320), 0);
      std::vector<int16_t> out(kMaxVoiceSamples);
      uint16_t count = 0;
      ASSERT_EQ(VoiceDecodeFrame(&dec, frame.data(), out.data(), &count), 0);
      ASSERT_EQ(count, 320) << codec;
      for (int i = 0; i < 320; ++i) {
        const int16_t in = pcm[static_cast<size_t>(block * 320 + i)];
        int16_t want;
        if (codec == kVoiceAlaw) want = AlawToLinear(LinearToAlaw(in));
        else if (codec == kVoiceUlaw) want = UlawToLinear(LinearToUlaw(in));
        else want = G726Decode(&ref_dec, G726Encode(&ref_enc, in));
        ASSERT_EQ(out[static_cast<size_t>(i)], want) << "codec " << codec << " sample " << i;
      }
    }
  }
}

TEST(VoiceEngine, SampleCountIsDataBitsOverBitsPerSample) {
  // 3 words = 48 bits: 24 of 2 bits, 16 of 3, 12 of 4, 9 of 5 (3 bits left over), 6 bytes.
  const std::pair<int16_t, uint16_t> cases[] = {{kVoiceG726_16, 24}, {kVoiceG726_24, 16},
                                                {kVoiceG726_32, 12}, {kVoiceG726_40, 9},
                                                {kVoiceAlaw, 6},     {kVoiceUlaw, 6}};
  const auto frame = Frame(kVoiceFrameTag, 3, {1, 2, 3, 4, 5, 6});
  for (const auto& [codec, samples] : cases) {
    VoiceState st;
    ASSERT_EQ(VoiceDecReset(&st, codec), 0);
    std::vector<int16_t> out(kMaxVoiceSamples);
    uint16_t count = 0;
    ASSERT_EQ(VoiceDecodeFrame(&st, frame.data(), out.data(), &count), 0);
    EXPECT_EQ(count, samples) << codec;
  }
}

TEST(VoiceEngine, BadHeadersAndOversizedFramesAreRejected) {
  VoiceState st;
  std::vector<int16_t> out(kMaxVoiceSamples);
  uint16_t count = 7;
  // At 2 bits a sample a word holds 8 samples: 1024 words are exactly the bound.
  const std::vector<uint8_t> data(2 * 1025, 0x55);
  ASSERT_EQ(VoiceDecReset(&st, kVoiceG726_16), 0);
  EXPECT_EQ(VoiceDecodeFrame(&st, Frame(kVoiceFrameTag, 1025, data).data(), out.data(), &count),
            kVoiceTooLong);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(VoiceDecodeFrame(&st, Frame(kVoiceFrameTag, 1024, data).data(), out.data(), &count), 0);
  EXPECT_EQ(count, kMaxVoiceSamples);

  ASSERT_EQ(VoiceDecReset(&st, kVoiceAlaw), 0);
  EXPECT_EQ(VoiceDecodeFrame(&st, Frame(0x0001, 1, {0, 0}).data(), out.data(), &count),
            kVoiceBadFrame);
  const auto ok = Frame(kVoiceFrameTag, 2, {1, 2, 3, 4});
  EXPECT_EQ(VoiceDecodeFrameBounded(&st, ok.data(), ok.size(), out.data(), &count), 0);
  EXPECT_EQ(count, 4);
  EXPECT_EQ(VoiceDecodeFrameBounded(&st, ok.data(), ok.size() - 1, out.data(), &count),
            kVoiceBadFrame);
  EXPECT_EQ(VoiceDecodeFrameBounded(&st, ok.data(), 3, out.data(), &count), kVoiceBadFrame);
  EXPECT_EQ(VoiceDecodeFrame(&st, ok.data(), nullptr, &count), kVoiceBadArgument);
}

TEST(VoiceEngine, EncodeRejectsCountsOutsideTheBound) {
  VoiceState st;
  ASSERT_EQ(VoiceEncReset(&st, kVoiceG726_32), 0);
  std::vector<int16_t> pcm(kMaxVoiceSamples + 1);
  std::vector<uint8_t> out(kMaxVoiceFrameBytes + 16);
  EXPECT_EQ(VoiceEncodeFrame(&st, pcm.data(), out.data(), kMaxVoiceSamples + 1), kVoiceBadArgument);
  EXPECT_EQ(VoiceEncodeFrame(&st, pcm.data(), out.data(), -1), kVoiceBadArgument);
  EXPECT_EQ(VoiceEncodeFrame(&st, pcm.data(), out.data(), kMaxVoiceSamples), 0);
  EXPECT_EQ(VoiceFrameBytes(kVoiceG726_32, kMaxVoiceSamples + 1), 0u);
}

}  // namespace
}  // namespace qvcodec
