// Recordings made here with the record writer under a fake clock (H.264 from libx264 with
// G.711 or G.726 audio, and motion JPEG), exported to MP4, MOV and Matroska, and read back
// with ffprobe: duration, picture size and frame count as recorded, the audio the container
// can carry, parts by --from/--to, cancelling and bad input. Also the qvexport program.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/log.h>
}

#include "netclient/media/codec/voiceengine.h"
#include "netclient/media/record/frame_unit.h"
#include "netclient/media/record/record_pair.h"
#include "netclient/media/record/record_reader.h"
#include "replay/export/recording_export.h"
#include "tests/codec/test_media.h"
#include "tests/service/child_process.h"
#include "tests/support/annex_b.h"
#include "tests/support/fake_clock.h"
#include "tests/support/temp_dir.h"

namespace qvexport {
namespace {

using Bytes = std::vector<uint8_t>;
using qvnet::AudioUnit;
using qvnet::H264Unit;
using qvnet::JpegUnit;
using qvnet::kPayloadTypeJpeg;
using qvnet::RecordHeader;
using qvnet::RecordPair;

constexpr int kWidth = 160;
constexpr int kHeight = 96;
constexpr uint32_t kFrameMs = 40;
constexpr uint32_t kStartTick = 0xFFFFF000u;  // the recording runs across the tick's wrap

struct Probe {
  std::string codecs;  // "h264,pcm_mulaw"
  int width = 0;
  int height = 0;
  long frames = 0;
  double duration = 0;
};

Probe RunProbe(const std::string& path, const std::string& scratch) {
  std::string out;
  servicetest::RunProgram({"/usr/bin/ffprobe", "-v", "error", "-count_frames", "-show_entries",
                           "stream=codec_name,width,height,nb_read_frames:format=duration", "-of",
                           "default=noprint_wrappers=1", path},
                          scratch, &out);
  Probe p;
  size_t pos = 0;
  while (pos < out.size()) {
    const size_t eol = out.find('\n', pos);
    const std::string line = out.substr(pos, eol == std::string::npos ? std::string::npos : eol - pos);
    pos = eol == std::string::npos ? out.size() : eol + 1;
    const size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    const std::string key = line.substr(0, eq);
    const std::string value = line.substr(eq + 1);
    if (key == "codec_name") p.codecs += (p.codecs.empty() ? "" : ",") + value;
    if (key == "width" && p.width == 0) p.width = std::atoi(value.c_str());
    if (key == "height" && p.height == 0) p.height = std::atoi(value.c_str());
    if (key == "nb_read_frames" && p.frames == 0) p.frames = std::atol(value.c_str());
    if (key == "duration") p.duration = std::atof(value.c_str());
  }
  return p;
}

// The NAL units of an Annex B access unit, each with a 3-byte start code, as the
// depacketizers record them.
std::vector<Bytes> RecordUnits(const Bytes& au) {
  std::vector<Bytes> units = qvtest::SplitNals(au);
  for (Bytes& u : units) u.insert(u.begin(), {0, 0, 1});
  return units;
}

class ExportTest : public ::testing::Test {
 protected:
  ExportTest() { av_log_set_level(AV_LOG_ERROR); }

  // `frames` pictures 40 ms apart, starting with two before the first key frame (cut out by
  // the export), and with `codec` audio, one 40 ms packet per picture.
  std::string MakeH264Recording(int frames, uint8_t codec) {
    const std::vector<Bytes> aus = qvcodec::test::EncodeH264(kWidth, kHeight, frames);
    EXPECT_EQ(aus.size(), static_cast<size_t>(frames));
    qvtest::FakeClock clock(kStartTick);
    RecordPair record([](int) {});
    RecordHeader header;
    header.audio_codec = codec;
    header.width = kWidth;
    header.height = kHeight;
    record.SetRecordHeader(header);
    const std::string path = dir_.File("h264.rec");
    EXPECT_EQ(record.ClientStartRecord(path.c_str(), 0), 1);
    // Two slices of a picture that lost its key frame: nothing a decoder could use.
    record.RecordUnit(H264Unit(1, 0, 0, Bytes{0, 0, 1, 0x41, 0x9A, 0x00}));
    clock.Advance(kFrameMs);
    qvcodec::VoiceState voice{};
    if (codec != 0) qvcodec::VoiceEncReset(&voice, static_cast<int16_t>(codec));
    for (int i = 0; i < frames; ++i) {
      for (const Bytes& unit : RecordUnits(aus[static_cast<size_t>(i)])) {
        record.RecordUnit(H264Unit(unit[3] & 0x1F, 0, 0, unit));
      }
      if (codec != 0) AddAudio(record, &voice, codec, static_cast<uint32_t>(i) * 320);
      clock.Advance(kFrameMs);
    }
    record.ClientStopRecord();
    return path;
  }

