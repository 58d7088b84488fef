// Everything that describes one simulated camera: its media, its RTSP and control-channel
// behaviour and the faults it can be told to show to the client under test.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace camsim {

enum class VideoCodec { kH264, kJpeg };

// kUnknown: A-law samples announced under a name no client knows, for tests of cameras whose
// audio the libraries cannot decode.
enum class AudioCodec { kNone, kPcma, kPcmu, kG726_16, kG726_24, kG726_32, kG726_40, kUnknown };

// What follows "Server: QuorValenta Rtsp Server " in the DESCRIBE answer.
enum class ServerHeader { kParams, kOmit, kCustom };

// Refusal of a correct Digest answer to DESCRIBE (a camera that rejects the account).
enum class RefuseAuth { kOff, k401, k403 };

// Malformed control-channel answers for bad-input tests.
enum class McptFault { kNone, kWrongLineCount, kGarbageNumbers };

struct CameraOptions {
  std::string bind_address = "127.0.0.1";
  uint16_t port = 0;  // 0 picks a free port
  int index = 0;      // used in log file names

  // Media.
  VideoCodec video = VideoCodec::kH264;
  int width = 704;
  int height = 576;
  int fps = 25;
  int kbps = 4096;
  std::string h264_file;  // Annex B input instead of the encoded test pattern
  int clip_seconds = 4;
  int jpeg_qscale = 4;    // libavcodec quantizer for motion JPEG, 1 (best) .. 31
  AudioCodec audio = AudioCodec::kPcma;
  size_t mtu = 1400;      // largest RTP packet (header included)
  bool stap_a = false;    // send SPS and PPS in one STAP-A packet
  // Every RTP packet with two CSRCs, a one-byte header extension (RFC 5285) and padding, as
  // mixers and some servers send them.
  bool rtp_extras = false;

  // RTSP.
  std::string user;       // empty: no authentication
  std::string password;
  std::string realm = "QVCamSim";
  RefuseAuth refuse_auth = RefuseAuth::kOff;
  ServerHeader server_header = ServerHeader::kParams;
  std::string server_header_text;  // for kCustom, written as given, then CRLF
  bool session_timeout = false;    // append ";timeout=<session_timeout_s>" to the Session header
  int session_timeout_s = 60;
  bool long_session_id = false;    // 40 digits
  bool text_session_id = false;    // letters, digits and a dash, as most servers make them
  // Send every RTSP answer in three pieces (status line, rest of the header, body) 20 ms apart,
  // as servers do that write headers and description separately.
  bool split_answers = false;
  bool refuse_get_parameter = false;  // answer GET_PARAMETER with 501
  bool audio_without_control = false;  // SDP names only one trackID
  uint32_t slow_ms = 0;            // delay before every RTSP and control answer
  uint32_t pause_video_ms = 0;     // video gap after the first PLAY
  uint32_t pause_after_ms = 2000;  // ... starting this long after PLAY
  uint32_t drop_after_ms = 0;      // close the first playing connection this long after PLAY

  // Control channel.
  bool silent = false;      // keep-alives are not answered
  bool talk_back = true;    // the camera sends voice back during talk
  bool refuse_talk = false;
  McptFault mctp_fault = McptFault::kNone;

  // Logs.
  bool keep_media_log = true;              // in memory, for the in-process API
  size_t media_log_limit = 64u << 20;      // bytes of media kept in memory per camera
  std::string log_dir;                     // also write logs to files here
};

}  // namespace camsim
