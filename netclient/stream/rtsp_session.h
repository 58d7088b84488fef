// CRtspSession: the RTSP/1.0 client that brings one camera stream up (DESCRIBE, one Digest
// challenge, SETUP video, SETUP audio, PLAY) and down (TEARDOWN), and owns the sockets the
// stream arrives on. A stream source owns one session and drives it from its connection
// thread; the application thread may stop the source meanwhile, so socket creation, closing
// and TEARDOWN run under the session's lock.
//
// Two modes, chosen by the client's address (client_address.h):
// - The cameras' dialect: the request texts byte for byte as the cameras expect them
//   (rtsp_requests.h), answers matched by substring (rtsp_answer.h).
// - The standard mode for an rtsp:// URL (rtsp_session_standard.cpp): the description read per
//   media section, controls resolved against the base URL, the first video and first audio
//   track in any order (audio optional), interleaved channels and session ids as the server
//   answers them, Basic and Digest authentication, keep-alive requests within the session's
//   time-out.
// In both modes an answer is read whole, however many TCP segments it arrives in (its blank
// line and Content-Length body; at most kMaxRtspAnswerBytes and kSetupTimeoutMs), and bytes
// behind it stay for the interleaved reader.
//
// Socket lifetime. Other threads read the sockets without the lock (the UDP receivers, the
// interleaved reader), so "closing" a socket shuts it down and takes it out of use: every
// blocked or later receive on it returns at once, but its descriptor stays reserved until the
// next CreateSockets() or the session's destruction. That keeps a descriptor number from being
// reused under a thread that still holds it. The pointers handed out by the accessors are
// therefore valid until the next CreateSockets(); the source stops every thread that uses
// them before it makes new sockets.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "netclient/wire/interleaved_reader.h"
#include "netclient/wire/rtsp_answer.h"
#include "netclient/wire/rtsp_auth.h"
#include "netclient/wire/rtsp_message.h"
#include "netclient/wire/rtsp_requests.h"
#include "netclient/stream/stream_client.h"
#include "platform/socket.h"
#include "platform/sync.h"

namespace qvnet {

class CRtspSession {
 public:
  enum SetupResult : int {
    kSetupFailed = 0,
    kSetupPlaying = 1,
    // The camera answered the authenticated DESCRIBE with something other than "200 OK": the
    // user name or password was refused. The recording library reports it as state 6; for
    // everyone else it is an ordinary failure.
    kSetupRefused = 2,
  };

  // First local ports tried for the UDP media sockets; the search goes on in steps of 2.
  static constexpr uint16_t kVideoBasePort = 1600;
  static constexpr uint16_t kAudioBasePort = 1800;
  // Even ports tried before the set-up gives up.
  static constexpr int kMaxPortTries = 1000;
  static constexpr int kMediaRecvBuffer = 65536;
  static constexpr uint32_t kSetupTimeoutMs = 5000;

  explicit CRtspSession(StreamClient& client);
  ~CRtspSession() = default;
  CRtspSession(const CRtspSession&) = delete;
  CRtspSession& operator=(const CRtspSession&) = delete;

  // Closes any open sockets and makes the TCP control socket and, for UDP transport, the video
  // and audio sockets. False (everything closed again) when one cannot be made.
  bool CreateSockets();
  // Send and receive time-outs of the control socket; false when it is closed or refused.
  bool SetTimeouts(uint32_t send_ms, uint32_t recv_ms);
  // DESCRIBE - SETUP - SETUP - PLAY. The sockets stay open whatever the result.
  SetupResult Setup();
  // TEARDOWN, then one answer, which must hold "200 OK" (UDP transport).
  bool TearDown();
  // TEARDOWN without waiting for an answer (TCP transport: the answer would arrive among the
  // interleaved packets); true when it was sent.
  bool TearDownTcp();
  void CloseMediaSockets();
  void CloseAll();

  // The next interleaved unit from the control socket (interleaved_reader.h); `*data` points
  // into the session's receive buffer until the next call. Source thread only.
  int NextInterleaved(uint8_t** data, size_t* length, size_t max_packet);

  // The interleaved RTP channels of the two tracks as the server answered them (the dialect:
  // 0 and 2); the audio channel is -1 when no audio track was set up.
  int VideoChannel() const { return video_channel_.load(); }
  int AudioChannel() const { return audio_channel_.load(); }
  // Whether an audio track was set up (the dialect always sets one up).
  bool HasAudio() const { return audio_channel_.load() >= 0; }

  // Keep-alive of the standard mode: the interval (half the session's time-out), 0 in the
  // dialect, whose cameras watch the stream themselves.
  uint32_t KeepAliveIntervalMs() const { return keepalive_ms_.load(); }
  // Sends the keep-alive request (GET_PARAMETER, or OPTIONS once a server refused that) and,
  // over UDP, reads its answer; source thread only. False when it could not be sent.
  bool KeepAlive();
  // RTSP text that arrived among the interleaved packets: the answer to a keep-alive tells
  // whether the server takes GET_PARAMETER.
  void TakeServerText(const uint8_t* data, size_t length);

