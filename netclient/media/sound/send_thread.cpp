#include "netclient/media/sound/send_thread.h"

#include "platform/tick_clock.h"

namespace qvnet {

CSendThread::~CSendThread() { Stop(); }

void CSendThread::Stop() {
  stop_ = true;
  RequestStop();
  Join();
  capture_.Stop();
}

void CSendThread::Thread() {
  qvcodec::VoiceState state{};
  if (qvcodec::VoiceEncReset(state.bytes, qvcodec::kVoiceG726_32) != qvcodec::kVoiceOk) return;
  uint8_t* const frame = packet_.data() + kTalkHeaderBytes;
  // packet_ holds the largest voice frame, so this one always fits.
  const size_t frame_bytes = qvcodec::VoiceFrameBytes(qvcodec::kVoiceG726_32, TalkCapture::kSlotFrames);
  while (!stop_) {
    if (capture_.Failed()) {
      ended_.Set();
      return;
    }
    if (!capture_.Take(pcm_.data(), kTakeWaitMs)) continue;
    if (qvcodec::VoiceEncodeFrame(state.bytes, pcm_.data(), frame, TalkCapture::kSlotFrames) != qvcodec::kVoiceOk) {
      continue;
    }
    const uint32_t length = PutTalkHeader(packet_.data(), frame, frame_bytes, qvp::TickCount());
    if (length == 0) continue;
    const size_t total = kTalkHeaderBytes + length;
    if (qvp::SendAll(socket_, packet_.data(), total) != total) {
      ended_.Set();
      return;
    }
  }
}

}  // namespace qvnet
