// LiveMediaOutput: how the live-view library's sources reach display and sound. It owns the
// client's display for the client's whole life (so that window changes and snapshots reach it
// between connections too), makes and starts the decoder and display thread for every
// connection, writes video into the video conduit and decodes voice into the audio conduit.
#pragma once

#include <array>
#include <atomic>
#include <memory>

#include "netclient/media/codec/voiceengine.h"
#include "netclient/media/display/av_display.h"
#include "netclient/wire/media_output.h"
#include "netclient/client/net_client.h"

namespace qvnet {

class LiveMediaOutput : public MediaOutput {
 public:
  explicit LiveMediaOutput(NetClient& client);
  ~LiveMediaOutput() override;
  LiveMediaOutput(const LiveMediaOutput&) = delete;
  LiveMediaOutput& operator=(const LiveMediaOutput&) = delete;

  bool StartDisplay() override;
  void StopDisplay() override;
  bool WriteVideo(const uint8_t* data, size_t length, bool end_of_message) override;
  bool ResetVoiceDecoder(uint8_t codec) override;
  bool DecodeAudio(const uint8_t* voice_frame, size_t length) override;
  void ResetForConnection() override;

 private:
  NetClient& client_;
  std::unique_ptr<CAVDisplay> display_;
  qvcodec::VoiceState voice_{};
  // The last reset knew the codec: audio of a codec it did not know is not decoded.
  std::atomic<bool> voice_ready_{false};
  std::array<int16_t, qvcodec::kMaxVoiceSamples> samples_{};
};

}  // namespace qvnet
