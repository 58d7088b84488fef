#include "netclient/media/sound/talk_capture.h"

#include <algorithm>
#include <cstring>

namespace qvnet {

namespace {

constexpr uint32_t kFramesPerMs = qvp::kPcmRate / 1000;
// Longest single sleep of the capture thread; its stop ends it earlier.
constexpr uint32_t kWaitMs = 40;
// Further behind the clock than this (the device delivered nothing for a while, or lost
// sound to an overrun): forget the past instead of letting a burst through later.
constexpr uint64_t kBehindLimitFrames = qvp::kPcmRate;
// The reference point moves on every hour, long before the 32-bit tick could wrap under it.
constexpr uint32_t kRebaseMs = 3'600'000;

}  // namespace

void CapturePacer::Restart() {
  start_ = qvp::TickCount();
  frames_ = 0;
}

uint32_t CapturePacer::WaitMs() {
  const qvp::Tick now = qvp::TickCount();
  const uint32_t elapsed = qvp::TicksSince(start_, now);
  const uint64_t due = static_cast<uint64_t>(elapsed) * kFramesPerMs;
  if (frames_ + kBehindLimitFrames < due) {
    Restart();
    return 0;
  }
  if (elapsed >= kRebaseMs) {
    frames_ -= std::min(frames_, due);
    start_ = now;
    return WaitMs();
  }
  if (frames_ <= due + slack_) return 0;
  const uint64_t excess = frames_ - due - slack_;
  return static_cast<uint32_t>(std::min<uint64_t>((excess + kFramesPerMs - 1) / kFramesPerMs, kWaitMs));
}

TalkCapture::~TalkCapture() { Stop(); }

bool TalkCapture::Open() {
  {
    qvp::LockGuard guard(lock_);
    free_.clear();
    filled_.clear();
    for (uint8_t i = 0; i < kSlotCount; ++i) free_.push_back(i);
    captured_.Reset();
  }
  if (!device_.Open(kSlotFrames, kSlotCount)) return false;
  if (Start() == kStarted) return true;
  device_.Close();
  return false;
}

void TalkCapture::Stop() {
  stop_ = true;
  RequestStop();
  stop_event_.Set();
  device_.Interrupt();
  Join();
  device_.Close();
}

void TalkCapture::Thread() {
  // Half the pool: a burst alone never pushes out sound the sender has not taken yet.
  CapturePacer pacer(kSlotCount / 2 * kSlotFrames);
  uint32_t staged = 0;
  while (!stop_) {
    if (const uint32_t wait = pacer.WaitMs(); wait > 0) {
      stop_event_.Wait(wait);
      continue;
    }
    const long n = device_.Read(staging_.data() + staged, kSlotFrames - staged);
    if (n < 0) break;
    if (n == 0) {
      if (device_.Wait(kWaitMs) == qvp::PcmWait::kError) break;
      continue;
    }
    pacer.Count(static_cast<uint32_t>(n));
    staged += static_cast<uint32_t>(n);
    if (staged < kSlotFrames) continue;
    Deliver();
    staged = 0;
  }
  if (!stop_) failed_ = true;
}

void TalkCapture::Deliver() {
  qvp::LockGuard guard(lock_);
  uint8_t slot = 0;
  if (!free_.empty()) {
    slot = free_.front();
    free_.pop_front();
  } else if (!filled_.empty()) {
    slot = filled_.front();
    filled_.pop_front();
  } else {
    return;  // cannot happen: the 16 slots are always in one of the queues
  }
  slots_[slot] = staging_;
  filled_.push_back(slot);
  captured_.Set();
}

bool TalkCapture::TakeFilled(int16_t* out) {
  qvp::LockGuard guard(lock_);
  if (filled_.empty()) {
    captured_.Reset();
    return false;
  }
  const uint8_t slot = filled_.front();
  filled_.pop_front();
  std::memcpy(out, slots_[slot].data(), sizeof slots_[slot]);
  free_.push_back(slot);
  if (filled_.empty()) captured_.Reset();
  return true;
}

bool TalkCapture::Take(int16_t* out, uint32_t timeout_ms) {
  if (TakeFilled(out)) return true;
  if (!captured_.Wait(timeout_ms)) return false;
  return TakeFilled(out);
}

}  // namespace qvnet
