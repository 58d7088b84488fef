// CAVDisplay: the display thread of one client. It takes compressed pictures from the
// client's video conduit, decodes them (H.264 or motion JPEG), turns them when asked,
// draws them into the client's display window with the overlay, writes requested snapshots
// and paces the pictures: by arrival for live video, by frame rate and speed for replay,
// where it also carries out pause, single step and seek-while-paused.
//
// The owner (a stream source or the file source) creates it bound to the client's display
// control (display_control.h), the conduit and the overlay's inputs, creates the decoder for
// the stream's video format, starts the thread, and later stops it and destroys the decoder;
// the thread never touches the network or a file other than snapshots, and reads nothing of
// the client beyond what it was handed.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "netclient/media/codec/decoder_locks.h"
#include "netclient/media/conduit/buffer_conduit.h"
#include "netclient/media/display/client_overlay.h"
#include "netclient/media/display/display_control.h"
#include "netclient/media/display/display_pacing.h"
#include "netclient/media/display/rotate.h"
#include "netclient/media/display/video_renderer.h"
#include "platform/jthread.h"

namespace qvnet {

// What the decoder is made for: the stream's codec and the figures the camera (or the file)
// announced. The picture size and buffer figure are decoder hints; the frame rate paces replay.
struct VideoFormat {
  bool jpeg = false;  // motion JPEG, else H.264
  int32_t width = 0;
  int32_t height = 0;
  int32_t buffer_figure = 0;  // the bit-rate field: picks the decoder's picture buffers
  int32_t frame_rate = 0;
};

class CAVDisplay : public qvp::JThread {
 public:
  static constexpr uint32_t kH264BufferBytes = 16 * 1024;
  static constexpr uint32_t kJpegBufferBytes = 1024 * 1024;
  // Replay reads H.264 as a byte stream in pieces of this size.
  static constexpr uint32_t kReplayChunkBytes = 1024;
  static constexpr uint32_t kReadWaitMs = 60;
  static constexpr uint32_t kIdleSleepMs = 10;
  static constexpr uint32_t kPausePollMs = 100;
  static constexpr int kSeekWaitPolls = 10;

  // `control` and `conduit` (and what `overlay` points at) outlive the display.
  CAVDisplay(DisplayControl& control, CBufferConduit& conduit, OverlayInputs overlay = {});
  ~CAVDisplay() override;
  CAVDisplay(const CAVDisplay&) = delete;
  CAVDisplay& operator=(const CAVDisplay&) = delete;

  // Owner operations. CreateDecoder makes the decoder for `format` (kept for the decoders the
  // thread makes again later) and must come before StartThread.
  bool CreateDecoder(const VideoFormat& format);
  int StartThread();
  // Sets the stop flag and waits for the thread.
  void Stop();
  void DestroyDecoder();

  // For the exports: redraw the last picture (0 when there is nothing to draw), change the
  // display window, raise a snapshot request for `path`.
  int Refresh();
  void SetWindow(uint32_t window);
  void RequestSnapshot(const std::string& path);

  bool HasDecoder() const { return has_decoder_.load(); }

 protected:
  void Thread() override;

 private:
  bool Stopping() const { return stop_.load() || StopRequested(); }
  void SleepWhileRunning(uint32_t ms);

  bool CreateH264();
  bool CreateJpeg();
  void DropDecoder();
  void StoreWindowSize();

  void RunH264();
  void DropDecoderAfterSeek();
  void RunJpeg();
  // Reads the next piece of H.264 input; 0 when nothing came (or the live display waits for
  // more pictures). `backlog` receives the live backlog.
  uint32_t ReadH264(int32_t* backlog, int32_t* threshold);
  // Feeds `n` bytes and shows every picture that comes out; false ends the thread.
  bool DecodeH264(uint32_t n, int32_t backlog);
  void ShowH264Picture(const qvcodec::DecodedPicture& picture, int32_t backlog);
  void ShowJpegPicture(const qvcodec::DecodedPicture& picture, uint32_t jpeg_length,
                       int32_t speed);

  // The picture as shown: the decoder's own, or a turned copy.
  qvcodec::DecodedPicture Prepare(const qvcodec::DecodedPicture& picture);
  void Draw(const qvcodec::DecodedPicture& picture);
  void PaceLive(int32_t backlog);
  void PaceReplay(int32_t speed);
  void RunReplayControl();
  // Writes a pending snapshot of the last picture shown.
  void WritePendingSnapshot();

  DisplayControl& control_;
  CBufferConduit& conduit_;
  const OverlayInputs overlay_;  // before the renderer, whose hook points at it
  CVideoRenderer renderer_;
  VideoFormat format_;

  std::atomic<bool> stop_{false};
  std::atomic<bool> has_decoder_{false};
  uint32_t seen_seek_generation_ = 0;  // display thread only
  bool jpeg_mode_ = false;
  qvcodec::H264Decoder h264_;
  qvcodec::MjpegDecoder jpeg_;
  std::vector<uint8_t> h264_buffer_;
  std::vector<uint8_t> jpeg_buffer_;

  std::mutex snapshot_lock_;
  bool snapshot_pending_ = false;
  std::string snapshot_path_;

  // The last picture shown, for snapshots while replay waits. For JPEG the image is still
  // in jpeg_buffer_ (last_jpeg_length_ bytes).
  qvcodec::DecodedPicture last_picture_{};
  uint32_t last_jpeg_length_ = 0;
  PictureStore turned_;

  LivePacer live_;
  ReplayPacer replay_pacer_;
};

}  // namespace qvnet
