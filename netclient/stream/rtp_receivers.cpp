#include "netclient/stream/rtp_receivers.h"

#include <array>
#include <new>

#include "netclient/wire/audio_depacketizer.h"
#include "platform/tick_clock.h"

namespace qvnet {

CRTPVideoReceiver::CRTPVideoReceiver(StreamClient& client, const CRtspSession& session, RecordPair* record,
                                     MediaOutput* media, qvp::Event& loss)
    : client_(client), session_(session), record_(record), media_(media), loss_(loss) {}

CRTPVideoReceiver::~CRTPVideoReceiver() { Stop(); }

bool CRTPVideoReceiver::Begin() {
  stop_ = false;
  return Start() == kStarted;
}

void CRTPVideoReceiver::Stop() {
  stop_ = true;
  Join();
}

bool CRTPVideoReceiver::Allocate() {
  if (buffer_ == nullptr) buffer_.reset(new (std::nothrow) uint8_t[kMaxDatagram]);
  return buffer_ != nullptr && jpeg_.Allocate();
}

void CRTPVideoReceiver::Thread() {
  try {
    const qvp::Socket* socket = session_.VideoSocket();
    if (socket == nullptr || !Allocate()) {
      loss_.Set();
      return;
    }
    if (Receive(*socket)) loss_.Set();
  } catch (...) {
    // Whatever broke the receiver, the source sees a lost stream and reconnects.
    loss_.Set();
  }
}

bool CRTPVideoReceiver::Receive(const qvp::Socket& socket) {
  // Datagrams from anyone else must not keep a lost stream looking alive either.
  qvp::Tick last_media = qvp::TickCount();
  while (!stop_) {
    sockaddr_in from{};
    const ssize_t n = qvp::RecvFrom(socket, buffer_.get(), kMaxDatagram, &from);
    if (n < 0) return true;
    // A shut-down socket reads as 0 at once and for ever; an empty datagram is only skipped.
    if (n == 0) {
      if (session_.VideoSocket() != &socket) return true;
      continue;
    }
    if (!session_.FromCamera(from, true)) {
      if (qvp::TicksSince(last_media, qvp::TickCount()) >= client_.Context().udp_loss_timeout_ms.load()) return true;
      continue;
    }
    last_media = qvp::TickCount();
    const PacketContext ctx{client_, MediaTransport::kUdp, record_, media_, &jpeg_, &span_, qvp::TickCount(), &fua_};
    const auto length = static_cast<size_t>(n);
    // The recording library of the dialect takes UDP video as H.264 whatever it is; a server
    // in standard mode announced its codec, and JPEG is taken apart as JPEG.
    const bool jpeg_here = client_.Flavor().jpeg_over_udp || client_.address.standard;
    if (client_.video_payload_type.load() == kPayloadTypeJpeg && jpeg_here) {
      HandleJpegPacket(ctx, buffer_.get(), length);
    } else {
      HandleH264Packet(ctx, buffer_.get(), length);
    }
  }
  return false;
}

CRTPAudioReceiver::CRTPAudioReceiver(StreamClient& client, const CRtspSession& session, RecordPair* record,
                                     MediaOutput* media)
    : client_(client), session_(session), record_(record), media_(media) {}

CRTPAudioReceiver::~CRTPAudioReceiver() { Stop(); }

bool CRTPAudioReceiver::Begin() {
  stop_ = false;
  return Start() == kStarted;
}

void CRTPAudioReceiver::Stop() {
  stop_ = true;
  Join();
}

void CRTPAudioReceiver::Thread() {
  try {
    if (media_ != nullptr && client_.Flavor().decode_audio &&
        !media_->ResetVoiceDecoder(client_.audio_codec.load())) {
      return;
    }
    const qvp::Socket* socket = session_.AudioSocket();
    if (socket != nullptr) Receive(*socket);
  } catch (...) {
    // The audio receiver ends silently; video goes on.
  }
}

void CRTPAudioReceiver::Receive(const qvp::Socket& socket) {
  std::array<uint8_t, kMaxAudioPacket> packet{};
  while (!stop_) {
    sockaddr_in from{};
    const ssize_t n = qvp::RecvFrom(socket, packet.data(), packet.size(), &from);
    if (n <= 0) return;
    if (!session_.FromCamera(from, false)) continue;
    const PacketContext ctx{client_, MediaTransport::kUdp, record_, media_, nullptr, nullptr, qvp::TickCount()};
    HandleAudioPacket(ctx, packet.data(), static_cast<size_t>(n));
  }
}

}  // namespace qvnet
