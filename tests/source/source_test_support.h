// Test doubles for the stream sources: a client that keeps every notification, a media
// output that captures what the sources hand to display and sound, RTP packet builders, and
// helpers to poll a condition with a deadline.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <unistd.h>

#include "netclient/include/QVNetClient.h"
#include "netclient/media/record/record_reader.h"
#include "netclient/wire/media_output.h"
#include "netclient/stream/stream_client.h"
#include "tests/support/note_client.h"
#include "tests/support/poll.h"
#include "tests/support/recording_readback.h"
#include "tests/support/temp_dir.h"

namespace qvtest {

// Captures what a source hands to display and sound. Read the fields under `mutex` while a
// source runs.
class TestMediaOutput : public qvnet::MediaOutput {
 public:
  struct Piece {
    std::vector<uint8_t> bytes;
    bool end_of_message = false;
  };

  bool StartDisplay() override { return Locked([&] { ++display_starts; }), true; }
  void StopDisplay() override { Locked([&] { ++display_stops; }); }
  bool WriteVideo(const uint8_t* data, size_t length, bool end_of_message) override {
    Locked([&] { pieces.push_back({std::vector<uint8_t>(data, data + length), end_of_message}); });
    return true;
  }
  bool ResetVoiceDecoder(uint8_t) override { return true; }
  bool DecodeAudio(const uint8_t* frame, size_t length) override {
    Locked([&] { decoded_frames.emplace_back(frame, frame + length); });
    return decode_result;
  }
  void ResetForConnection() override { Locked([&] { ++connection_resets; }); }

  std::vector<uint8_t> VideoBytes() {
    std::vector<uint8_t> all;
    Locked([&] {
      for (const Piece& p : pieces) all.insert(all.end(), p.bytes.begin(), p.bytes.end());
    });
    return all;
  }
  void Locked(const std::function<void()>& f) {
    std::lock_guard guard(mutex);
    f();
  }

  std::mutex mutex;
  bool decode_result = true;
  int display_starts = 0;
  int display_stops = 0;
  int connection_resets = 0;
  std::vector<Piece> pieces;
  std::vector<std::vector<uint8_t>> decoded_frames;
};

// An RTP packet: the 12-byte header (marker, payload type, timestamp) followed by `payload`.
inline std::vector<uint8_t> RtpPacket(const std::vector<uint8_t>& payload, bool marker = false,
                                      uint32_t timestamp = 0, uint8_t payload_type = 96) {
  std::vector<uint8_t> p{0x80, static_cast<uint8_t>((marker ? 0x80 : 0) | payload_type), 0x12, 0x34};
  for (int shift = 24; shift >= 0; shift -= 8) p.push_back(static_cast<uint8_t>(timestamp >> shift));
  p.insert(p.end(), {0xAA, 0xBB, 0xCC, 0xDD});  // SSRC
  p.insert(p.end(), payload.begin(), payload.end());
  return p;
}

}  // namespace qvtest
