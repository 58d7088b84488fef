#include "netclient/media/sound/av_sound.h"

#include <chrono>

namespace qvnet {

namespace {

// Longest sleep on the device while the ring is full; the stop wake-up ends it earlier.
constexpr uint32_t kDeviceWaitMs = 100;
// A read that fails faster than this did not wait: the conduit is closed (its owner is
// stopping) or held too little; pausing keeps this thread from spinning until its stop.
constexpr auto kNoWait = std::chrono::milliseconds(2);
constexpr uint32_t kIdlePauseMs = 10;

}  // namespace

CAVSound::CAVSound(CIConduit& conduit, std::atomic<bool>& sound_unavailable)
    : conduit_(conduit), sound_unavailable_(sound_unavailable) {}

CAVSound::~CAVSound() { Stop(); }

void CAVSound::Stop() {
  stop_ = true;
  RequestStop();
  stop_event_.Set();
  device_.Interrupt();
  Join();
}

void CAVSound::Thread() {
  if (!device_.Open(kBufferFrames, kBufferCount)) {
    sound_unavailable_ = true;
    conduit_.Reset();
    device_tried_.Set();
    return;
  }
  device_tried_.Set();
  while (!stop_) {
    if (!FillBuffer() || !QueueBuffer()) break;
  }
  if (stop_) device_.Drop();
  device_.Close();
  sound_unavailable_ = true;
  conduit_.Reset();
}

bool CAVSound::FillBuffer() {
  while (!stop_) {
    const auto start = std::chrono::steady_clock::now();
    if (conduit_.Read(buffer_.data(), kBufferBytes, nullptr, kReadWaitMs) == kBufferBytes) return true;
    if (std::chrono::steady_clock::now() - start < kNoWait) stop_event_.Wait(kIdlePauseMs);
  }
  return false;
}

bool CAVSound::QueueBuffer() {
  const uint8_t* next = buffer_.data();
  uint32_t left = kBufferFrames;
  while (left > 0) {
    const long n = device_.Write(next, left);
    if (n < 0) return false;
    if (n > 0) {
      next += static_cast<uint32_t>(n) * qvp::kPcmFrameBytes;
      left -= static_cast<uint32_t>(n);
      continue;
    }
    // All 16 buffers are queued: wait for one to play. Stopping abandons this buffer.
    if (stop_) return false;
    if (device_.Wait(kDeviceWaitMs) == qvp::PcmWait::kError) return false;
  }
  return true;
}

}  // namespace qvnet
