#include "replay/ui/replay_window.h"

#include <QCoreApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QSlider>
#include <QSplitter>
#include <QToolButton>
#include <QVBoxLayout>

#include "nvr/core/store/drives.h"
#include "replay/ui/export_dialog.h"
#include "uishared/endpoint_listener.h"
#include "replay/ui/icon_art.h"
#include "replay/ui/marked_slider.h"
#include "replay/ui/result_list.h"
#include "replay/ui/search_panel.h"
#include "replay/ui/search_runner.h"
#include "replay/ui/transport_bar.h"
#include "replay/ui/ui_texts.h"
#include "uishared/video_area.h"
#include "replay/ui/video_pane.h"

namespace replay {
namespace {

constexpr int kSeekStepS = 10;
constexpr int kMaxDialogPath = 1023;

}  // namespace

std::vector<Drive> ConfiguredDrives(const std::string& home) {
  const nvr::DriveMap map = nvr::DriveMap::FromConfig(home);
  std::vector<Drive> drives;
  for (const char letter : map.FixedDrives()) drives.push_back({letter, map.Root(letter).value_or("")});
  return drives;
}

ReplayWindow::ReplayWindow(ReplayServices services, QWidget* parent)
    : QWidget(parent), services_(std::move(services)) {
  setObjectName(QStringLiteral("replayWindow_102"));
  setWindowTitle(QStringLiteral(" QV_NVR Replay"));
  setWindowIcon(MakeIcon(IconKind::kProgram));
  player_ = new Player(services_.program_folder, services_.open_folder, this);
  runner_ = new SearchRunner(this);
  listener_ = new EndpointListener(this);
  pane_ = new VideoPane(nullptr);
  BuildLayout();
  ConnectTransport();
  ConnectSearch();
  AddShortcuts(video_slot_->parentWidget());
  AddShortcuts(results_);
  AddEscape();
  connect(pane_, &VideoPane::closeRequested, this, &ReplayWindow::TakeVideoBack);
  connect(listener_, &EndpointListener::message, this, &ReplayWindow::OnEndpointMessage);
  resize(1180, 760);
  video_->setFocus();
}

ReplayWindow::~ReplayWindow() {
  runner_->Cancel();
  player_->Close();
  TakeVideoBack();
  delete pane_;
}

void ReplayWindow::BuildLayout() {
  auto* left = new QWidget(this);
  video_slot_ = new QWidget(left);
  video_slot_->setObjectName(QStringLiteral("videoSlot"));
  // Black where the video area was while the pane has it.
  QPalette black = video_slot_->palette();
  black.setColor(QPalette::Window, Qt::black);
  video_slot_->setPalette(black);
  video_slot_->setAutoFillBackground(true);
  auto* slot_layout = new QVBoxLayout(video_slot_);
  slot_layout->setContentsMargins(0, 0, 0, 0);
  video_ = new VideoArea(video_slot_);
  video_->setObjectName(QStringLiteral("videoArea_1001"));
  // Files dropped on the picture are played.
  video_->setAcceptDrops(true);
  slot_layout->addWidget(video_);
  transport_ = new TransportBar(left);
  auto* left_layout = new QVBoxLayout(left);
  left_layout->setContentsMargins(0, 0, 0, 0);
  left_layout->addWidget(video_slot_, 1);
  left_layout->addWidget(transport_);

  panel_ = new SearchPanel(services_.drives, this);
  auto* top = new QHBoxLayout;
  top->addWidget(left, 1);
  top->addWidget(panel_);

  results_ = new ResultList(this);
  status_ = new QLabel(this);
  status_->setObjectName(QStringLiteral("searchStatus"));
  progress_ = new QProgressBar(this);
  progress_->setObjectName(QStringLiteral("searchProgress"));
  progress_->setMaximumWidth(220);
  progress_->hide();
  auto* status_row = new QHBoxLayout;
  status_row->addWidget(status_, 1);
  status_row->addWidget(progress_);
  auto* bottom = new QWidget(this);
  auto* bottom_layout = new QVBoxLayout(bottom);
  bottom_layout->setContentsMargins(0, 0, 0, 0);
  bottom_layout->addWidget(results_, 1);
  bottom_layout->addLayout(status_row);

  auto* top_widget = new QWidget(this);
  top_widget->setLayout(top);
  auto* splitter = new QSplitter(Qt::Vertical, this);
  splitter->addWidget(top_widget);
  splitter->addWidget(bottom);
  splitter->setStretchFactor(0, 3);
  splitter->setStretchFactor(1, 2);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(splitter);
}

void ReplayWindow::ConnectTransport() {
  TransportBar* t = transport_;
  Player* p = player_;
  connect(t->ContinueButton(), &QToolButton::clicked, p, &Player::Continue);
  connect(t->PauseButton(), &QToolButton::clicked, p, &Player::Pause);
  connect(t->SlowButton(), &QToolButton::clicked, p, &Player::Slow);
  connect(t->FastButton(), &QToolButton::clicked, p, &Player::Fast);
  connect(t->StepButton(), &QToolButton::clicked, p, &Player::Step);
  connect(t->SoundButton(), &QToolButton::clicked, this, &ReplayWindow::ToggleSound);
  connect(t->SnapshotButton(), &QToolButton::clicked, this, &ReplayWindow::Snapshot);
  connect(t->MarkStartButton(), &QToolButton::clicked, this, [this] { MarkPosition(true); });
  connect(t->MarkEndButton(), &QToolButton::clicked, this, [this] { MarkPosition(false); });
  connect(t->ExportButton(), &QToolButton::clicked, this, &ReplayWindow::OpenExportDialog);
  QSlider* slider = t->Slider();
  connect(slider, &QSlider::sliderPressed, p, &Player::BeginDrag);
  connect(slider, &QSlider::sliderMoved, p, &Player::DragTo);
  connect(slider, &QSlider::sliderReleased, p, &Player::EndDrag);
  // Keyboard, wheel and clicks on the groove seek at once without entering a drag.
  connect(slider, &QSlider::actionTriggered, this, [this, slider](int action) {
    if (action != QAbstractSlider::SliderMove && !slider->isSliderDown()) player_->SeekTo(slider->sliderPosition());
  });
  connect(p, &Player::positionChanged, this, [this](uint32_t pos, uint32_t total) {
    transport_->ShowPosition(pos, total, !player_->Dragging());
  });
  connect(p, &Player::soundChanged, t, &TransportBar::ShowSound);
  connect(p, &Player::opened, this, [this](const QString& path) {
    marks_ = SliderMarks{};  // marks belong to the file they were set on
    transport_->Marked()->SetMarks(marks_);
    transport_->ShowPath(path);
    results_->Model()->SetPlayingPath(path);
  });
  connect(p, &Player::closed, this, [this] {
    marks_ = SliderMarks{};
    transport_->Marked()->SetMarks(marks_);
    transport_->ShowPath(QString());
    results_->Model()->SetPlayingPath(QString());
    video_->Clear();
  });
  connect(video_, &VideoArea::doubleClicked, this, [this] {
    if (pane_->Hosted() != nullptr) {
      TakeVideoBack();
    } else {
      ShowPane();
    }
  });
  connect(video_, &VideoArea::fileDropped, this, &ReplayWindow::OpenAndReport);
  connect(video_, &VideoArea::resized, this, [this] {
    if (player_->IsOpen()) QVNET_ClientRefreshWnd(player_->Handle());
  });
}

void ReplayWindow::AddShortcuts(QWidget* scope) {
  const auto add = [this, scope](const QKeySequence& keys, auto&& action) {
    auto* s = new QShortcut(keys, scope);
    s->setContext(Qt::WidgetWithChildrenShortcut);
    connect(s, &QShortcut::activated, this, action);
  };
  add(QKeySequence(Qt::Key_Space), [this] { player_->TogglePause(); });
  add(QKeySequence(Qt::Key_Left), [this] { player_->SeekBy(-kSeekStepS); });
  add(QKeySequence(Qt::Key_Right), [this] { player_->SeekBy(kSeekStepS); });
  add(QKeySequence(Qt::SHIFT | Qt::Key_Right), [this] { player_->Step(); });
  add(QKeySequence(Qt::Key_Period), [this] { player_->Step(); });
  add(QKeySequence(Qt::Key_Plus), [this] { player_->Fast(); });
  add(QKeySequence(Qt::Key_Equal), [this] { player_->Fast(); });
  add(QKeySequence(Qt::Key_Minus), [this] { player_->Slow(); });
  add(QKeySequence(Qt::Key_BracketLeft), [this] { MarkPosition(true); });
  add(QKeySequence(Qt::Key_BracketRight), [this] { MarkPosition(false); });
}

void ReplayWindow::AddEscape() {
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  escape->setContext(Qt::WindowShortcut);
  connect(escape, &QShortcut::activated, this, &ReplayWindow::EndProgram);
}

void ReplayWindow::ShowMessage(const QString& text) {
  if (services_.show_message) {
    services_.show_message(text);
    return;
  }
  QMessageBox::warning(this, QStringLiteral("QV_NVR Replay"), text);
}

bool ReplayWindow::OpenAndReport(const QString& path) {
  video_->update();
  if (player_->Open(path, video_->Handle())) return true;
  ShowMessage(Str(kStrPlayFailed));
  return false;
}

void ReplayWindow::OpenFileDialog() {
  QFileDialog dialog(this, QCoreApplication::translate("ReplayWindow", "Open File"));
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilters({QCoreApplication::translate("ReplayWindow", "Recordings (*.h264 *.H264)"), QCoreApplication::translate("ReplayWindow", "All files (*)")});
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  const QString path = dialog.selectedFiles().first();
  if (path.size() > kMaxDialogPath) {
    ShowMessage(Str(kStrPlayFailed));
    return;
  }
  OpenAndReport(path);
}

void ReplayWindow::StopPlayback() {
  player_->Close();
  transport_->Slider()->setValue(0);
  update();
}

void ReplayWindow::ToggleSound() {
  if (const uint32_t failure = player_->ToggleSound()) ShowMessage(Str(failure));
}

void ReplayWindow::Snapshot() {
  bool failed = false;
  const std::string path = player_->Snapshot(&failed);
  if (failed) ShowMessage(QCoreApplication::translate("ReplayWindow", "The snapshot could not be saved: %1").arg(QString::fromStdString(path)));
}

ExportDialog* ReplayWindow::CurrentExport() const { return export_dialog_.data(); }

void ReplayWindow::MarkPosition(bool start) {
  if (!player_->IsOpen()) return;
  (start ? marks_.start : marks_.end) = player_->Position();
  transport_->Marked()->SetMarks(marks_);
}

void ReplayWindow::OpenExportDialog() {
  if (!player_->IsOpen()) {
    ShowMessage(QCoreApplication::translate("ReplayWindow", "Open a recording first: Export copies the file that plays."));
    return;
  }
  if (export_dialog_ != nullptr) delete export_dialog_;
  export_dialog_ = new ExportDialog(player_->Path(), MarkedPart(marks_, player_->Total()), this);
  export_dialog_->setAttribute(Qt::WA_DeleteOnClose);
  export_dialog_->show();
}

void ReplayWindow::EndProgram() {
  if (ending_) return;
  ending_ = true;
  runner_->Cancel();
  player_->Close();
  TakeVideoBack();
  close();
  emit ended();
}

void ReplayWindow::closeEvent(QCloseEvent* event) {
  if (!ending_) {
    EndProgram();
    return;
  }
  QWidget::closeEvent(event);
}

}  // namespace replay
