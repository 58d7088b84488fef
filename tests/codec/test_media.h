// Media made inside the tests with libavcodec's encoders, and the measures used to judge
// decoded pictures.
#pragma once

#include <cstdint>
#include <vector>

extern "C" {
#include <libavutil/pixfmt.h>
}

#include "netclient/media/codec/decoded_picture.h"

namespace qvcodec::test {

// A planar YUV picture; chroma planes are (w + cw - 1) / cw by (h + ch - 1) / ch.
struct YuvImage {
  int width = 0;
  int height = 0;
  int chroma_w_div = 2;
  int chroma_h_div = 2;
  std::vector<uint8_t> y, u, v;
  int ChromaWidth() const { return (width + chroma_w_div - 1) / chroma_w_div; }
  int ChromaHeight() const { return (height + chroma_h_div - 1) / chroma_h_div; }
};

// Smooth gradients and a bright square that moves with `index`, so that successive
// pictures differ and motion prediction is exercised.
YuvImage MovingPattern(int width, int height, int index, int chroma_w_div = 2,
                       int chroma_h_div = 2);

// Baseline H.264 (libx264, no B-frames) of `frames` pictures of MovingPattern, one Annex B
// access unit per picture. `slices` > 1 cuts every picture into that many slices.
std::vector<std::vector<uint8_t>> EncodeH264(int width, int height, int frames, int slices = 1);

// One baseline JPEG of `image` in `format` (yuvj420p, yuvj422p or yuvj444p, matching the
// image's chroma division).
std::vector<uint8_t> EncodeJpeg(const YuvImage& image, AVPixelFormat format);

// PSNR in dB of a decoded plane against a reference plane of the same size.
double Psnr(const uint8_t* got, int got_stride, const uint8_t* want, int want_stride, int width,
            int height);

// The reference chroma plane brought to 4:2:0 by averaging, for comparison with output.
std::vector<uint8_t> ChromaTo420(const YuvImage& image, const std::vector<uint8_t>& plane);

// Joins access units into one byte stream.
std::vector<uint8_t> Concat(const std::vector<std::vector<uint8_t>>& units);

}  // namespace qvcodec::test
