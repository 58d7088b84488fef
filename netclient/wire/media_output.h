// MediaOutput: how a stream source reaches display and sound. The live-view library gives
// every live source one (decoder, display thread, the two conduits, voice decoder); the
// recording library gives none, and its sources only record. Keeping this an interface lets
// the stream code stay free of decoders and conduits.
//
// Threads: StartDisplay, StopDisplay and ResetForConnection run on the source thread;
// WriteVideo on the thread that receives video (UDP video receiver or TCP source thread);
// ResetVoiceDecoder and DecodeAudio on the thread that receives audio (UDP audio receiver or
// TCP source thread). The receivers of one connection never run while the display is
// started or stopped.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qvnet {

class MediaOutput {
 public:
  virtual ~MediaOutput() = default;

  // Destroys any decoder left from an earlier connection, makes one for the client's video
  // payload type and starts the display thread. False ends the connection loop; the source
  // then calls StopDisplay().
  virtual bool StartDisplay() = 0;
  // Stops the display thread and releases the display and its decoder. Safe to call when
  // StartDisplay() failed half-way.
  virtual void StopDisplay() = 0;

  // One piece of video for the video conduit; `end_of_message` closes the picture. A full
  // conduit refuses the piece (false) and it is dropped.
  virtual bool WriteVideo(const uint8_t* data, size_t length, bool end_of_message) = 0;

  // Resets the voice decoder for `codec` before the first audio packet of a connection.
  virtual bool ResetVoiceDecoder(uint8_t codec) = 0;
  // Decodes one voice frame (4-byte header, then data) and, when the client plays audio,
  // queues the samples for the sound output (QueueDecodedAudio in audio_depacketizer.h).
  // False when the frame does not decode; the packet is then neither played nor recorded.
  virtual bool DecodeAudio(const uint8_t* voice_frame, size_t length) = 0;

  // A new TCP connection: no pictures queued, both conduits emptied.
  virtual void ResetForConnection() = 0;
};

}  // namespace qvnet
