// CSendThread: the talk sender. Takes 40 ms of microphone sound at a time from its capture,
// encodes it as G.726 at 32 kbit/s and sends it as one talk frame on the talk socket, which it
// shares with the receiver and which the talk session owns.
//
// The loop ends when stopped, or when a send falls short (the connection broke, or the session
// shut the socket down); a short send, and a capture device that failed, set the sender-ended
// event so that the session starts a fresh pass. A voice encoder that cannot be reset ends the
// thread without it.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

#include "netclient/media/codec/voiceengine.h"
#include "netclient/media/sound/talk_capture.h"
#include "netclient/media/sound/talk_frame.h"
#include "platform/jthread.h"
#include "platform/socket.h"
#include "platform/sync.h"

namespace qvnet {

class CSendThread : public qvp::JThread {
 public:
  // How long one take of captured sound may wait.
  static constexpr uint32_t kTakeWaitMs = 25;

  // `socket` and `ended` belong to the session and outlive the sender.
  CSendThread(const qvp::Socket& socket, qvp::Event& ended) : socket_(socket), ended_(ended) {}
  ~CSendThread() override;

  // Opens the capture side (device and capture thread).
  bool OpenCapture() { return capture_.Open(); }
  // Ends the loop, joins it, then ends capture. The session shuts the socket down first, so
  // that a send blocked on a full connection returns.
  void Stop();

 protected:
  void Thread() override;

 private:
  const qvp::Socket& socket_;
  qvp::Event& ended_;
  std::atomic<bool> stop_{false};
  TalkCapture capture_;
  std::array<int16_t, TalkCapture::kSlotFrames> pcm_{};
  // Talk frame header, then the voice frame.
  std::array<uint8_t, kTalkHeaderBytes + qvcodec::kMaxVoiceFrameBytes> packet_{};
};

}  // namespace qvnet
