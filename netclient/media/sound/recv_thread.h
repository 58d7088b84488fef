// CRecvThread: the talk receiver, made only when the camera said it sends its voice back.
// Each receive of at most 640 bytes is taken as one voice frame (G.726 at 32 kbit/s), decoded
// with the length checked against what was received, and played.
//
// A receive error, a closed connection or a receive time-out (the socket's, 10 s unless the
// session sets another) ends the loop and sets the receiver-ended event, so that the session
// starts a fresh pass. A voice decoder that cannot be reset ends the thread without it.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

#include "netclient/media/codec/voiceengine.h"
#include "netclient/media/sound/talk_playback.h"
#include "platform/jthread.h"
#include "platform/socket.h"
#include "platform/sync.h"

namespace qvnet {

class CRecvThread : public qvp::JThread {
 public:
  static constexpr size_t kReceiveBytes = 640;

  // `socket` and `ended` belong to the session and outlive the receiver.
  CRecvThread(const qvp::Socket& socket, qvp::Event& ended) : socket_(socket), ended_(ended) {}
  ~CRecvThread() override;

  bool OpenPlayback() { return playback_.Open(); }
  // Joins the loop (the session has shut the socket down, which ends the receive), then
  // closes playback.
  void Stop();

 protected:
  void Thread() override;

 private:
  const qvp::Socket& socket_;
  qvp::Event& ended_;
  std::atomic<bool> stop_{false};
  TalkPlayback playback_;
  std::array<uint8_t, kReceiveBytes> received_{};
  std::array<int16_t, qvcodec::kMaxVoiceSamples> pcm_{};
};

}  // namespace qvnet
