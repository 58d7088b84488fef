// Sends the media of one playing RTSP session at real-time pace: video access units every
// 1/fps second and one audio packet every 40 ms, looping the clips while RTP timestamps
// keep increasing. Over TCP the packets are interleaved in the RTSP connection
// (RFC 2326 §10.12); over UDP they go from the camera's RTP socket to the client's port.
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <thread>
#include <vector>

#include "platform/sync.h"
#include "tools/camsim/media_types.h"
#include "tools/camsim/rtp_packetizer.h"

namespace camsim {

class CameraContext;
class Connection;

struct MediaTarget {
  bool enabled = false;
  bool tcp = false;
  int channel = 0;      // interleaved RTP channel
  int udp_socket = -1;  // camera's RTP socket, owned by the RTSP server
  sockaddr_in destination{};
  RtpTrack track;
  uint32_t first_timestamp = 0;
};

class Streamer {
 public:
  Streamer(CameraContext& context, Connection& connection, int log_session, MediaTarget video,
           MediaTarget audio);
  ~Streamer();
  Streamer(const Streamer&) = delete;
  Streamer& operator=(const Streamer&) = delete;

  void Start();
  void Stop();

 private:
  void Run();
  void Loop();
  bool SendVideo(int64_t frame, int64_t now_ms);
  bool SendAudio(int64_t packet);
  bool Deliver(const MediaTarget& target, const std::vector<Bytes>& packets);

  CameraContext& context_;
  Connection& connection_;
  const int log_session_;
  MediaTarget video_;
  MediaTarget audio_;
  size_t clip_position_ = 0;
  bool waiting_for_key_ = false;
  std::vector<Bytes> packets_;
  std::vector<Bytes> extras_;  // packets_ with CSRCs, extension and padding
  std::string scratch_;
  qvp::Event stop_{true, false};
  std::thread thread_;
};

}  // namespace camsim
