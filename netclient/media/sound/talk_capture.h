// The capture side of two-way talk: microphone sound from the default capture device, handed
// to the talk sender in slots of 40 ms (320 samples, 640 bytes).
//
// The pool has 16 slots, split into a free queue and a filled queue under one lock, and a
// manual-reset event that is set while filled slots wait. A capture thread takes the place
// of the wave-in callback: it reads the device in periods of 320 frames (the device's ring
// holds 16 of them, as 16 queued capture buffers would) and copies each whole period into a
// free slot. When the sender has fallen 16 slots behind, the oldest filled slot gives way to
// the new sound, so talk never lags by more than 640 ms.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <deque>

#include "platform/audio/pcm_device.h"
#include "platform/jthread.h"
#include "platform/sync.h"
#include "platform/tick_clock.h"

namespace qvnet {

// Holds a capture source to real time. A sound card delivers 8000 frames a second by itself;
// ALSA's null and file plugins (and a misbehaving driver) deliver as fast as they are read,
// which would flood the camera with talk frames. Up to `slack_frames` ahead of the clock pass
// at once (a device's ring may hand over that much in one go); beyond that the reader waits.
// Time is the tick clock, so tests can hold it.
class CapturePacer {
 public:
  explicit CapturePacer(uint32_t slack_frames) : slack_(slack_frames) { Restart(); }
  void Restart();
  // Milliseconds the reader should wait before taking more; 0 when it is in time.
  uint32_t WaitMs();
  void Count(uint32_t frames) { frames_ += frames; }

 private:
  const uint32_t slack_;
  qvp::Tick start_ = 0;
  uint64_t frames_ = 0;  // delivered since start_
};

class TalkCapture : public qvp::JThread {
 public:
  static constexpr uint32_t kSlotCount = 16;
  static constexpr uint32_t kSlotFrames = 320;  // 40 ms, 640 bytes

  TalkCapture() = default;
  ~TalkCapture() override;

  // Opens the default capture device and starts the capture thread; false when either fails.
  // One capture per object: once stopped it stays stopped.
  bool Open();
  // Ends capture, joins the thread and closes the device. Safe to call more than once.
  void Stop();

  // Takes the oldest captured slot into `out` (kSlotFrames samples), waiting up to
  // `timeout_ms` for one. False when none came.
  bool Take(int16_t* out, uint32_t timeout_ms);
  // The device failed while capturing: no more sound will come.
  bool Failed() const { return failed_; }

 protected:
  void Thread() override;

 private:
  bool TakeFilled(int16_t* out);
  void Deliver();  // staging_ into a slot, under the lock

  qvp::PcmCapture device_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> failed_{false};
  qvp::Event stop_event_{true, false};

  qvp::Lock lock_;
  std::array<std::array<int16_t, kSlotFrames>, kSlotCount> slots_{};
  std::deque<uint8_t> free_;    // slot numbers, under lock_
  std::deque<uint8_t> filled_;  // oldest first, under lock_
  qvp::Event captured_{true, false};

  std::array<int16_t, kSlotFrames> staging_{};  // capture thread only
};

}  // namespace qvnet
