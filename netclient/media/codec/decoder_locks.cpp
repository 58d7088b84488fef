#include "netclient/media/codec/decoder_locks.h"

#include <utility>

#include "netclient/media/codec/h264dec.h"
#include "netclient/media/codec/mjpegdec.h"

namespace qvcodec {

std::mutex& H264DecoderLock() {
  static std::mutex lock;
  return lock;
}

std::mutex& MjpegDecoderLock() {
  static std::mutex lock;
  return lock;
}

H264Decoder::H264Decoder(H264Decoder&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)) {}

H264Decoder& H264Decoder::operator=(H264Decoder&& other) noexcept {
  if (this != &other) {
    Destroy();
    handle_ = std::exchange(other.handle_, nullptr);
  }
  return *this;
}

bool H264Decoder::Create(int32_t width, int32_t height, int32_t buffer_count) {
  Destroy();
  const int32_t params[6] = {0, 0, width / 16 + 1, height / 16 + 1, buffer_count, 0};
  std::lock_guard<std::mutex> guard(H264DecoderLock());
  handle_ = H264DecCreate(params);
  return handle_ != nullptr;
}

void H264Decoder::Destroy() {
  if (handle_ == nullptr) return;
  std::lock_guard<std::mutex> guard(H264DecoderLock());
  H264DecDestroy(std::exchange(handle_, nullptr));
}

int32_t H264Decoder::Decode(const uint8_t* data, int32_t len, DecodedPicture* out,
                            int32_t flags) {
  if (handle_ == nullptr) return kDecUnusable;
  return H264DecFrame(handle_, data, len, 0, out, flags);
}

MjpegDecoder::MjpegDecoder(MjpegDecoder&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)) {}

MjpegDecoder& MjpegDecoder::operator=(MjpegDecoder&& other) noexcept {
  if (this != &other) {
    Destroy();
    handle_ = std::exchange(other.handle_, nullptr);
  }
  return *this;
}

bool MjpegDecoder::Create(int32_t width, int32_t height) {
  Destroy();
  const int32_t params[7] = {0, 0, width, height, 0, 0, 0};
  std::lock_guard<std::mutex> guard(MjpegDecoderLock());
  handle_ = MjpegDecCreate(params);
  return handle_ != nullptr;
}

void MjpegDecoder::Destroy() {
  if (handle_ == nullptr) return;
  std::lock_guard<std::mutex> guard(MjpegDecoderLock());
  MjpegDecDestroy(std::exchange(handle_, nullptr));
}

int32_t MjpegDecoder::Decode(const uint8_t* jpeg, int32_t len, DecodedPicture* out) {
  if (handle_ == nullptr) return kJpegBadHandle;
  return MjpegDecFrame(handle_, jpeg, len, 0, 0, out, 0);
}

}  // namespace qvcodec
