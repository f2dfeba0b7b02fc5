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

// What the per-length search of DecodeHuffman finds at the top of a `bits`-bit pattern (bits up
// to 16): the length of the first code that holds the pattern's prefix (0: none of up to
// `bits` bits) and, when its index lies inside the values, the symbol. Every table and every
// search of the fast paths goes through this one, so they all keep the search's quirks.
struct CodeMatch {
  int32_t length = 0;
  bool known = false;
  uint8_t symbol = 0;
};

inline CodeMatch MatchCode(const HuffmanTable& table, const uint8_t* values, int32_t count,
                           uint32_t pattern, int32_t bits) {
  CodeMatch match;
  for (int32_t l = 1; l <= bits; ++l) {
    const uint32_t code = pattern >> (bits - l);
    const HuffmanLengthEntry& entry = table.entries[l];
    if (entry.maxCode == 0xFFFF || code > entry.maxCode) continue;
    match.length = l;
    const uint32_t index = entry.valueIndex + code - entry.minCode;
    if (index < static_cast<uint32_t>(count)) {
      match.known = true;
      match.symbol = values[index];
    }
    return match;
  }
  return match;
}

// The first kLookaheadBits bits of a code, resolved in one step.
constexpr int kLookaheadBits = 9;

struct HuffmanLookahead {
  // Per bit pattern: symbol in the low 8 bits and code length above them; 0 when the code is
  // longer than the lookahead (or no code matches), so the per-bit search goes on.
  uint16_t entries[1 << kLookaheadBits];
};

// Resolves every kLookaheadBits-bit pattern with MatchCode.
void BuildLookahead(const HuffmanTable& table, const uint8_t* values, int32_t count,
                    HuffmanLookahead& lookahead);

}  // namespace kavrosa
