// The replay window playing files through the real libQVNetClient.so: open, stop and the time
// label, a second open, the transport buttons, sound without a device, snapshots, the slider,
// drops and the video pane.
#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QToolButton>
#include <QUrl>
#include <filesystem>

#include "replay/ui/result_list.h"
#include "replay/ui/search_panel.h"
#include "replay/ui/transport_bar.h"
#include "uishared/video_area.h"
#include "replay/ui/video_pane.h"
#include "tests/ui/window_fixture.h"

namespace {

using uitest::WaitFor;

class PlaybackTest : public uitest::WindowTest {
 protected:
  replay::TransportBar& Bar() { return *window_->Transport(); }
  QString Label() { return Bar().TimeLabel()->text(); }
  // The handle is gone once every export refuses it.
  static bool Released(QVNET_HANDLE h) { return h != 0 && QVNET_ReplayPause(h) == 0 && QVNET_ReplayTotalTime(h) == 0; }
  bool WaitForPicture() {
    return WaitFor([&] { return !window_->Video()->LastPicture().isNull(); });
  }
  void Drop(const QList<QUrl>& urls) {
    QMimeData data;
    data.setUrls(urls);
    // As a drag arrives: entering first, then the drop.
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window_->Video(), &enter);
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window_->Video(), &drop);
  }
};

TEST_F(PlaybackTest, OpenPlaysAndStopCloses) {
  const std::string path = Recording("a.h264");
  ASSERT_TRUE(window_->OpenAndReport(QString::fromStdString(path)));
  replay::Player& player = window_->GetPlayer();
  const QVNET_HANDLE h = player.Handle();
  const uint32_t total = player.Total();
  ASSERT_GE(total, 6u);
  EXPECT_EQ(Label(), QString::asprintf("00:00/00:%02u", total));
  EXPECT_EQ(Bar().Slider()->maximum(), static_cast<int>(total));
  EXPECT_EQ(Bar().PathLabel()->toolTip(), QString::fromStdString(path));
  EXPECT_FALSE(player.SoundOn());
  ASSERT_TRUE(WaitForPicture());
  // The position timer moves the label and the slider on.
  ASSERT_TRUE(WaitFor([&] { return !Label().startsWith(QStringLiteral("00:00")); }));
  EXPECT_GE(Bar().Slider()->value(), 1);

  QTest::mouseClick(window_->Panel()->StopButton(), Qt::LeftButton);
  EXPECT_EQ(Label(), QStringLiteral("00:00/00:00"));
  EXPECT_EQ(Bar().Slider()->value(), 0);
  EXPECT_FALSE(player.IsOpen());
  EXPECT_TRUE(Released(h));
  EXPECT_TRUE(window_->Video()->LastPicture().isNull());
  EXPECT_TRUE(messages_.empty());
}

TEST_F(PlaybackTest, ASecondOpenClosesTheFirstAndFailuresLeaveNoFile) {
  const std::string a = Recording("a.h264");
  const std::string b = Recording("b.h264");
  const std::string text = home_.File("notes.txt");
  std::ofstream(text) << "not a recording at all, long enough to be read as one";
  const std::string truncated = home_.File("cut.h264");
  std::filesystem::copy_file(a, truncated);
  std::filesystem::resize_file(truncated, 20);
  // A recording that never stopped: no index, cut inside a record. The library rebuilds the
  // index by scanning and plays what is whole.
  const std::string unfinished = home_.File("unfinished.h264");
  {
    const std::vector<qvtest::Bytes> units = qvtest::H264Pictures(24);
    qvtest::Bytes bytes = qvtest::H264Recording(units, 5000, false, false, 400).Finish(false);
    bytes.resize(bytes.size() - 7);
    qvtest::WriteFile(unfinished, bytes);
  }

  replay::Player& player = window_->GetPlayer();
  ASSERT_TRUE(window_->OpenAndReport(QString::fromStdString(a)));
  const QVNET_HANDLE first = player.Handle();
  ASSERT_TRUE(window_->OpenAndReport(QString::fromStdString(b)));
  EXPECT_TRUE(Released(first));
  EXPECT_EQ(player.Path(), QString::fromStdString(b));
  const QVNET_HANDLE second = player.Handle();

  for (const std::string& bad : {text, truncated, home_.File("missing.h264")}) {
    messages_.clear();
    EXPECT_FALSE(window_->OpenAndReport(QString::fromStdString(bad))) << bad;
    EXPECT_EQ(messages_, std::vector<QString>{QStringLiteral("Play Failed")}) << bad;
    EXPECT_FALSE(player.IsOpen());
    EXPECT_EQ(Label(), QStringLiteral("00:00/00:00"));
  }
  EXPECT_TRUE(Released(second));

  ASSERT_TRUE(window_->OpenAndReport(QString::fromStdString(unfinished)));
  EXPECT_GE(player.Total(), 6u);
  EXPECT_TRUE(WaitForPicture());
}

