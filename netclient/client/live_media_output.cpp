#include "netclient/client/live_media_output.h"

#include "netclient/stream/display_format.h"
#include "netclient/wire/audio_depacketizer.h"

namespace qvnet {

LiveMediaOutput::LiveMediaOutput(NetClient& client)
    : client_(client),
      display_(std::make_unique<CAVDisplay>(client.display_control, *client.video_conduit, client.OverlayInputsOf())) {
  client_.display = display_.get();
}

LiveMediaOutput::~LiveMediaOutput() {
  StopDisplay();
  client_.display = nullptr;
}

bool LiveMediaOutput::StartDisplay() {
  display_->Stop();
  display_->DestroyDecoder();
  if (!display_->CreateDecoder(VideoFormatOf(client_))) return false;
  return display_->StartThread() == qvp::JThread::kStarted;
}

void LiveMediaOutput::StopDisplay() {
  display_->Stop();
  display_->DestroyDecoder();
}

bool LiveMediaOutput::WriteVideo(const uint8_t* data, size_t length, bool end_of_message) {
  return client_.video_conduit->Write(data, static_cast<uint32_t>(length), end_of_message);
}

bool LiveMediaOutput::ResetVoiceDecoder(uint8_t codec) {
  voice_ready_ = qvcodec::VoiceDecReset(&voice_, static_cast<int16_t>(codec)) == 0;
  return voice_ready_;
}

bool LiveMediaOutput::DecodeAudio(const uint8_t* voice_frame, size_t length) {
  if (!voice_ready_) return false;
  uint16_t count = 0;
  if (qvcodec::VoiceDecodeFrameBounded(&voice_, voice_frame, length, samples_.data(), &count) != 0) return false;
  // A client being stopped has closed its conduits; emptying one now would open it again.
  if (!client_.stopping.load()) QueueDecodedAudio(*client_.audio_conduit, client_.play_audio.load(), samples_.data(), count);
  return true;
}

void LiveMediaOutput::ResetForConnection() {
  client_.display_control.queued_pictures = 0;
  if (client_.stopping.load()) return;  // see DecodeAudio
  client_.video_conduit->Reset();
  client_.audio_conduit->Reset();
}

}  // namespace qvnet
