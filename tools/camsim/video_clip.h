// The looped video clip of a camera: H.264 encoded from the test pattern with libx264 (or
// read from an Annex B file), or motion JPEG pictures encoded with libavcodec. Clips are
// shared between cameras with the same parameters, so 32 cameras need one encode.
#pragma once

#include <memory>
#include <string>

#include "tools/camsim/camera_options.h"
#include "tools/camsim/media_types.h"

namespace camsim {

std::shared_ptr<const VideoClip> GetVideoClip(const CameraOptions& options, std::string* error);

// Encoders behind GetVideoClip, without the cache.
std::shared_ptr<VideoClip> EncodeH264Clip(const CameraOptions& options, std::string* error);
std::shared_ptr<VideoClip> EncodeJpegClip(const CameraOptions& options, std::string* error);
std::shared_ptr<VideoClip> LoadH264File(const CameraOptions& options, std::string* error);

}  // namespace camsim
