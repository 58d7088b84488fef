// CAVSource_RTSP_UDP: a camera stream as RTP over UDP. The source thread runs the connection
// loop; a video and an audio receiver thread read the media sockets; the video receiver
// signals the loss event when video stops for the socket's receive time-out.
#pragma once

#include <atomic>
#include <memory>

#include "netclient/stream/av_source.h"
#include "netclient/stream/event_receiver.h"
#include "netclient/stream/reconnect_budget.h"
#include "netclient/stream/rtp_receivers.h"
#include "netclient/stream/rtsp_session.h"
#include "platform/sync.h"

namespace qvnet {

class CAVSource_RTSP_UDP : public CAVSource {
 public:
  // Time-outs of the control socket once a stop began: TEARDOWN waits this long for its answer.
  static constexpr uint32_t kStopTimeoutMs = 500;

  CAVSource_RTSP_UDP(StreamClient& client, MediaOutput* media, RecordFileFactory factory = {});
  ~CAVSource_RTSP_UDP() override;

  bool Create() override;
  void Release() override;
  void Stop() override;

 protected:
  void Run() override;

 private:
  // What follows an attempt: another attempt, leaving through the clean-up of a connection
  // that played (TEARDOWN, event channel, display), or the end.
  enum class Next { kAttempt, kLeave, kEnd };

  Next Attempt(ReconnectBudget* budget);
  Next SetupFailed(CRtspSession::SetupResult result, const ReconnectBudget& budget);
  Next Connected(ReconnectBudget* budget);
  Next Stream(ReconnectBudget* budget);
  void Leave();
  void StopReceivers();
  void StopEvents();

  std::unique_ptr<CRtspSession> session_;
  std::unique_ptr<qvp::Event> loss_;  // auto reset
  std::unique_ptr<CRTPVideoReceiver> video_;
  std::unique_ptr<CRTPAudioReceiver> audio_;
  std::unique_ptr<CEventReceiver2> events_;
  std::atomic<bool> connected_{false};
  bool events_registered_ = false;
};

}  // namespace qvnet
