// Synthetic sources: a moving picture (so every frame differs and motion is visible) and a
// speech-like sound (voiced syllables with pauses, so codecs and level meters see real work).
#pragma once

#include <cstdint>
#include <vector>

namespace camsim {

struct PlanarPicture {
  uint8_t* y;
  uint8_t* u;
  uint8_t* v;
  int y_stride;
  int c_stride;
  int width;   // luma size; chroma is half in both directions (4:2:0)
  int height;
};

// Colour bars scrolling sideways, with grain and a bright box bouncing over them; `frame` sets the phase.
void FillTestPattern(const PlanarPicture& picture, int frame);

// `count` samples at 8 kHz of syllables on a gliding fundamental with harmonics; starts and
// ends in silence so that the clip loops without a click.
std::vector<int16_t> MakeSpeechLikeSignal(int count);

}  // namespace camsim
