// ReplayFeed: how the file readers hand media to a file client. Video goes into the video
// conduit, which holds the reader back to the pace of the display; decoded sound goes into
// the small audio conduit of the sound player. Both writes wait while their conduit is full
// and give up when the reader stops or the data has gone stale. The feed also closes an
// H.264 stream at the end of the file so that its last picture is shown, and reports the end.
//
// Threads: everything here runs on the reader thread; what it reads of the client is the
// replay mailbox and the sound flags the exports write.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "netclient/replay/replay_target.h"

namespace qvnet {

// How pictures travel to the display.
enum class VideoFraming {
  kByteStream,    // H.264 records: no boundaries, the display reads fixed pieces
  kWholePictures  // JPEG records and AVI pictures: one message each
};

class ReplayFeed {
 public:
  // `stopping` tells that the reader must end; it is polled between attempts.
  ReplayFeed(const ReplayTarget& target, std::function<bool()> stopping, VideoFraming framing, bool h264);

  bool Stopping() const { return stopping_(); }
  VideoFraming Framing() const { return framing_; }
  bool SeekPending() const { return target_.display.replay.SeekPending(); }

  // Writes one record's video, retrying every `retry_ms` while the conduit is full. False when
  // it was given up: the reader stops, or (unless `ignore_seek`) a seek is pending.
  bool WriteVideo(const uint8_t* data, uint32_t length, uint32_t retry_ms, bool ignore_seek = false);

  // Writes PCM sound in pieces that fit the conduit, retrying every `retry_ms` while it is
  // full. Gives up (false) when the reader stops, a seek is pending, or sound may no longer
  // play (device gone, sound switched off, speed changed): waiting would only stall the video.
  bool WriteAudio(const uint8_t* pcm, uint32_t length, uint32_t retry_ms);

  // Sound is wanted now: the device works, the client plays audio and the speed is normal.
  bool SoundWanted() const;

  // Empties both conduits for a new place in the file.
  void ResetConduits();

  // The end of the file was reached: for an H.264 byte stream, queue what makes the display
  // decode and show the last picture; then report the end through the callback.
  void EndOfFile();

  // Sends the end-of-file notification: to the library's callback only (under the
  // notification lock, user value 0), never as a window message.
  void ReportEnd();

  // Bytes given to the video conduit since it was last emptied.
  uint64_t VideoBytesSinceReset() const { return video_bytes_; }

 private:
  bool PadByteStream();

  const ReplayTarget target_;
  std::function<bool()> stopping_;
  const VideoFraming framing_;
  const bool h264_;
  uint64_t video_bytes_ = 0;
};

}  // namespace qvnet
