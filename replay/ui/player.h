// The playback of one file through libQVNetClient.so's replay exports: open and close, the
// position timer, the slider's drag and seek, the transport commands, sound on and off and
// snapshots. Every command does nothing while no file is open.
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <string>

#include "netclient/include/QVNetClient.h"

namespace replay {

class Player : public QObject {
  Q_OBJECT

 public:
  static constexpr int kPositionTimerMs = 500;

  // Opens the snapshot folder the first time a snapshot is taken (xdg-open by default).
  using FolderOpener = std::function<void(const std::string& folder)>;

  // `program_folder`: where the ReplayShot folder goes.
  Player(std::string program_folder, FolderOpener open_folder, QObject* parent = nullptr);
  ~Player() override;

  // Plays `path` into the window `target` from the start, muted; a file already open is closed
  // first. False (and no file open) when the library cannot play it.
  bool Open(const QString& path, QV_HWND target);
  void Close();
  bool IsOpen() const { return handle_ != 0; }
  QVNET_HANDLE Handle() const { return handle_; }
  const QString& Path() const { return path_; }
  uint32_t Total() const { return total_; }
  // The library's current position in seconds (0 while no file is open).
  uint32_t Position() const;

  void Pause();
  void Continue();
  // Continue when the user paused, else pause.
  void TogglePause();
  void Fast();
  void Slow();
  void Step();
  // Sound on or off: 0 when it changed, else the number of the text to show (152 / 153).
  uint32_t ToggleSound();
  bool SoundOn() const { return sound_on_; }
  bool UserPaused() const { return user_paused_; }
  bool Dragging() const { return dragging_; }
  // Asks for a snapshot in the ReplayShot folder and returns its path ("" when no file is
  // open). `*failed` is set when no folder can be used or the library refuses the capture.
  // The folder is opened the first time a snapshot succeeds.
  std::string Snapshot(bool* failed);

  // The slider: a mouse press starts a drag (playback pauses), moves seek, the release ends it
  // (playback goes on unless the user paused). Keyboard and page moves seek at once.
  void BeginDrag();
  void DragTo(int position);
  void EndDrag();
  void SeekTo(int position);
  // Seeks `delta_s` seconds from the current position, within the file.
  void SeekBy(int delta_s);

 signals:
  // The position (or, while dragging, the slider's place) and the total, in seconds.
  void positionChanged(uint32_t position_s, uint32_t total_s);
  void opened(const QString& path);
  void closed();
  void soundChanged(bool on);

 private:
  void Tick();

  std::string program_folder_;
  FolderOpener open_folder_;
  QTimer timer_;
  QVNET_HANDLE handle_ = 0;
  QString path_;
  uint32_t total_ = 0;
  bool user_paused_ = false;
  bool dragging_ = false;
  bool sound_on_ = false;
  bool folder_opened_ = false;
};

}  // namespace replay
