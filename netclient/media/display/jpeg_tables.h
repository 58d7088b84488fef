// The example tables of ITU-T T.81 Annex K that the snapshot encoder uses, and the zigzag
// order of T.81 Figure A.6.
#pragma once

#include <cstdint>

namespace qvnet::jpeg {

// kZigzag[k] is the natural (row-major) index of the coefficient at zigzag position k.
extern const uint8_t kZigzag[64];

// Annex K.1 (luminance) and K.2 (chrominance) quantisation tables, natural order.
extern const uint8_t kLumaQuant[64];
extern const uint8_t kChromaQuant[64];

// A Huffman table as a DHT segment carries it: the number of codes of each length 1..16,
// then the symbols in order of increasing code length.
struct HuffmanSpec {
  uint8_t bits[16];
  const uint8_t* values;
  int count;
};

// Annex K.3: DC and AC tables for luminance (0) and chrominance (1).
extern const HuffmanSpec kDcLuma;
extern const HuffmanSpec kDcChroma;
extern const HuffmanSpec kAcLuma;
extern const HuffmanSpec kAcChroma;

}  // namespace qvnet::jpeg
