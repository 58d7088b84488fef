// The two process-wide locks around creating and destroying video decoders, and small
// owners that take the right lock for both. Decoding itself runs unlocked: each handle is
// used by one thread only.
#pragma once

#include <cstdint>
#include <mutex>

#include "netclient/media/codec/decoded_picture.h"

namespace qvcodec {

// Held around every H264DecCreate / H264DecDestroy of the process.
std::mutex& H264DecoderLock();
// Held around every MjpegDecCreate / MjpegDecDestroy of the process.
std::mutex& MjpegDecoderLock();

// Owns one H.264 decoder handle.
class H264Decoder {
 public:
  H264Decoder() = default;
  ~H264Decoder() { Destroy(); }
  H264Decoder(H264Decoder&& other) noexcept;
  H264Decoder& operator=(H264Decoder&& other) noexcept;
  H264Decoder(const H264Decoder&) = delete;
  H264Decoder& operator=(const H264Decoder&) = delete;

  // Replaces any decoder held with a new one for pictures of about width x height.
  bool Create(int32_t width, int32_t height, int32_t buffer_count);
  void Destroy();
  bool Valid() const { return handle_ != nullptr; }
  void* Handle() const { return handle_; }

  // H264DecFrame on the held handle; kDecUnusable when there is none.
  int32_t Decode(const uint8_t* data, int32_t len, DecodedPicture* out, int32_t flags = 0);

 private:
  void* handle_ = nullptr;
};

// Owns one motion JPEG decoder handle.
class MjpegDecoder {
 public:
  MjpegDecoder() = default;
  ~MjpegDecoder() { Destroy(); }
  MjpegDecoder(MjpegDecoder&& other) noexcept;
  MjpegDecoder& operator=(MjpegDecoder&& other) noexcept;
  MjpegDecoder(const MjpegDecoder&) = delete;
  MjpegDecoder& operator=(const MjpegDecoder&) = delete;

  bool Create(int32_t width, int32_t height);
  void Destroy();
  bool Valid() const { return handle_ != nullptr; }
  void* Handle() const { return handle_; }

  // MjpegDecFrame on the held handle; kJpegBadHandle when there is none.
  int32_t Decode(const uint8_t* jpeg, int32_t len, DecodedPicture* out);

 private:
  void* handle_ = nullptr;
};

}  // namespace qvcodec
