// G.726 at every rate: quality of a coded speech-like signal, and the decoder checked
// sample for sample against libavcodec's G.726 decoder fed the same packed codes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "netclient/media/codec/av_ptr.h"
#include "netclient/media/codec/g726.h"
#include "netclient/media/codec/voiceengine.h"

namespace qvcodec {
namespace {

// Two seconds of vowel-like sound: four partials under a 4 Hz syllable envelope, with
// short pauses, peaking near -8 dBFS.
std::vector<int16_t> SpeechLike(int samples = 16000) {
  std::vector<int16_t> pcm(static_cast<size_t>(samples));
  const double tau = 2 * std::numbers::pi;
  for (int n = 0; n < samples; ++n) {
    const double t = n / 8000.0;
    const double env = std::max(0.0, std::sin(tau * 4 * t)) * (0.6 + 0.4 * std::sin(tau * 0.7 * t));
    const double s = 0.5 * std::sin(tau * 210 * t) + 0.3 * std::sin(tau * 730 * t + 1) +
                     0.15 * std::sin(tau * 1480 * t + 2) + 0.05 * std::sin(tau * 2900 * t);
    pcm[static_cast<size_t>(n)] = static_cast<int16_t>(std::lround(13000 * env * s));
  }
  return pcm;
}

// Voiceband-data-like sound: a steady 1800 Hz tone, then an abrupt jump to 400 Hz at a
// higher level, which drives the tone detector and then the transition reset.
std::vector<int16_t> ToneThenJump(int samples = 16000) {
  std::vector<int16_t> pcm(static_cast<size_t>(samples));
  const double tau = 2 * std::numbers::pi;
  for (int n = 0; n < samples; ++n) {
    const bool first = n < samples / 2;
    const double f = first ? 1800 : 400;
    const double a = first ? 3000 : 12000;
    pcm[static_cast<size_t>(n)] = static_cast<int16_t>(std::lround(a * std::sin(tau * f * n / 8000.0)));
  }
  return pcm;
}

std::vector<uint8_t> EncodeAll(int bits, const std::vector<int16_t>& pcm) {
  G726State st;
  G726Init(&st, bits);
  std::vector<uint8_t> codes;
  for (int16_t s : pcm) codes.push_back(G726Encode(&st, s));
  return codes;
}

std::vector<int16_t> DecodeAll(int bits, const std::vector<uint8_t>& codes,
                               G726Arithmetic arithmetic = G726Arithmetic::kItu,
                               bool* saw_tone = nullptr) {
  G726State st;
  G726Init(&st, bits, arithmetic);
  std::vector<int16_t> pcm;
  for (uint8_t c : codes) {
    pcm.push_back(G726Decode(&st, c));
    if (saw_tone != nullptr && st.td != 0) *saw_tone = true;
  }
  return pcm;
}

double SnrDb(const std::vector<int16_t>& ref, const std::vector<int16_t>& got) {
  double signal = 0;
  double noise = 0;
  for (size_t i = 0; i < ref.size(); ++i) {
    const double d = double(ref[i]) - double(got[i]);
    signal += double(ref[i]) * double(ref[i]);
    noise += d * d;
  }
  return 10 * std::log10(signal / std::max(noise, 1.0));
}

// The data of voice frames of 320 samples, as a talk sender or camera sends them.
std::vector<uint8_t> VoicePayload(int bits, const std::vector<int16_t>& pcm) {
  VoiceState st;
  VoiceEncReset(&st, static_cast<int16_t>(bits + 2));
  std::vector<uint8_t> payload;
  std::vector<uint8_t> frame(kMaxVoiceFrameBytes);
  for (size_t off = 0; off + 320 <= pcm.size(); off += 320) {
    VoiceEncodeFrame(&st, pcm.data() + off, frame.data(), 320);
    payload.insert(payload.end(), frame.begin() + kVoiceHeaderSize,
                   frame.begin() + static_cast<long>(VoiceFrameBytes(static_cast<int16_t>(bits + 2), 320)));
  }
  return payload;
}

std::vector<int16_t> DecodeWithLibavcodec(int bits, const std::vector<uint8_t>& packed) {
  std::vector<int16_t> pcm;
  const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_ADPCM_G726LE);
  if (codec == nullptr) return pcm;
  CodecContextPtr ctx(avcodec_alloc_context3(codec));
  ctx->sample_rate = 8000;
  ctx->ch_layout = AV_CHANNEL_LAYOUT_MONO;
  ctx->bits_per_coded_sample = bits;
  if (avcodec_open2(ctx.get(), codec, nullptr) < 0) return pcm;
  PacketPtr pkt = CopyToPacket(packed.data(), static_cast<int>(packed.size()));
  FramePtr frame(av_frame_alloc());
  if (!pkt || avcodec_send_packet(ctx.get(), pkt.get()) < 0) return pcm;
  while (avcodec_receive_frame(ctx.get(), frame.get()) == 0) {
    const auto* s = reinterpret_cast<const int16_t*>(frame->data[0]);
    pcm.insert(pcm.end(), s, s + frame->nb_samples);
  }
  return pcm;
}

struct RateCase {
  const char* name;
  int bits;
  double min_snr_db;  // a little under what this coder measures on SpeechLike()
};

class G726Rate : public ::testing::TestWithParam<RateCase> {};

TEST_P(G726Rate, SpeechLikeSignalKeepsItsQuality) {
  const auto pcm = SpeechLike();
  const auto decoded = DecodeAll(GetParam().bits, EncodeAll(GetParam().bits, pcm));
  EXPECT_GE(SnrDb(pcm, decoded), GetParam().min_snr_db);
}

// The encoder's own reconstruction must be the decoder's, or the two drift apart.
TEST_P(G726Rate, DecoderStateTracksEncoderStateExactly) {
  const int bits = GetParam().bits;
  G726State enc;
  G726State dec;
  G726Init(&enc, bits);
  G726Init(&dec, bits);
  for (int16_t s : SpeechLike(4000)) G726Decode(&dec, G726Encode(&enc, s));
  EXPECT_EQ(std::memcmp(&enc, &dec, sizeof(G726State)), 0);
}

// libavcodec's G.726 decoder rounds two steps differently from the recommendation (see
// G726Arithmetic). Fed our voice frames' data (RFC 3551 packing), it must give exactly what
// our decoder gives with that arithmetic: tables, predictor, floating formats, tone and
// transition handling and packing all agree.
TEST_P(G726Rate, DecoderMatchesLibavcodecSampleForSample) {
  const int bits = GetParam().bits;
  for (const bool tone : {false, true}) {
    const auto pcm = tone ? ToneThenJump() : SpeechLike();
    const auto theirs = DecodeWithLibavcodec(bits, VoicePayload(bits, pcm));
    bool saw_tone = false;
    const auto ours = DecodeAll(bits, EncodeAll(bits, pcm), G726Arithmetic::kLibavcodec, &saw_tone);
    ASSERT_EQ(theirs.size(), ours.size());
    const auto mismatch = std::mismatch(ours.begin(), ours.end(), theirs.begin());
    EXPECT_TRUE(mismatch.first == ours.end()) << "first difference at " << (mismatch.first - ours.begin());
    EXPECT_TRUE(saw_tone || !tone) << "the tone detector was never reached";
  }
}

INSTANTIATE_TEST_SUITE_P(AllRates, G726Rate,
                         ::testing::Values(RateCase{"Kbit16", 2, 14}, RateCase{"Kbit24", 3, 21},
                                           RateCase{"Kbit32", 4, 27}, RateCase{"Kbit40", 5, 33}),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

}  // namespace
}  // namespace qvcodec
