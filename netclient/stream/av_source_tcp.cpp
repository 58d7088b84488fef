#include "netclient/stream/av_source_tcp.h"

#include <array>
#include <new>
#include <utility>

#include "netclient/wire/interleaved_dispatch.h"
#include "netclient/wire/interleaved_reader.h"
#include "platform/tick_clock.h"

namespace qvnet {

CAVSource_RTSP_TCP::CAVSource_RTSP_TCP(StreamClient& client, MediaOutput* media, RecordFileFactory factory)
    : CAVSource(client, media, std::move(factory)) {}

CAVSource_RTSP_TCP::~CAVSource_RTSP_TCP() {
  Stop();
  Release();
}

bool CAVSource_RTSP_TCP::Create() {
  try {
    if (!jpeg_.Allocate()) return false;
    session_ = std::make_unique<CRtspSession>(client_);
    events_ = std::make_unique<CEventReceiver2>(client_, *session_);
    return true;
  } catch (const std::bad_alloc&) {
    Release();
    return false;
  }
}

void CAVSource_RTSP_TCP::Release() {
  if (IsRunning()) Stop();
  events_.reset();
  session_.reset();
}

void CAVSource_RTSP_TCP::Stop() {
  stop_ = true;
  stop_event_.Set();
  // A registration of the event channel may be waiting up to 10 s for the camera's answer.
  if (events_ != nullptr) events_->Abort();
  if (session_ != nullptr) {
    session_->SetTimeouts(kStopTimeoutMs, kStopTimeoutMs);
    if (connected_) session_->TearDownTcp();
    // Also while connecting: the set-up may wait seconds for an answer, and closing is the
    // only way to wake it.
    session_->CloseAll();
  }
  CAVSource::Stop();
}

void CAVSource_RTSP_TCP::Run() {
  if (session_ == nullptr) return;
  ReconnectBudget budget(client_.Context().retry_count.load());
  while (Attempt(&budget) == Next::kAttempt) {
  }
  Finish();
}

CAVSource_RTSP_TCP::Next CAVSource_RTSP_TCP::Attempt(ReconnectBudget* budget) {
  budget->BeginAttempt();
  connected_ = false;
  ReportState(kStateConnecting, true);
  StopRecordings();
  if (!session_->CreateSockets()) {
    GiveUp();
    return Next::kEnd;
  }
  if (stop_) return Next::kEnd;
  const CRtspSession::SetupResult result = session_->Setup();
  // A set-up cut short by Stop() is no failure of the camera: nothing more is reported.
  if (stop_) return Next::kEnd;
  if (result != CRtspSession::kSetupPlaying) return SetupFailed(result, *budget);
  return Connected(budget);
}

CAVSource_RTSP_TCP::Next CAVSource_RTSP_TCP::SetupFailed(CRtspSession::SetupResult result,
                                                         const ReconnectBudget& budget) {
  if (result == CRtspSession::kSetupRefused && client_.Flavor().reports_refused_auth) {
    ReportState(kStateRefused, true);
  }
  if (!budget.MayRetry()) {
    GiveUp();
    return Next::kEnd;
  }
  // Nothing is left half-open at the camera during the wait.
  session_->CloseAll();
  if (!WaitReconnect()) return Next::kEnd;
  ReportState(kStateReconnecting, true);
  return Next::kAttempt;
}

CAVSource_RTSP_TCP::Next CAVSource_RTSP_TCP::Connected(ReconnectBudget* budget) {
  UpdateRecordHeader();
  connected_ = true;
  ReportState(kStateStreaming, true);
  budget->Connected();
  // Servers in standard mode have no event channel.
  if (!client_.address.url_mode && !client_.address.standard && events_->Register()) {
    events_registered_ = true;
    if (events_->Start() != qvp::JThread::kStarted) return Next::kEnd;
  }
  if (media_ != nullptr) {
    display_started_ = true;
    if (!media_->StartDisplay()) return Next::kEnd;
    // Audio the decoder does not know is left undecoded (neither played nor recorded); the
    // video goes on, as over UDP.
    if (client_.Flavor().decode_audio) media_->ResetVoiceDecoder(client_.audio_codec.load());
    media_->ResetForConnection();
  }
  return Receive();
}

CAVSource_RTSP_TCP::Next CAVSource_RTSP_TCP::Receive() {
  // Every turn consumes bytes from the connection or ends it.
  qvp::Tick last_keepalive = qvp::TickCount();
  for (;;) {
    uint8_t* packet = nullptr;
    size_t length = 0;
    const int channel = session_->NextInterleaved(&packet, &length, kPacketBuffer);
    if (stop_) return Next::kEnd;
    if (channel == kInterleavedFailed) break;
    if (channel == kInterleavedText) {
      session_->TakeServerText(packet, length);
    } else {
      HandlePacket(channel, packet, length);
    }
    KeepAliveIfDue(&last_keepalive);
  }
  connected_ = false;
  ReportState(kStateLost, true);
  StopEvents();
  StopDisplay();
  if (!WaitReconnect()) return Next::kEnd;
  ReportState(kStateReconnecting, true);
  return Next::kAttempt;
}

void CAVSource_RTSP_TCP::HandlePacket(int channel, uint8_t* packet, size_t length) {
  const PacketContext ctx{client_, MediaTransport::kTcp, this, media_, &jpeg_, &span_, qvp::TickCount(), &fua_};
  HandleInterleavedPacket(ctx, channel, packet, length,
                          InterleavedChannels{session_->VideoChannel(), session_->AudioChannel()});
}

void CAVSource_RTSP_TCP::KeepAliveIfDue(qvp::Tick* last) {
  const uint32_t interval = session_->KeepAliveIntervalMs();
  if (interval == 0) return;
  const qvp::Tick now = qvp::TickCount();
  if (qvp::TicksSince(*last, now) < interval) return;
  *last = now;
  session_->KeepAlive();
}

void CAVSource_RTSP_TCP::Finish() {
  StopEvents();
  StopDisplay();
  // The stream is over for good: the camera stops sending into a connection nobody reads.
  session_->CloseAll();
  if (!stop_) ReportState(client_.Flavor().tcp_give_up_state, true);
}

void CAVSource_RTSP_TCP::StopEvents() {
  if (!events_registered_) return;
  events_registered_ = false;
  events_->Stop();
}

}  // namespace qvnet
