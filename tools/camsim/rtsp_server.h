// The camera's side of one RTSP/1.0 connection (RFC 2326): OPTIONS, DESCRIBE, SETUP, PLAY,
// TEARDOWN, GET_PARAMETER and SET_PARAMETER, optional Digest authentication, and the media
// of the session it sets up.
#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>

#include "tools/camsim/net.h"
#include "tools/camsim/rtsp_request.h"
#include "tools/camsim/streamer.h"

namespace camsim {

class CameraContext;
class Connection;

class RtspServer {
 public:
  RtspServer(CameraContext& context, Connection& connection);
  ~RtspServer();
  RtspServer(const RtspServer&) = delete;
  RtspServer& operator=(const RtspServer&) = delete;

  // Serves requests until the connection closes; `initial` holds bytes already read.
  void Serve(std::string initial);

 private:
  struct Track {
    bool set_up = false;
    TransportSpec transport;
    Fd rtp_socket;
    Fd rtcp_socket;
    uint16_t server_port = 0;
    RtpTrack rtp;
    uint32_t first_timestamp = 0;
  };

  // Takes one interleaved frame or request off the front of `buffer`; false to close.
  bool ServeOne(std::string* buffer, bool* need_more);
  std::string Handle(const RtspRequest& request);
  bool SendAnswer(const std::string& answer);
  bool Authorized(const RtspRequest& request, const std::string& cseq, std::string* refusal);
  std::string OnDescribe(const RtspRequest& request, const std::string& cseq);
  std::string OnSetup(const RtspRequest& request, const std::string& cseq);
  std::string OnPlay(const RtspRequest& request, const std::string& cseq);
  std::string OnTeardown(const std::string& cseq);
  bool SessionMatches(const RtspRequest& request) const;
  std::string SessionHeader() const;
  std::string SetUpTransport(Track* track, int index, const TransportSpec& spec);
  MediaTarget TargetFor(Track* track) const;
  void StartStreaming();
  void StopStreaming();

  CameraContext& context_;
  Connection& connection_;
  std::string nonce_;
  std::string base_uri_;
  std::string session_id_;
  std::array<Track, 2> tracks_;  // video, audio
  int log_session_ = -1;
  bool play_pending_ = false;  // PLAY was answered 200: start once the answer is out
  std::unique_ptr<Streamer> streamer_;
};

// "RTSP/1.0 <code> <reason>\r\nCSeq: <cseq>\r\n" + headers + blank line + body, with
// Content-Length when there is a body.
std::string RtspAnswer(int code, const std::string& cseq, const std::string& headers = {},
                       const std::string& body = {});

}  // namespace camsim
