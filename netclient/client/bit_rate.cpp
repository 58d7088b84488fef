#include "netclient/client/bit_rate.h"

namespace qvnet {

CBitRate::CBitRate(const BitRateCounters& counters, uint32_t period_ms)
    : counters_(counters), period_ms_(period_ms) {}

CBitRate::~CBitRate() { Stop(); }

void CBitRate::Stop() {
  stop_event_.Set();
  Join();
}

void CBitRate::Thread() {
  last_bytes_ = counters_.received_bytes->load(std::memory_order_relaxed);
  last_frames_ = counters_.shown_frames->load(std::memory_order_relaxed);
  while (!stop_event_.Wait(period_ms_)) Measure();
}

void CBitRate::Measure() {
  const uint32_t bytes = counters_.received_bytes->load(std::memory_order_relaxed);
  const uint32_t frames = counters_.shown_frames->load(std::memory_order_relaxed);
  // Unsigned differences stay right across a wrap of the running totals.
  counters_.kbps->store(static_cast<int32_t>((static_cast<uint64_t>(bytes - last_bytes_) * 8) >> 10),
                        std::memory_order_relaxed);
  counters_.fps->store(static_cast<int32_t>(frames - last_frames_), std::memory_order_relaxed);
  last_bytes_ = bytes;
  last_frames_ = frames;
}

}  // namespace qvnet
