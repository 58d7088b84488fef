// Calls on one client handle racing the stop of that client. Every call runs on its own
// thread, over and over, before, during and after the stop; the stop must wait for the calls
// in flight and every call after it must fail as for an unknown handle. What must never happen
// (a call reaching the client after it was freed) is caught by the sanitizer builds, which
// run these tests too.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/poll.h"

namespace qvtest {

struct RacingCall {
  std::string name;
  std::function<int64_t()> call;  // one export call; returns its result
  int64_t unknown_handle_result;  // what it returns for a handle that is not known
};

// Starts the callers, stops the client with `stop` (which must return 1) once each caller ran
// `min_calls` times, and lets each caller make `calls_after` more calls after the stop returned.
inline void RaceTheStop(const std::vector<RacingCall>& calls, const std::function<int()>& stop,
                        int min_calls = 3, int calls_after = 3) {
  std::atomic<bool> stopped{false};
  std::atomic<size_t> running{0};
  std::vector<int> wrong_after_stop(calls.size(), 0);
  std::vector<std::thread> callers;
  for (size_t i = 0; i < calls.size(); ++i) {
    callers.emplace_back([&, i] {
      for (int n = 1; !stopped.load(); ++n) {
        calls[i].call();
        if (n == min_calls) ++running;
      }
      for (int n = 0; n < calls_after; ++n) {
        if (calls[i].call() != calls[i].unknown_handle_result) ++wrong_after_stop[i];
      }
    });
  }
  EXPECT_TRUE(PollUntil([&] { return running.load() == calls.size(); }, 20000)) << "callers did not get going";
  EXPECT_EQ(stop(), 1);
  stopped = true;
  for (std::thread& t : callers) t.join();
  for (size_t i = 0; i < calls.size(); ++i) {
    EXPECT_EQ(wrong_after_stop[i], 0) << calls[i].name << " still reached the client after its stop";
  }
}

}  // namespace qvtest
