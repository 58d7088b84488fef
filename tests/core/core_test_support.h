// A fresh program folder per test: QV_NVR_HOME points at it for the test's duration, and it is
// removed afterwards.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace coretest {

class TempHome : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/qv_core_test_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    home_ = pattern;
    setenv("QV_NVR_HOME", home_.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("QV_NVR_HOME");
    std::error_code ec;
    std::filesystem::remove_all(home_, ec);
  }

  std::string Path(const std::string& rel) const { return home_ + "/" + rel; }

  static void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
  }
  static std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  static bool Exists(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
  }
  static unsigned Mode(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0xFFFFu;
  }

  std::string home_;
};

}  // namespace coretest
