// G.711 A-law and µ-law companding (ITU-T G.711) between 16-bit linear PCM and 8-bit codes.
//
// 16-bit input is brought to the law's uniform range (13 bits for A-law, 14 for µ-law) by
// dropping low bits; a negative value is taken by its one's complement, so that x and
// -1 - x get the same magnitude and the quantiser stays symmetric about -1/2. Decoded values
// are the law's interval centres scaled back to 16 bits.
#pragma once

#include <cstdint>

namespace qvcodec {

uint8_t LinearToAlaw(int16_t pcm);
int16_t AlawToLinear(uint8_t code);
uint8_t LinearToUlaw(int16_t pcm);
int16_t UlawToLinear(uint8_t code);

}  // namespace qvcodec
