// The replay window's search panel, result list and endpoint: a search over a generated
// archive, the checks before it, sorting, playing from the list, the Chinese texts, and the
// recorder's close and show messages.
#include <QComboBox>
#include <QDateEdit>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include "nvr/core/engine/exit_restore.h"
#include "replay/core/replay_launch.h"
#include "uishared/endpoint_listener.h"
#include "replay/ui/result_list.h"
#include "replay/ui/search_panel.h"
#include "replay/ui/search_runner.h"
#include "replay/ui/transport_bar.h"
#include "tests/ui/window_fixture.h"

namespace {

using replay::FileType;
using uitest::Today;
using uitest::WaitFor;

class SearchUiTest : public uitest::WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    // Today's recordings on C (normal and alarm) and D; the default search shows C's only.
    b_ = archive_.Add('C', FileType::kNormal, "b-cam", "192.168.1.10", Today(9));
    a_ = archive_.Add('C', FileType::kNormal, "a-cam", "192.168.1.100", Today(10), 2);
    c_ = archive_.Add('C', FileType::kAlarm, "c-cam", "192.168.1.10", Today(8));
    archive_.Add('D', FileType::kNormal, "d-cam", "192.168.1.12", Today(11));
  }
  replay::ResultModel& Model() { return *window_->Results()->Model(); }
  QString Cell(int row, int column) { return Model().Row(row)[static_cast<size_t>(column)]; }
  template <typename T>
  T* Find(const char* name) {
    return window_->findChild<T*>(QLatin1String(name));
  }
  // Clicks Search (or presses Enter in `in`) and waits for the search to end.
  bool Search(QWidget* enter_in = nullptr) {
    bool done = false;
    const auto c = QObject::connect(window_.get(), &replay::ReplayWindow::searchFinished, [&] { done = true; });
    if (enter_in != nullptr) {
      QTest::keyClick(enter_in, Qt::Key_Return);
    } else {
      QTest::mouseClick(window_->Panel()->SearchButton(), Qt::LeftButton);
    }
    const bool ended = WaitFor([&] { return done; });
    QObject::disconnect(c);
    return ended;
  }
  std::vector<QString> Column(int column) {
    std::vector<QString> out;
    for (int r = 0; r < Model().rowCount(); ++r) out.push_back(Cell(r, column));
    return out;
  }
  void ClickHeader(int column) {
    QHeaderView* header = window_->Results()->horizontalHeader();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(column) + 5, header->height() / 2));
  }

  std::string a_, b_, c_;
};

TEST_F(SearchUiTest, DefaultsListTheFirstDrivesRecordingsOfToday) {
  ASSERT_TRUE(Search());
  ASSERT_EQ(Model().rowCount(), 3);
  EXPECT_EQ(Column(replay::kColFileName),
            (std::vector<QString>{QString::fromStdString(a_), QString::fromStdString(b_), QString::fromStdString(c_)}));
  EXPECT_EQ(Column(replay::kColIndex), (std::vector<QString>{"1", "2", "3"}));
  EXPECT_EQ(Column(replay::kColType), (std::vector<QString>{"Normal", "Normal", "Alarm"}));
  EXPECT_EQ(Column(replay::kColChannel), (std::vector<QString>{"2", "1", "1"}));
  std::tm nine = Today(9);
  EXPECT_EQ(Cell(1, replay::kColStartTime), QString::fromStdString(replay::FormatFileTime(mktime(&nine))));
  EXPECT_EQ(window_->SearchStatus()->text(), QStringLiteral("3 file(s) found"));
  EXPECT_EQ(Model().headerData(replay::kColFileName, Qt::Horizontal, Qt::DisplayRole).toString(), "File Name");
  EXPECT_EQ(Model().data(Model().index(0, 1), Qt::BackgroundRole).value<QColor>(), QColor(223, 255, 240));
  EXPECT_FALSE(Model().data(Model().index(1, 1), Qt::BackgroundRole).isValid());

  // By address (Enter in the entry searches), the whole range of drives, normal only.
  auto* by = Find<QComboBox>("searchBy_1008");
  by->setCurrentIndex(1);
  EXPECT_FALSE(Find<QLineEdit>("deviceName_1031")->isVisible());
  EXPECT_TRUE(Find<QLineEdit>("ipAddress_1012")->isVisible());
  EXPECT_EQ(Find<QLabel>("deviceLabel_1010")->text(), "IP Address");
  Find<QLineEdit>("ipAddress_1012")->setText("192.168.1.10");
  Find<QComboBox>("endDrive_1015")->setCurrentIndex(1);
  Find<QComboBox>("fileType_1016")->setCurrentIndex(1);
  ASSERT_TRUE(Search(Find<QLineEdit>("ipAddress_1012")));
  EXPECT_EQ(Column(replay::kColFileName), (std::vector<QString>{QString::fromStdString(b_)}));
}

