// A buffered reader over the entropy-coded bytes that delivers exactly the bits of the plain
// one-bit reader (BitReader.h): the same stuffing rule (a 0x00 after a 0xFF is skipped once the
// 0xFF is used up, any other byte after it is data), zero bits at and past streamEnd, and the
// same cursor and bit position when it hands back to the state. Up to 64 bits are held, loaded a
// byte at a time, so a symbol and its extra bits take a few shifts instead of a call per bit.
#pragma once

#include <cstdint>

#include "jpeg/HuffmanTables.h"
#include "jpeg/JpegDecoderState.h"

namespace kavrosa {

class BufferedBits {
 public:
  // Starts at the state's cursor and bit position.
  explicit BufferedBits(const JpegDecoderState& s) { Start(s); }

  void Start(const JpegDecoderState& s) {
    end_ = s.streamEnd;
    origin_ = s.bitCursor;
    next_ = s.bitCursor;
    bits_ = 0;
    count_ = 0;
    padBits_ = 0;
    loaded_ = 0;
    Fill();
    Consume(s.bitPosition);
  }

  // The next n bits (n <= 16), most significant first, without consuming them.
  uint32_t Peek(int n) {
    if (count_ < n) Fill();
    return static_cast<uint32_t>(bits_ >> (64 - n));
  }
  void Consume(int n) {
    if (count_ < n) Fill();
    bits_ <<= n;
    count_ -= n;
  }
  uint32_t Take(int n) {
    if (n == 0) return 0;
    const uint32_t v = Peek(n);
    bits_ <<= n;
    count_ -= n;
    return v;
  }

  // True once a bit at or past streamEnd has been consumed.
  bool Overrun() const { return count_ < padBits_; }

  // Writes back where the one-bit reader would stand after the bits consumed so far, and its
  // overrun flag.
  void Save(JpegDecoderState& s) const {
    const uint64_t consumed = 8 * loaded_ - static_cast<uint64_t>(count_);
    const uint8_t* cursor = origin_;
    for (uint64_t i = 0; i < consumed / 8; ++i) cursor = Step(cursor);
    s.bitCursor = cursor;
    s.bitPosition = static_cast<int32_t>(consumed % 8);
    if (Overrun()) s.bitOverrun = 1;
  }

 private:
  // The byte after the one at p, as the one-bit reader moves on once p is used up.
  const uint8_t* Step(const uint8_t* p) const {
    if (p < end_ && p[0] == 0xFF && p + 1 < end_ && p[1] == 0x00) ++p;
    return p < end_ ? p + 1 : p;
  }

  void Fill() {
    while (count_ <= 56) {
      uint64_t byte = 0;
      if (next_ < end_) {
        byte = *next_;
      } else {
        padBits_ += 8;
      }
      next_ = Step(next_);
      bits_ |= byte << (56 - count_);
      count_ += 8;
      ++loaded_;
    }
  }

  const uint8_t* end_ = nullptr;
  const uint8_t* origin_ = nullptr;  // where loading started: bit 0 of this byte
  const uint8_t* next_ = nullptr;    // the next byte to load
  uint64_t bits_ = 0;                // unread bits, left-aligned
  int count_ = 0;
  int padBits_ = 0;  // zero bits loaded from at or past streamEnd, all at the buffer's tail
  uint64_t loaded_ = 0;
};

// One Huffman symbol as DecodeHuffman (BlockDecoder.h) finds it, consuming the same bits: the
// lookahead resolves codes of up to kLookaheadBits bits, the per-length search the rest (and
// refuses what it refuses, after consuming what it consumes).
inline JpegError DecodeSymbol(BufferedBits& bits, const HuffmanLookahead& lookahead,
                              const HuffmanTable& table, const uint8_t* values, int32_t count,
                              uint8_t& symbol) {
  const uint16_t entry = lookahead.entries[bits.Peek(kLookaheadBits)];
  if (entry != 0) {
    bits.Consume(entry >> 8);
    symbol = static_cast<uint8_t>(entry & 0xFF);
    return JpegError::kNone;
  }
  const uint32_t window = bits.Peek(16);
  for (int32_t l = 1; l <= 16; ++l) {
    const uint32_t code = window >> (16 - l);
    const HuffmanLengthEntry& e = table.entries[l];
    if (e.maxCode == 0xFFFF || code > e.maxCode) continue;
    bits.Consume(l);
    const uint32_t index = e.valueIndex + code - e.minCode;
    if (index >= static_cast<uint32_t>(count)) return JpegError::kHuffmanCode;
    symbol = values[index];
    return JpegError::kNone;
  }
  bits.Consume(16);
  return JpegError::kHuffmanCode;
}

}  // namespace kavrosa
