#include "platform/audio/pcm_device.h"

#include <alsa/asoundlib.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>

namespace qvp {

namespace {

// Devices need one or two descriptors; a handful more covers any plugin chain.
constexpr int kMaxPollFds = 8;

class HwParams {
 public:
  HwParams() { snd_pcm_hw_params_malloc(&p_); }
  ~HwParams() { snd_pcm_hw_params_free(p_); }
  HwParams(const HwParams&) = delete;
  HwParams& operator=(const HwParams&) = delete;
  snd_pcm_hw_params_t* get() const { return p_; }

 private:
  snd_pcm_hw_params_t* p_ = nullptr;
};

class SwParams {
 public:
  SwParams() { snd_pcm_sw_params_malloc(&p_); }
  ~SwParams() { snd_pcm_sw_params_free(p_); }
  SwParams(const SwParams&) = delete;
  SwParams& operator=(const SwParams&) = delete;
  snd_pcm_sw_params_t* get() const { return p_; }

 private:
  snd_pcm_sw_params_t* p_ = nullptr;
};

}  // namespace

PcmDevice::PcmDevice(bool capture) : capture_(capture), wake_fd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

PcmDevice::~PcmDevice() {
  Close();
  if (wake_fd_ >= 0) ::close(wake_fd_);
}

void PcmDevice::Close() {
  if (pcm_ == nullptr) return;
  snd_pcm_close(pcm_);  // non-blocking: stops at once, no draining
  pcm_ = nullptr;
  period_frames_ = 0;
  buffer_frames_ = 0;
}

bool PcmDevice::OpenDefault(uint32_t period_frames, uint32_t periods) {
  Close();
  if (period_frames == 0 || periods == 0 || wake_fd_ < 0) return false;
  snd_pcm_t* pcm = nullptr;
  const int err = snd_pcm_open(&pcm, "default", capture_ ? SND_PCM_STREAM_CAPTURE : SND_PCM_STREAM_PLAYBACK,
                               SND_PCM_NONBLOCK);
  if (err < 0) {
    last_error_ = err;
    return false;
  }
  pcm_ = pcm;
  if (!Configure(period_frames, periods)) {
    Close();
    return false;
  }
  if (capture_) {
    const int start = snd_pcm_start(pcm_);
    if (start < 0) {
      last_error_ = start;
      Close();
      return false;
    }
  }
  return true;
}

bool PcmDevice::Configure(uint32_t period_frames, uint32_t periods) {
  HwParams hw;
  SwParams sw;
  if (hw.get() == nullptr || sw.get() == nullptr) return false;
  snd_pcm_uframes_t period = period_frames;
  snd_pcm_uframes_t buffer = static_cast<snd_pcm_uframes_t>(period_frames) * periods;
  int err = snd_pcm_hw_params_any(pcm_, hw.get());
  if (err >= 0) err = snd_pcm_hw_params_set_access(pcm_, hw.get(), SND_PCM_ACCESS_RW_INTERLEAVED);
  if (err >= 0) err = snd_pcm_hw_params_set_format(pcm_, hw.get(), SND_PCM_FORMAT_S16_LE);
  if (err >= 0) err = snd_pcm_hw_params_set_channels(pcm_, hw.get(), 1);
  // Exactly 8000 Hz: any other rate would play at the wrong pitch. "default" normally
  // resamples, so this only fails on a bare device that cannot do it.
  if (err >= 0) err = snd_pcm_hw_params_set_rate(pcm_, hw.get(), kPcmRate, 0);
  if (err >= 0) err = snd_pcm_hw_params_set_period_size_near(pcm_, hw.get(), &period, nullptr);
  if (err >= 0) err = snd_pcm_hw_params_set_buffer_size_near(pcm_, hw.get(), &buffer);
  if (err >= 0) err = snd_pcm_hw_params(pcm_, hw.get());
  if (err >= 0) err = snd_pcm_sw_params_current(pcm_, sw.get());
  // Playback starts with the first period queued, as a queued wave buffer starts playing.
  const snd_pcm_uframes_t start = std::min<snd_pcm_uframes_t>(period_frames, buffer);
  if (err >= 0) err = snd_pcm_sw_params_set_start_threshold(pcm_, sw.get(), start);
  if (err >= 0) err = snd_pcm_sw_params_set_avail_min(pcm_, sw.get(), std::min(period, buffer));
  if (err >= 0) err = snd_pcm_sw_params(pcm_, sw.get());
  if (err < 0) {
    last_error_ = err;
    return false;
  }
  period_frames_ = static_cast<uint32_t>(period);
  buffer_frames_ = static_cast<uint32_t>(buffer);
  return true;
}

bool PcmDevice::Recover(long err) {
  last_error_ = static_cast<int>(err);
  if (pcm_ == nullptr) return false;
  if (snd_pcm_recover(pcm_, static_cast<int>(err), 1) < 0) return false;
  // A recovered capture stream is only prepared; it must be started again.
  if (capture_ && snd_pcm_start(pcm_) < 0) return false;
  return true;
}

void PcmDevice::Interrupt() {
  if (wake_fd_ < 0) return;
  const uint64_t one = 1;
  [[maybe_unused]] const ssize_t n = ::write(wake_fd_, &one, sizeof one);
}

bool PcmDevice::Interrupted() const {
  if (wake_fd_ < 0) return true;
  pollfd fd{wake_fd_, POLLIN, 0};
  return ::poll(&fd, 1, 0) > 0;
}

PcmWait PcmDevice::Wait(uint32_t timeout_ms) {
  if (pcm_ == nullptr) return PcmWait::kError;
  const int count = snd_pcm_poll_descriptors_count(pcm_);
  if (count <= 0 || count > kMaxPollFds) return PcmWait::kError;
  std::array<pollfd, kMaxPollFds + 1> fds{};
  fds[0] = {wake_fd_, POLLIN, 0};
  if (snd_pcm_poll_descriptors(pcm_, &fds[1], static_cast<unsigned>(count)) != count) return PcmWait::kError;
  const int timeout = static_cast<int>(std::min<uint32_t>(timeout_ms, 60'000));
  const int r = ::poll(fds.data(), static_cast<nfds_t>(count + 1), timeout);
  if (r < 0) return errno == EINTR ? PcmWait::kTimeout : PcmWait::kError;
  if (fds[0].revents != 0) return PcmWait::kInterrupted;
  if (r == 0) return PcmWait::kTimeout;
  unsigned short revents = 0;
  if (snd_pcm_poll_descriptors_revents(pcm_, &fds[1], static_cast<unsigned>(count), &revents) < 0) {
    return PcmWait::kError;
  }
  if ((revents & (POLLERR | POLLOUT | POLLIN)) != 0) return PcmWait::kReady;
  return PcmWait::kTimeout;
}

long PcmOutput::Write(const void* samples, uint32_t frames) {
  if (pcm_ == nullptr) return -1;
  // Two tries: the first may meet an underrun, which is recovered before the second.
  for (int attempt = 0; attempt < 2; ++attempt) {
    const snd_pcm_sframes_t n = snd_pcm_writei(pcm_, samples, frames);
    if (n >= 0) return static_cast<long>(n);
    if (n == -EAGAIN) return 0;
    if (!Recover(n)) return -1;
  }
  return 0;
}

long PcmOutput::Room() {
  if (pcm_ == nullptr) return -1;
  for (int attempt = 0; attempt < 2; ++attempt) {
    const snd_pcm_sframes_t n = snd_pcm_avail(pcm_);
    if (n >= 0) return static_cast<long>(n);
    if (!Recover(n)) return -1;
  }
  return 0;
}

void PcmOutput::Drop() {
  if (pcm_ != nullptr) snd_pcm_drop(pcm_);
}

long PcmCapture::Read(void* samples, uint32_t frames) {
  if (pcm_ == nullptr) return -1;
  for (int attempt = 0; attempt < 2; ++attempt) {
    const snd_pcm_sframes_t n = snd_pcm_readi(pcm_, samples, frames);
    if (n >= 0) return static_cast<long>(n);
    if (n == -EAGAIN) return 0;
    if (!Recover(n)) return -1;
  }
  return 0;
}

}  // namespace qvp
