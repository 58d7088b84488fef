// The replay window: the video area with the transport row on the left, the search panel on
// the right, the result list with the search's progress across the bottom. It drives the
// Player (one open file at a time), the SearchRunner and the video pane, and answers the
// recorder on the program's endpoint: in soft mode the close message ends the program (the
// open file is closed first), and the show message brings the window to the front.
#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "replay/core/catalogue_search.h"
#include "replay/core/export_part.h"
#include "replay/ui/player.h"

class QLabel;
class QProgressBar;

namespace qvui {
class EndpointListener;
class VideoArea;
}  // namespace qvui

namespace replay {

using qvui::EndpointListener;
using qvui::VideoArea;
class ExportDialog;
class ResultList;
class SearchPanel;
class SearchRunner;
class TransportBar;
class VideoPane;

// What the window needs from outside, replaceable in tests.
struct ReplayServices {
  std::string program_folder;                // ReplayShot/ goes here
  std::vector<Drive> drives;                 // the drive lists, in order
  bool soft_mode = false;
  std::function<void(const QString& text)> show_message;  // empty: a message box
  Player::FolderOpener open_folder;          // empty: xdg-open
  FileTimesSource file_times;                // empty: the file system
};

// The drives of "<home>/config.ini" whose root exists, in letter order.
std::vector<Drive> ConfiguredDrives(const std::string& home);

class ReplayWindow : public QWidget {
  Q_OBJECT

 public:
  explicit ReplayWindow(ReplayServices services, QWidget* parent = nullptr);
  ~ReplayWindow() override;

  // Binds the program's endpoint; false when another replay program holds it.
  bool ListenOn(const std::string& endpoint);
  // The open operation shared by Open File, the list's double click and drops: "Play Failed"
  // on failure.
  bool OpenAndReport(const QString& path);
  void RunSearch();
  // Escape, the close box and the recorder's close message: the open file is closed, the
  // pane put away, the window closed.
  void EndProgram();

  Player& GetPlayer() { return *player_; }
  VideoArea* Video() const { return video_; }
  VideoPane* Pane() const { return pane_; }
  TransportBar* Transport() const { return transport_; }
  SearchPanel* Panel() const { return panel_; }
  ResultList* Results() const { return results_; }
  QLabel* SearchStatus() const { return status_; }
  SearchRunner* Runner() const { return runner_; }
  EndpointListener* Listener() const { return listener_; }
  // The marks on the slider and the Export dialog open now (null when none).
  const SliderMarks& Marks() const { return marks_; }
  ExportDialog* CurrentExport() const;
  // Marks the current position as the start or the end of a part (the mark buttons, [ and ]).
  void MarkPosition(bool start);
  // The Export action: the dialog for the open file and the marked part.
  void OpenExportDialog();

 signals:
  void searchFinished(size_t files);
  void ended();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildLayout();
  void ConnectTransport();
  void ConnectSearch();
  void AddShortcuts(QWidget* scope);
  void AddEscape();
  void ShowMessage(const QString& text);
  void OpenFileDialog();
  void StopPlayback();
  void Snapshot();
  void ToggleSound();
  void ShowPane();
  void TakeVideoBack();
  void OnEndpointMessage(uint32_t msg, uint32_t wparam, int32_t lparam);
  void OnSearchProgress(size_t done, size_t total, size_t files);
  void OnSearchFinished(size_t files, bool cancelled, const std::vector<char>& missing);

  ReplayServices services_;
  Player* player_ = nullptr;
  VideoArea* video_ = nullptr;
  QWidget* video_slot_ = nullptr;
  VideoPane* pane_ = nullptr;
  TransportBar* transport_ = nullptr;
  SearchPanel* panel_ = nullptr;
  ResultList* results_ = nullptr;
  QLabel* status_ = nullptr;
  QProgressBar* progress_ = nullptr;
  SearchRunner* runner_ = nullptr;
  EndpointListener* listener_ = nullptr;
  bool ending_ = false;
  SliderMarks marks_;
  QPointer<ExportDialog> export_dialog_;
};

}  // namespace replay
