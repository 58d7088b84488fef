// The live view against the camera simulator on 127.0.0.1 with the real libQVNetClient.so:
// pictures reach the video area, the stream menu switches streams, full screen and back keep
// the same client, and deleting or modifying the device shown acts on the view.
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QTimer>

#include "nvr/core/engine/strings.h"
#include "nvr/ui/full_screen_view.h"
#include "tests/support/camera_helpers.h"
#include "tests/ui/recorder_fixture.h"
#include "uishared/video_area.h"

namespace recordertest {
namespace {

// True when the picture has a pixel that is not black (the test pattern is colourful).
bool HasColour(const QImage& picture) {
  if (picture.isNull()) return false;
  for (int y = 0; y < picture.height(); y += 7) {
    for (int x = 0; x < picture.width(); x += 7) {
      if ((picture.pixel(x, y) & 0xFFFFFF) > 0x202020) return true;
    }
  }
  return false;
}

size_t Requests(const camsim::Camera& camera, const std::string& method) {
  size_t n = 0;
  for (const camsim::RequestRecord& r : camera.Requests()) n += r.text.rfind(method, 0) == 0 ? 1 : 0;
  return n;
}

class LiveTest : public RecorderWindowTest {
 protected:
  void SetUp() override {
    RecorderWindowTest::SetUp();
    camsim::CameraOptions o = qvtest::SmallCamera();
    o.user = "user";
    o.password = "pass";
    camera_ = qvtest::StartCamera(o);
    Store(Device("A", "127.0.0.1", 0, 0, 0, camera_->Port()));
    Store(Device("B", "127.0.0.1", 1, 0, 0, camera_->Port()));
    ASSERT_TRUE(StartWindow());
  }
  void TearDown() override {
    window_.reset();
    camera_->Stop();
    RecorderWindowTest::TearDown();
  }
  bool PicturesIn(qvui::VideoArea* video) {
    const uint64_t before = video->PresentCount();
    return WaitFor([&] { return video->PresentCount() > before + 2 && HasColour(video->LastPicture()); }, 15000);
  }

  std::unique_ptr<camsim::Camera> camera_;
};

TEST_F(LiveTest, DoubleClickShowsTheDeviceAndTheStreamMenuSwitches) {
  Table()->cellDoubleClicked(0, 1);
  ASSERT_TRUE(window_->Live().Running());
  EXPECT_EQ(window_->Caption(), "A(127.0.0.1 Channel 1)");
  EXPECT_TRUE(PicturesIn(window_->Video()));
  const QList<QAction*> streams = window_->StreamMenu()->actions();
  ASSERT_EQ(streams.size(), 2);
  window_->Video()->customContextMenuRequested(QPoint(10, 10));
  EXPECT_TRUE(streams[0]->isChecked());
  EXPECT_FALSE(streams[1]->isChecked());
  window_->StreamMenu()->hide();

  const size_t describes = Requests(*camera_, "DESCRIBE");
  window_->Invoke(nvrui::kCmdSecondary);
  EXPECT_EQ(window_->Live().Stream(), 1);
  ASSERT_TRUE(WaitFor([&] { return Requests(*camera_, "DESCRIBE") > describes; }));
  bool secondary_path = false;
  for (const camsim::RequestRecord& r : camera_->Requests()) {
    secondary_path |= r.text.rfind("DESCRIBE", 0) == 0 && r.text.find("/4 RTSP") != std::string::npos;
  }
  EXPECT_TRUE(secondary_path);

  Select(0);
  window_->Invoke(nvrui::kCmdDeleteDevice);
  EXPECT_FALSE(window_->Live().Running());
  EXPECT_EQ(window_->Caption(), S(nvr::kStrLiveCaption));
  EXPECT_TRUE(window_->Video()->LastPicture().isNull());
}

TEST_F(LiveTest, FullScreenAndBackKeepTheSameClient) {
  window_->Video()->doubleClicked();  // no live view: nothing opens
  EXPECT_EQ(window_->OpenDialog(), nullptr);
  window_->StartLive(1, 0);
  ASSERT_TRUE(PicturesIn(window_->Video()));
  const QVNET_HANDLE client = window_->Live().Client();
  const size_t describes = Requests(*camera_, "DESCRIBE");
  bool full_pictures = false;
  QRect geometry;
  on_modal = [&](QDialog& d) {
    auto* view = qobject_cast<nvrui::FullScreenView*>(&d);
    if (view == nullptr) return int(QDialog::Rejected);
    view->show();
    geometry = view->geometry();
    full_pictures = PicturesIn(view->Video());
    view->Video()->doubleClicked();
    return view->result();
  };
  window_->Video()->doubleClicked();
  EXPECT_TRUE(full_pictures);
  EXPECT_EQ(geometry, QGuiApplication::primaryScreen()->geometry());
  EXPECT_EQ(window_->Live().Client(), client);
  EXPECT_TRUE(PicturesIn(window_->Video()));
  EXPECT_EQ(Requests(*camera_, "DESCRIBE"), describes);
}

TEST_F(LiveTest, ANewPasswordRestartsTheViewOfADeviceWithoutRecordingClient) {
  window_->StartLive(2, 0);
  ASSERT_TRUE(window_->Live().Running());
  const QVNET_HANDLE before = window_->Live().Client();
  nvr::DeviceRecord same = Device("B", "127.0.0.1", 1, 0, 0, camera_->Port());
  same.name = "B renamed";
  window_->DeviceModified(2, same);
  EXPECT_EQ(window_->Live().Client(), before);  // the name is no connection parameter
  same.password = "other";
  window_->DeviceModified(2, same);
  EXPECT_TRUE(window_->Live().Running());
  EXPECT_NE(window_->Live().Client(), before);
  EXPECT_EQ(window_->Caption(), "B renamed(127.0.0.1 Channel 2)");
  EXPECT_TRUE(lib_.clients.empty());  // no recording client was started
}

TEST_F(LiveTest, ExitStopsTheLiveViewAndEndsFullScreen) {
  window_->StartLive(1, 0);
  ASSERT_TRUE(PicturesIn(window_->Video()));
  on_modal = [&](QDialog& d) {
    if (auto* login = qobject_cast<nvrui::LoginDialog*>(&d)) return AnswerLogin(*login, kPassword);
    QTimer::singleShot(0, window_.get(), [&] { window_->Exit(); });
    return d.exec();
  };
  window_->Video()->doubleClicked();
  EXPECT_EQ(ended_, 1);
  EXPECT_FALSE(window_->Live().Running());
  EXPECT_TRUE(WaitFor([&] { return camera_->PlayingSessions() == 0; }));
}

}  // namespace
}  // namespace recordertest