TEST_F(PlaybackTest, TransportSoundAndSnapshots) {
  QTest::mouseClick(Bar().SnapshotButton(), Qt::LeftButton);  // no file: nothing
  QTest::mouseClick(Bar().SoundButton(), Qt::LeftButton);
  EXPECT_TRUE(messages_.empty());
  EXPECT_FALSE(std::filesystem::exists(home_.File("ReplayShot")));

  ASSERT_TRUE(window_->OpenAndReport(QString::fromStdString(Recording("a.h264"))));
  replay::Player& player = window_->GetPlayer();
  ASSERT_TRUE(WaitForPicture());
  QTest::mouseClick(Bar().PauseButton(), Qt::LeftButton);
  EXPECT_TRUE(player.UserPaused());
  QTest::mouseClick(Bar().ContinueButton(), Qt::LeftButton);
  EXPECT_FALSE(player.UserPaused());

  // No sound device in the tests: turning sound on fails and nothing changes.
  QTest::mouseClick(Bar().SoundButton(), Qt::LeftButton);
  EXPECT_EQ(messages_, std::vector<QString>{QStringLiteral("Open Audio Failed")});
  EXPECT_FALSE(player.SoundOn());

  // The display writes a snapshot with its next picture and keeps one request at a time:
  // the second is asked for once the first is written.
  const std::string folder = home_.File("ReplayShot");
  std::vector<std::string> shots;
  const auto written = [&](size_t count) {
    shots.clear();
    for (const auto& e : std::filesystem::directory_iterator(folder)) {
      if (std::filesystem::file_size(e.path()) > 2) shots.push_back(e.path().string());
    }
    return shots.size() == count;
  };
  QTest::mouseClick(Bar().SnapshotButton(), Qt::LeftButton);
  ASSERT_TRUE(WaitFor([&] { return written(1); }));
  QTest::mouseClick(Bar().SnapshotButton(), Qt::LeftButton);
  ASSERT_TRUE(WaitFor([&] { return written(2); }));
  for (const std::string& shot : shots) {
    std::ifstream in(shot, std::ios::binary);
    unsigned char soi[2] = {};
    in.read(reinterpret_cast<char*>(soi), 2);
    EXPECT_EQ(soi[0], 0xFF);
    EXPECT_EQ(soi[1], 0xD8);
    EXPECT_EQ(shot.rfind(folder + "/ReplayShot_", 0), 0u);
  }
  EXPECT_EQ(opened_folders_, std::vector<std::string>{folder});  // once, at the first
  EXPECT_EQ(messages_.size(), 1u);
}

TEST_F(PlaybackTest, SliderDragKeyboardAndANewFileAfterAPause) {
  ASSERT_TRUE(window_->OpenAndReport(QString::fromStdString(Recording("a.h264", 40))));
  replay::Player& player = window_->GetPlayer();
  qvui::VideoArea* video = window_->Video();
  QSlider* slider = Bar().Slider();
  ASSERT_TRUE(WaitForPicture());
  QTest::mouseClick(Bar().PauseButton(), Qt::LeftButton);

  // A drag pauses and seeks as it moves; since the user paused, playback stays paused after
  // the release: one picture of the new place, then nothing more.
  slider->setSliderDown(true);
  EXPECT_TRUE(player.Dragging());
  const uint64_t before_seek = video->PresentCount();
  slider->setSliderPosition(8);
  EXPECT_EQ(Label().left(5), QStringLiteral("00:08"));
  slider->setSliderDown(false);
  EXPECT_FALSE(player.Dragging());
  ASSERT_TRUE(WaitFor([&] { return video->PresentCount() > before_seek; }));
  QTest::qWait(3 * replay::Player::kPositionTimerMs);
  const uint64_t shown = video->PresentCount();
  QTest::qWait(3 * replay::Player::kPositionTimerMs);
  EXPECT_EQ(video->PresentCount(), shown);

  // Keyboard and page moves seek at once and never leave the slider frozen.
  slider->triggerAction(QAbstractSlider::SliderPageStepSub);
  EXPECT_FALSE(player.Dragging());
  EXPECT_EQ(Label().left(5), QString::asprintf("00:%02d", slider->sliderPosition()));
  QTest::mouseClick(Bar().ContinueButton(), Qt::LeftButton);
  ASSERT_TRUE(WaitFor([&] { return video->PresentCount() > shown + 2; }));

  // A pause does not carry over to the next file: it plays after a drag.
  QTest::mouseClick(Bar().PauseButton(), Qt::LeftButton);
  ASSERT_TRUE(window_->OpenAndReport(QString::fromStdString(Recording("b.h264"))));
  EXPECT_FALSE(player.UserPaused());
  slider->setSliderDown(true);
  slider->setSliderDown(false);
  const uint64_t resumed = video->PresentCount();
  ASSERT_TRUE(WaitFor([&] { return video->PresentCount() > resumed + 2; }));
}

