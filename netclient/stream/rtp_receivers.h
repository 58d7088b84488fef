// The RTP receivers of a UDP stream: one thread reads the video socket, one the audio
// socket, each handing its packets to the depacketizers. They are started per connection
// and stopped before the next one: the source sets their stop flag, the session shuts their
// socket (or the receive time-out runs out), and the source joins them.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "netclient/media/record/record_pair.h"
#include "netclient/wire/h264_depacketizer.h"
#include "netclient/wire/jpeg_depacketizer.h"
#include "netclient/wire/media_output.h"
#include "netclient/stream/rtsp_session.h"
#include "netclient/stream/stream_client.h"
#include "platform/jthread.h"
#include "platform/sync.h"

namespace qvnet {

class CRTPVideoReceiver : public qvp::JThread {
 public:
  // Largest datagram read: a whole UDP payload.
  static constexpr size_t kMaxDatagram = 65536;

  // `record` and `media` may be null. `loss` is signalled when the stream is lost: no video
  // within the socket's receive time-out, or the socket closed under the receiver.
  CRTPVideoReceiver(StreamClient& client, const CRtspSession& session, RecordPair* record, MediaOutput* media,
                    qvp::Event& loss);
  ~CRTPVideoReceiver() override;
  CRTPVideoReceiver(const CRTPVideoReceiver&) = delete;
  CRTPVideoReceiver& operator=(const CRTPVideoReceiver&) = delete;

  // Clears the stop flag and starts the thread; false when it cannot start.
  bool Begin();
  // Sets the stop flag and waits for the thread.
  void Stop();

 protected:
  void Thread() override;

 private:
  // The receive buffer and the JPEG assembly buffer, made on the first run only.
  bool Allocate();
  // Reads until stopped (false) or until the socket fails or times out (true: stream lost).
  bool Receive(const qvp::Socket& socket);

  StreamClient& client_;
  const CRtspSession& session_;
  RecordPair* const record_;
  MediaOutput* const media_;
  qvp::Event& loss_;
  std::atomic<bool> stop_{false};
  std::unique_ptr<uint8_t[]> buffer_;
  JpegAssembly jpeg_;
  FuAssembly fua_;
  KeyFrameSpan span_;
};

class CRTPAudioReceiver : public qvp::JThread {
 public:
  CRTPAudioReceiver(StreamClient& client, const CRtspSession& session, RecordPair* record, MediaOutput* media);
  ~CRTPAudioReceiver() override;
  CRTPAudioReceiver(const CRTPAudioReceiver&) = delete;
  CRTPAudioReceiver& operator=(const CRTPAudioReceiver&) = delete;

  bool Begin();
  void Stop();

 protected:
  void Thread() override;

 private:
  void Receive(const qvp::Socket& socket);

  StreamClient& client_;
  const CRtspSession& session_;
  RecordPair* const record_;
  MediaOutput* const media_;
  std::atomic<bool> stop_{false};
};

}  // namespace qvnet
