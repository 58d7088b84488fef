// CAVSource_File: the source of a file client (QVNET_OpenFile). In place of a camera it reads
// a recorded file on its own thread into the client's conduits; the display it owns decodes,
// paces and shows the pictures and carries out pause, step and speed, the client's sound
// player plays the sound. It reads three layouts: the record file (H.264 or motion JPEG),
// its legacy layout, and the servers' AVI files. A file source never records.
//
// Open (Create) finds the layout, frame rate, key-frame index and length, and starts the
// display; the reader thread then runs until Stop(). A record file without an index (a
// recording that never stopped, possibly still growing) is opened by scanning its records and
// plays up to where it ended at open: its size is not looked at again. A record file whose
// index stays empty after the scan (motion JPEG received over UDP has no key-frame records)
// still plays from the start, with length 0, so seeking is refused.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "netclient/media/display/av_display.h"
#include "netclient/media/record/record_reader.h"
#include "netclient/replay/avi_reader.h"
#include "netclient/replay/avi_replay.h"
#include "netclient/replay/record_replay.h"
#include "netclient/replay/replay_feed.h"
#include "netclient/replay/replay_target.h"
#include "netclient/stream/av_source.h"
#include "netclient/stream/display_format.h"

namespace qvnet {

// Longest path QVNET_OpenFile takes; longer ones are refused, never cut.
inline constexpr size_t kMaxReplayPathLength = 255;

enum class ReplayFileType : int {
  kLegacy = 0,
  kAvi = 1,
  kRecordH264 = 2,
  kRecordJpeg = 3,
};

class CAVSource_File : public CAVSource {
 public:
  // Sleep of the reader while it waits at the end of the file for a seek or the close.
  static constexpr uint32_t kEndOfFileSleepMs = 100;

  CAVSource_File(const ReplayTarget& target, std::string path);
  ~CAVSource_File() override;

  // Open: the file, its layout, length and index; then the display with its decoder and the
  // display thread. False when any of it fails (everything made is released again).
  bool Create() override;
  // Close: the file, the read buffers and the display.
  void Release() override;
  // Stops the display thread and destroys the decoder, then stops the reader thread.
  void Stop() override;

  ReplayFileType FileType() const { return type_; }
  const std::string& Path() const { return path_; }

 protected:
  // The reader.
  void Run() override;

 private:
  bool OpenFile();
  bool OpenAvi();
  bool OpenRecord();
  bool StartDisplay();
  // Also once the application began closing the client: its conduits are closed by then.
  bool Stopping() const { return stop_.load() || StopRequested() || target_.client.stopping.load(); }

  const ReplayTarget target_;
  const std::string path_;
  ReplayFileType type_ = ReplayFileType::kRecordH264;
  RecordFileReader record_;
  AviFile avi_;
  std::unique_ptr<ReplayFeed> feed_;
  std::unique_ptr<RecordReplay> record_reader_;
  std::unique_ptr<AviReplay> avi_reader_;
  std::unique_ptr<CAVDisplay> display_;
};

}  // namespace qvnet
