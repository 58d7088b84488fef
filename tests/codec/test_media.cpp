#include "tests/codec/test_media.h"

#include <algorithm>
#include <cmath>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/opt.h>
}

#include "netclient/media/codec/av_ptr.h"

namespace qvcodec::test {
namespace {

FramePtr ToFrame(const YuvImage& img, AVPixelFormat format, int64_t pts) {
  FramePtr f(av_frame_alloc());
  f->width = img.width;
  f->height = img.height;
  f->format = format;
  f->pts = pts;
  if (av_frame_get_buffer(f.get(), 0) < 0) return nullptr;
  const int cw = img.ChromaWidth();
  for (int row = 0; row < img.height; ++row) {
    std::copy_n(&img.y[static_cast<size_t>(row * img.width)], img.width,
                f->data[0] + row * f->linesize[0]);
  }
  for (int row = 0; row < img.ChromaHeight(); ++row) {
    std::copy_n(&img.u[static_cast<size_t>(row * cw)], cw, f->data[1] + row * f->linesize[1]);
    std::copy_n(&img.v[static_cast<size_t>(row * cw)], cw, f->data[2] + row * f->linesize[2]);
  }
  return f;
}

void TakePackets(AVCodecContext* ctx, std::vector<std::vector<uint8_t>>* out) {
  PacketPtr pkt(av_packet_alloc());
  while (avcodec_receive_packet(ctx, pkt.get()) == 0) {
    out->emplace_back(pkt->data, pkt->data + pkt->size);
    av_packet_unref(pkt.get());
  }
}

}  // namespace

YuvImage MovingPattern(int width, int height, int index, int chroma_w_div, int chroma_h_div) {
  YuvImage img;
  img.width = width;
  img.height = height;
  img.chroma_w_div = chroma_w_div;
  img.chroma_h_div = chroma_h_div;
  img.y.resize(static_cast<size_t>(width * height));
  const int side = std::max(8, width / 8);
  const int sx = (index * 8) % std::max(1, width - side);
  const int sy = (index * 4) % std::max(1, height - side);
  for (int row = 0; row < height; ++row) {
    for (int col = 0; col < width; ++col) {
      const bool in_square = col >= sx && col < sx + side && row >= sy && row < sy + side;
      img.y[static_cast<size_t>(row * width + col)] =
          static_cast<uint8_t>(in_square ? 230 : 30 + col * 120 / width + row * 60 / height);
    }
  }
  const int cw = img.ChromaWidth();
  const int ch = img.ChromaHeight();
  img.u.resize(static_cast<size_t>(cw * ch));
  img.v.resize(static_cast<size_t>(cw * ch));
  for (int row = 0; row < ch; ++row) {
    for (int col = 0; col < cw; ++col) {
      img.u[static_cast<size_t>(row * cw + col)] = static_cast<uint8_t>(70 + col * 110 / cw);
      img.v[static_cast<size_t>(row * cw + col)] =
          static_cast<uint8_t>(180 - row * 100 / ch + index % 7);
    }
  }
  return img;
}

std::vector<std::vector<uint8_t>> EncodeH264(int width, int height, int frames, int slices) {
  std::vector<std::vector<uint8_t>> units;
  const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
  if (codec == nullptr) return units;
  CodecContextPtr ctx(avcodec_alloc_context3(codec));
  ctx->width = width;
  ctx->height = height;
  ctx->pix_fmt = AV_PIX_FMT_YUV420P;
  ctx->time_base = {1, 25};
  ctx->framerate = {25, 1};
  ctx->gop_size = 4;  // several key frames, so a decoder can recover inside a short stream
  ctx->max_b_frames = 0;
  ctx->thread_count = 1;
  AVDictionary* opts = nullptr;
  av_dict_set(&opts, "profile", "baseline", 0);
  av_dict_set(&opts, "preset", "veryfast", 0);
  av_dict_set(&opts, "tune", "zerolatency", 0);
  av_dict_set(&opts, "crf", "16", 0);
  if (slices > 1) av_dict_set(&opts, "x264-params", ("slices=" + std::to_string(slices)).c_str(), 0);
  const int opened = avcodec_open2(ctx.get(), codec, &opts);
  av_dict_free(&opts);
  if (opened < 0) return units;
  for (int i = 0; i < frames; ++i) {
    FramePtr f = ToFrame(MovingPattern(width, height, i), AV_PIX_FMT_YUV420P, i);
    if (!f || avcodec_send_frame(ctx.get(), f.get()) < 0) return {};
    TakePackets(ctx.get(), &units);
  }
  avcodec_send_frame(ctx.get(), nullptr);
  TakePackets(ctx.get(), &units);
  return units;
}

std::vector<uint8_t> EncodeJpeg(const YuvImage& image, AVPixelFormat format) {
  const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MJPEG);
  if (codec == nullptr) return {};
  CodecContextPtr ctx(avcodec_alloc_context3(codec));
  ctx->width = image.width;
  ctx->height = image.height;
  ctx->pix_fmt = format;
  ctx->color_range = AVCOL_RANGE_JPEG;
  ctx->time_base = {1, 25};
  ctx->flags |= AV_CODEC_FLAG_QSCALE;
  ctx->global_quality = FF_QP2LAMBDA * 2;
  if (avcodec_open2(ctx.get(), codec, nullptr) < 0) return {};
  FramePtr f = ToFrame(image, format, 0);
  if (!f) return {};
  f->quality = ctx->global_quality;
  std::vector<std::vector<uint8_t>> packets;
  if (avcodec_send_frame(ctx.get(), f.get()) < 0) return {};
  TakePackets(ctx.get(), &packets);
  return packets.empty() ? std::vector<uint8_t>{} : packets.front();
}

double Psnr(const uint8_t* got, int got_stride, const uint8_t* want, int want_stride, int width,
            int height) {
  double sum = 0;
  for (int row = 0; row < height; ++row) {
    for (int col = 0; col < width; ++col) {
      const double d = double(got[row * got_stride + col]) - double(want[row * want_stride + col]);
      sum += d * d;
    }
  }
  const double mse = sum / (double(width) * double(height));
  return mse == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

std::vector<uint8_t> ChromaTo420(const YuvImage& image, const std::vector<uint8_t>& plane) {
  const int cw = image.ChromaWidth();
  const int ch = image.ChromaHeight();
  const int ow = (image.width + 1) / 2;
  const int oh = (image.height + 1) / 2;
  const int fx = 2 / image.chroma_w_div;  // source samples per output sample, across
  const int fy = 2 / image.chroma_h_div;  // and down
  std::vector<uint8_t> out(static_cast<size_t>(ow * oh));
  for (int row = 0; row < oh; ++row) {
    for (int col = 0; col < ow; ++col) {
      int sum = 0;
      int n = 0;
      for (int dy = 0; dy < fy; ++dy) {
        for (int dx = 0; dx < fx; ++dx) {
          const int r = std::min(row * fy + dy, ch - 1);
          const int c = std::min(col * fx + dx, cw - 1);
          sum += plane[static_cast<size_t>(r * cw + c)];
          ++n;
        }
      }
      out[static_cast<size_t>(row * ow + col)] = static_cast<uint8_t>((sum + n / 2) / n);
    }
  }
  return out;
}

std::vector<uint8_t> Concat(const std::vector<std::vector<uint8_t>>& units) {
  std::vector<uint8_t> all;
  for (const auto& u : units) all.insert(all.end(), u.begin(), u.end());
  return all;
}

}  // namespace qvcodec::test
