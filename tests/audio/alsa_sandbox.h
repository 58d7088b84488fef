// Points ALSA at the test configurations of tests/audio/alsa for one test: the file sink (what
// is played lands in out.raw, capture reads in.raw) or no device at all. Each test case runs
// in a process of its own under CTest, so the environment is the test's alone.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/poll.h"

namespace qvtest {

class AlsaSandbox {
 public:
  AlsaSandbox() {
    const auto* info = testing::UnitTest::GetInstance()->current_test_info();
    dir_ = std::filesystem::path(testing::TempDir()) /
           ("qv_audio_" + std::to_string(getpid()) + "_" + (info ? info->name() : "x"));
    std::filesystem::create_directories(dir_);
    setenv("QV_ALSA_OUT", OutPath().c_str(), 1);
    setenv("QV_ALSA_IN", InPath().c_str(), 1);
    UseFileSink();
  }
  ~AlsaSandbox() {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
  AlsaSandbox(const AlsaSandbox&) = delete;
  AlsaSandbox& operator=(const AlsaSandbox&) = delete;

  void UseFileSink() { setenv("ALSA_CONFIG_PATH", QV_TEST_ALSA_DIR "/file_sink.conf", 1); }
  void UseNoDevice() { setenv("ALSA_CONFIG_PATH", QV_TEST_ALSA_DIR "/no_device.conf", 1); }

  std::string OutPath() const { return (dir_ / "out.raw").string(); }
  std::string InPath() const { return (dir_ / "in.raw").string(); }

  // The bytes played so far (complete once the device was closed).
  std::vector<uint8_t> Played() const {
    std::ifstream in(OutPath(), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  // Writes the samples the capture device will deliver, little-endian.
  void SetCaptured(const std::vector<int16_t>& samples) const {
    std::ofstream out(InPath(), std::ios::binary | std::ios::trunc);
    for (int16_t s : samples) {
      const auto u = static_cast<uint16_t>(s);
      const char bytes[2] = {static_cast<char>(u & 0xFF), static_cast<char>(u >> 8)};
      out.write(bytes, 2);
    }
  }

 private:
  std::filesystem::path dir_;
};

// Milliseconds `f` took.
template <typename F>
int64_t MillisecondsOf(F f) {
  const auto start = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace qvtest
