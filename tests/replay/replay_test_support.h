// Shared by the replay suites: record files and AVI files built byte by byte with chosen ticks,
// H.264 and JPEG pictures, A-law sound, a clock that lets pacing run fast, a registered
// in-memory window and a log of the notifications that reach the library's callback.
#pragma once

#include <chrono>
#include <cstdint>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "netclient/client/net_client.h"
#include "netclient/include/QVNetClient.h"
#include "netclient/media/codec/voiceengine.h"
#include "netclient/media/record/record_format.h"
#include "platform/memory_window_sink.h"
#include "platform/window_registry.h"
#include "tests/codec/test_media.h"
#include "tests/support/annex_b.h"
#include "tests/support/fake_clock.h"
#include "tests/support/replay_speed.h"

namespace qvtest {

using Bytes = std::vector<uint8_t>;

// Makes the two conduits of a file client, large enough to take a whole test file, and gives
// it a time line longer than any test file, so that the readers' seeks are tried even at
// targets the exports would cut to the file's length.
inline constexpr uint32_t kTimelineSeconds = 3600;
inline bool MakeConduits(qvnet::NetClient& client, uint32_t first_tick = 0) {
  using qvnet::CBufferConduit;
  client.video_conduit = std::make_unique<CBufferConduit>();
  client.audio_conduit = std::make_unique<CBufferConduit>();
  client.display_control.replay.SetTimeline(first_tick, kTimelineSeconds);
  return client.video_conduit->Create(qvnet::kVideoConduitBytes, false, qvnet::kConduitLowWater, true) &&
         client.audio_conduit->Create(qvnet::kLiveAudioConduitBytes, false, qvnet::kConduitLowWater, false);
}

inline void WriteFile(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Whether an Annex B access unit carries a sequence parameter set.
inline bool IsKeyUnit(const Bytes& unit) {
  for (const Bytes& nal : SplitNals(unit)) {
    if (!nal.empty() && (nal[0] & 0x1F) == 7) return true;
  }
  return false;
}

// `count` baseline H.264 pictures (a key picture every 4) and `count` JPEG images of 64 x 48.
inline std::vector<Bytes> H264Pictures(int count) { return qvcodec::test::EncodeH264(64, 48, count); }
inline std::vector<Bytes> JpegPictures(int count) {
  std::vector<Bytes> out;
  for (int i = 0; i < count; ++i) {
    out.push_back(qvcodec::test::EncodeJpeg(qvcodec::test::MovingPattern(64, 48, i), AV_PIX_FMT_YUVJ420P));
  }
  return out;
}

// One A-law voice frame of 320 samples (40 ms) of a tone, and the PCM it decodes to.
struct VoiceFrame {
  Bytes frame;
  Bytes pcm;
};
inline VoiceFrame AlawFrame(int index) {
  std::vector<int16_t> samples(320);
  for (size_t i = 0; i < samples.size(); ++i) {
    samples[i] = static_cast<int16_t>(((i * 37 + index * 11) % 200) * 40 - 4000);
  }
  qvcodec::VoiceState enc{};
  qvcodec::VoiceState dec{};
  qvcodec::VoiceEncReset(&enc, qvcodec::kVoiceAlaw);
  qvcodec::VoiceDecReset(&dec, qvcodec::kVoiceAlaw);
  VoiceFrame v;
  v.frame.resize(qvcodec::VoiceFrameBytes(qvcodec::kVoiceAlaw, 320));
  qvcodec::VoiceEncodeFrame(&enc, samples.data(), v.frame.data(), 320);
  std::vector<int16_t> out(qvcodec::kMaxVoiceSamples);
  uint16_t n = 0;
  qvcodec::VoiceDecodeFrame(&dec, v.frame.data(), out.data(), &n);
  v.pcm.assign(reinterpret_cast<const uint8_t*>(out.data()), reinterpret_cast<const uint8_t*>(out.data() + n));
  return v;
}

// A record file written record by record, current or legacy layout.
class RecordBuilder {
 public:
  explicit RecordBuilder(uint8_t payload_type = qvnet::kPayloadTypeH264, uint8_t frame_rate = 25, bool legacy = false)
      : legacy_(legacy) {
    if (legacy_) {
      const std::string signature(qvnet::kLegacySignature);
      bytes_.assign(signature.begin(), signature.end());
      bytes_.push_back(frame_rate);
      return;
    }
    qvnet::RecordHeader h;
    h.payload_type = payload_type;
    h.frame_rate = frame_rate;
    bytes_.resize(qvnet::kFirstRecordOffset);
    qvnet::EncodeFileStart(h, std::span<uint8_t, qvnet::kFirstRecordOffset>(bytes_.data(), qvnet::kFirstRecordOffset));
  }

  // Returns the record's offset. Kind 7 video records get an index entry (`index_point`
  // overrides, for JPEG pictures received over UDP).
  uint64_t Add(uint8_t stream, uint8_t kind, uint32_t tick, const Bytes& payload, int index_point = -1) {
    const uint64_t at = bytes_.size();
    const bool key = stream == qvnet::kStreamVideo && kind == qvnet::kKindKeyFrame;
    const bool indexed = index_point >= 0 ? index_point != 0 : key;
    if (indexed) index_.push_back({at, tick});
    uint8_t h[12] = {};
    qvnet::PutU32(h, qvnet::EncodeDescriptor(stream, kind, static_cast<uint32_t>(payload.size())));
    if (legacy_) {
      qvnet::PutU32(h + 4, tick);
    } else {
      qvnet::PutU16(h + 4, 64);
      qvnet::PutU16(h + 6, 48);
      qvnet::PutU32(h + 8, tick);
    }
    bytes_.insert(bytes_.end(), h, h + (legacy_ ? 8 : 12));
    bytes_.insert(bytes_.end(), payload.begin(), payload.end());
    return at;
  }

  // An H.264 picture: one record per NAL unit, each with a 3-byte start code.
  void AddH264Picture(const Bytes& unit, uint32_t tick) {
    for (const Bytes& nal : SplitNals(unit)) {
      Bytes payload = {0, 0, 1};
      payload.insert(payload.end(), nal.begin(), nal.end());
      Add(qvnet::kStreamVideo, static_cast<uint8_t>((nal[0] & 0x1F) % 16), tick, payload);
    }
  }

  // The file as a recording that was stopped (with index) or not (without).
  Bytes Finish(bool with_index = true) const {
    Bytes out = bytes_;
    if (!with_index) return out;
    const std::string begin(qvnet::kBeginIndexMarker);
    out.insert(out.end(), begin.begin(), begin.end());
    for (const qvnet::IndexEntry& e : index_) {
      uint8_t entry[16] = {};
      if (legacy_) {
        qvnet::PutU32(entry, static_cast<uint32_t>(e.offset));
        qvnet::PutU32(entry + 4, e.tick);
      } else {
        qvnet::PutU64(entry, e.offset);
        qvnet::PutU32(entry + 8, e.tick);
      }
      out.insert(out.end(), entry, entry + (legacy_ ? 8 : 16));
    }
    uint8_t count[4] = {};
    qvnet::PutU32(count, static_cast<uint32_t>(index_.size()));
    out.insert(out.end(), count, count + 4);
    const std::string end(qvnet::kEndIndexMarker);
    out.insert(out.end(), end.begin(), end.end());
    return out;
  }

  const std::vector<qvnet::IndexEntry>& Index() const { return index_; }

 private:
  bool legacy_;
  Bytes bytes_;
  std::vector<qvnet::IndexEntry> index_;
};

// An H.264 recording of `pictures` pictures `step_ms` apart from `first_tick`, each followed
// by one A-law sound record when `with_sound`.
inline RecordBuilder H264Recording(const std::vector<Bytes>& pictures, uint32_t first_tick, bool with_sound,
                                   bool legacy = false, uint32_t step_ms = 40) {
  RecordBuilder b(qvnet::kPayloadTypeH264, 25, legacy);
  for (size_t i = 0; i < pictures.size(); ++i) {
    b.AddH264Picture(pictures[i], first_tick + static_cast<uint32_t>(i) * step_ms);
    if (with_sound) b.Add(qvnet::kStreamAudio, qvcodec::kVoiceAlaw, 0, AlawFrame(static_cast<int>(i)).frame);
  }
  return b;
}

// What reaches the library's notification callback.
struct Notification {
  uint32_t handle, code, value, user;
};
class NotifyLog {
 public:
  static NotifyLog& Get() {
    static NotifyLog log;
    return log;
  }
  static void Callback(uint32_t h, uint32_t code, uint32_t value, uint32_t user) {
    std::lock_guard<std::mutex> lock(Get().mutex_);
    Get().entries_.push_back({h, code, value, user});
  }
  std::vector<Notification> Entries() {
    std::lock_guard<std::mutex> lock(mutex_);
    return entries_;
  }
  size_t Count(uint32_t code) {
    size_t n = 0;
    for (const Notification& e : Entries()) n += e.code == code ? 1 : 0;
    return n;
  }
  void Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    entries_.clear();
  }

 private:
  std::mutex mutex_;
  std::vector<Notification> entries_;
};

// A window registered for the life of the test.
struct TestWindow {
  TestWindow() : sink(std::make_shared<qvp::MemoryWindowSink>(64, 48)), handle(qvp::RegisterWindow(sink)) {}
  ~TestWindow() { qvp::UnregisterWindow(handle); }
  TestWindow(const TestWindow&) = delete;
  TestWindow& operator=(const TestWindow&) = delete;
  std::shared_ptr<qvp::MemoryWindowSink> sink;
  qvp::WindowHandle handle;
};

}  // namespace qvtest