  static void AddAudio(RecordPair& record, qvcodec::VoiceState* voice, uint8_t codec, uint32_t rtp_timestamp) {
    std::vector<int16_t> pcm(320);
    for (size_t i = 0; i < pcm.size(); ++i) pcm[i] = static_cast<int16_t>((i % 40) * 400 - 8000);
    Bytes frame(qvcodec::VoiceFrameBytes(codec, 320));
    EXPECT_EQ(qvcodec::VoiceEncodeFrame(voice, pcm.data(), frame.data(), 320), qvcodec::kVoiceOk);
    record.RecordUnit(AudioUnit(codec, rtp_timestamp, qvnet::Bytes(frame.data(), 4), qvnet::Bytes(frame.data() + 4, frame.size() - 4)));
  }

  ExportSummary Export(const std::string& input, const std::string& output, std::optional<uint32_t> from = {},
                       std::optional<uint32_t> to = {}) {
    ExportRequest r;
    r.input = input;
    r.output = dir_.File(output);
    r.from_s = from;
    r.to_s = to;
    return ExportRecording(r);
  }
  Probe ProbeOf(const std::string& output) { return RunProbe(dir_.File(output), dir_.File("probe.txt")); }

  qvtest::TempDir dir_{"qv-export"};
};

TEST_F(ExportTest, H264WithAudioIntoEachContainer) {
  const std::string input = MakeH264Recording(50, qvcodec::kVoiceUlaw);
  struct Case {
    const char* output;
    const char* codecs;
    bool warned;
  };
  const Case cases[] = {
      {"out.mp4", "h264", true},  // MP4 carries neither G.711 nor 16-bit PCM here: left out
      {"out.mov", "h264,pcm_mulaw", false},
      {"out.mkv", "h264,pcm_mulaw", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.output);
    const ExportSummary s = Export(input, c.output);
    ASSERT_TRUE(s.ok) << s.error;
    EXPECT_EQ(s.pictures, 50u);
    EXPECT_EQ(s.warnings.empty(), !c.warned);
    const Probe p = ProbeOf(c.output);
    EXPECT_EQ(p.codecs, c.codecs);
    EXPECT_EQ(p.width, kWidth);
    EXPECT_EQ(p.height, kHeight);
    EXPECT_EQ(p.frames, 50);
    EXPECT_NEAR(p.duration, 50 * 0.040, 0.040) << "the recording's duration, within a frame";
    EXPECT_FALSE(std::filesystem::exists(dir_.File(std::string(c.output) + ".part")));
  }
}

TEST_F(ExportTest, G726BecomesPcmAndPartsStartAtAKeyFrame) {
  const std::string input = MakeH264Recording(60, qvcodec::kVoiceG726_32);
  ExportSummary s = Export(input, "g726.mkv");
  ASSERT_TRUE(s.ok) << s.error;
  EXPECT_GT(s.audio_packets, 50u);
  EXPECT_EQ(ProbeOf("g726.mkv").codecs, "h264,pcm_s16le");

  // From 1 s the export starts at the last key frame at or before it, and ends before 2 s.
  qvnet::RecordFileReader reader;
  ASSERT_EQ(reader.Open(input), qvnet::RecordOpenResult::kOk);
  uint32_t key = reader.Index().front().tick;
  for (const qvnet::IndexEntry& e : reader.Index()) {
    if (e.tick - reader.Index().front().tick <= 1000) key = e.tick;
  }
  const long expected = static_cast<long>((reader.Index().front().tick + 2000 - key + kFrameMs - 1) / kFrameMs);
  ASSERT_LT(expected, 50);
  s = Export(input, "part.mp4", 1, 2);
  ASSERT_TRUE(s.ok) << s.error;
  const Probe p = ProbeOf("part.mp4");
  EXPECT_EQ(p.frames, expected);
  EXPECT_NEAR(p.duration, static_cast<double>(expected) * 0.040, 0.040);
  EXPECT_EQ(static_cast<long>(s.pictures), p.frames);

  s = Export(input, "beyond.mp4", 30, 40);
  EXPECT_FALSE(s.ok);
  EXPECT_NE(s.error.find("no key frame"), std::string::npos) << s.error;
}

TEST_F(ExportTest, MotionJpegKeepsItsPictures) {
  qvtest::FakeClock clock(1000);
  RecordPair record([](int) {});
  RecordHeader header;
  header.payload_type = kPayloadTypeJpeg;  // the header's size is left at its default on purpose
  record.SetRecordHeader(header);
  const std::string path = dir_.File("jpeg.rec");
  ASSERT_EQ(record.ClientStartRecord(path.c_str(), 0), 1);
  for (int i = 0; i < 20; ++i) {
    const Bytes jpeg = qvcodec::test::EncodeJpeg(qvcodec::test::MovingPattern(kWidth, kHeight, i), AV_PIX_FMT_YUVJ420P);
    record.RecordUnit(JpegUnit(false, 0, 0, jpeg));
    clock.Advance(100);
  }
  record.ClientStopRecord();
  const ExportSummary s = Export(path, "jpeg.mkv");
  ASSERT_TRUE(s.ok) << s.error;
  const Probe p = ProbeOf("jpeg.mkv");
  EXPECT_EQ(p.codecs, "mjpeg");
  EXPECT_EQ(p.width, kWidth) << "the size of the pictures, not of the header";
  EXPECT_EQ(p.frames, 20);
  EXPECT_NEAR(p.duration, 2.0, 0.1);
}

TEST_F(ExportTest, CancelLeavesNoFileAndBadInputIsReported) {
  const std::string input = MakeH264Recording(30, 0);
  ExportRequest r;
  r.input = input;
  r.output = dir_.File("cancelled.mkv");
  int calls = 0;
  const ExportSummary cancelled = ExportRecording(r, [&](double) { return ++calls < 3; });
  EXPECT_FALSE(cancelled.ok);
  EXPECT_TRUE(cancelled.cancelled);
  EXPECT_FALSE(std::filesystem::exists(r.output));
  EXPECT_FALSE(std::filesystem::exists(r.output + ".part"));

  const std::string junk = dir_.File("junk.rec");
  std::FILE* f = std::fopen(junk.c_str(), "wb");
  std::fputs("not a recording at all, nothing like one", f);
  std::fclose(f);
  struct Case {
    std::string input;
    std::string output;
    const char* message;
  };
  const Case cases[] = {
      {dir_.File("missing.rec"), "a.mp4", "cannot open"},
      {junk, "a.mp4", "is not a recording"},
      {input, "a.avi", "must end in .mp4, .mov or .mkv"},
      {input, "no-such-folder/a.mp4", "cannot write"},
  };
  for (const Case& c : cases) {
    const ExportSummary s = Export(c.input, c.output);
    EXPECT_FALSE(s.ok) << c.output;
    EXPECT_NE(s.error.find(c.message), std::string::npos) << s.error;
  }
}

TEST_F(ExportTest, TheProgramExportsAndExplainsFailures) {
  const std::string input = MakeH264Recording(25, qvcodec::kVoiceAlaw);
  std::string out;
  EXPECT_EQ(servicetest::RunProgram({QVEXPORT_PROGRAM, input, "-o", dir_.File("cli.mkv")}, dir_.File("cli.log"), &out), 0)
      << out;
  EXPECT_NE(out.find("25 pictures (160x96)"), std::string::npos) << out;
  EXPECT_EQ(ProbeOf("cli.mkv").codecs, "h264,pcm_alaw");
  EXPECT_EQ(servicetest::RunProgram({QVEXPORT_PROGRAM, input, "-o", dir_.File("cli.mp4")}, dir_.File("cli.log"), &out), 0);
  EXPECT_NE(out.find("warning: the recording's audio (G.711 A-law) is left out"), std::string::npos) << out;
  EXPECT_EQ(servicetest::RunProgram({QVEXPORT_PROGRAM, input, "-o", dir_.File("x.mp4"), "--from", "3", "--to", "2"},
                                    dir_.File("cli.log"), &out),
            2);
  EXPECT_EQ(servicetest::RunProgram({QVEXPORT_PROGRAM, dir_.File("none.rec"), "-o", dir_.File("x.mp4")}, dir_.File("cli.log"), &out),
            1);
  EXPECT_NE(out.find("cannot open"), std::string::npos) << out;
}

}  // namespace
}  // namespace qvexport
