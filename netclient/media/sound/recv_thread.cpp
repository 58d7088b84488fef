#include "netclient/media/sound/recv_thread.h"

namespace qvnet {

CRecvThread::~CRecvThread() { Stop(); }

void CRecvThread::Stop() {
  stop_ = true;
  RequestStop();
  Join();
  playback_.Close();
}

void CRecvThread::Thread() {
  qvcodec::VoiceState state{};
  if (qvcodec::VoiceDecReset(state.bytes, qvcodec::kVoiceG726_32) != qvcodec::kVoiceOk) return;
  while (!stop_) {
    const ssize_t n = qvp::Recv(socket_, received_.data(), received_.size());
    if (n <= 0) {
      ended_.Set();
      return;
    }
    uint16_t samples = 0;
    if (qvcodec::VoiceDecodeFrameBounded(state.bytes, received_.data(), static_cast<size_t>(n), pcm_.data(),
                                         &samples) != qvcodec::kVoiceOk) {
      continue;
    }
    playback_.Play(pcm_.data(), samples);
  }
}

}  // namespace qvnet
