// The coefficients of a whole frame, for frames coded over several scans (progressive): 16 bits
// each, quantised, in natural order, per component over its blocks padded to whole MCUs. Each
// scan refines them; the picture is made from them once the stream ends.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "jpeg/JpegDecoderState.h"

namespace kavrosa {

// Beyond this the frame is refused rather than held (the pixel block's cap).
constexpr uint64_t kMaxCoefficientBytes = 256u * 1024u * 1024u;

// Zero-filled by calloc: large blocks come straight from the system already zero, so the frame's
// storage is not written once more before the first scan.
struct FreeMemory {
  void operator()(void* p) const { std::free(p); }
};
template <typename T>
using ZeroedArray = std::unique_ptr<T[], FreeMemory>;

struct ComponentCoefficients {
  ZeroedArray<int16_t> values;
  // Per block, bit k set once the coefficient at zig-zag position k has been made nonzero by
  // a progressive AC scan of the fast path (which keeps it, so a refining scan need not look).
  ZeroedArray<uint64_t> nonzero;
  // No AC coefficient the fast path has written is below this (it lets a refining scan skip
  // the check that a correction stays inside 16 bits).
  int32_t smallest = 0;
  int32_t blocksPerLine = 0;  // in whole MCUs
  int32_t blockRows = 0;
  // Blocks a non-interleaved scan of this component covers (only those inside the picture).
  int32_t scanBlocksPerLine = 0;
  int32_t scanBlockRows = 0;

  int16_t* Block(int32_t bx, int32_t by) {
    return values.get() + 64 * (static_cast<size_t>(by) * static_cast<size_t>(blocksPerLine) +
                                static_cast<size_t>(bx));
  }
  uint64_t* Nonzero(int32_t bx, int32_t by) {
    return nonzero.get() + static_cast<size_t>(by) * static_cast<size_t>(blocksPerLine) +
           static_cast<size_t>(bx);
  }
};

struct CoefficientStore {
  ComponentCoefficients components[3];
  // Per component and zig-zag position: the approximation (Al) the scans so far have
  // reached, or -1 before the coefficient's first scan. Each scan must continue from here.
  int8_t approximation[3][64];

  CoefficientStore() { ResetApproximation(); }
  void ResetApproximation();

  // Zero-filled storage for the frame in `s`; false when it is too large or memory is short.
  bool Allocate(const JpegDecoderState& s);
  void Free();
};

}  // namespace kavrosa
