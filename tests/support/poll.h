// Waiting for a condition in tests: poll it with a deadline instead of sleeping and hoping.
#pragma once

#include <chrono>
#include <functional>
#include <thread>

namespace qvtest {

// Polls `pred` every 5 ms for at most `timeout_ms`; true as soon as it holds.
inline bool PollUntil(const std::function<bool()>& pred, int timeout_ms = 5000) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (!pred()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

}  // namespace qvtest
