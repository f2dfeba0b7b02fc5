// Huffman decoding tables: code generation from the 16 code counts (T.81 Annex C) into
// minCode/maxCode/valueIndex per code length, and a lookahead table for the fast path that
// must find exactly the symbols the per-bit search finds, including its quirks.
#pragma once

#include <cstdint>

#include "jpeg/JpegDecoderState.h"
#include "jpeg/JpegError.h"

namespace kavrosa {

// Fills `table` from BITS[1..16] (`counts`). Sets `codeCount` to the number of codes.
// Refuses tables with no code, more than 256 codes, or more codes of some length than the
// bits left free by the shorter codes allow.
JpegError BuildHuffmanTable(const uint8_t counts[16], HuffmanTable& table, int32_t& codeCount);

// The first kLookaheadBits bits of a code, resolved in one step.
constexpr int kLookaheadBits = 9;

struct HuffmanLookahead {
  // Per bit pattern: symbol in the low 8 bits and code length above them; 0 when the code is
  // longer than the lookahead (or no code matches), so the per-bit search goes on.
  uint16_t entries[1 << kLookaheadBits];
};

// Resolves every kLookaheadBits-bit pattern with the same search DecodeHuffman performs.
void BuildLookahead(const HuffmanTable& table, const uint8_t* values, int32_t count,
                    HuffmanLookahead& lookahead);

}  // namespace kavrosa
