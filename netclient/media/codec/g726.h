// G.726 ADPCM (ITU-T G.726) at 16, 24, 32 and 40 kbit/s on 16-bit linear PCM: adaptive
// quantiser with fast and slow scale factors, a predictor with 2 poles and 6 zeros, and
// tone / transition detection, all in the recommendation's integer and 11-bit floating
// formats so that the code stream is the one its reference algorithm gives.
//
// The coder works on the recommendation's 14-bit uniform signal: 16-bit input is shifted
// right by 2, and output is shifted left by 2 and clamped to 16 bits.
#pragma once

#include <cstdint>

namespace qvcodec {

// Arithmetic of the coder. kItu is the recommendation's. kLibavcodec reproduces the two
// places where libavcodec's G.726 rounds differently (the scale-factor mix keeps the slow
// factor's fraction bits; 40 kbit/s leaks the zero coefficients by 2^-8, not 2^-9). It exists
// so that tests can show every other part to agree with that decoder sample for sample.
enum class G726Arithmetic : uint8_t { kItu, kLibavcodec };

// The whole coder state. Trivially copyable and small so that it fits in a caller-owned
// area with no destroy call.
struct G726State {
  int32_t yl;     // slow ("locked") quantiser scale factor, 2^-6 units of yu
  int16_t yu;     // fast ("unlocked") quantiser scale factor
  int16_t dms;    // short-term average of F(I)
  int16_t dml;    // long-term average of F(I)
  int16_t ap;     // adaptation speed control
  int16_t a[2];   // pole coefficients
  int16_t b[6];   // zero coefficients
  int16_t dq[6];  // last quantised differences, floating format
  int16_t sr[2];  // last reconstructed samples, floating format
  uint8_t pk[2];  // signs of the last partial reconstructions (1 = negative)
  uint8_t td;     // tone detected
  uint8_t bits;   // bits per code: 2 (16 kbit/s) to 5 (40 kbit/s)
  G726Arithmetic arithmetic;
};

// Resets `s` for `bits` per code; false (state untouched) unless 2 <= bits <= 5.
bool G726Init(G726State* s, int bits, G726Arithmetic arithmetic = G726Arithmetic::kItu);
// Codes one sample; the code is in the low `bits` bits.
uint8_t G726Encode(G726State* s, int16_t pcm);
// Decodes one code (its low `bits` bits).
int16_t G726Decode(G726State* s, uint8_t code);

}  // namespace qvcodec
