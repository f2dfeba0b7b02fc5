// Where the MCU loops write pixels: straight into the bottom-up pixel block, at full size or,
// when the picture is decoded at a reduced scale, at that scale (the MCU loops then transform
// each block to its reduced samples). When the rows go on to a resampler, they pass through a
// strip of one MCU row instead.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "jpeg/JpegDecoderState.h"

namespace kavrosa {

class RowStreamResampler;

// Row y of the picture (top = 0) lies at origin + step * (y - firstRow).
struct PixelTarget {
  uint8_t* origin = nullptr;
  ptrdiff_t step = 0;
  int32_t firstRow = 0;

  uint8_t* Row(int32_t y) const { return origin + step * (y - firstRow); }
};

// Scales a picture is decoded at: each output pixel stands for scale x scale pixels.
constexpr int32_t kMaxDecodeScale = 8;

// Output size of one axis at `scale`: the last pixel stands for what is left.
constexpr int32_t ScaledLength(int32_t length, int32_t scale) {
  return (length + scale - 1) / scale;
}

class PixelSink {
 public:
  // `pixels`: the locked output block (the full picture at scale 1, the reduced one else);
  // `strip`: one MCU row at the decoded scale, used only with `stream`, to which every row at
  // the decoded scale then goes; `pixels` is then its target, of the size it was made for.
  PixelSink(const JpegDecoderState& s, uint8_t* pixels, int32_t scale, std::vector<uint8_t>& strip,
            RowStreamResampler* stream = nullptr, int32_t streamWidth = 0,
            int32_t streamHeight = 0);

  // Where the pixels of MCU row mcuY go, in rows and columns of the decoded scale.
  PixelTarget Target(int32_t mcuY) const;
  // After the last MCU of row mcuY: the strip's rows go to the resampler.
  void RowDone(int32_t mcuY);

  int32_t Scale() const { return scale_; }

 private:
  const JpegDecoderState& s_;
  uint8_t* pixels_;
  int32_t scale_;
  std::vector<uint8_t>& strip_;
  RowStreamResampler* stream_;
  int32_t streamWidth_, streamHeight_;
};

// Bytes of one strip row for a picture `width` pixels wide (room for whole 4-pixel groups).
inline size_t StripStride(int32_t width) {
  return 3 * (static_cast<size_t>(width) + 32);
}

}  // namespace kavrosa
