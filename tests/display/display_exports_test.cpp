// The display exports on a client registered with the library, and QVNET_ClientStopView
// waiting for a drawing in progress.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <fstream>
#include <future>
#include <string>
#include <sys/stat.h>

#include "netclient/include/QVNetClient.h"
#include "netclient/media/display/av_display.h"
#include "netclient/client/qvnet_library.h"
#include "tests/codec/test_media.h"
#include "tests/display/display_test_support.h"

namespace qvnet {
namespace {

using test::SteppingClock;
using test::TestClient;
using test::TestWindow;

// Registers a test client with the library for the life of the test, with its display.
struct RegisteredClient {
  RegisteredClient() : tc(false, kPayloadJpeg, 64, 48, 25), display(tc.client, tc.Conduit()) {
    tc.client.handle = NetLibrary().clients.Add(&tc.client);
    tc.client.display = &display;
  }
  ~RegisteredClient() {
    tc.client.display = nullptr;
    NetLibrary().clients.Remove(tc.client.handle);
    display.Stop();
  }
  QVNET_HANDLE Handle() const { return tc.client.handle; }
  void Feed(int index) {
    const std::vector<uint8_t> jpeg =
        qvcodec::test::EncodeJpeg(qvcodec::test::MovingPattern(64, 48, index), AV_PIX_FMT_YUVJ420P);
    ASSERT_TRUE(tc.Conduit().Write(jpeg.data(), static_cast<uint32_t>(jpeg.size()), true));
  }

  TestClient tc;
  CAVDisplay display;
};

bool FileExists(const std::string& path) {
  struct stat st{};
  return stat(path.c_str(), &st) == 0;
}

TEST(DisplayExports, SetWndRefreshWndAndCapturePicture) {
  SteppingClock clock;
  TestWindow first(64, 48);
  TestWindow second(100, 50);
  RegisteredClient rc;
  NetClient& c = rc.tc.client;

  EXPECT_EQ(QVNET_ClientSetWnd(0, first.handle), 1);
  EXPECT_EQ(QVNET_ClientRefreshWnd(0), 0);
  EXPECT_EQ(QVNET_ClientCapturePicture(0, "/tmp/x.jpg"), 0);

  EXPECT_EQ(QVNET_ClientSetWnd(rc.Handle(), first.handle), 1);
  EXPECT_EQ(c.display_window, first.handle);
  EXPECT_EQ(c.window_width, 64);
  EXPECT_EQ(QVNET_ClientRefreshWnd(rc.Handle()), 0);  // nothing drawn yet

  ASSERT_TRUE(rc.display.CreateDecoder());
  ASSERT_EQ(rc.display.StartThread(), qvp::JThread::kStarted);
  rc.Feed(0);
  ASSERT_TRUE(first.sink->WaitPresentCount(1, 5000));
  EXPECT_EQ(QVNET_ClientRefreshWnd(rc.Handle()), 1);
  EXPECT_EQ(first.sink->PresentCount(), 2u);
  c.view = 0;
  EXPECT_EQ(QVNET_ClientRefreshWnd(rc.Handle()), 0);
  c.view = 1;

  // Another window: its size is stored, the next picture goes there at its size.
  EXPECT_EQ(QVNET_ClientSetWnd(rc.Handle(), second.handle), 1);
  EXPECT_EQ(c.display_window, second.handle);
  EXPECT_EQ(c.window_width, 100);
  rc.Feed(1);
  ASSERT_TRUE(second.sink->WaitPresentCount(1, 5000));
  EXPECT_EQ(second.sink->LastImage().width, 100);

  // Snapshots: refused without a path or when the folder cannot be made.
  const std::string dir = ::testing::TempDir() + "display_capture_test";
  const std::string blocker = ::testing::TempDir() + "display_capture_blocker";
  std::ofstream(blocker) << "a file, not a folder";
  EXPECT_EQ(QVNET_ClientCapturePicture(rc.Handle(), ""), 0);
  EXPECT_EQ(QVNET_ClientCapturePicture(rc.Handle(), nullptr), 0);
  EXPECT_EQ(QVNET_ClientCapturePicture(rc.Handle(), (blocker + "/sub/pic.jpg").c_str()), 0);
  const std::string path = dir + "/day/pic.jpg";
  std::remove(path.c_str());
  EXPECT_EQ(QVNET_ClientCapturePicture(rc.Handle(), path.c_str()), 1);
  EXPECT_FALSE(FileExists(path));  // written with the next picture
  rc.Feed(2);
  ASSERT_TRUE(second.sink->WaitPresentCount(2, 5000));
  for (int i = 0; i < 200 && !FileExists(path); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_TRUE(FileExists(path));
  std::remove(path.c_str());
  std::remove(blocker.c_str());

  c.display = nullptr;  // no display: nothing could write the file
  EXPECT_EQ(QVNET_ClientCapturePicture(rc.Handle(), path.c_str()), 0);
  EXPECT_EQ(QVNET_ClientRefreshWnd(rc.Handle()), 0);
  EXPECT_EQ(QVNET_ClientSetWnd(rc.Handle(), first.handle), 1);
  EXPECT_EQ(c.display_window, first.handle);
}

// Holds every presentation until the test lets it go.
class HoldingSink : public qvp::MemoryWindowSink {
 public:
  using MemoryWindowSink::MemoryWindowSink;
  void Present(const uint8_t* bgrx, int width, int height, int stride) override {
    std::unique_lock<std::mutex> lock(mutex_);
    entered_ = true;
    changed_.notify_all();
    changed_.wait_for(lock, std::chrono::seconds(5), [this] { return released_; });
    lock.unlock();
    MemoryWindowSink::Present(bgrx, width, height, stride);
  }
  bool WaitEntered() {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(5), [this] { return entered_; });
  }
  void Release() {
    std::lock_guard<std::mutex> lock(mutex_);
    released_ = true;
    changed_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool entered_ = false;
  bool released_ = false;
};

TEST(DisplayExports, StopViewReturnsOnlyAfterTheDrawingEnds) {
  SteppingClock clock;
  auto sink = std::make_shared<HoldingSink>(64, 48);
  const qvp::WindowHandle window = qvp::RegisterWindow(sink);
  RegisteredClient rc;
  rc.tc.client.display_window = window;
  ASSERT_TRUE(rc.display.CreateDecoder());
  ASSERT_EQ(rc.display.StartThread(), qvp::JThread::kStarted);
  rc.Feed(0);
  ASSERT_TRUE(sink->WaitEntered());
  EXPECT_TRUE(rc.tc.client.drawing);

  auto stop_view = std::async(std::launch::async, [&] { return QVNET_ClientStopView(rc.Handle()); });
  EXPECT_EQ(stop_view.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
  sink->Release();
  ASSERT_EQ(stop_view.wait_for(std::chrono::seconds(5)), std::future_status::ready);
  EXPECT_EQ(stop_view.get(), 1);
  EXPECT_FALSE(rc.tc.client.drawing);
  EXPECT_EQ(rc.tc.client.view, 0);

  // Pictures that come now are dropped; nothing more reaches the window.
  rc.Feed(1);
  for (int i = 0; i < 100 && rc.tc.Conduit().GetUsed() != 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  rc.display.Stop();
  EXPECT_EQ(sink->PresentCount(), 1u);
  qvp::UnregisterWindow(window);
}

}  // namespace
}  // namespace qvnet
