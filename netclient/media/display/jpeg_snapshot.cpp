#include "netclient/media/display/jpeg_snapshot.h"

#include <turbojpeg.h>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace qvnet {
namespace {

constexpr int kMaxJpegSide = 65535;

struct CompressorCloser {
  void operator()(void* handle) const { tjDestroy(handle); }
};
using Compressor = std::unique_ptr<void, CompressorCloser>;

struct BufferFree {
  void operator()(unsigned char* buffer) const { tjFree(buffer); }
};
using TurboBuffer = std::unique_ptr<unsigned char, BufferFree>;

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

// TurboJPEG reads a 4:2:0 luminance plane of even width and height (tjPlaneWidth,
// tjPlaneHeight); the chrominance planes of a 4:2:0 picture already have the sizes it reads. A
// picture with an odd side therefore gets a copy of its luminance with one more column or line,
// repeating the last one, so that nothing outside the picture's plane is read.
std::vector<uint8_t> EvenLuma(const YuvView& p, int* stride) {
  const int width = (p.width + 1) & ~1;
  const int height = (p.height + 1) & ~1;
  std::vector<uint8_t> luma(static_cast<size_t>(width) * static_cast<size_t>(height));
  for (int y = 0; y < height; ++y) {
    const uint8_t* from = p.y + static_cast<size_t>(std::min(y, p.height - 1)) * static_cast<size_t>(p.y_stride);
    uint8_t* to = luma.data() + static_cast<size_t>(y) * static_cast<size_t>(width);
    std::copy(from, from + p.width, to);
    if (width > p.width) to[width - 1] = from[p.width - 1];
  }
  *stride = width;
  return luma;
}

}  // namespace

std::vector<uint8_t> EncodeJpegSnapshot(const YuvView& p) {
  if (!p.Valid() || p.width > kMaxJpegSide || p.height > kMaxJpegSide) return {};
  const Compressor compressor(tjInitCompress());
  if (!compressor) return {};
  int y_stride = p.y_stride;
  std::vector<uint8_t> even_luma;
  if ((p.width | p.height) & 1) even_luma = EvenLuma(p, &y_stride);
  const unsigned char* planes[3] = {even_luma.empty() ? p.y : even_luma.data(), p.u, p.v};
  const int strides[3] = {y_stride, p.uv_stride, p.uv_stride};
  // The library allocates the output; an edge that is no multiple of the 16 x 16 MCU is coded
  // from its own padded copy of the planes.
  unsigned char* jpeg = nullptr;
  unsigned long size = 0;
  const int result = tjCompressFromYUVPlanes(compressor.get(), planes, p.width, strides, p.height, TJSAMP_420,
                                             &jpeg, &size, kSnapshotQuality, 0);
  const TurboBuffer owned(jpeg);
  if (result != 0 || jpeg == nullptr) return {};
  return std::vector<uint8_t>(jpeg, jpeg + size);
}

bool WriteSnapshotFile(const std::string& path, const uint8_t* data, size_t size) {
  if (path.empty() || (data == nullptr && size > 0)) return false;
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
  if (!file) return false;
  const bool written = std::fwrite(data, 1, size, file.get()) == size;
  return std::fclose(file.release()) == 0 && written;
}

bool WriteJpegSnapshot(const YuvView& picture, const std::string& path) {
  const std::vector<uint8_t> jpeg = EncodeJpegSnapshot(picture);
  if (jpeg.empty()) return false;
  return WriteSnapshotFile(path, jpeg.data(), jpeg.size());
}

}  // namespace qvnet