TEST_F(SearchUiTest, ChecksKeepTheOldRows) {
  ASSERT_TRUE(Search());
  Find<QComboBox>("startDrive_1014")->setCurrentIndex(1);
  Find<QComboBox>("endDrive_1015")->setCurrentIndex(0);
  QTest::mouseClick(window_->Panel()->SearchButton(), Qt::LeftButton);
  EXPECT_EQ(messages_, std::vector<QString>{"End drive should not be after start drive."});
  Find<QComboBox>("startDrive_1014")->setCurrentIndex(0);
  Find<QDateEdit>("endDate_1004")->setDate(QDate::currentDate().addDays(-1));
  QTest::mouseClick(window_->Panel()->SearchButton(), Qt::LeftButton);
  EXPECT_EQ(messages_.back(), "End time should be after start time.");
  EXPECT_EQ(Model().rowCount(), 3);
  EXPECT_FALSE(window_->Runner()->Running());
}

TEST_F(SearchUiTest, SortingRenumbersAndPlayingHighlightsTheRow) {
  ASSERT_TRUE(Search());
  ClickHeader(replay::kColFileName);
  EXPECT_EQ(Column(replay::kColFileName),
            (std::vector<QString>{QString::fromStdString(c_), QString::fromStdString(a_), QString::fromStdString(b_)}));
  EXPECT_EQ(Column(replay::kColIndex), (std::vector<QString>{"1", "2", "3"}));
  ClickHeader(replay::kColFileName);
  EXPECT_EQ(Column(replay::kColFileName),
            (std::vector<QString>{QString::fromStdString(b_), QString::fromStdString(a_), QString::fromStdString(c_)}));
  EXPECT_EQ(Column(replay::kColIndex), (std::vector<QString>{"1", "2", "3"}));
  ClickHeader(replay::kColIndex);  // never sorts
  EXPECT_EQ(Cell(0, replay::kColFileName), QString::fromStdString(b_));
  QHeaderView* header = window_->Results()->horizontalHeader();
  EXPECT_EQ(header->sortIndicatorSection(), replay::kColFileName);
  EXPECT_EQ(header->sortIndicatorOrder(), Qt::DescendingOrder);
  ClickHeader(replay::kColStartTime);  // time texts sort in time order
  EXPECT_EQ(Cell(0, replay::kColFileName), QString::fromStdString(c_));

  // A double click plays the row's file; the row stands out while it plays. The files are not
  // recordings: "Play Failed".
  const std::string playable = home_.File("p.h264");
  uitest::WriteRecording(playable, 8);
  std::filesystem::copy_file(playable, a_, std::filesystem::copy_options::overwrite_existing);
  QTableView* list = window_->Results();
  const auto double_click = [&](int row) {
    const QRect cell = list->visualRect(Model().index(row, replay::kColFileName));
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, cell.center());
  };
  double_click(2);  // a_, the latest, after the time sort
  ASSERT_TRUE(window_->GetPlayer().IsOpen());
  EXPECT_EQ(window_->GetPlayer().Path(), QString::fromStdString(a_));
  EXPECT_TRUE(Model().data(Model().index(2, 0), Qt::FontRole).value<QFont>().bold());
  EXPECT_FALSE(Model().data(Model().index(1, 0), Qt::FontRole).isValid());
  double_click(0);
  EXPECT_EQ(messages_, std::vector<QString>{"Play Failed"});
  EXPECT_FALSE(window_->GetPlayer().IsOpen());

  // A new search starts from an unsorted list; the header keeps its mark.
  ASSERT_TRUE(Search());
  EXPECT_EQ(Cell(0, replay::kColFileName), QString::fromStdString(a_));
  EXPECT_EQ(header->sortIndicatorSection(), replay::kColStartTime);
}

