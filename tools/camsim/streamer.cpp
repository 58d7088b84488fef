#include "tools/camsim/streamer.h"

#include <sys/socket.h>

#include <algorithm>
#include <cstdio>
#include <exception>

#include "tools/camsim/audio_clip.h"
#include "tools/camsim/camera_context.h"
#include "tools/camsim/connection.h"

namespace camsim {

namespace {

constexpr int64_t kAudioIntervalMs = 40;
// Further behind than this (a stalled client, a loaded machine) the schedule skips ahead
// instead of bursting the backlog.
constexpr int64_t kMaxLagMs = 1000;
// Media starts a little after the PLAY answer: a client that reads the answer with one recv
// must not find the first interleaved packet glued to it.
constexpr int64_t kLeadInMs = 100;

}  // namespace

Streamer::Streamer(CameraContext& context, Connection& connection, int log_session, MediaTarget video,
                   MediaTarget audio)
    : context_(context), connection_(connection), log_session_(log_session), video_(video), audio_(audio) {
  audio_.enabled = audio_.enabled && context_.audio != nullptr;
}

Streamer::~Streamer() { Stop(); }

void Streamer::Start() { thread_ = std::thread([this] { Run(); }); }

void Streamer::Stop() {
  stop_.Set();
  if (thread_.joinable()) thread_.join();
}

void Streamer::Run() {
  try {
    Loop();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "camsim: streamer: %s\n", e.what());
    connection_.Shutdown();
  }
}

void Streamer::Loop() {
  const CameraOptions& options = context_.options;
  const int64_t start = SteadyMs() + kLeadInMs;
  if (context_.pause_armed.exchange(false)) {
    context_.PauseVideo(start + options.pause_after_ms, options.pause_video_ms);
  }
  const int64_t drop_at = context_.drop_armed.exchange(false) ? start + options.drop_after_ms : INT64_MAX;
  const int fps = std::max(1, context_.video->fps);
  int64_t frame = 0;
  int64_t packet = 0;
  for (;;) {
    const int64_t now = SteadyMs();
    if (now >= drop_at) {
      connection_.Shutdown();
      return;
    }
    const int64_t video_due = video_.enabled ? start + frame * 1000 / fps : INT64_MAX;
    const int64_t audio_due = audio_.enabled ? start + packet * kAudioIntervalMs : INT64_MAX;
    const int64_t due = std::min({video_due, audio_due, drop_at});
    if (due == INT64_MAX) {
      stop_.Wait(qvp::kInfinite);
      return;
    }
    if (due > now) {
      if (stop_.Wait(static_cast<uint32_t>(due - now))) return;
      continue;
    }
    if (stop_.IsSet()) return;
    if (video_due <= now) {
      if (!SendVideo(frame, now)) return;
      ++frame;
      if (now - video_due > kMaxLagMs) frame += (now - video_due) * fps / 1000;
    }
    if (audio_due <= now) {
      if (!SendAudio(packet)) return;
      ++packet;
      if (now - audio_due > kMaxLagMs) packet += (now - audio_due) / kAudioIntervalMs;
    }
  }
}

bool Streamer::SendVideo(int64_t frame, int64_t now_ms) {
  const VideoClip& clip = *context_.video;
  const AccessUnit& unit = clip.units[clip_position_];
  clip_position_ = (clip_position_ + 1) % clip.units.size();
  // A paused camera sends nothing; afterwards it resumes at a key frame so that a decoder
  // can pick the picture up again.
  if (context_.VideoPaused(now_ms)) {
    waiting_for_key_ = true;
    return true;
  }
  if (waiting_for_key_ && !unit.key) return true;
  waiting_for_key_ = false;
  const uint32_t timestamp =
      video_.first_timestamp + static_cast<uint32_t>(frame * 90000 / std::max(1, clip.fps));
  packets_.clear();
  if (clip.codec == VideoCodec::kJpeg) {
    PacketizeJpeg(unit, timestamp, context_.options.mtu, clip.width, clip.height, &video_.track, &packets_);
  } else {
    PacketizeH264(unit, timestamp, context_.options.mtu, context_.options.stap_a, &video_.track, &packets_);
  }
  context_.log.Video(log_session_, timestamp, unit);
  return Deliver(video_, packets_);
}

bool Streamer::SendAudio(int64_t packet) {
  const AudioClip& clip = *context_.audio;
  const Bytes& payload = clip.packets[static_cast<size_t>(packet) % clip.packets.size()];
  const uint32_t timestamp = audio_.first_timestamp + static_cast<uint32_t>(packet * kSamplesPerPacket);
  packets_.clear();
  packets_.push_back(PacketizeAudio(payload, timestamp, packet == 0, &audio_.track));
  context_.log.Audio(log_session_, timestamp, payload);
  return Deliver(audio_, packets_);
}

bool Streamer::Deliver(const MediaTarget& target, const std::vector<Bytes>& plain) {
  const std::vector<Bytes>* chosen = &plain;
  if (context_.options.rtp_extras) {
    extras_.clear();
    for (const Bytes& p : plain) extras_.push_back(WithRtpExtras(p));
    chosen = &extras_;
  }
  const std::vector<Bytes>& packets = *chosen;
  if (!target.tcp) {
    // Lost datagrams are the client's business (a closed port answers ICMP); keep going.
    for (const Bytes& p : packets) {
      ::sendto(target.udp_socket, p.data(), p.size(), MSG_NOSIGNAL,
               reinterpret_cast<const sockaddr*>(&target.destination), sizeof(target.destination));
    }
    return true;
  }
  // One send per picture: '$', channel, 16-bit big-endian length, packet (RFC 2326 §10.12).
  scratch_.clear();
  for (const Bytes& p : packets) {
    scratch_.push_back('$');
    scratch_.push_back(static_cast<char>(target.channel));
    scratch_.push_back(static_cast<char>(p.size() >> 8));
    scratch_.push_back(static_cast<char>(p.size() & 0xFF));
    scratch_.append(reinterpret_cast<const char*>(p.data()), p.size());
  }
  if (connection_.Send(scratch_)) return true;
  connection_.Shutdown();
  return false;
}

}  // namespace camsim
