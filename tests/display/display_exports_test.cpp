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
#include "netclient/client/qvnet_library.h"
#include "netclient/media/display/av_display.h"
#include "netclient/stream/display_format.h"
#include "tests/codec/test_media.h"
#include "tests/display/display_test_support.h"
#include "tests/support/poll.h"

namespace qvnet {
namespace {

using test::SteppingClock;
using test::TestWindow;

// A live client registered with the library for the life of the test, with its video conduit
// and its display, as a live source sets them up.
struct RegisteredClient {
  RegisteredClient() {
    client.video_payload_type = kPayloadTypeJpeg;
    client.width = 64;
    client.height = 48;
    client.display_control.view = ViewState::kOn;
    client.video_conduit = std::make_unique<CBufferConduit>();
    client.video_conduit->Create(kVideoConduitBytes, false, kConduitLowWater, true);
    display = std::make_unique<CAVDisplay>(client.display_control, *client.video_conduit, client.OverlayInputsOf());
    client.handle = NetLibrary().clients.Add(&client);
    client.display = display.get();
  }
  ~RegisteredClient() {
    client.display = nullptr;
    NetLibrary().clients.Remove(client.handle);
    display->Stop();
  }
  QVNET_HANDLE Handle() const { return client.handle; }
  bool StartDisplay() {
    return display->CreateDecoder(VideoFormatOf(client)) && display->StartThread() == qvp::JThread::kStarted;
  }
  void Feed(int index) {
    const std::vector<uint8_t> jpeg =
        qvcodec::test::EncodeJpeg(qvcodec::test::MovingPattern(64, 48, index), AV_PIX_FMT_YUVJ420P);
    ASSERT_TRUE(Conduit().Write(jpeg.data(), static_cast<uint32_t>(jpeg.size()), true));
  }
  CBufferConduit& Conduit() { return *client.video_conduit; }

  LibraryContext context;
  NetClient client{context};
  std::unique_ptr<CAVDisplay> display;
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
  NetClient& c = rc.client;
  DisplayControl& dc = c.display_control;

  EXPECT_EQ(QVNET_ClientSetWnd(0, first.handle), 1);
  EXPECT_EQ(QVNET_ClientRefreshWnd(0), 0);
  EXPECT_EQ(QVNET_ClientCapturePicture(0, "/tmp/x.jpg"), 0);

  EXPECT_EQ(QVNET_ClientSetWnd(rc.Handle(), first.handle), 1);
  EXPECT_EQ(dc.window, first.handle);
  EXPECT_EQ(dc.window_width, 64);
  EXPECT_EQ(QVNET_ClientRefreshWnd(rc.Handle()), 0);  // nothing drawn yet

  ASSERT_TRUE(rc.StartDisplay());
  rc.Feed(0);
  ASSERT_TRUE(first.sink->WaitPresentCount(1, 5000));
  EXPECT_EQ(QVNET_ClientRefreshWnd(rc.Handle()), 1);
  EXPECT_EQ(first.sink->PresentCount(), 2u);
  dc.view = ViewState::kOff;
  EXPECT_EQ(QVNET_ClientRefreshWnd(rc.Handle()), 0);
  dc.view = ViewState::kOn;

  // Another window: its size is stored, the next picture goes there at its size.
  EXPECT_EQ(QVNET_ClientSetWnd(rc.Handle(), second.handle), 1);
  EXPECT_EQ(dc.window, second.handle);
  EXPECT_EQ(dc.window_width, 100);
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
  EXPECT_TRUE(qvtest::PollUntil([&] { return FileExists(path); }, 1000));
  std::remove(path.c_str());
  std::remove(blocker.c_str());

  c.display = nullptr;  // no display: nothing could write the file
  EXPECT_EQ(QVNET_ClientCapturePicture(rc.Handle(), path.c_str()), 0);
  EXPECT_EQ(QVNET_ClientRefreshWnd(rc.Handle()), 0);
  EXPECT_EQ(QVNET_ClientSetWnd(rc.Handle(), first.handle), 1);
  EXPECT_EQ(dc.window, first.handle);
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

// A client whose display is drawing its first picture into a window that holds the drawing.
class StopViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dc_.window = window_;
    ASSERT_TRUE(rc_.StartDisplay());
    rc_.Feed(0);
    ASSERT_TRUE(sink_->WaitEntered());
    EXPECT_TRUE(dc_.drawing);
  }
  void TearDown() override {
    sink_->Release();
    rc_.display->Stop();
    qvp::UnregisterWindow(window_);
  }

  SteppingClock clock_;  // the wait's bound passes on the test clock
  std::shared_ptr<HoldingSink> sink_ = std::make_shared<HoldingSink>(64, 48);
  qvp::WindowHandle window_ = qvp::RegisterWindow(sink_);
  RegisteredClient rc_;
  DisplayControl& dc_ = rc_.client.display_control;
};

TEST_F(StopViewTest, ReturnsOnlyAfterTheDrawingEnds) {
  auto stop_view = std::async(std::launch::async, [&] { return QVNET_ClientStopView(rc_.Handle()); });
  EXPECT_EQ(stop_view.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
  sink_->Release();
  ASSERT_EQ(stop_view.wait_for(std::chrono::seconds(5)), std::future_status::ready);
  EXPECT_EQ(stop_view.get(), 1);
  EXPECT_FALSE(dc_.drawing);
  EXPECT_EQ(dc_.view, ViewState::kOff);

  // Pictures that come now are dropped; nothing more reaches the window.
  rc_.Feed(1);
  EXPECT_TRUE(qvtest::PollUntil([&] { return rc_.Conduit().GetUsed() == 0; }, 500));
  rc_.display->Stop();
  EXPECT_EQ(sink_->PresentCount(), 1u);
}

// A window whose drawing never ends (a sink that hangs) must not hold the caller for ever: the
// wait is bounded and the call then fails, as the window may still be drawn into.
TEST_F(StopViewTest, GivesUpOnADrawingThatDoesNotEnd) {
  EXPECT_EQ(QVNET_ClientStopView(rc_.Handle()), 0);
  EXPECT_TRUE(dc_.drawing);
  EXPECT_EQ(dc_.view, ViewState::kOff);
}

}  // namespace
}  // namespace qvnet
