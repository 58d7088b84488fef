// The seed generator's groups: what the simulated cameras send (and the media they sent, for
// the file seeds), and the files the product itself writes.
#pragma once

#include <vector>

#include "fuzz/seeds/camera_capture.h"
#include "fuzz/seeds/seed_set.h"

namespace qvseeds {

// Media kept from the camera sessions for the file and decoder seeds.
struct MediaSamples {
  std::vector<Interleaved> h264_stream;  // interleaved packets of the H.264 + G.711 A-law camera
  std::vector<Interleaved> jpeg_stream;  // ... of the motion JPEG + G.726-32 camera
  std::vector<Bytes> h264_units;         // Annex B access units as sent
  std::vector<Bytes> jpeg_pictures;      // complete JPEG images as sent
  std::vector<Bytes> alaw_payloads;      // RTP payloads, 40 ms each
  std::vector<Bytes> g726_payloads;
};

// RTSP answers, interleaved streams, RTP packets, MCTP answers and events.
MediaSamples MakeCameraSeeds(SeedSet& seeds);

// Record files (written by RecordPair from the camera's packets), AVI files (aviwrite),
// Local.dat, Schedule.dat, config.ini, voice frames and decoder inputs.
void MakeFileSeeds(SeedSet& seeds, const MediaSamples& media);

// Answers, descriptions, URLs and parameter sets of the standard mode; the camera's H.264 as
// recorded records for the export.
void MakeStandardSeeds(SeedSet& seeds, const MediaSamples& media);

}  // namespace qvseeds
