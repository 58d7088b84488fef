// The part of a client that the shared stream code works on: connection parameters, the
// connection state, the camera's video parameters and codecs, statistics and the motion
// fields of the control channel. The live-view client (NetClient) and the recording client
// (NvrClient) derive from it and add what only they have; each decides how a notification
// travels (Notify).
//
// Fields written by one thread and polled by others are atomics with relaxed order: they are
// single values read by polling, never used to publish other memory.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "netclient/include/QVNetClient.h"
#include "netclient/wire/client_address.h"
#include "netclient/stream/library_context.h"
#include "netclient/wire/stream_flavor.h"

namespace qvnet {

static_assert(sizeof(MDRegionTable) == 272, "MD region table is 272 bytes");

inline constexpr int kRegionCount = 16;
inline constexpr uint8_t kPayloadH264 = 96;
inline constexpr uint8_t kPayloadJpeg = 26;

enum ConnectionState : int32_t {
  kStateStreaming = 0,
  kStateConnecting = 1,
  kStateFailed = 2,
  kStateLost = 3,
  kStateReconnecting = 4,
  kStateGivenUp = 5,
  kStateRefused = 6,
};

// Motion-detection state shared by the control channel (writer) and the display (reader).
struct MotionState {
  std::mutex lock;          // guards `regions`
  MDRegionTable regions{};  // cached region table
  std::array<std::atomic<uint32_t>, kRegionCount> last_report{};  // tick of the last motion report
  std::atomic<uint32_t> mask{0};      // regions that reported motion in the last event
  std::atomic<bool> enabled{false};   // motion detection switched on by this client
};

class StreamClient {
 public:
  StreamClient(LibraryContext& context, const StreamFlavor& flavor) : context_(context), flavor_(flavor) {}
  virtual ~StreamClient() = default;
  StreamClient(const StreamClient&) = delete;
  StreamClient& operator=(const StreamClient&) = delete;

  // Sends one notification the library's way (callback, posted message, or nothing).
  virtual void Notify(uint32_t code, int32_t value) = 0;

  LibraryContext& Context() const { return context_; }
  const StreamFlavor& Flavor() const { return flavor_; }

  // Connection parameters, fixed once the client is made.
  uint32_t handle = 0;
  int16_t transport = 0;     // 0 UDP, 1 TCP
  uint8_t stream_number = 0;  // channel + 4 * stream index
  ClientAddress address;
  std::string user;
  std::string password;

  std::atomic<int32_t> state{kStateConnecting};
  // Set once the application started stopping the client.
  std::atomic<bool> stopping{false};

  // Video parameters announced by the camera (defaults until its RTSP answer replaces them).
  std::atomic<int32_t> width{720};
  std::atomic<int32_t> height{576};
  std::atomic<int32_t> frame_rate{25};
  std::atomic<int32_t> bit_rate{512};  // the camera's figure * 1024 once announced
  std::atomic<uint8_t> audio_codec{0};
  std::atomic<uint8_t> video_payload_type{kPayloadH264};

  // Statistics: RTP payload bytes received (running total) and the key-frame span estimate.
  std::atomic<uint32_t> received_bytes{0};
  std::atomic<int32_t> key_frame_span{0};

  MotionState motion;

 private:
  LibraryContext& context_;
  const StreamFlavor& flavor_;
};

}  // namespace qvnet
