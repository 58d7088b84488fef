// PCM sound devices over ALSA: the default device, 8000 frames per second, S16_LE, mono (the
// one audio format of the system). Devices are opened non-blocking, so that no owner waits on
// one without a bound: transfers take what fits now, and Wait() sleeps until a period can move,
// a time-out passes or another thread calls Interrupt(). That is how the sound threads stop
// promptly even when a device stalls.
//
// A device object is made once and may be opened and closed by one thread; Interrupt() may
// come from any thread at any time, also before Open(), and stays in force for the object's
// life (an interrupted owner is on its way out).
#pragma once

#include <cstdint>

struct _snd_pcm;  // snd_pcm_t, kept out of this header so that users need no ALSA headers

namespace qvp {

inline constexpr uint32_t kPcmRate = 8000;
inline constexpr uint32_t kPcmFrameBytes = 2;  // 16-bit mono

enum class PcmWait { kReady, kTimeout, kInterrupted, kError };

class PcmDevice {
 public:
  ~PcmDevice();
  PcmDevice(const PcmDevice&) = delete;
  PcmDevice& operator=(const PcmDevice&) = delete;

  bool IsOpen() const { return pcm_ != nullptr; }
  void Close();

  // What the device granted at Open (ALSA may round the request).
  uint32_t PeriodFrames() const { return period_frames_; }
  uint32_t BufferFrames() const { return buffer_frames_; }

  // Sleeps until a period can be written (playback) or read (capture), at most `timeout_ms`.
  // kReady also covers an xrun, which the next transfer recovers from.
  PcmWait Wait(uint32_t timeout_ms);
  // Makes every present and future Wait() return kInterrupted at once. Thread-safe.
  void Interrupt();
  bool Interrupted() const;

  // The ALSA error of the last failure (negative errno), 0 when none.
  int LastError() const { return last_error_; }

 protected:
  explicit PcmDevice(bool capture);
  // Opens "default" non-blocking with a ring of `periods` periods of `period_frames` frames;
  // a capture device is started too.
  bool OpenDefault(uint32_t period_frames, uint32_t periods);
  // Brings the device back after an xrun or a suspend; false when it cannot be.
  bool Recover(long err);

  _snd_pcm* pcm_ = nullptr;

 private:
  bool Configure(uint32_t period_frames, uint32_t periods);

  const bool capture_;
  int wake_fd_ = -1;  // eventfd: readable once interrupted
  uint32_t period_frames_ = 0;
  uint32_t buffer_frames_ = 0;
  int last_error_ = 0;
};

class PcmOutput : public PcmDevice {
 public:
  PcmOutput() : PcmDevice(false) {}

  // Opens the default playback device. Playback starts as soon as one period is queued.
  bool Open(uint32_t period_frames, uint32_t periods) { return OpenDefault(period_frames, periods); }
  // Queues up to `frames` frames of `samples` without waiting. Returns the frames taken (0
  // when the ring is full), or -1 when the device failed for good. An underrun (the device
  // ran dry) is recovered here and the frames start playback again.
  long Write(const void* samples, uint32_t frames);
  // Frames the ring can take now, -1 when the device failed.
  long Room();
  // Throws away everything queued.
  void Drop();
};

class PcmCapture : public PcmDevice {
 public:
  PcmCapture() : PcmDevice(true) {}

  // Opens the default capture device and starts capturing.
  bool Open(uint32_t period_frames, uint32_t periods) { return OpenDefault(period_frames, periods); }
  // Takes up to `frames` captured frames without waiting. Returns the frames taken (0 when
  // none are ready), or -1 when the device failed for good. An overrun is recovered here.
  long Read(void* samples, uint32_t frames);
};

}  // namespace qvp
