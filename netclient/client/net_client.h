// NetClient, the client object of libQVNetClient.so: one per QVNET_ClientStart (live) or
// QVNET_OpenFile (replay), owned by the library from start to stop. It adds to the shared stream
// core what only the live-view library has: the copied start parameters, the conduits towards
// display and sound, the display's control (view, window, replay mailbox, the display's
// figures), statistics for the bit-rate meter, and the notification path (callback under the
// library's notification lock, else a posted message). The display and the file source get
// references to the parts they use, never the client.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "netclient/include/QVNetClient.h"
#include "netclient/client/bit_rate.h"
#include "netclient/media/conduit/buffer_conduit.h"
#include "netclient/media/display/client_overlay.h"
#include "netclient/media/display/display_control.h"
#include "netclient/media/record/record_pair.h"
#include "netclient/media/sound/av_sound.h"
#include "netclient/replay/replay_target.h"
#include "netclient/stream/stream_client.h"
#include "netclient/stream/talk_control.h"

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

// Longest wait of QVNET_ClientStopView for a drawing in progress, in 1 ms polls.
inline constexpr uint32_t kStopViewWaitMs = 2000;

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

  // What the display's overlay reads: the display control, the motion state, the recording.
  OverlayInputs OverlayInputsOf();
  // What a file source works on (the conduits must exist).
  ReplayTarget ReplayTargetOf();

  void Notify(uint32_t code, int32_t value) override;

  ClientParams params{};

  std::unique_ptr<CBufferConduit> video_conduit;
  std::unique_ptr<CBufferConduit> audio_conduit;

  // The display's side: view, window, flip, rotate, region mask, the replay mailbox of a file
  // client, and what the display reports (sizes, queued and shown pictures, drawing).
  DisplayControl display_control;
  // The client's display, for the window, refresh and snapshot exports. Set by the source
  // that owns it once it exists, cleared before that source destroys it.
  std::atomic<CAVDisplay*> display{nullptr};

  // Sound on (QVNET_ClientPlayAudio); a file client starts with it on.
  std::atomic<bool> play_audio{false};
  // Sound: no output device could be opened (replay then skips audio records).
  std::atomic<bool> sound_unavailable{false};

  // The sound player, reading audio_conduit and setting sound_unavailable (declared after
  // both, so destroyed before them), and the two-way talk session slot (QVNET_ClientStartTalk).
  std::unique_ptr<CAVSound> sound;
  TalkControl talk;

  // The normal recording is running (drawn as "Rec" on the picture). Set by the stream source
  // that owns the record writers; null while there is none.
  std::atomic<const RecordPair*> records{nullptr};
  bool IsRecording() const {
    const RecordPair* r = records.load();
    return r != nullptr && const_cast<RecordPair*>(r)->IsRecording();
  }

  // Statistics: the bit-rate meter's last second (pictures shown are counted by the display).
  std::atomic<int32_t> kbps{0};
  std::atomic<int32_t> fps{0};

 private:
  std::unique_ptr<CBitRate> bit_rate_;
  // Declared last: the source uses the media output, both use everything above.
  std::unique_ptr<LiveMediaOutput> media_;
  std::unique_ptr<CAVSource> source_;
};

}  // namespace qvnet
