#include "netclient/media/display/jpeg_snapshot.h"

#include <turbojpeg.h>

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

}  // namespace

std::vector<uint8_t> EncodeJpegSnapshot(const YuvView& p) {
  if (!p.Valid() || p.width > kMaxJpegSide || p.height > kMaxJpegSide) return {};
  const Compressor compressor(tjInitCompress());
  if (!compressor) return {};
  const unsigned char* planes[3] = {p.y, p.u, p.v};
  const int strides[3] = {p.y_stride, p.uv_stride, p.uv_stride};
  // The library allocates the output; an edge that is no multiple of the 16 x 16 MCU is coded
  // from its own copy of the planes, so nothing beyond the picture is read.
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
