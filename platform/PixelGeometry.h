// Row stride and checked pixel-block sizes. Every reader of untrusted dimensions (BMP files,
// packed DIBs, JPEG frames, surfaces) sizes its pixel block through CheckedImageBytes, so one
// cap and one overflow rule hold everywhere.
#pragma once

#include <cstdint>
#include <optional>

namespace kavrosa {

// Largest width or height accepted from a file or stream.
constexpr int64_t kMaxImageDimension = 32768;
// Largest pixel block allocated for one picture (256 MiB).
constexpr uint64_t kMaxImageBytes = 256u * 1024u * 1024u;

// Bytes one row's pixels occupy: width x bitCount bits rounded up to whole bytes.
constexpr int64_t RowBytesFor(int64_t width, int64_t bitCount) {
  return (width * bitCount + 7) / 8;
}

// Row stride: width x bitCount bits rounded up to a multiple of 32 bits, in bytes.
constexpr int64_t StrideFor(int64_t width, int64_t bitCount) {
  return (width * bitCount + 31) / 32 * 4;
}

// Colour-table entries a picture of this bit count has when its header says 0: a full table
// for 1, 4 and 8 bits, none otherwise.
constexpr uint32_t DefaultColourCount(int64_t bitCount) {
  return bitCount == 1 ? 2 : bitCount == 4 ? 16 : bitCount == 8 ? 256 : 0;
}

// stride x |height| for dimensions within the caps; nullopt when a dimension is out of range
// (width <= 0, height == 0, beyond kMaxImageDimension, bitCount 0 or above 32) or the block
// would exceed kMaxImageBytes.
std::optional<uint32_t> CheckedImageBytes(int64_t width, int64_t height, int64_t bitCount);

}  // namespace kavrosa