  // The server's session id (the MCTP event channel registers with it).
  std::string SessionId() const;
  std::string Uri() const;
  bool Authenticated() const;
  // Null when the socket is closed; see "Socket lifetime" above.
  const qvp::Socket* ControlSocket() const { return control_.load(); }
  const qvp::Socket* VideoSocket() const { return video_.load(); }
  const qvp::Socket* AudioSocket() const { return audio_.load(); }
  uint16_t VideoClientPort() const { return video_port_.load(); }
  uint16_t AudioClientPort() const { return audio_port_.load(); }
  // True when a datagram from `from` may be media of this stream: it comes from the camera's
  // address and, once the SETUP answer named it, from the track's server port. Anything else
  // on our UDP ports (another program, a stray sender) must not reach the recording.
  bool FromCamera(const sockaddr_in& from, bool video) const;

 private:
  // What the standard mode keeps between its requests (written by the set-up under the lock,
  // read by TEARDOWN and the keep-alive).
  struct Track {
    std::string control_url;
    int payload_type = 0;
    uint8_t codec = 0;
  };
  struct StandardState {
    std::string aggregate_url;
    Track video;
    std::optional<Track> audio;
    std::optional<AuthState> auth;
    bool keepalive_with_options = false;
    int keepalive_cseq = -1;
    uint32_t timeout_s = 0;
  };

  bool Connect();
  SetupResult Describe();
  void TakeDescription(std::string_view answer);
  bool SetupVideo();
  bool SetupAudio();
  bool Play();
  // Sends `request` whole and reads one whole answer into answer_; false on a send or receive
  // error, an answer over its cap, or the set-up's time-out.
  bool Exchange(const std::string& request, std::string_view* answer);

  // Standard mode (rtsp_session_standard.cpp).
  SetupResult SetupStandard();
  SetupResult DescribeStandard();
  bool TakeStandardDescription(const RtspResponse& answer, const std::string& request_url);
  bool SetupStandardTrack(bool video);
  bool PlayStandard();
  // One request with the session's authorization; a 401 is answered once with the challenge
  // it carries. Nullopt when nothing usable came back; `*refused` when the server refused the
  // credentials (or none were there to give).
  std::optional<RtspResponse> StandardRequest(std::string_view method, const std::string& uri,
                                              const std::string& headers, bool* refused);
  std::string StandardRequestText(std::string_view method, const std::string& uri, const std::string& headers);
  std::string StandardTeardownLocked();
  std::string NewClientNonce();
  // Receive time-out, buffer and the first free even port from `base` for a UDP socket.
  bool BindMediaSocket(const qvp::Socket* socket, uint16_t base, std::atomic<uint16_t>* port);
  int NextCseq();
  const DigestAuth* Auth() const { return authenticate_ ? &auth_ : nullptr; }
  bool TearDownLocked(bool wait_answer);
  qvp::Socket* Adopt(qvp::Socket socket);
  // Shuts `slot`'s socket down and takes it out of use (lock held).
  static void Retire(std::atomic<qvp::Socket*>* slot);

  StreamClient& client_;
  mutable qvp::Lock lock_;
  std::atomic<qvp::Socket*> control_{nullptr};
  std::atomic<qvp::Socket*> video_{nullptr};
  std::atomic<qvp::Socket*> audio_{nullptr};
  std::atomic<uint16_t> video_port_{0};
  std::atomic<uint16_t> audio_port_{0};
  // The camera's address (network order) and the server ports its SETUP answers named (0: not
  // named), read by the receivers while the set-up writes them for the next connection.
  std::atomic<uint32_t> camera_addr_{0};
  std::atomic<uint16_t> video_server_port_{0};
  std::atomic<uint16_t> audio_server_port_{0};
  // Every socket made since the last CreateSockets(), open or retired (lock held).
  std::vector<std::unique_ptr<qvp::Socket>> owned_;
  // The buffered reader of the control socket made by the last CreateSockets().
  std::unique_ptr<InterleavedReader> interleaved_;
  // While an answer is read: the tick by which it must be whole (0: no limit).
  std::atomic<uint32_t> answer_deadline_{0};
  std::string answer_text_;

  // Written by Setup() under the lock, read by TearDown() under the lock.
  std::string session_id_;
  uint16_t cseq_ = 1;
  std::string uri_;
  bool authenticate_ = false;
  DigestAuth auth_;

  char video_track_ = '0';
  char audio_track_ = '1';
  std::atomic<int> video_channel_{kChannelVideoRtp};
  std::atomic<int> audio_channel_{kChannelAudioRtp};
  std::atomic<uint32_t> keepalive_ms_{0};
  StandardState standard_;
  uint64_t cnonce_counter_ = 0;
};

}  // namespace qvnet
