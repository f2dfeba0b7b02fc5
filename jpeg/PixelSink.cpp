// The strip reduction: output row oy of the reduced picture averages the rows
// oy * scale .. oy * scale + scale - 1 that exist, output column ox the columns likewise;
// the scale divides the MCU height, so each MCU row completes whole output rows.
#include "jpeg/PixelSink.h"

#include "image/PixelGeometry.h"

namespace kavrosa {

PixelSink::PixelSink(const JpegDecoderState& s, uint8_t* pixels, int32_t scale,
                     std::vector<uint8_t>& strip)
    : s_(s), pixels_(pixels), scale_(scale), strip_(strip) {}

PixelTarget PixelSink::Target(int32_t mcuY) const {
  if (scale_ == 1) {
    const int32_t height = s_.header.biHeight;
    return PixelTarget{
        pixels_ + static_cast<size_t>(s_.rowStride) * static_cast<size_t>(height - 1),
        -static_cast<ptrdiff_t>(s_.rowStride), 0};
  }
  return PixelTarget{strip_.data(), static_cast<ptrdiff_t>(StripStride(s_.header.biWidth)),
                     mcuY * s_.mcuHeight};
}

void PixelSink::RowDone(int32_t mcuY) {
  if (scale_ == 1) return;
  const int32_t width = s_.header.biWidth;
  const int32_t height = s_.header.biHeight;
  const int32_t outWidth = ScaledLength(width, scale_);
  const int32_t outHeight = ScaledLength(height, scale_);
  const size_t outStride = static_cast<size_t>(StrideFor(outWidth, 24));
  const size_t stripStride = StripStride(width);
  const int32_t y0 = mcuY * s_.mcuHeight;
  for (int32_t top = y0; top < y0 + s_.mcuHeight && top < height; top += scale_) {
    const int32_t rows = height - top < scale_ ? height - top : scale_;
    const int32_t oy = top / scale_;
    uint8_t* out = pixels_ + outStride * static_cast<size_t>(outHeight - 1 - oy);
    const uint8_t* in = strip_.data() + stripStride * static_cast<size_t>(top - y0);
    for (int32_t ox = 0; ox < outWidth; ++ox) {
      const int32_t x0 = ox * scale_;
      const int32_t columns = width - x0 < scale_ ? width - x0 : scale_;
      const uint32_t count = static_cast<uint32_t>(rows * columns);
      uint32_t sum[3] = {0, 0, 0};
      for (int32_t r = 0; r < rows; ++r) {
        const uint8_t* p = in + stripStride * static_cast<size_t>(r) + 3 * static_cast<size_t>(x0);
        for (int32_t k = 0; k < 3 * columns; k += 3) {
          sum[0] += p[k];
          sum[1] += p[k + 1];
          sum[2] += p[k + 2];
        }
      }
      for (int ch = 0; ch < 3; ++ch)
        out[3 * ox + ch] = static_cast<uint8_t>((sum[ch] + count / 2) / count);
    }
  }
}

}  // namespace kavrosa
