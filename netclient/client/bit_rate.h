// CBitRate, the bit-rate meter of a live or replay client: once a second it turns the running
// totals of received payload bytes and shown pictures into the last second's kbit/s and
// pictures per second, which QVNET_GetBitStreamInfo reports.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/jthread.h"
#include "platform/sync.h"

namespace qvnet {

struct BitRateCounters {
  std::atomic<uint32_t>* received_bytes;  // running total, may wrap
  std::atomic<uint32_t>* shown_frames;    // running total, may wrap
  std::atomic<int32_t>* kbps;             // written once a second
  std::atomic<int32_t>* fps;
};

class CBitRate : public qvp::JThread {
 public:
  explicit CBitRate(const BitRateCounters& counters, uint32_t period_ms = 1000);
  ~CBitRate() override;

  // Signals the stop event and waits for the thread.
  void Stop();

 protected:
  void Thread() override;

 private:
  void Measure();

  const BitRateCounters counters_;
  const uint32_t period_ms_;
  qvp::Event stop_event_{true, false};
  uint32_t last_bytes_ = 0;
  uint32_t last_frames_ = 0;
};

}  // namespace qvnet
