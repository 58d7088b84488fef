#include "replay/ui/export_dialog.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace replay {
namespace {

QString Tr(const char* text) { return QCoreApplication::translate("ExportDialog", text); }

QString Clock(uint32_t s) {
  return QStringLiteral("%1:%2").arg(s / 60, 2, 10, QLatin1Char('0')).arg(s % 60, 2, 10, QLatin1Char('0'));
}

}  // namespace

ExportDialog::ExportDialog(const QString& input, std::optional<ExportPart> part, QWidget* parent)
    : QDialog(parent), input_(input), part_(part) {
  setObjectName(QStringLiteral("exportDialog"));
  setWindowTitle(Tr("Export"));
  auto* source = new QLabel(Tr("Recording: %1").arg(QFileInfo(input).fileName()), this);
  source->setToolTip(input);
  output_ = new QLineEdit(this);
  output_->setObjectName(QStringLiteral("exportOutput"));
  output_->setMinimumWidth(380);
  const QByteArray in = QFile::encodeName(input);
  output_->setText(QFile::decodeName(QByteArray::fromStdString(DefaultExportPath(in.toStdString(), "mp4", part))));
  auto* browse = new QPushButton(Tr("Browse..."), this);
  browse->setObjectName(QStringLiteral("exportBrowse"));
  whole_ = new QRadioButton(Tr("Whole file"), this);
  whole_->setObjectName(QStringLiteral("exportWhole"));
  part_button_ = new QRadioButton(part ? Tr("Marked part (%1 to %2)").arg(Clock(part->from_s), part->to_s ? Clock(*part->to_s) : Tr("end"))
                                       : Tr("Marked part (mark its start and end on the slider first)"),
                                  this);
  part_button_->setObjectName(QStringLiteral("exportPart"));
  part_button_->setEnabled(part.has_value());
  (part ? part_button_ : whole_)->setChecked(true);
  progress_ = new QProgressBar(this);
  progress_->setObjectName(QStringLiteral("exportProgress"));
  progress_->setRange(0, 100);
  progress_->setValue(0);
  status_ = new QLabel(Tr("MP4, MOV or MKV by the name's extension; the video is copied, not re-encoded."), this);
  status_->setObjectName(QStringLiteral("exportStatus"));
  status_->setWordWrap(true);
  start_ = new QPushButton(Tr("Export"), this);
  start_->setObjectName(QStringLiteral("exportStart"));
  start_->setDefault(true);
  close_ = new QPushButton(Tr("Close"), this);
  close_->setObjectName(QStringLiteral("exportClose"));

  auto* grid = new QGridLayout;
  grid->addWidget(new QLabel(Tr("Save as:"), this), 0, 0);
  grid->addWidget(output_, 0, 1);
  grid->addWidget(browse, 0, 2);
  grid->addWidget(whole_, 1, 1, 1, 2);
  grid->addWidget(part_button_, 2, 1, 1, 2);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(start_);
  buttons->addWidget(close_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(source);
  layout->addLayout(grid);
  layout->addWidget(progress_);
  layout->addWidget(status_);
  layout->addLayout(buttons);

  connect(browse, &QPushButton::clicked, this, &ExportDialog::Browse);
  connect(start_, &QPushButton::clicked, this, &ExportDialog::Start);
  connect(close_, &QPushButton::clicked, this, &ExportDialog::reject);
}

ExportDialog::~ExportDialog() {
  cancel_ = true;
  JoinWorker();
}

void ExportDialog::JoinWorker() {
  if (worker_.joinable()) worker_.join();
}

void ExportDialog::Browse() {
  const QString path = QFileDialog::getSaveFileName(this, Tr("Export"), output_->text(),
                                                    Tr("Video files (*.mp4 *.mov *.mkv)"));
  if (!path.isEmpty()) output_->setText(path);
}

void ExportDialog::Start() {
  if (running_) return;
  JoinWorker();
  qvexport::ExportRequest request;
  request.input = QFile::encodeName(input_).toStdString();
  request.output = QFile::encodeName(output_->text()).toStdString();
  if (part_button_->isChecked() && part_) {
    request.from_s = part_->from_s;
    request.to_s = part_->to_s;
  }
  running_ = true;
  cancel_ = false;
  start_->setEnabled(false);
  close_->setText(Tr("Cancel"));
  progress_->setValue(0);
  status_->setText(Tr("Exporting..."));
  worker_ = std::thread([this, request] {
    // Runs on the worker: the window is reached only through queued calls, which Qt drops
    // once the dialog is gone (it joins this thread before that).
    const qvexport::ExportSummary summary = qvexport::ExportRecording(request, [this](double fraction) {
      const int percent = static_cast<int>(fraction * 100);
      QMetaObject::invokeMethod(this, [this, percent] { progress_->setValue(percent); }, Qt::QueuedConnection);
      return !cancel_.load();
    });
    QMetaObject::invokeMethod(this, [this, summary] { Finish(summary); }, Qt::QueuedConnection);
  });
}

void ExportDialog::Finish(const qvexport::ExportSummary& summary) {
  JoinWorker();
  running_ = false;
  start_->setEnabled(true);
  close_->setText(Tr("Close"));
  if (summary.ok) {
    progress_->setValue(100);
    QString text = Tr("Exported %1 pictures (%2 s) to %3.")
                       .arg(summary.pictures)
                       .arg(static_cast<double>(summary.duration_ms) / 1000.0, 0, 'f', 1)
                       .arg(QFileInfo(output_->text()).fileName());
    for (const std::string& warning : summary.warnings) text += QStringLiteral("\n") + QString::fromStdString(warning);
    status_->setText(text);
  } else {
    status_->setText(summary.cancelled ? Tr("Cancelled; nothing was written.")
                                       : Tr("The export failed: %1").arg(QString::fromStdString(summary.error)));
  }
  emit exportDone(summary.ok);
}

void ExportDialog::reject() {
  if (running_) {
    cancel_ = true;  // Finish() reports it; the dialog stays for the user to read
    return;
  }
  QDialog::reject();
}

}  // namespace replay
