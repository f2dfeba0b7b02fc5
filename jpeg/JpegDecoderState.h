// The JPEG decoder's working state (sequential and progressive frames), held as the first
// member of every DibImage so that a picture decodes straight into its own blocks. Tables are not
// copied: quantisation values and Huffman symbol values point into the stream, which outlives one
// decode.
#pragma once

#include <cstdint>

#include "platform/Types.h"

namespace kavrosa {

struct HuffmanLengthEntry {
  uint8_t valueIndex = 0;     // index among the symbol values of the first code of this length
  uint32_t minCode = 0;       // smallest code of this length
  uint32_t maxCode = 0xFFFF;  // largest code of this length; 0xFFFF: no code of this length
};

// Indexed by code length 0..16; entry 0 is filled like the others but never consulted.
struct HuffmanTable {
  HuffmanLengthEntry entries[17];
};

struct ComponentSpec {
  int32_t id = 0;
  int32_t h = 0;
  int32_t v = 0;
  int32_t quantTable = 0;
};

struct JpegDecoderState {
  const uint8_t* acValues[4] = {};
  const uint8_t* dcValues[4] = {};
  HuffmanTable acTables[4];
  HuffmanTable dcTables[4];
  int32_t rowStride = 0;
  BitmapInfoHeader header = {};
  int32_t mcuWidth = 0;
  int32_t mcuHeight = 0;
  ComponentSpec components[3];
  int32_t restartInterval = 0;
  int32_t mcusPerRow = 0;
  int32_t mcuRows = 0;
  const uint8_t* quantTables[4] = {};
  int32_t parseDone = 0;
  int32_t zigzag[64] = {};
  uint8_t bitMasks[8] = {};
  const uint8_t* bitCursor = nullptr;
  int32_t bitPosition = 0;

  // The end of the stream being decoded (one past its last byte). Nothing is read at or
  // beyond it; the bit reader delivers zero bits there and notes it in `bitOverrun`.
  const uint8_t* streamEnd = nullptr;
  int32_t bitOverrun = 0;
  // Number of symbol values of each Huffman table, so that no lookup leaves its table.
  uint16_t acValueCounts[4] = {};
  uint16_t dcValueCounts[4] = {};
  // The frame beyond the design's one kind: its component count (1 for greyscale, 3), whether
  // it is progressive (SOF2), and the orientation (1..8) an Exif block named, 1 without one.
  int32_t componentCount = 0;
  int32_t progressive = 0;
  int32_t exifOrientation = 1;
};

}  // namespace kavrosa
