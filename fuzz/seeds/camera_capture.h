// What the camera simulator sends, captured on 127.0.0.1 the way the client receives it: each
// RTSP answer as one receive, the interleaved bytes after PLAY, MCTP answers and the event
// channel's bytes. The requests are the client's own (rtsp_requests.h, mctp_message.h).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "fuzz/seeds/seed_set.h"
#include "tools/camsim/camera.h"

namespace qvseeds {

struct Interleaved {
  uint8_t channel = 0;
  Bytes packet;
};

struct SessionCapture {
  std::vector<std::pair<std::string, std::string>> answers;  // name, answer text
  std::string session_id;
  Bytes stream;                      // the connection's bytes after the PLAY answer
  std::vector<Interleaved> packets;  // `stream` taken apart into its frames
  std::string teardown_text;         // the TEARDOWN answer as it arrived between frames
};

// A camera on a free port of 127.0.0.1, stopped with the object.
class ScopedCamera {
 public:
  explicit ScopedCamera(camsim::CameraOptions options);
  ~ScopedCamera() { camera_.Stop(); }
  ScopedCamera(const ScopedCamera&) = delete;
  ScopedCamera& operator=(const ScopedCamera&) = delete;

  bool Ok() const { return ok_; }
  camsim::Camera& Get() { return camera_; }
  uint16_t Port() const { return camera_.Port(); }

 private:
  camsim::Camera camera_;
  bool ok_ = false;
};

// Small, cheap media: a fuzzer wants short seeds, not pictures worth looking at.
camsim::CameraOptions SmallCamera(camsim::VideoCodec video, camsim::AudioCodec audio);

// DESCRIBE (answering one Digest challenge when the camera sends it); with `play`, SETUP of
// both tracks interleaved, PLAY, `stream_bytes` of the stream, `while_playing`, TEARDOWN.
// Answers that arrived are kept even when a later step fails.
SessionCapture CaptureSession(ScopedCamera& camera, bool play, size_t stream_bytes,
                              const std::function<void(const std::string& session_id)>& while_playing = {});

// One receive's worth of answer to `request` on a fresh connection; empty when none came.
std::string RtspExchange(uint16_t port, const std::string& request);

// One MCTP transaction; empty when none came.
std::string MctpAnswer(uint16_t port, const std::string& request);

// Registers an event channel for `session_id`, runs `trigger` and collects what the channel
// receives for a short while after it (keep-alive answers, events).
Bytes CaptureEvents(uint16_t port, const std::string& session_id, const std::function<void()>& trigger);

// The frames of an interleaved stream, up to the first incomplete one.
std::vector<Interleaved> SplitInterleaved(std::span<const uint8_t> stream);

}  // namespace qvseeds
