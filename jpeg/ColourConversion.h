// YCbCr to B, G, R bytes in IEEE double precision, in exactly the order of operations the
// decoder's output is defined by; truncation toward zero, then clamping to 0..255. Both paths
// must be compiled without floating-point contraction (no fused multiply-add).
#pragma once

#include <cstddef>
#include <cstdint>

namespace kavrosa {

struct Bgr {
  uint8_t b;
  uint8_t g;
  uint8_t r;
};

// Truncation toward zero, then clamping. Clamping the double to [-1, 256] first gives the
// same byte and keeps the conversion to integer defined for any value.
inline uint8_t TruncateToByte(double v) {
  if (v < -1.0) v = -1.0;
  if (v > 256.0) v = 256.0;
  const int32_t i = static_cast<int32_t>(v);
  return static_cast<uint8_t>(i < 0 ? 0 : (i > 255 ? 255 : i));
}

// One pixel: y is the level-shifted luminance, cb and cr are centred on 0.
inline Bgr ConvertPixel(double y, double cb, double cr) {
  const double b = (cb * 1.7718 + y) - cr * 0.0012;
  const double g = (y - cb * 0.3441) - cr * 0.7139;
  const double r = cr * 1.402 + y;
  return Bgr{TruncateToByte(b), TruncateToByte(g), TruncateToByte(r)};
}

// `count` pixels (up to 16) from integer samples; yOffset (the level shift) is added to each
// luminance sample before conversion. Writes B, G, R triples to `out`. The same bytes as
// ConvertPixel on each pixel, vectorised where possible. The inputs are read in groups of
// four, so they must hold `count` rounded up to a multiple of 4 values.
void ConvertRow(const int32_t* y, const int32_t* cb, const int32_t* cr, int32_t count,
                int32_t yOffset, uint8_t* out);

// Samples (luminance with its offset added) within +-kSmallSample give channel values far
// inside 16 bits, so truncation and then saturating 32-to-16-to-8-bit packs clamp them
// exactly: the vector paths may leave out the clamping of the doubles for such blocks.
constexpr int32_t kSmallSample = 4096;

// ConvertRow over `rows` rows of 8-sample blocks (the slots of a 1x1 MCU): row r reads
// y + 8r, cb + 8r, cr + 8r and writes to out + r * outStep (negative for bottom-up rows).
// `small`: every y + yOffset, cb and cr lies within +-kSmallSample.
void ConvertBlock(const int32_t* y, const int32_t* cb, const int32_t* cr, int32_t count,
                  int32_t rows, int32_t yOffset, uint8_t* out, ptrdiff_t outStep,
                  bool small = false);

}  // namespace kavrosa
