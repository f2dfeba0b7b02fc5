// Where the MCU loops write pixels: straight into the bottom-up pixel block, or, when the
// picture is decoded at a reduced scale, into a strip of one MCU row that is averaged down
// into the smaller block as soon as the row is complete, so no full-size picture is held.
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

// Scales a picture is decoded at: each output pixel is the mean of scale x scale pixels.
constexpr int32_t kMaxDecodeScale = 8;

// Output size of one axis at `scale`: the last pixel averages what is left.
constexpr int32_t ScaledLength(int32_t length, int32_t scale) {
  return (length + scale - 1) / scale;
}

class PixelSink {
 public:
  // `pixels`: the locked output block (the full picture at scale 1, the reduced one else);
  // `strip`: one MCU row of full-size pixels, used only at scale > 1. With `stream`, every row
  // at the decoded scale goes to it instead (through the strip at scale 1 too), and `pixels`
  // is its target, of the size it was made for.
  PixelSink(const JpegDecoderState& s, uint8_t* pixels, int32_t scale, std::vector<uint8_t>& strip,
            RowStreamResampler* stream = nullptr, int32_t streamWidth = 0,
            int32_t streamHeight = 0);

  // Where the pixels of MCU row mcuY go.
  PixelTarget Target(int32_t mcuY) const;
  // After the last MCU of row mcuY: averages the strip into the output.
  void RowDone(int32_t mcuY);

 private:
  const JpegDecoderState& s_;
  uint8_t* pixels_;
  int32_t scale_;
  std::vector<uint8_t>& strip_;
  std::vector<uint16_t> columns_;  // per byte of a row: the sum over one box's rows
  RowStreamResampler* stream_;
  int32_t streamWidth_, streamHeight_;
  std::vector<uint8_t> reducedRow_;  // one row at the reduced scale, on its way to stream_
  std::vector<uint8_t> means_;       // per byte of a row: the mean of the whole box starting there
};

// Bytes of one strip row for a picture `width` pixels wide (room for whole 4-pixel groups).
inline size_t StripStride(int32_t width) {
  return 3 * (static_cast<size_t>(width) + 32);
}

}  // namespace kavrosa
