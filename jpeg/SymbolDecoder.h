// The one symbol decoder of the fast baseline and progressive paths, over the buffered reader:
// short codes through lookahead tables, AC codes with their value bits in one lookup, and the
// per-length search behind both. It must consume exactly the bits DecodeHuffman reads and
// refuse what it refuses, so every table is built from the same search (MatchCode).
#pragma once

#include <cstdint>

#include "jpeg/BlockDecoder.h"
#include "jpeg/BufferedBits.h"
#include "jpeg/HuffmanTables.h"

// The symbol steps are inlined into the scan loops, which hold their reader in locals: a call
// would take the reader's address and keep it in memory for the whole loop.
#ifndef KAVROSA_ALWAYS_INLINE
#if defined(__GNUC__)
#define KAVROSA_ALWAYS_INLINE __attribute__((always_inline)) inline
#else
#define KAVROSA_ALWAYS_INLINE inline
#endif
#endif

namespace kavrosa {

// One Huffman symbol by the search over the next 16 bits. It refuses what DecodeHuffman refuses,
// after consuming what it consumes: the code's bits, or all 16 when no code matches.
KAVROSA_ALWAYS_INLINE JpegError SearchSymbol(BufferedBits& bits, const HuffmanTable& table,
                                             const uint8_t* values, int32_t count,
                                             uint8_t& symbol) {
  const CodeMatch match = MatchCode(table, values, count, bits.Peek(16), 16);
  bits.Consume(match.length != 0 ? match.length : 16);
  if (!match.known) return JpegError::kHuffmanCode;
  symbol = match.symbol;
  return JpegError::kNone;
}

// One Huffman symbol: the lookahead resolves codes of up to kLookaheadBits bits, the search the
// rest.
KAVROSA_ALWAYS_INLINE JpegError DecodeSymbol(BufferedBits& bits, const HuffmanLookahead& lookahead,
                                             const HuffmanTable& table, const uint8_t* values,
                                             int32_t count, uint8_t& symbol) {
  const uint16_t entry = lookahead.entries[bits.Peek(kLookaheadBits)];
  if (entry != 0) {
    bits.Consume(entry >> 8);
    symbol = static_cast<uint8_t>(entry & 0xFF);
    return JpegError::kNone;
  }
  return SearchSymbol(bits, table, values, count, symbol);
}

// An AC code and, when they fit, its value bits resolved together from kAcBits bits.
constexpr int kAcBits = 10;
static_assert(kAcBits <= 12, "a resolved value (below 2^(kAcBits - 1)) must fit in 12 bits");

// Packed into 32 bits so that one load serves the whole step: the value (when the value bits
// fit) in the top 12 bits, the code length in bits 16-19 (0: longer than kAcBits, or no code:
// search), run << 4 | size in bits 8-15 and the code plus value length in the low bits (0: the
// value bits do not fit, or the size is above what 8-bit data has). The length sits where a
// 64-bit shift reads its count, so the reader can be shifted by the entry itself.
struct AcEntry {
  uint32_t packed = 0;

  int32_t value() const { return static_cast<int32_t>(packed) >> 20; }
  uint32_t symbol() const { return (packed >> 8) & 0xFF; }
  int32_t run() const { return static_cast<int32_t>(packed >> 12) & 0x0F; }
  int32_t size() const { return static_cast<int32_t>(packed >> 8) & 0x0F; }
  int codeLength() const { return static_cast<int>((packed >> 16) & 0x0F); }
  int totalLength() const { return static_cast<int>(packed & 0x1F); }
};

struct AcLookup {
  AcEntry entries[1 << kAcBits];

  // The entry for the next kAcBits bits of a reader's window.
  const AcEntry& At(uint64_t window) const { return entries[window >> (64 - kAcBits)]; }
};

// Resolves each kAcBits-bit pattern with MatchCode over the component's AC table.
void BuildAcLookup(const ComponentTables& tables, AcLookup& lookup);

}  // namespace kavrosa
