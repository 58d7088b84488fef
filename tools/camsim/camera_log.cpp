#include "tools/camsim/camera_log.h"

#include "platform/tick_clock.h"

namespace camsim {

namespace {

constexpr uint8_t kStartCode[3] = {0, 0, 1};

const char* AudioExtension(AudioCodec codec) {
  switch (codec) {
    case AudioCodec::kPcma:
    case AudioCodec::kUnknown: return "alaw";
    case AudioCodec::kPcmu: return "ulaw";
    case AudioCodec::kNone: return "none";
    default: return "g726";
  }
}

}  // namespace

CameraLog::CameraLog(const CameraOptions& options)
    : keep_(options.keep_media_log),
      limit_(options.media_log_limit),
      prefix_(options.log_dir.empty() ? std::string()
                                      : options.log_dir + "/cam" + std::to_string(options.index)) {
  request_file_ = OpenFile("_requests.log");
}

CameraLog::~CameraLog() = default;

CameraLog::File CameraLog::OpenFile(const std::string& name) const {
  if (prefix_.empty()) return nullptr;
  return File(std::fopen((prefix_ + name).c_str(), "wb"));
}

void CameraLog::Request(std::string_view protocol, int connection, std::string_view text) {
  RequestRecord record{qvp::TickCount(), std::string(protocol), connection, std::string(text)};
  std::lock_guard<std::mutex> lock(mutex_);
  if (request_file_) {
    std::fprintf(request_file_.get(), "--- %u %s #%d\n%s\n", record.tick, record.protocol.c_str(),
                 connection, record.text.c_str());
    std::fflush(request_file_.get());
  }
  requests_.push_back(std::move(record));
}

int CameraLog::BeginSession(const std::string& session_id, VideoCodec video, AudioCodec audio) {
  std::lock_guard<std::mutex> lock(mutex_);
  SessionMedia media;
  media.session_id = session_id;
  media.video_codec = video;
  media.audio_codec = audio;
  sessions_.push_back(std::move(media));
  const std::string name = "_s" + std::to_string(sessions_.size());
  SessionFiles files;
  files.media = OpenFile(name + (video == VideoCodec::kJpeg ? "_video.mjpeg" : "_video.h264"));
  if (audio != AudioCodec::kNone) files.audio = OpenFile(name + "_audio." + AudioExtension(audio));
  files.frames = OpenFile(name + "_frames.log");
  files_.push_back(std::move(files));
  return static_cast<int>(sessions_.size()) - 1;
}

void CameraLog::EndSession(int session) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (session < 0 || static_cast<size_t>(session) >= files_.size()) return;
  files_[static_cast<size_t>(session)] = SessionFiles();
}

bool CameraLog::MayKeep(SessionMedia* media, size_t size) {
  if (!keep_ || media->truncated) return false;
  if (kept_bytes_ + size > limit_) {
    media->truncated = true;
    return false;
  }
  kept_bytes_ += size;
  return true;
}

void CameraLog::WriteFrameLine(SessionFiles* files, const SentFrame& frame) {
  if (!files->frames) return;
  std::fprintf(files->frames.get(), "%u %s %u %zu\n", frame.tick,
               frame.kind == MediaKind::kVideo ? "video" : "audio", frame.rtp_timestamp, frame.size);
}

void CameraLog::Video(int session, uint32_t rtp_timestamp, const AccessUnit& unit) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (session < 0 || static_cast<size_t>(session) >= sessions_.size()) return;
  SessionMedia& media = sessions_[static_cast<size_t>(session)];
  SessionFiles& files = files_[static_cast<size_t>(session)];
  // H.264 units are logged as a recorder writes them; a JPEG unit is the picture itself.
  const size_t prefix = media.video_codec == VideoCodec::kJpeg ? 0 : sizeof(kStartCode);
  SentFrame frame{qvp::TickCount(), MediaKind::kVideo, rtp_timestamp, media.video.size(), 0};
  for (const Bytes& nal : unit.nals) frame.size += prefix + nal.size();
  const bool keep = MayKeep(&media, frame.size);
  for (const Bytes& nal : unit.nals) {
    if (keep) {
      media.video.insert(media.video.end(), kStartCode, kStartCode + prefix);
      media.video.insert(media.video.end(), nal.begin(), nal.end());
    }
    if (files.media) {
      std::fwrite(kStartCode, 1, prefix, files.media.get());
      std::fwrite(nal.data(), 1, nal.size(), files.media.get());
    }
  }
  if (keep) media.frames.push_back(frame);
  WriteFrameLine(&files, frame);
}

void CameraLog::Audio(int session, uint32_t rtp_timestamp, const Bytes& payload) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (session < 0 || static_cast<size_t>(session) >= sessions_.size()) return;
  SessionMedia& media = sessions_[static_cast<size_t>(session)];
  SessionFiles& files = files_[static_cast<size_t>(session)];
  const SentFrame frame{qvp::TickCount(), MediaKind::kAudio, rtp_timestamp, media.audio.size(),
                        payload.size()};
  if (MayKeep(&media, payload.size())) {
    media.audio.insert(media.audio.end(), payload.begin(), payload.end());
    media.frames.push_back(frame);
  }
  if (files.audio) std::fwrite(payload.data(), 1, payload.size(), files.audio.get());
  WriteFrameLine(&files, frame);
}

void CameraLog::Talk(const TalkRecord& record, const uint8_t* voice_frame, size_t size) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!talk_file_) talk_file_ = OpenFile("_talk.log");
  if (talk_file_) {
    std::fprintf(talk_file_.get(), "%u length=%u tick=%u %s\n", record.tick, record.length,
                 record.client_tick, record.valid ? "ok" : "invalid");
    std::fflush(talk_file_.get());
  }
  talk_.push_back(record);
  if (keep_ && kept_bytes_ + size <= limit_) {
    kept_bytes_ += size;
    talk_voice_.insert(talk_voice_.end(), voice_frame, voice_frame + size);
  }
}

std::vector<RequestRecord> CameraLog::Requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

std::vector<SessionMedia> CameraLog::Media() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return sessions_;
}

std::vector<TalkRecord> CameraLog::TalkFrames() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return talk_;
}

void CameraLog::TalkEnded() {
  std::lock_guard<std::mutex> lock(mutex_);
  ++talk_sessions_ended_;
}

size_t CameraLog::TalkSessionsEnded() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return talk_sessions_ended_;
}

Bytes CameraLog::TalkVoice() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return talk_voice_;
}

}  // namespace camsim
