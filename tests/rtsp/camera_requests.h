// The RTSP requests an in-process simulated camera received, in order, and a bounded wait for
// them (the camera logs each request on its connection thread).
#pragma once

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "tools/camsim/camera.h"

namespace qvtest {

inline std::vector<std::string> RtspRequests(const camsim::Camera& camera) {
  std::vector<std::string> texts;
  for (const camsim::RequestRecord& r : camera.Requests()) {
    if (r.protocol == "RTSP") texts.push_back(r.text);
  }
  return texts;
}

// Polls the camera's log until it holds `count` RTSP requests (at most 2 s).
inline std::vector<std::string> WaitForRequests(const camsim::Camera& camera, size_t count) {
  for (int i = 0; i < 200 && RtspRequests(camera).size() < count; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return RtspRequests(camera);
}

}  // namespace qvtest
