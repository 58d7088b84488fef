// NetClient, the client object of libQVNetClient.so: one per QVNET_ClientStart (live) or
// QVNET_OpenFile (replay), owned by the library from start to stop. It adds to the shared stream
// core what only the live-view library has: the copied start parameters, the conduits towards
// display and sound, view and display flags, statistics for the bit-rate meter, and the
// notification path (callback under the library's notification lock, else a posted message).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "netclient/include/QVNetClient.h"
#include "netclient/media/conduit/buffer_conduit.h"
#include "netclient/media/record/record_pair.h"
#include "netclient/media/sound/av_sound.h"
#include "netclient/stream/talk_control.h"
#include "netclient/client/bit_rate.h"
#include "netclient/stream/stream_client.h"

namespace qvnet {

class CAVDisplay;
class CAVSource;
class LiveMediaOutput;

static_assert(sizeof(ClientParams) == 300, "ClientParams is 300 bytes");
static_assert(offsetof(ClientParams, display_window) == 8);
static_assert(offsetof(ClientParams, notify_window) == 12);
static_assert(offsetof(ClientParams, notify_message) == 16);
static_assert(offsetof(ClientParams, user_value) == 36);
static_assert(offsetof(ClientParams, address) == 40);
static_assert(offsetof(ClientParams, user) == 201);
static_assert(offsetof(ClientParams, password) == 234);

// Replay state of a file client: single values written by the exports and polled by the
// file reader and the display thread.
struct ReplayControl {
  std::atomic<uint32_t> total_seconds{0};
  std::atomic<uint32_t> current_seconds{0};
  std::atomic<uint32_t> first_time_ms{0};  // tick of the first index entry
  std::atomic<uint32_t> seek_target{0};    // seconds
  std::atomic<bool> seek_pending{false};
  std::atomic<bool> seek_while_paused{false};
  std::atomic<int32_t> pause_state{0};  // 0 playing, 1 paused, 2 stepping
  std::atomic<bool> step_request{false};
  std::atomic<int32_t> speed{0};  // -4..4, plays at 2^speed
  // Raised each time the reader empties the conduits for a seek: the display then drops the
  // decoder's half-parsed input of the old place.
  std::atomic<uint32_t> seek_generation{0};
};

// Longest wait of QVNET_ClientStopView for a drawing in progress, in 1 ms polls.
inline constexpr uint32_t kStopViewWaitMs = 2000;

// Default region display mask: frame the regions that are in alarm.
inline constexpr int32_t kDefaultRegionDisplayMask = 2;

// Replay speeds: the picture rate is scaled by 2^speed.
inline constexpr int32_t kMinReplaySpeed = -4;
inline constexpr int32_t kMaxReplaySpeed = 4;

class NetClient : public StreamClient {
 public:
  explicit NetClient(LibraryContext& context);
  ~NetClient() override;

  // Copies `p` and parses its address; false when the transport or the address is refused.
  bool Configure(const ClientParams& p);
  // Makes the two conduits of a live client.
  bool CreateLiveConduits();
  // Makes the display side and the stream source for the client's transport (live clients).
  bool CreateLiveSource();
  // A file client (QVNET_OpenFile): the replay defaults, drawing into `window`.
  void ConfigureFile(QV_HWND window);
  // Makes the two conduits of a file client: video that holds the reader back, and a small
  // audio conduit that keeps sound close to the picture.
  bool CreateFileConduits();
  // Takes `source` as the client's source and lets it make its objects; on failure the
  // source stays with the client, which releases it when it is destroyed.
  bool AdoptSource(std::unique_ptr<CAVSource> source);
  // Starts the bit-rate meter thread.
  bool StartBitRateMeter();
  // Stops the source (its recordings, receivers and display with it), the sound player and the
  // bit-rate meter, in that order; safe to call more than once.
  void StopThreads();

  CAVSource* Source() const { return source_.get(); }

  void Notify(uint32_t code, int32_t value) override;

  ClientParams params{};

  std::atomic<int16_t> view{0};
  std::atomic<QV_HWND> display_window{0};

  std::unique_ptr<CBufferConduit> video_conduit;
  std::unique_ptr<CBufferConduit> audio_conduit;
  bool file_mode = false;

  // Display and sound settings changed by the exports and polled by the worker threads.
  std::atomic<int32_t> region_display_mask{kDefaultRegionDisplayMask};
  std::atomic<bool> vertical_flip{false};
  std::atomic<bool> rotate180{false};
  std::atomic<bool> play_audio{false};
  std::atomic<bool> drawing{false};  // the display is drawing into the window right now
  // The client's display, for the window, refresh and snapshot exports. Set by the source
  // that owns it once it exists, cleared before that source destroys it.
  std::atomic<CAVDisplay*> display{nullptr};

  // Picture size as decoded, and the display window's size as last seen by the display.
  std::atomic<int32_t> decoded_width{0};
  std::atomic<int32_t> decoded_height{0};
  std::atomic<int32_t> window_width{0};
  std::atomic<int32_t> window_height{0};
  // Whole pictures queued in the video conduit when the live display last looked.
  std::atomic<int32_t> queued_pictures{0};

  // Sound: no output device could be opened (replay then skips audio records).
  std::atomic<bool> sound_unavailable{false};

  // The sound player, reading audio_conduit and setting sound_unavailable (declared after
  // both, so destroyed before them), and the two-way talk session slot (QVNET_ClientStartTalk).
  std::unique_ptr<CAVSound> sound;
  TalkControl talk;

  // Replay controls, written by the replay exports and polled by the reader and the display.
  ReplayControl replay;

  // The normal recording is running (drawn as "Rec" on the picture). Set by the stream source
  // that owns the record writers; null while there is none.
  std::atomic<const RecordPair*> records{nullptr};
  bool IsRecording() const {
    const RecordPair* r = records.load();
    return r != nullptr && const_cast<RecordPair*>(r)->IsRecording();
  }

  // Statistics: pictures shown (running total) and the bit-rate meter's last second.
  std::atomic<uint32_t> shown_frames{0};
  std::atomic<int32_t> kbps{0};
  std::atomic<int32_t> fps{0};

 private:
  std::unique_ptr<CBitRate> bit_rate_;
  // Declared last: the source uses the media output, both use everything above.
  std::unique_ptr<LiveMediaOutput> media_;
  std::unique_ptr<CAVSource> source_;
};

}  // namespace qvnet
