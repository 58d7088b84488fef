// main() of the window tests: Qt without a display (offscreen), a private 0700 runtime folder
// for this process's endpoints, ALSA without any output device, and the library started once.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <QApplication>
#include <filesystem>

#include "netclient/include/QVNetClient.h"

int main(int argc, char** argv) {
  char runtime[] = "/tmp/qv-ui-runtime.XXXXXX";
  if (mkdtemp(runtime) == nullptr) return 1;
  chmod(runtime, 0700);
  setenv("XDG_RUNTIME_DIR", runtime, 1);
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  setenv("ALSA_CONFIG_PATH", QV_TEST_ALSA_DIR "/no_device.conf", 1);
  testing::InitGoogleTest(&argc, argv);
  int status = 0;
  {
    QApplication app(argc, argv);
    QVNET_Startup(0, 0, nullptr, 0);
    status = RUN_ALL_TESTS();
    QVNET_Cleanup();
  }
  std::error_code ignored;
  std::filesystem::remove_all(runtime, ignored);
  return status;
}
