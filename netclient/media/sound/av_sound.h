// CAVSound: the sound player of one client. It plays the decoded sound that the source (live)
// or the file reader (replay) puts into the client's audio conduit on the default output
// device, 8000 Hz 16-bit mono, and is driven by data alone: when nothing arrives the device
// runs dry and waits; when sound comes again it plays at once.
//
// How the wave-buffer queue maps onto ALSA. The player keeps 16 buffers of 50 ms (800 bytes,
// 400 frames) queued ahead at most. ALSA has no per-buffer completion, so the device's ring
// is sized to exactly those 16 periods of 400 frames: "queueing a buffer" is writing one
// period into the ring, and "a buffer came back done" is a period of room opening in it. The
// thread fills one 800-byte buffer from the conduit (reads of exactly 800 bytes with 60 ms
// waits, repeated until data or stop) and writes it; with the ring full it sleeps on the
// device until a period has played. A ring that runs dry is an underrun, recovered by the
// next write, which starts playback again.
//
// Stop(): stop flag, wake-up of both waits, then the thread throws away the queued sound
// (snd_pcm_drop), closes the device, sets the client's sound-unavailable flag, resets the
// conduit and ends; Stop() joins it. Every wait of the thread is bounded (60 ms on the
// conduit, interruptible on the device), so Stop() returns promptly.
//
// No device: the thread sets sound-unavailable, resets the conduit and ends at once.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

#include "netclient/media/conduit/ci_conduit.h"
#include "platform/audio/pcm_device.h"
#include "platform/jthread.h"
#include "platform/sync.h"

namespace qvnet {

class CAVSound : public qvp::JThread {
 public:
  static constexpr uint32_t kBufferCount = 16;
  static constexpr uint32_t kBufferBytes = 800;        // 50 ms
  static constexpr uint32_t kBufferAllocBytes = 1024;  // as allocated; 800 of it are used
  static constexpr uint32_t kBufferFrames = kBufferBytes / qvp::kPcmFrameBytes;
  static constexpr uint32_t kReadWaitMs = 60;

  // `conduit` and `sound_unavailable` belong to the client and outlive the player.
  CAVSound(CIConduit& conduit, std::atomic<bool>& sound_unavailable);
  ~CAVSound() override;

  // Ends playback and joins the thread; safe to call more than once, and before Start().
  void Stop();
  // Waits at most `timeout_ms` until the thread has tried to open the device; true once it
  // has (whether the device opened or not: sound_unavailable tells).
  bool WaitDeviceTried(uint32_t timeout_ms) { return device_tried_.Wait(timeout_ms); }

 protected:
  void Thread() override;

 private:
  // Fills buffer_ with the next 800 bytes; false when stopping.
  bool FillBuffer();
  // Writes buffer_ into the ring, waiting for room; false when the device failed, or when
  // stopping while the ring was full.
  bool QueueBuffer();

  CIConduit& conduit_;
  std::atomic<bool>& sound_unavailable_;
  qvp::PcmOutput device_;
  std::atomic<bool> stop_{false};
  qvp::Event stop_event_{true, false};
  qvp::Event device_tried_{true, false};
  alignas(4) std::array<uint8_t, kBufferAllocBytes> buffer_{};
};

}  // namespace qvnet
