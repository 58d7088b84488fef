#include "netclient/client/net_client.h"

#include <cstring>
#include <mutex>
#include <utility>

#include "netclient/stream/av_source_tcp.h"
#include "netclient/stream/av_source_udp.h"
#include "netclient/client/live_media_output.h"
#include "platform/window_registry.h"

namespace qvnet {

namespace {

std::string FieldText(const char* field, size_t size) { return std::string(field, strnlen(field, size)); }

// What a file client starts with: the picture size and frame rate are decoder hints only (the
// file's own header or stream decides), the buffer figure gives the decoder two buffers.
constexpr int32_t kFilePictureWidth = 1600;
constexpr int32_t kFilePictureHeight = 1200;
constexpr int32_t kFileFrameRate = 30;
constexpr int32_t kFileBufferFigure = 2048;
constexpr uint32_t kFileVideoSpaceWaitMs = 20;

}  // namespace

NetClient::NetClient(LibraryContext& context) : StreamClient(context, kNetClientFlavor) {
  display_control.key_frame_span = &key_frame_span;
}

NetClient::~NetClient() { StopThreads(); }

bool NetClient::Configure(const ClientParams& p) {
  if (!TransportOf(p.transport, &transport)) return false;
  if (!ParseClientAddress(p.address, sizeof p.address, &address)) return false;
  params = p;
  stream_number = p.stream_number;
  user = FieldText(p.user, sizeof p.user);
  password = FieldText(p.password, sizeof p.password);
  display_control.view = ViewStateOf(p.view);
  display_control.window = p.display_window;
  return true;
}

bool NetClient::CreateLiveConduits() {
  video_conduit = std::make_unique<CBufferConduit>();
  audio_conduit = std::make_unique<CBufferConduit>();
  return video_conduit->Create(kVideoConduitBytes, false, kConduitLowWater, true) &&
         audio_conduit->Create(kLiveAudioConduitBytes, false, kConduitLowWater, false);
}

bool NetClient::CreateLiveSource() {
  media_ = std::make_unique<LiveMediaOutput>(*this);
  if (transport == MediaTransport::kUdp) {
    source_ = std::make_unique<CAVSource_RTSP_UDP>(*this, media_.get());
  } else {
    source_ = std::make_unique<CAVSource_RTSP_TCP>(*this, media_.get());
  }
  if (!source_->Create()) return false;
  records = source_.get();
  return true;
}

void NetClient::ConfigureFile(QV_HWND window) {
  params = ClientParams{};
  params.view = 1;
  params.display_window = window;
  display_control.view = ViewState::kOn;
  display_control.window = window;
  display_control.file_mode = true;
  play_audio = true;
  width = kFilePictureWidth;
  height = kFilePictureHeight;
  frame_rate = kFileFrameRate;
  bit_rate = kFileBufferFigure;
}

bool NetClient::CreateFileConduits() {
  // The reader retries a full video conduit every millisecond and looks for a seek between
  // tries, so one wait for space is kept short: a seek while paused is then taken at once.
  video_conduit = std::make_unique<CBufferConduit>(kFileVideoSpaceWaitMs);
  audio_conduit = std::make_unique<CBufferConduit>();
  return video_conduit->Create(kVideoConduitBytes, true, kConduitLowWater, true) &&
         audio_conduit->Create(kReplayAudioConduitBytes, false, kConduitLowWater, false);
}

bool NetClient::AdoptSource(std::unique_ptr<CAVSource> source) {
  source_ = std::move(source);
  return source_ != nullptr && source_->Create();
}

bool NetClient::StartBitRateMeter() {
  bit_rate_ = std::make_unique<CBitRate>(BitRateCounters{&received_bytes, &display_control.shown_frames, &kbps, &fps});
  return bit_rate_->Start() == qvp::JThread::kStarted;
}

void NetClient::StopThreads() {
  if (source_) {
    source_->Stop();
    source_->Release();
    records = nullptr;
  }
  if (sound) {
    sound->Stop();
    sound.reset();
  }
  if (bit_rate_) {
    bit_rate_->Stop();
    bit_rate_.reset();
  }
}

OverlayInputs NetClient::OverlayInputsOf() {
  return OverlayInputs{&display_control, &motion, [this] { return IsRecording(); }};
}

ReplayTarget NetClient::ReplayTargetOf() {
  return ReplayTarget{.client = *this,
                      .video = *video_conduit,
                      .audio = *audio_conduit,
                      .display = display_control,
                      .overlay = OverlayInputsOf(),
                      .display_slot = display,
                      .play_audio = play_audio,
                      .sound_unavailable = sound_unavailable};
}

void NetClient::Notify(uint32_t code, int32_t value) {
  ClientNotifyCallback callback = Context().callback.load();
  if (callback != nullptr) {
    std::lock_guard<std::mutex> lock(Context().notify_lock);
    callback(handle, code, static_cast<uint32_t>(value), params.user_value);
    return;
  }
  if (params.notify_window != 0) {
    qvp::PostWindowMessage(params.notify_window, params.notify_message, code, value);
  }
}

}  // namespace qvnet
