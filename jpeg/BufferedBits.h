// The buffered reader over the entropy-coded bytes that the fast baseline and progressive paths
// share. It must deliver exactly the bits of the one-bit reader (BitReader.h): the same stuffing
// rule (a 0x00 after a 0xFF is skipped once the 0xFF is used up, any other byte after it is
// data), zero bits at and past streamEnd, and the same cursor and bit position when it hands
// back to the state. Up to 63 bits are held, eight plain bytes loaded at once where it can.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

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

  // At least 56 bits held after this (and at most 63, as always), so a few steps can go
  // without checks. Tops up whole bytes each time it can, which needs no test of the count.
  void Refill() {
    if (!LoadWord()) LoadBytes();
  }
  // The most one baseline step reads: a 16-bit code and 11 value bits.
  static constexpr int kStepBits = 27;
  // At least kStepBits bits held afterwards; tops up only when fewer are held, so that loads
  // come in batches.
  void Prime() {
    if (count_ < kStepBits) Refill();
  }
  // The held bits, left-aligned, and consuming some of them (n < the count held).
  uint64_t Window() const { return bits_; }
  int Count() const { return count_; }
  void Skip(int n) {
    bits_ <<= n;
    count_ -= n;
  }
  // Skips the count in the low five bits of `packed`. The shift is written with the mask the
  // processor applies anyway, so a table entry goes straight to the shift.
  void SkipPacked(uint32_t packed) {
    bits_ <<= packed & 63;
    count_ -= static_cast<int>(packed & 31);
  }

  // True once a bit at or past streamEnd has been consumed.
  bool Overrun() const { return count_ < padBits_; }

  // Writes back where the one-bit reader would stand after the bits consumed so far, and its
  // overrun flag.
  void Save(JpegDecoderState& s) const {
    const uint64_t consumed = 8 * uint64_t{loaded_} - static_cast<uint64_t>(count_);
    // Stepping byte by byte, found a 0xFF at a time: the bytes between are plain.
    const uint8_t* cursor = origin_;
    uint64_t steps = consumed / 8;
    while (steps > 0 && cursor < end_) {
      const uint64_t left = static_cast<uint64_t>(end_ - cursor);
      const size_t span = static_cast<size_t>(steps < left ? steps : left);
      const void* mark = std::memchr(cursor, 0xFF, span);
      if (mark == nullptr) {
        cursor += span;
        steps -= span;
        continue;
      }
      const uint8_t* ff = static_cast<const uint8_t*>(mark);
      steps -= static_cast<uint64_t>(ff - cursor) + 1;
      cursor = Step(ff);
    }
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

  // Eight bytes at once when none of them is 0xFF, so every one is data: as many whole bytes
  // as fit below 64 bits are counted. The bits past them are the next byte's own, so loading
  // it again later ORs the same bits. False when the bytes are not all data (or too few).
  bool LoadWord() {
    if (end_ - next_ < 8) return false;
    uint64_t word = 0;
    std::memcpy(&word, next_, 8);
    // No byte is 0xFF when no byte of the complement is zero.
    const uint64_t inverted = ~word;
    if (((inverted - 0x0101010101010101u) & ~inverted & 0x8080808080808080u) != 0) return false;
    const int bytes = (63 - count_) >> 3;
    bits_ |= LoadBigEndian(word) >> count_;
    count_ += 8 * bytes;
    next_ += bytes;
    loaded_ += static_cast<size_t>(bytes);
    return true;
  }

  void Fill() {
    if (count_ < 56 && LoadWord()) return;
    LoadBytes();
  }

  // A byte at a time, with the stuffing rule, up to 56 bits or more.
  void LoadBytes() {
    while (count_ < 56) {
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

  static uint64_t LoadBigEndian(uint64_t word) {
#if defined(__GNUC__) && defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    return __builtin_bswap64(word);
#else
    uint8_t b[8];
    std::memcpy(b, &word, 8);
    uint64_t v = 0;
    for (int i = 0; i < 8; ++i) v = v << 8 | b[i];
    return v;
#endif
  }

  const uint8_t* end_ = nullptr;
  const uint8_t* origin_ = nullptr;  // where loading started: bit 0 of this byte
  const uint8_t* next_ = nullptr;    // the next byte to load
  uint64_t bits_ = 0;                // unread bits, left-aligned
  int count_ = 0;
  int padBits_ = 0;    // zero bits loaded from at or past streamEnd, all at the buffer's tail
  size_t loaded_ = 0;  // bytes loaded, stuffed ones not counted
};

}  // namespace kavrosa
