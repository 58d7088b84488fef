// Simulated cameras for the tests: a small, cheap stream and a port where nothing listens.
#pragma once

#include <gtest/gtest.h>
#include <netinet/in.h>

#include <memory>
#include <string>

#include "platform/socket.h"
#include "tools/camsim/camera.h"

namespace qvtest {

// 176x144 at 10 frames/s and 256 kbit/s from a one-second clip: quick to encode and to carry.
inline camsim::CameraOptions SmallCamera() {
  camsim::CameraOptions o;
  o.width = 176;
  o.height = 144;
  o.fps = 10;
  o.kbps = 256;
  o.clip_seconds = 1;
  return o;
}

inline std::unique_ptr<camsim::Camera> StartCamera(const camsim::CameraOptions& options) {
  auto camera = std::make_unique<camsim::Camera>(options);
  std::string error;
  EXPECT_TRUE(camera->Start(&error)) << error;
  return camera;
}

// A port on 127.0.0.1 where nothing listens: connections to it are refused at once.
inline uint16_t ClosedPort() {
  qvp::Socket s = qvp::Socket::Tcp();
  in_addr loopback{};
  loopback.s_addr = htonl(INADDR_LOOPBACK);
  if (!qvp::Listen(s, loopback, 0, 1)) return 0;
  return qvp::LocalPort(s);  // closed again when `s` goes
}

}  // namespace qvtest
