// CRtspSession: the RTSP/1.0 client that brings one camera stream up (DESCRIBE, one Digest
// challenge, SETUP video, SETUP audio, PLAY) and down (TEARDOWN), and owns the sockets the
// stream arrives on. A stream source owns one session and drives it from its connection
// thread; the application thread may stop the source meanwhile, so socket creation, closing
// and TEARDOWN run under the session's lock.
//
// The dialect is fixed by the cameras: one send per request and one receive of at most 2047
// bytes per answer, answers matched by substring (rtsp_answer.h). An answer that arrives in
// two TCP segments therefore fails the set-up; the cameras never split their answers.
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
#include <string>
#include <string_view>
#include <vector>

#include "netclient/wire/interleaved_reader.h"
#include "netclient/wire/rtsp_answer.h"
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
  bool Connect();
  SetupResult Describe();
  void TakeDescription(std::string_view answer);
  bool SetupVideo();
  bool SetupAudio();
  bool Play();
  // Sends `request` whole and reads one answer into answer_; false on a send or receive error.
  bool Exchange(const std::string& request, std::string_view* answer);
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

  // Written by Setup() under the lock, read by TearDown() under the lock.
  std::string session_id_;
  uint16_t cseq_ = 1;
  std::string uri_;
  bool authenticate_ = false;
  DigestAuth auth_;

  char video_track_ = '0';
  char audio_track_ = '1';
  std::array<char, kRtspAnswerCapacity + 1> answer_{};
};

}  // namespace qvnet
