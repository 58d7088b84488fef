#include "tools/camsim/video_clip.h"

#include <cstdio>
#include <map>
#include <mutex>

#include "tools/camsim/annexb.h"

namespace camsim {

namespace {

constexpr long kMaxFileBytes = 512L << 20;

std::string CacheKey(const CameraOptions& o) {
  return std::to_string(static_cast<int>(o.video)) + "|" + std::to_string(o.width) + "x" +
         std::to_string(o.height) + "@" + std::to_string(o.fps) + "|" + std::to_string(o.kbps) +
         "|" + std::to_string(o.clip_seconds) + "|" + std::to_string(o.jpeg_qscale) + "|" +
         o.h264_file;
}

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

std::shared_ptr<VideoClip> LoadH264File(const CameraOptions& options, std::string* error) {
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(options.h264_file.c_str(), "rb"));
  if (!file) {
    *error = "cannot open " + options.h264_file;
    return nullptr;
  }
  Bytes data;
  uint8_t chunk[65536];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof(chunk), file.get())) > 0) {
    if (data.size() + n > static_cast<size_t>(kMaxFileBytes)) {
      *error = options.h264_file + " is larger than 512 MiB";
      return nullptr;
    }
    data.insert(data.end(), chunk, chunk + n);
  }
  auto clip = std::make_shared<VideoClip>();
  clip->codec = VideoCodec::kH264;
  clip->width = options.width;
  clip->height = options.height;
  clip->fps = options.fps;
  clip->units = GroupAccessUnits(SplitAnnexB(data.data(), data.size()));
  for (const AccessUnit& unit : clip->units) {
    for (const Bytes& nal : unit.nals) {
      if (NalTypeOf(nal) == kNalSps && clip->sps.empty()) clip->sps = nal;
      if (NalTypeOf(nal) == kNalPps && clip->pps.empty()) clip->pps = nal;
    }
  }
  if (clip->units.empty()) {
    *error = options.h264_file + " holds no H.264 NAL units";
    return nullptr;
  }
  return clip;
}

std::shared_ptr<const VideoClip> GetVideoClip(const CameraOptions& options, std::string* error) {
  // Weak entries: a clip lives as long as some camera streams it.
  static std::mutex mutex;
  static std::map<std::string, std::weak_ptr<const VideoClip>> cache;
  std::lock_guard<std::mutex> lock(mutex);
  const std::string key = CacheKey(options);
  if (auto clip = cache[key].lock()) return clip;
  std::shared_ptr<const VideoClip> clip;
  if (options.video == VideoCodec::kJpeg) {
    clip = EncodeJpegClip(options, error);
  } else if (!options.h264_file.empty()) {
    clip = LoadH264File(options, error);
  } else {
    clip = EncodeH264Clip(options, error);
  }
  if (clip) cache[key] = clip;
  return clip;
}

}  // namespace camsim
