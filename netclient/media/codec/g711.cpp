#include "netclient/media/codec/g711.h"

#include <bit>

namespace qvcodec {
namespace {

constexpr int kSignBit = 0x80;
constexpr int kAlawToggle = 0x55;     // A-law inverts the even bits of every code
constexpr int kUlawBias = 33;                    // in 14-bit units
constexpr int kUlawMaxMag = 8191 - kUlawBias;    // the biased magnitude stays within 13 bits

}  // namespace

uint8_t LinearToAlaw(int16_t pcm) {
  const bool negative = pcm < 0;
  // 13-bit uniform value; magnitude 0..4095.
  const int mag = (negative ? ~pcm : pcm) >> 3;
  int code;
  if (mag < 32) {
    code = mag >> 1;  // segments 0 and 1 share step 2
  } else {
    const int seg = std::bit_width(static_cast<unsigned>(mag)) - 5;  // 1..7
    code = (seg << 4) | ((mag >> seg) & 0x0F);
  }
  return static_cast<uint8_t>((negative ? code : (code | kSignBit)) ^ kAlawToggle);
}

int16_t AlawToLinear(uint8_t code) {
  const int c = code ^ kAlawToggle;
  const int seg = (c >> 4) & 7;
  const int step = c & 0x0F;
  // Interval centre in 13-bit units: segment 0 is (2q + 1), segment s > 0 is
  // (2q + 33) << (s - 1).
  const int mag = seg == 0 ? 2 * step + 1 : (2 * step + 33) << (seg - 1);
  const int value = mag << 3;
  return static_cast<int16_t>((c & kSignBit) != 0 ? value : -value);
}

uint8_t LinearToUlaw(int16_t pcm) {
  const bool negative = pcm < 0;
  int mag = (negative ? ~pcm : pcm) >> 2;  // 14-bit magnitude, 0..8191
  if (mag > kUlawMaxMag) mag = kUlawMaxMag;
  const int biased = mag + kUlawBias;  // 33..8191
  const int seg = std::bit_width(static_cast<unsigned>(biased)) - 6;  // 0..7
  const int code = (seg << 4) | ((biased >> (seg + 1)) & 0x0F);
  // µ-law sends every bit inverted; a set sign bit on the line means positive.
  return static_cast<uint8_t>(~(negative ? (code | kSignBit) : code));
}

int16_t UlawToLinear(uint8_t code) {
  const int c = ~code & 0xFF;
  const int seg = (c >> 4) & 7;
  const int step = c & 0x0F;
  const int mag = ((2 * step + kUlawBias) << seg) - kUlawBias;  // 14-bit interval centre
  const int value = mag << 2;
  return static_cast<int16_t>((c & kSignBit) != 0 ? -value : value);
}

}  // namespace qvcodec
