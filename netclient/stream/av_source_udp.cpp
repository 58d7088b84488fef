#include "netclient/stream/av_source_udp.h"

#include <new>
#include <utility>

namespace qvnet {

CAVSource_RTSP_UDP::CAVSource_RTSP_UDP(StreamClient& client, MediaOutput* media, RecordFileFactory factory)
    : CAVSource(client, media, std::move(factory)) {}

CAVSource_RTSP_UDP::~CAVSource_RTSP_UDP() {
  Stop();
  Release();
}

bool CAVSource_RTSP_UDP::Create() {
  try {
    session_ = std::make_unique<CRtspSession>(client_);
    loss_ = std::make_unique<qvp::Event>(false, false);
    video_ = std::make_unique<CRTPVideoReceiver>(client_, *session_, this, media_, *loss_);
    audio_ = std::make_unique<CRTPAudioReceiver>(client_, *session_, this, media_);
    events_ = std::make_unique<CEventReceiver2>(client_, *session_);
    return true;
  } catch (const std::bad_alloc&) {
    Release();
    return false;
  }
}

void CAVSource_RTSP_UDP::Release() {
  if (IsRunning()) Stop();
  events_.reset();
  audio_.reset();
  video_.reset();
  loss_.reset();
  session_.reset();
}

void CAVSource_RTSP_UDP::Stop() {
  stop_ = true;
  stop_event_.Set();
  // A registration of the event channel may be waiting up to 10 s for the camera's answer.
  if (events_ != nullptr) events_->Abort();
  if (session_ != nullptr) {
    session_->SetTimeouts(kStopTimeoutMs, kStopTimeoutMs);
    session_->CloseMediaSockets();
    // While connecting, the set-up may wait seconds for an answer: closing wakes it. Once
    // connected the source thread still sends TEARDOWN on it.
    if (!connected_) session_->CloseAll();
  }
  CAVSource::Stop();
}

void CAVSource_RTSP_UDP::Run() {
  if (session_ == nullptr) return;
  ReconnectBudget budget(client_.Context().retry_count.load());
  Next next = Attempt(&budget);
  while (next == Next::kAttempt) next = Attempt(&budget);
  if (next == Next::kLeave) Leave();
  session_->CloseAll();
  if (!stop_) ReportState(kStateGivenUp, false);
}

CAVSource_RTSP_UDP::Next CAVSource_RTSP_UDP::Attempt(ReconnectBudget* budget) {
  StopRecordings();
  budget->BeginAttempt();
  loss_->Reset();
  connected_ = false;
  client_.state = kStateConnecting;  // stored, not reported
  // Sockets that cannot be made count as a failed set-up.
  CRtspSession::SetupResult result = CRtspSession::kSetupFailed;
  if (session_->CreateSockets() && !stop_) result = session_->Setup();
  // A set-up cut short by Stop() is no failure of the camera: nothing more is reported.
  if (stop_) return result == CRtspSession::kSetupPlaying ? Next::kLeave : Next::kEnd;
  if (result != CRtspSession::kSetupPlaying) return SetupFailed(result, *budget);
  return Connected(budget);
}

CAVSource_RTSP_UDP::Next CAVSource_RTSP_UDP::SetupFailed(CRtspSession::SetupResult result,
                                                         const ReconnectBudget& budget) {
  const StreamFlavor& flavor = client_.Flavor();
  if (result == CRtspSession::kSetupRefused && flavor.reports_refused_auth) ReportState(kStateRefused, true);
  client_.state = kStateFailed;
  if (flavor.udp_reports_failed_setup) ReportState(kStateFailed, false);
  // Nothing is left half-open at the camera during the wait.
  session_->CloseAll();
  if (!budget.MayRetry()) return Next::kEnd;
  if (!WaitReconnect()) return Next::kEnd;
  ReportState(kStateReconnecting, false);
  return Next::kAttempt;
}

CAVSource_RTSP_UDP::Next CAVSource_RTSP_UDP::Connected(ReconnectBudget* budget) {
  UpdateRecordHeader();
  if (media_ != nullptr) {
    display_started_ = true;
    if (!media_->StartDisplay()) return Next::kLeave;
  }
  connected_ = true;
  ReportState(kStateStreaming, true);
  if (!video_->Begin()) return Next::kLeave;
  // A stream without an audio track (standard mode) has no audio socket to read.
  if (session_->HasAudio() && !audio_->Begin()) {
    StopReceivers();
    return Next::kLeave;
  }
  // Servers in standard mode have no event channel.
  if (!stop_ && !client_.address.standard && events_->Register()) {
    events_registered_ = true;
    if (events_->Start() != qvp::JThread::kStarted) {
      StopReceivers();
      return Next::kLeave;
    }
  }
  return Stream(budget);
}

CAVSource_RTSP_UDP::Next CAVSource_RTSP_UDP::Stream(ReconnectBudget* budget) {
  // In standard mode the wait is cut into keep-alive intervals; the dialect waits at once.
  const uint32_t interval = session_->KeepAliveIntervalMs();
  int which = -1;
  while ((which = qvp::Event::WaitAny({&stop_event_, loss_.get()}, interval == 0 ? qvp::kInfinite : interval)) < 0) {
    session_->KeepAlive();
  }
  if (which == 0 || stop_) {
    StopReceivers();
    return Next::kLeave;
  }
  connected_ = false;
  ReportState(kStateLost, true);
  StopReceivers();
  session_->TearDown();
  StopEvents();
  StopDisplay();
  budget->Connected();
  if (!WaitReconnect()) return Next::kEnd;
  ReportState(kStateReconnecting, false);
  return Next::kAttempt;
}

void CAVSource_RTSP_UDP::Leave() {
  session_->SetTimeouts(kStopTimeoutMs, kStopTimeoutMs);
  session_->TearDown();
  session_->CloseAll();
  StopReceivers();
  StopEvents();
  StopDisplay();
}

void CAVSource_RTSP_UDP::StopReceivers() {
  // Shutting the sockets wakes a receiver at once instead of at its receive time-out.
  session_->CloseMediaSockets();
  video_->Stop();
  audio_->Stop();
}

void CAVSource_RTSP_UDP::StopEvents() {
  if (!events_registered_) return;
  events_registered_ = false;
  events_->Stop();
}

}  // namespace qvnet
