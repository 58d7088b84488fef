#include "netclient/media/codec/mjpegdec.h"

#include <memory>

#include "netclient/media/codec/av_ptr.h"
#include "netclient/media/codec/picture_convert.h"

namespace qvcodec {
namespace {

// Tells a live handle from a stray pointer or a handle of the other decoder.
constexpr uint32_t kMagic = 0x4D4A5047;  // "MJPG"
// Larger than the display's picture buffer: nothing this big is a camera's image.
constexpr int32_t kMaxImageBytes = 16 << 20;
// Pictures left over inside the decoder (an input holding two images) that are discarded
// before the next image, at most.
constexpr int kMaxStalePictures = 8;

class MjpegDecState {
 public:
  uint32_t magic_ = kMagic;  // first member, at the same place in every decoder

  bool Open();
  int32_t Frame(const uint8_t* jpeg, int32_t len, DecodedPicture* out);

 private:
  CodecContextPtr ctx_;
  FramePtr frame_;
  PictureConverter converter_;
};

bool MjpegDecState::Open() {
  // Explode: an image cut short (a lost RTP packet) is refused instead of being shown
  // with its lower part made up.
  ctx_ = OpenDecoder(AV_CODEC_ID_MJPEG, 0, AV_EF_EXPLODE);
  frame_.reset(av_frame_alloc());
  return ctx_ && frame_;
}

int32_t MjpegDecState::Frame(const uint8_t* jpeg, int32_t len, DecodedPicture* out) {
  if (jpeg == nullptr || len <= 0 || len > kMaxImageBytes) return kJpegSkipped;
  for (int i = 0; i < kMaxStalePictures; ++i) {
    if (avcodec_receive_frame(ctx_.get(), frame_.get()) != 0) break;
  }
  PacketPtr pkt = CopyToPacket(jpeg, len);
  if (!pkt) return kJpegSkipped;
  if (avcodec_send_packet(ctx_.get(), pkt.get()) != 0) return kJpegSkipped;
  if (avcodec_receive_frame(ctx_.get(), frame_.get()) != 0) return kJpegSkipped;
  if ((frame_->flags & AV_FRAME_FLAG_CORRUPT) != 0) return kJpegSkipped;
  return converter_.Convert(*frame_, out) ? kJpegPicture : kJpegSkipped;
}

MjpegDecState* FromHandle(void* handle) {
  auto* dec = static_cast<MjpegDecState*>(handle);
  return dec != nullptr && dec->magic_ == kMagic ? dec : nullptr;
}

}  // namespace

void* MjpegDecCreate(const int32_t params[7]) {
  (void)params;  // hints only; every image carries its size
  try {
    auto dec = std::make_unique<MjpegDecState>();
    return dec->Open() ? dec.release() : nullptr;
  } catch (...) {
    return nullptr;
  }
}

int32_t MjpegDecFrame(void* handle, const uint8_t* jpeg, int32_t len, int32_t, int32_t,
                      DecodedPicture* out, int32_t) {
  MjpegDecState* dec = FromHandle(handle);
  if (dec == nullptr || out == nullptr) return kJpegBadHandle;
  try {
    return dec->Frame(jpeg, len, out);
  } catch (...) {
    return kJpegSkipped;
  }
}

void MjpegDecDestroy(void* handle) {
  MjpegDecState* dec = FromHandle(handle);
  if (dec == nullptr) return;
  dec->magic_ = 0;
  delete dec;
}

}  // namespace qvcodec
