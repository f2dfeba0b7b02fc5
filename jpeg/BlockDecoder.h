// Entropy decoding of one 8x8 block: Huffman symbols by the per-length search, EXTEND, DC
// prediction, the AC run loop with dequantisation and de-zig-zagging. The difficulty is the
// damaged stream: every step refuses what would leave its table or the block.
#pragma once

#include <cstdint>

#include "jpeg/JpegDecoderState.h"
#include "jpeg/JpegError.h"

namespace kavrosa {

// The tables one component is decoded with.
struct ComponentTables {
  const HuffmanTable* dcTable = nullptr;
  const uint8_t* dcValues = nullptr;
  int32_t dcCount = 0;
  const HuffmanTable* acTable = nullptr;
  const uint8_t* acValues = nullptr;
  int32_t acCount = 0;
  const uint8_t* quant = nullptr;  // 64 values in zig-zag order
};

// Largest DC category and AC size of 8-bit baseline data.
constexpr int32_t kMaxDcCategory = 11;
constexpr int32_t kMaxAcSize = 10;
// A DC predictor beyond this cannot come from 8-bit samples; refusing it keeps every
// dequantised coefficient far inside 32 bits.
constexpr int32_t kMaxDcPredictor = 65535;

// The zig-zag sequence: entry k is the natural index of the k-th coefficient.
extern const int32_t kZigzag[64];

// T.81 F.2.2.1 EXTEND: the s-bit value v as a signed difference.
// Written without a branch: the sign bit of a difference is as good as random. s is 1 to 16.
constexpr int32_t ExtendValue(uint32_t v, int32_t s) {
  const uint32_t negative = ((v >> (s - 1)) & 1u) - 1u;  // all ones when the top bit is clear
  return static_cast<int32_t>(v + (negative & ((uint32_t{1} - (uint32_t{1} << s)))));
}

// One symbol; kHuffmanCode when no code of up to 16 bits matches.
JpegError DecodeHuffman(JpegDecoderState& state, const HuffmanTable& table, const uint8_t* values,
                        int32_t count, uint8_t& symbol);
JpegError DecodeDc(JpegDecoderState& state, const ComponentTables& tables, int32_t& diff);
JpegError DecodeAc(JpegDecoderState& state, const ComponentTables& tables, int32_t& value,
                   int32_t& run);
// The 64 dequantised coefficients of one block in natural order, updating `predictor`.
JpegError DecodeBlock(JpegDecoderState& state, const ComponentTables& tables, int32_t& predictor,
                      int32_t coefficients[64]);

}  // namespace kavrosa
