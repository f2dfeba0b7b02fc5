// The reference entropy decoder, one bit at a time through ReadBits. The search for a code
// stops at length 16, a run may not carry the index past 63, and sizes above what 8-bit data
// produces are refused, so a damaged stream ends cleanly instead of reading out of bounds.
#include "jpeg/BlockDecoder.h"

#include "jpeg/BitReader.h"

namespace kavrosa {

const int32_t kZigzag[64] = {0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,
                             12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,
                             35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
                             58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

JpegError DecodeHuffman(JpegDecoderState& state, const HuffmanTable& table, const uint8_t* values,
                        int32_t count, uint8_t& symbol) {
  uint32_t code = 0;
  ReadBits(state, code, 1);
  int32_t l = 1;
  while (table.entries[l].maxCode == 0xFFFF || code > table.entries[l].maxCode) {
    if (++l > 16) return JpegError::kHuffmanCode;
    ReadBits(state, code, 1);
  }
  const HuffmanLengthEntry& entry = table.entries[l];
  const uint32_t index = entry.valueIndex + code - entry.minCode;
  if (index >= static_cast<uint32_t>(count)) return JpegError::kHuffmanCode;
  symbol = values[index];
  return JpegError::kNone;
}

namespace {

// The s extra bits that follow a DC or AC symbol, as a signed value; size 0 reads nothing.
int32_t ReceiveExtend(JpegDecoderState& state, int32_t s) {
  if (s == 0) return 0;
  uint32_t v = 0;
  ReadBits(state, v, s);
  return ExtendValue(v, s);
}

}  // namespace

JpegError DecodeDc(JpegDecoderState& state, const ComponentTables& tables, int32_t& diff) {
  uint8_t s = 0;
  const JpegError error = DecodeHuffman(state, *tables.dcTable, tables.dcValues, tables.dcCount, s);
  if (error != JpegError::kNone) return error;
  if (s > kMaxDcCategory) return JpegError::kCoefficientSize;
  diff = ReceiveExtend(state, s);
  return JpegError::kNone;
}

JpegError DecodeAc(JpegDecoderState& state, const ComponentTables& tables, int32_t& value,
                   int32_t& run) {
  uint8_t r = 0;
  const JpegError error = DecodeHuffman(state, *tables.acTable, tables.acValues, tables.acCount, r);
  if (error != JpegError::kNone) return error;
  run = r >> 4;
  const int32_t s = r & 0x0F;
  if (s > kMaxAcSize) return JpegError::kCoefficientSize;
  value = ReceiveExtend(state, s);
  return JpegError::kNone;
}

JpegError DecodeBlock(JpegDecoderState& state, const ComponentTables& tables, int32_t& predictor,
                      int32_t coefficients[64]) {
  for (int32_t i = 0; i < 64; ++i) coefficients[i] = 0;
  int32_t diff = 0;
  JpegError error = DecodeDc(state, tables, diff);
  if (error != JpegError::kNone) return error;
  predictor += diff;
  if (predictor > kMaxDcPredictor || predictor < -kMaxDcPredictor) return JpegError::kDcOutOfRange;
  coefficients[0] = predictor * tables.quant[0];
  for (int32_t k = 1; k < 64;) {
    int32_t value = 0;
    int32_t run = 0;
    error = DecodeAc(state, tables, value, run);
    if (error != JpegError::kNone) return error;
    if (run == 0 && value == 0) break;  // end of block
    k += run;
    if (k > 63) return JpegError::kCoefficientOverrun;
    coefficients[state.zigzag[k]] = value * tables.quant[k];
    ++k;
  }
  return JpegError::kNone;
}

}  // namespace kavrosa