TEST_F(SearchUiTest, ChineseTexts) {
  window_.reset();
  replay::InstallTranslation(replay::Language::kChinese);
  Build(false);
  EXPECT_EQ(window_->Transport()->FastButton()->toolTip(), QStringLiteral("快进"));
  EXPECT_EQ(window_->Panel()->SearchButton()->text(), QStringLiteral("搜索"));
  EXPECT_EQ(Find<QComboBox>("fileType_1016")->itemText(0), QStringLiteral("所有"));
  EXPECT_EQ(Find<QComboBox>("searchBy_1008")->itemText(1), QStringLiteral("指定IP"));
  ASSERT_TRUE(Search());
  EXPECT_EQ(Cell(2, replay::kColType), QStringLiteral("报警"));
  EXPECT_EQ(Model().headerData(replay::kColFileName, Qt::Horizontal, Qt::DisplayRole).toString(),
            QStringLiteral("文件名"));
  EXPECT_EQ(window_->SearchStatus()->text(), QStringLiteral("找到 3 个文件"));
  window_.reset();
  replay::InstallTranslation(replay::Language::kEnglish);
}

TEST_F(SearchUiTest, SoftModeEndsOnTheRecordersCloseWithTheFileClosed) {
  Build(true);
  ASSERT_TRUE(window_->ListenOn(replay::kReplayEndpoint));
  uitest::WriteRecording(home_.File("x.h264"), 8);
  ASSERT_TRUE(window_->OpenAndReport(QString::fromStdString(home_.File("x.h264"))));
  const QVNET_HANDLE h = window_->GetPlayer().Handle();
  bool ended = false;
  QObject::connect(window_.get(), &replay::ReplayWindow::ended, [&] { ended = true; });
  nvr::PostReplayClose(replay::kReplayEndpoint);  // what the recorder's exit sends
  ASSERT_TRUE(WaitFor([&] { return ended; }));
  EXPECT_FALSE(window_->isVisible());
  EXPECT_EQ(QVNET_ReplayTotalTime(h), 0u);
  EXPECT_EQ(QVNET_ReplayPause(h), 0);  // closed before the library is cleaned up
}

TEST_F(SearchUiTest, WithoutSoftModeTheCloseIsIgnoredAndShowComesToTheFront) {
  ASSERT_TRUE(window_->ListenOn(replay::kReplayEndpoint));
  bool ended = false;
  QObject::connect(window_.get(), &replay::ReplayWindow::ended, [&] { ended = true; });
  nvr::PostReplayClose(replay::kReplayEndpoint);
  ASSERT_TRUE(WaitFor([&] { return window_->Listener()->Received() == 1; }));
  QApplication::processEvents();
  EXPECT_FALSE(ended);
  EXPECT_TRUE(window_->isVisible());

  // The recorder's Replay command while this program runs: no second program, this window
  // comes to the front.
  window_->showMinimized();
  ASSERT_TRUE(WaitFor([&] { return window_->isMinimized(); }));
  int started = 0;
  EXPECT_TRUE(replay::StartOrRaiseReplay("/nowhere", [&](const std::string&, const std::vector<std::string>&) {
    ++started;
    return 0;
  }));
  ASSERT_TRUE(WaitFor([&] { return window_->Listener()->Received() == 2; }));
  EXPECT_EQ(started, 0);
  EXPECT_FALSE(window_->isMinimized());
  EXPECT_TRUE(window_->isVisible());

  // A second replay program cannot take the endpoint; with none, the command starts one.
  qvui::EndpointListener second;
  EXPECT_FALSE(second.Bind(replay::kReplayEndpoint));
  window_.reset();
  std::vector<std::string> args;
  std::string program;
  EXPECT_FALSE(replay::StartOrRaiseReplay("/opt/qv", [&](const std::string& p, const std::vector<std::string>& a) {
    program = p;
    args = a;
    return 0;
  }));
  EXPECT_EQ(program, "/opt/qv/QV_NVR_Replay");
  EXPECT_EQ(args, std::vector<std::string>{"-soft"});
}

}  // namespace
