// What a camera received and sent, so that a test can compare a recording with the source
// byte for byte: every request in order, and per playing session the video as Annex B
// (00 00 01 + NAL unit, the bytes a recorder writes) or as JPEG pictures, the audio
// payloads, and a time-stamped entry per frame. Kept in memory (bounded) and optionally
// written to files.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "tools/camsim/camera_options.h"
#include "tools/camsim/media_types.h"

namespace camsim {

struct RequestRecord {
  uint32_t tick = 0;      // qvp::TickCount() when received
  std::string protocol;   // "RTSP" or "MCTP"
  int connection = 0;     // per-camera connection number, from 1
  std::string text;       // the whole request as received
};

enum class MediaKind { kVideo, kAudio };

struct SentFrame {
  uint32_t tick = 0;
  MediaKind kind = MediaKind::kVideo;
  uint32_t rtp_timestamp = 0;
  size_t offset = 0;  // into SessionMedia::video or ::audio
  size_t size = 0;
};

struct SessionMedia {
  std::string session_id;
  VideoCodec video_codec = VideoCodec::kH264;
  AudioCodec audio_codec = AudioCodec::kNone;
  Bytes video;  // Annex B, or JPEG pictures back to back
  Bytes audio;  // RTP payloads back to back
  std::vector<SentFrame> frames;
  bool truncated = false;  // the in-memory limit was reached; files are complete
};

struct TalkRecord {
  uint32_t tick = 0;
  uint32_t length = 0;       // length field of the talk frame header
  uint32_t client_tick = 0;  // tick field of the talk frame header
  bool valid = false;
};

class CameraLog {
 public:
  explicit CameraLog(const CameraOptions& options);
  ~CameraLog();
  CameraLog(const CameraLog&) = delete;
  CameraLog& operator=(const CameraLog&) = delete;

  void Request(std::string_view protocol, int connection, std::string_view text);
  // Opens the media log of a session that starts playing; returns its number.
  int BeginSession(const std::string& session_id, VideoCodec video, AudioCodec audio);
  // Closes the session's files; its in-memory log stays.
  void EndSession(int session);
  void Video(int session, uint32_t rtp_timestamp, const AccessUnit& unit);
  void Audio(int session, uint32_t rtp_timestamp, const Bytes& payload);
  void Talk(const TalkRecord& record, const uint8_t* voice_frame, size_t size);
  // A talk connection ended (closed by the client, or a stream that could not be followed).
  void TalkEnded();

  std::vector<RequestRecord> Requests() const;
  std::vector<SessionMedia> Media() const;
  std::vector<TalkRecord> TalkFrames() const;
  Bytes TalkVoice() const;  // received voice frames back to back
  size_t TalkSessionsEnded() const;

 private:
  struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };
  using File = std::unique_ptr<std::FILE, FileCloser>;
  struct SessionFiles {
    File media;
    File audio;
    File frames;
  };

  File OpenFile(const std::string& name) const;
  // Reserves `size` bytes of the in-memory limit; false (and truncated) once it is reached.
  bool MayKeep(SessionMedia* media, size_t size);
  void WriteFrameLine(SessionFiles* files, const SentFrame& frame);

  const bool keep_;
  const size_t limit_;
  const std::string prefix_;  // "<dir>/cam<index>", empty without a log directory
  mutable std::mutex mutex_;
  size_t kept_bytes_ = 0;
  std::vector<RequestRecord> requests_;
  std::vector<SessionMedia> sessions_;
  std::vector<SessionFiles> files_;
  std::vector<TalkRecord> talk_;
  Bytes talk_voice_;
  size_t talk_sessions_ended_ = 0;
  File request_file_;
  File talk_file_;
};

}  // namespace camsim
