// CAVSource_RTSP_TCP: a camera stream as RTP interleaved in the RTSP connection
// (RFC 2326 §10.12). The source thread runs the connection loop and reads the media itself:
// video on channel 0, audio on channel 2 (in standard mode the channels the server answered),
// and in standard mode sends the session's keep-alive between packets. Five seconds without
// any data (the control socket's receive time-out from the set-up) or a closed connection
// count as a lost stream.
#pragma once

#include <atomic>
#include <cstddef>
#include <memory>

#include "netclient/stream/av_source.h"
#include "netclient/stream/event_receiver.h"
#include "netclient/stream/reconnect_budget.h"
#include "netclient/stream/rtsp_session.h"
#include "platform/tick_clock.h"
#include "netclient/wire/h264_depacketizer.h"
#include "netclient/wire/interleaved_reader.h"
#include "netclient/wire/jpeg_depacketizer.h"

namespace qvnet {

class CAVSource_RTSP_TCP : public CAVSource {
 public:
  // Time-outs of the control socket once a stop began.
  static constexpr uint32_t kStopTimeoutMs = 2000;
  // Largest interleaved packet taken: whatever the 16-bit length announces, so that a large
  // IDR slice sent as one packet is recorded.
  static constexpr size_t kPacketBuffer = kMaxInterleavedPacket;

  CAVSource_RTSP_TCP(StreamClient& client, MediaOutput* media, RecordFileFactory factory = {});
  ~CAVSource_RTSP_TCP() override;

  bool Create() override;
  void Release() override;
  void Stop() override;

 protected:
  void Run() override;

 private:
  enum class Next { kAttempt, kEnd };

  Next Attempt(ReconnectBudget* budget);
  Next SetupFailed(CRtspSession::SetupResult result, const ReconnectBudget& budget);
  Next Connected(ReconnectBudget* budget);
  // The receive loop of one connection.
  Next Receive();
  void HandlePacket(int channel, uint8_t* packet, size_t length);
  void KeepAliveIfDue(qvp::Tick* last);
  void Finish();
  void StopEvents();
  void GiveUp() { client_.state = client_.Flavor().tcp_give_up_state; }

  JpegAssembly jpeg_;
  FuAssembly fua_;
  KeyFrameSpan span_;
  std::unique_ptr<CRtspSession> session_;
  std::unique_ptr<CEventReceiver2> events_;
  std::atomic<bool> connected_{false};
  bool events_registered_ = false;
};

}  // namespace qvnet