TEST_F(PlaybackTest, KeysAndAFileDeletedWhilePlaying) {
  const std::string path = Recording("a.h264", 40);
  ASSERT_TRUE(window_->OpenAndReport(QString::fromStdString(path)));
  replay::Player& player = window_->GetPlayer();
  const QVNET_HANDLE h = player.Handle();
  qvui::VideoArea* video = window_->Video();
  video->setFocus();
  QTest::keyClick(video, Qt::Key_Space);
  EXPECT_TRUE(player.UserPaused());
  QTest::keyClick(video, Qt::Key_Space);
  EXPECT_FALSE(player.UserPaused());
  // The library's position is where its reader is, which may be ahead of the picture: the
  // seeks land 10 s from there, within the file.
  const auto shown_s = [&] { return Label().section(QLatin1Char('/'), 0, 0).section(QLatin1Char(':'), 1).toInt(); };
  ASSERT_GE(player.Total(), 14u);
  QTest::keyClick(video, Qt::Key_Right);
  EXPECT_GE(shown_s(), 10);
  QTest::keyClick(video, Qt::Key_Left);
  EXPECT_LE(shown_s(), static_cast<int>(player.Total()) - 10);
  // Four steps up reach the fastest speed; eight down the slowest.
  for (int i = 0; i < 4; ++i) QTest::keyClick(video, Qt::Key_Plus);
  EXPECT_EQ(QVNET_SpeedFast(h), 0);
  for (int i = 0; i < 8; ++i) QTest::keyClick(video, Qt::Key_Minus);
  EXPECT_EQ(QVNET_SpeedSlow(h), 0);
  QVNET_SpeedNormal(h);

  // The file goes while it plays: playback goes on from what is open, Escape still ends
  // cleanly with the file closed.
  std::filesystem::remove(path);
  const uint64_t shown = video->PresentCount();
  ASSERT_TRUE(WaitFor([&] { return video->PresentCount() > shown + 1; }));
  bool ended = false;
  QObject::connect(window_.get(), &replay::ReplayWindow::ended, [&] { ended = true; });
  QTest::keyClick(video, Qt::Key_Escape);
  EXPECT_TRUE(ended);
  EXPECT_TRUE(Released(h));
  EXPECT_FALSE(window_->isVisible());
}

TEST_F(PlaybackTest, AFileWithoutLengthAndDrops) {
  const std::string single = home_.File("one.h264");
  uitest::WriteRecording(single, 2);  // one key picture: no length
  const std::string b = Recording("b.h264");
  Drop({QUrl::fromLocalFile(QString::fromStdString(single)), QUrl::fromLocalFile(QString::fromStdString(b)),
        QUrl::fromLocalFile(QStringLiteral("/nonexistent.h264"))});
  replay::Player& player = window_->GetPlayer();
  ASSERT_TRUE(player.IsOpen()) << messages_.size() << " " << std::filesystem::file_size(single);
  EXPECT_EQ(Label(), QStringLiteral("00:00/00:00"));
  EXPECT_EQ(Bar().Slider()->maximum(), 0);
  Drop({QUrl::fromLocalFile(QStringLiteral("/nonexistent.h264"))});
  EXPECT_EQ(messages_, std::vector<QString>{QStringLiteral("Play Failed")});
  EXPECT_FALSE(player.IsOpen());
}

TEST_F(PlaybackTest, ThePaneTakesThePictureAndGivesItBack) {
  qvui::VideoArea* video = window_->Video();
  replay::VideoPane* pane = window_->Pane();
  QWidget* slot = video->parentWidget();
  QTest::mouseDClick(video, Qt::LeftButton);
  EXPECT_FALSE(pane->isVisible());  // no file open

  ASSERT_TRUE(window_->OpenAndReport(QString::fromStdString(Recording("a.h264"))));
  QTest::mouseDClick(video, Qt::LeftButton);
  ASSERT_TRUE(WaitFor([&] { return pane->isVisible(); }));
  EXPECT_TRUE(pane->windowState() & Qt::WindowMaximized);
  EXPECT_EQ(video->parentWidget(), pane);
  ASSERT_TRUE(WaitFor([&] { return video->SinkSize() == pane->size(); }));
  pane->showNormal();
  pane->resize(400, 300);
  ASSERT_TRUE(WaitFor([&] { return video->SinkSize() == QSize(400, 300); }));
  // The library draws at the new size.
  ASSERT_TRUE(WaitFor([&] { return video->LastPicture().size() == QSize(400, 300); }));

  pane->close();
  EXPECT_FALSE(pane->isVisible());
  EXPECT_EQ(video->parentWidget(), slot);
  ASSERT_TRUE(WaitFor([&] { return video->SinkSize() == video->size(); }));

  QTest::mouseDClick(video, Qt::LeftButton);
  ASSERT_TRUE(WaitFor([&] { return pane->isVisible(); }));
  QTest::mouseDClick(video, Qt::LeftButton);  // a double click in the pane gives it back too
  EXPECT_FALSE(pane->isVisible());
  EXPECT_EQ(video->parentWidget(), slot);
}

}  // namespace
