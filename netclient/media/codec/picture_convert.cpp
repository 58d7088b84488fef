#include "netclient/media/codec/picture_convert.h"

extern "C" {
#include <libavutil/pixdesc.h>
}

namespace qvcodec {
namespace {

// libswscale may write whole vectors past the last pixel of a line or plane.
constexpr size_t kTailPadding = 64;

int Align32(int v) { return (v + 31) & ~31; }

bool IsPlanar420(AVPixelFormat f) {
  return f == AV_PIX_FMT_YUV420P || f == AV_PIX_FMT_YUVJ420P;
}

// The JPEG ("j") formats are the plain ones at full range. Naming the plain format and the
// range separately is how libswscale wants them.
AVPixelFormat PlainFormat(AVPixelFormat f, bool* full_range) {
  switch (f) {
    case AV_PIX_FMT_YUVJ420P: *full_range = true; return AV_PIX_FMT_YUV420P;
    case AV_PIX_FMT_YUVJ422P: *full_range = true; return AV_PIX_FMT_YUV422P;
    case AV_PIX_FMT_YUVJ444P: *full_range = true; return AV_PIX_FMT_YUV444P;
    case AV_PIX_FMT_YUVJ440P: *full_range = true; return AV_PIX_FMT_YUV440P;
    case AV_PIX_FMT_YUVJ411P: *full_range = true; return AV_PIX_FMT_YUV411P;
    default: return f;
  }
}

}  // namespace

bool PictureConverter::Convert(const AVFrame& frame, DecodedPicture* out) {
  if (out == nullptr) return false;
  if (frame.width <= 0 || frame.height <= 0) return false;
  if (frame.width > kMaxPictureSide || frame.height > kMaxPictureSide) return false;
  const auto fmt = static_cast<AVPixelFormat>(frame.format);
  // One chroma stride serves both chroma planes in the record, so hand through only when
  // the two agree (and no plane is stored bottom-up).
  const bool pass = IsPlanar420(fmt) && frame.data[0] && frame.data[1] && frame.data[2] &&
                    frame.linesize[0] > 0 && frame.linesize[1] > 0 &&
                    frame.linesize[1] == frame.linesize[2];
  if (!pass) return Scale(frame, out);
  out->y = frame.data[0];
  out->u = frame.data[1];
  out->v = frame.data[2];
  out->width = frame.width;
  out->height = frame.height;
  out->y_stride = frame.linesize[0];
  out->uv_stride = frame.linesize[1];
  return true;
}

bool PictureConverter::EnsureBuffer(int width, int height) {
  const int ys = Align32(width);
  const int uvs = Align32((width + 1) / 2);
  const size_t need = static_cast<size_t>(ys) * static_cast<size_t>(height) +
                      2 * static_cast<size_t>(uvs) * static_cast<size_t>((height + 1) / 2) +
                      kTailPadding;
  y_stride_ = ys;
  uv_stride_ = uvs;
  if (buffer_ && need <= buffer_size_) return true;
  buffer_.reset(static_cast<uint8_t*>(av_malloc(need)));
  buffer_size_ = buffer_ ? need : 0;
  return static_cast<bool>(buffer_);
}

bool PictureConverter::Scale(const AVFrame& frame, DecodedPicture* out) {
  const int w = frame.width;
  const int h = frame.height;
  bool full_range = frame.color_range == AVCOL_RANGE_JPEG;
  const AVPixelFormat src = PlainFormat(static_cast<AVPixelFormat>(frame.format), &full_range);
  const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(src);
  if (desc == nullptr || sws_isSupportedInput(src) <= 0) return false;
  if (!EnsureBuffer(w, h)) return false;

  sws_.reset(sws_getCachedContext(sws_.release(), w, h, src, w, h, AV_PIX_FMT_YUV420P,
                                  SWS_BILINEAR, nullptr, nullptr, nullptr));
  if (!sws_) return false;
  // A YUV source keeps its range: a full-range 4:2:2 JPEG must come out like its 4:2:0
  // twin, which passes through untouched. RGB sources go to studio range, as the
  // display's conversion expects.
  const bool rgb = (desc->flags & AV_PIX_FMT_FLAG_RGB) != 0;
  const int* coeffs = sws_getCoefficients(SWS_CS_ITU601);
  sws_setColorspaceDetails(sws_.get(), coeffs, full_range ? 1 : 0, coeffs,
                           (full_range && !rgb) ? 1 : 0, 0, 1 << 16, 1 << 16);

  uint8_t* base = buffer_.get();
  const size_t y_size = static_cast<size_t>(y_stride_) * static_cast<size_t>(h);
  const size_t c_size = static_cast<size_t>(uv_stride_) * static_cast<size_t>((h + 1) / 2);
  uint8_t* const dst[4] = {base, base + y_size, base + y_size + c_size, nullptr};
  const int dst_stride[4] = {y_stride_, uv_stride_, uv_stride_, 0};
  if (sws_scale(sws_.get(), frame.data, frame.linesize, 0, h, dst, dst_stride) <= 0) return false;

  out->y = dst[0];
  out->u = dst[1];
  out->v = dst[2];
  out->width = w;
  out->height = h;
  out->y_stride = y_stride_;
  out->uv_stride = uv_stride_;
  return true;
}

}  // namespace qvcodec
