// What is known of one camera stream while its packets are taken apart: the picture size,
// frame rate, buffer figure and codecs the camera announced (the RTSP set-up or a file's header
// writes them), the running statistics the depacketizers keep, and the flavor of the library
// the stream belongs to. The client object of either library is one (StreamClient derives from
// it); the depacketizers see nothing else of it.
//
// Fields written by one thread and polled by others are atomics with relaxed order: single
// values read by polling, never used to publish other memory.
#pragma once

#include <atomic>
#include <cstdint>

#include "netclient/media/record/record_format.h"
#include "netclient/wire/stream_flavor.h"

namespace qvnet {

class StreamFacts {
 public:
  explicit StreamFacts(const StreamFlavor& flavor) : flavor_(flavor) {}
  StreamFacts(const StreamFacts&) = delete;
  StreamFacts& operator=(const StreamFacts&) = delete;

  const StreamFlavor& Flavor() const { return flavor_; }

  // Video parameters announced by the camera (defaults until its RTSP answer replaces them).
  std::atomic<int32_t> width{720};
  std::atomic<int32_t> height{576};
  std::atomic<int32_t> frame_rate{25};
  std::atomic<int32_t> bit_rate{512};  // the camera's figure * 1024 once announced
  // The voice codec number (voiceengine.h; 0 until one is announced) and the RTP payload type of
  // the video (record_format.h), as they go into record files and to the decoders.
  std::atomic<uint8_t> audio_codec{0};
  std::atomic<uint8_t> video_payload_type{kPayloadTypeH264};

  // Statistics: RTP payload bytes received (running total) and the key-frame span estimate.
  std::atomic<uint32_t> received_bytes{0};
  std::atomic<int32_t> key_frame_span{0};

 protected:
  ~StreamFacts() = default;

 private:
  const StreamFlavor& flavor_;
};

}  // namespace qvnet
