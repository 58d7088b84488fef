// The replay window's search, video pane and endpoint: the parts that do not play.
#include <QCoreApplication>
#include <QLabel>
#include <QLayout>
#include <algorithm>
#include <climits>
#include <QProgressBar>
#include <QPushButton>

#include "replay/core/replay_launch.h"
#include "uishared/endpoint_listener.h"
#include "replay/ui/replay_window.h"
#include "replay/ui/result_list.h"
#include "replay/ui/search_panel.h"
#include "replay/ui/search_runner.h"
#include "replay/ui/ui_texts.h"
#include "uishared/video_area.h"
#include "replay/ui/video_pane.h"

namespace replay {
namespace {

int Clamped(size_t n) { return n > static_cast<size_t>(INT_MAX) ? INT_MAX : static_cast<int>(n); }

}  // namespace

void ReplayWindow::ConnectSearch() {
  connect(panel_, &SearchPanel::searchRequested, this, &ReplayWindow::RunSearch);
  connect(panel_->OpenButton(), &QPushButton::clicked, this, &ReplayWindow::OpenFileDialog);
  connect(panel_->StopButton(), &QPushButton::clicked, this, &ReplayWindow::StopPlayback);
  connect(results_, &ResultList::playRequested, this, &ReplayWindow::OpenAndReport);
  connect(runner_, &SearchRunner::rowsFound, this,
          [this](const std::vector<CatalogueRow>& rows) { results_->Model()->AppendRows(rows); });
  connect(runner_, &SearchRunner::progress, this, &ReplayWindow::OnSearchProgress);
  connect(runner_, &SearchRunner::finished, this, &ReplayWindow::OnSearchFinished);
}

void ReplayWindow::RunSearch() {
  SearchCriteria criteria;
  if (!panel_->ReadCriteria(&criteria)) {
    ShowMessage(QCoreApplication::translate("ReplayWindow", "The IP address is not valid."));
    return;
  }
  if (const uint32_t problem = CheckCriteria(criteria)) {
    ShowMessage(Str(problem));
    return;
  }
  if (panel_->Drives().empty()) {
    ShowMessage(QCoreApplication::translate("ReplayWindow",
                                            "No recording drive was found. Check the [DRIVES] section of config.ini."));
    return;
  }
  runner_->Cancel();
  results_->Model()->Clear();
  status_->setText(QCoreApplication::translate("ReplayWindow", "Searching..."));
  progress_->setRange(0, 0);
  progress_->show();
  runner_->Start(criteria, panel_->Drives(), services_.file_times);
}

void ReplayWindow::OnSearchProgress(size_t done, size_t total, size_t files) {
  progress_->setRange(0, Clamped(total));
  progress_->setValue(Clamped(done));
  const int found = Clamped(files);
  status_->setText(QCoreApplication::translate("ReplayWindow", "Searching... %n file(s) found", nullptr, found));
}

void ReplayWindow::OnSearchFinished(size_t files, bool cancelled, const std::vector<char>& missing) {
  progress_->hide();
  const int found = Clamped(files);
  QString text = QCoreApplication::translate("ReplayWindow", "%n file(s) found", nullptr, found);
  if (cancelled) text = QCoreApplication::translate("ReplayWindow", "Search stopped. %1").arg(text);
  if (!missing.empty()) {
    QStringList letters;
    for (const char letter : missing) letters << QStringLiteral("%1:\\").arg(QChar(letter));
    const QString list = letters.join(QStringLiteral(", "));
    text += QStringLiteral(" ") + QCoreApplication::translate("ReplayWindow", "(drive not found: %1)").arg(list);
  }
  status_->setText(text);
  emit searchFinished(files);
}

void ReplayWindow::ShowPane() {
  if (!player_->IsOpen() || pane_->Hosted() != nullptr) return;
  pane_->TakeIn(video_);
  if (player_->IsOpen()) QVNET_ClientRefreshWnd(player_->Handle());
}

void ReplayWindow::TakeVideoBack() {
  QWidget* video = pane_->GiveBack();
  if (video == nullptr) return;
  video_slot_->layout()->addWidget(video);
  video->show();
  show();
  raise();
  if (player_->IsOpen()) QVNET_ClientRefreshWnd(player_->Handle());
}

bool ReplayWindow::ListenOn(const std::string& endpoint) { return listener_->Bind(endpoint); }

void ReplayWindow::OnEndpointMessage(uint32_t msg, uint32_t, int32_t) {
  if (msg == kWmReplayClose) {
    // Only a replay started by the recorder ends when the recorder does.
    if (services_.soft_mode) EndProgram();
    return;
  }
  if (msg == kWmReplayShow) {
    if (pane_->Hosted() != nullptr) TakeVideoBack();
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    show();
    raise();
    activateWindow();
  }
}

}  // namespace replay
