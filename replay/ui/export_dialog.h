// The replay window's Export dialog: the open recording, or the part between the slider's
// marks, into an MP4, MOV or Matroska file (replay/export, the library qvexport uses too),
// with a progress bar. The export runs on a worker thread the dialog owns: closing the dialog
// cancels it and waits for it.
#pragma once

#include <QDialog>
#include <atomic>
#include <optional>
#include <thread>

#include "replay/core/export_part.h"
#include "replay/export/recording_export.h"

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace replay {

class ExportDialog : public QDialog {
  Q_OBJECT

 public:
  // `input` is the recording; `part` the marked part, chosen first when there is one.
  ExportDialog(const QString& input, std::optional<ExportPart> part, QWidget* parent = nullptr);
  ~ExportDialog() override;

  QLineEdit* OutputEdit() const { return output_; }
  QRadioButton* WholeButton() const { return whole_; }
  QRadioButton* PartButton() const { return part_button_; }
  QProgressBar* Progress() const { return progress_; }
  QPushButton* StartButton() const { return start_; }
  QPushButton* CloseButton() const { return close_; }
  QLabel* Status() const { return status_; }
  bool Running() const { return running_; }

  // Starts the export with the choices made (the Export button).
  void Start();

 signals:
  void exportDone(bool ok);

 protected:
  void reject() override;

 private:
  void Browse();
  void Finish(const qvexport::ExportSummary& summary);
  void JoinWorker();

  QString input_;
  std::optional<ExportPart> part_;
  QLineEdit* output_ = nullptr;
  QRadioButton* whole_ = nullptr;
  QRadioButton* part_button_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QPushButton* start_ = nullptr;
  QPushButton* close_ = nullptr;
  QLabel* status_ = nullptr;
  bool running_ = false;
  std::atomic<bool> cancel_{false};
  std::thread worker_;
};

}  // namespace replay
