// Rows of the decoded scale: straight into the bottom-up block, or through the strip to the
// resampler; the scale divides the MCU height, so each MCU row completes whole output rows.
#include "jpeg/PixelSink.h"

#include "platform/PixelGeometry.h"
#include "image/Resample.h"

namespace kavrosa {

PixelSink::PixelSink(const JpegDecoderState& s, uint8_t* pixels, int32_t scale,
                     std::vector<uint8_t>& strip, RowStreamResampler* stream, int32_t streamWidth,
                     int32_t streamHeight)
    : s_(s),
      pixels_(pixels),
      scale_(scale),
      strip_(strip),
      stream_(stream),
      streamWidth_(streamWidth),
      streamHeight_(streamHeight) {}

PixelTarget PixelSink::Target(int32_t mcuY) const {
  const int32_t width = ScaledLength(s_.header.biWidth, scale_);
  const int32_t height = ScaledLength(s_.header.biHeight, scale_);
  if (stream_ == nullptr) {
    const size_t stride =
        scale_ == 1 ? static_cast<size_t>(s_.rowStride) : static_cast<size_t>(StrideFor(width, 24));
    return PixelTarget{pixels_ + stride * static_cast<size_t>(height - 1),
                       -static_cast<ptrdiff_t>(stride), 0};
  }
  return PixelTarget{strip_.data(), static_cast<ptrdiff_t>(StripStride(width)),
                     mcuY * (s_.mcuHeight / scale_)};
}

void PixelSink::RowDone(int32_t mcuY) {
  if (stream_ == nullptr) return;
  const int32_t width = ScaledLength(s_.header.biWidth, scale_);
  const int32_t height = ScaledLength(s_.header.biHeight, scale_);
  const MutablePixelRows24 streamTarget{pixels_, streamWidth_, streamHeight_,
                                        static_cast<size_t>(StrideFor(streamWidth_, 24))};
  const int32_t rows = s_.mcuHeight / scale_;
  const int32_t y0 = mcuY * rows;
  for (int32_t y = y0; y < y0 + rows && y < height; ++y)
    stream_->Push(strip_.data() + StripStride(width) * static_cast<size_t>(y - y0), streamTarget);
}

}  // namespace kavrosa
