// The strip reduction: output row oy of the reduced picture averages the rows
// oy * scale .. oy * scale + scale - 1 that exist, output column ox the columns likewise;
// the scale divides the MCU height, so each MCU row completes whole output rows.
#include "jpeg/PixelSink.h"

#include <algorithm>
#include <cstring>

#include "image/PixelGeometry.h"
#include "image/Resample.h"

namespace kavrosa {
namespace {

// Box means of the whole boxes of a row of box height: first, for every byte k that starts a
// box, the rounded mean of columns[k + 3c] (c < Scale) at once, in a loop that vectorises; then
// every third group of three of them is the output pixel.
template <int Scale>
void WholeBoxMeans(const uint16_t* columns, int32_t boxes, uint8_t* means, uint8_t* out) {
  constexpr uint32_t kHalf = Scale * Scale / 2;
  constexpr int kShift = Scale == 2 ? 2 : Scale == 4 ? 4 : 6;  // log2(Scale * Scale)
  const size_t starts = 3 * (static_cast<size_t>(Scale) * static_cast<size_t>(boxes - 1) + 1);
  for (size_t k = 0; k < starts; ++k) {
    uint32_t sum = kHalf;
    for (int c = 0; c < Scale; ++c) sum += columns[k + 3 * static_cast<size_t>(c)];
    means[k] = static_cast<uint8_t>(sum >> kShift);
  }
  for (int32_t ox = 0; ox < boxes; ++ox) {
    std::memcpy(out + 3 * static_cast<size_t>(ox), means + 3 * static_cast<size_t>(Scale) * ox, 3);
  }
}

}  // namespace

PixelSink::PixelSink(const JpegDecoderState& s, uint8_t* pixels, int32_t scale,
                     std::vector<uint8_t>& strip, RowStreamResampler* stream, int32_t streamWidth,
                     int32_t streamHeight)
    : s_(s),
      pixels_(pixels),
      scale_(scale),
      strip_(strip),
      stream_(stream),
      streamWidth_(streamWidth),
      streamHeight_(streamHeight) {
  if (scale_ > 1) {
    columns_.resize(3 * static_cast<size_t>(s.header.biWidth));
    means_.resize(3 * static_cast<size_t>(s.header.biWidth));
    if (stream_ != nullptr)
      reducedRow_.resize(3 * static_cast<size_t>(ScaledLength(s.header.biWidth, scale_)));
  }
}

PixelTarget PixelSink::Target(int32_t mcuY) const {
  if (scale_ == 1 && stream_ == nullptr) {
    const int32_t height = s_.header.biHeight;
    return PixelTarget{
        pixels_ + static_cast<size_t>(s_.rowStride) * static_cast<size_t>(height - 1),
        -static_cast<ptrdiff_t>(s_.rowStride), 0};
  }
  return PixelTarget{strip_.data(), static_cast<ptrdiff_t>(StripStride(s_.header.biWidth)),
                     mcuY * s_.mcuHeight};
}

void PixelSink::RowDone(int32_t mcuY) {
  if (scale_ == 1 && stream_ == nullptr) return;
  const int32_t width = s_.header.biWidth;
  const int32_t height = s_.header.biHeight;
  const MutablePixelRows24 streamTarget{pixels_, streamWidth_, streamHeight_,
                                        static_cast<size_t>(StrideFor(streamWidth_, 24))};
  if (scale_ == 1) {
    const int32_t y0 = mcuY * s_.mcuHeight;
    for (int32_t y = y0; y < y0 + s_.mcuHeight && y < height; ++y)
      stream_->Push(strip_.data() + StripStride(width) * static_cast<size_t>(y - y0), streamTarget);
    return;
  }
  const int32_t outWidth = ScaledLength(width, scale_);
  const int32_t outHeight = ScaledLength(height, scale_);
  const size_t outStride = static_cast<size_t>(StrideFor(outWidth, 24));
  const size_t stripStride = StripStride(width);
  const int32_t y0 = mcuY * s_.mcuHeight;
  const int32_t shift = scale_ == 2 ? 2 : scale_ == 4 ? 4 : 6;  // log2(scale * scale)
  for (int32_t top = y0; top < y0 + s_.mcuHeight && top < height; top += scale_) {
    const int32_t rows = height - top < scale_ ? height - top : scale_;
    const int32_t oy = top / scale_;
    uint8_t* out = stream_ != nullptr
                       ? reducedRow_.data()
                       : pixels_ + outStride * static_cast<size_t>(outHeight - 1 - oy);
    const uint8_t* in = strip_.data() + stripStride * static_cast<size_t>(top - y0);
    // Column sums of the box's rows, three channels per pixel.
    const size_t bytes = 3 * static_cast<size_t>(width);
    std::fill(columns_.begin(), columns_.end(), uint16_t{0});
    for (int32_t r = 0; r < rows; ++r) {
      const uint8_t* row = in + stripStride * static_cast<size_t>(r);
      for (size_t k = 0; k < bytes; ++k) columns_[k] = static_cast<uint16_t>(columns_[k] + row[k]);
    }
    // Boxes of full height and width: the fast loops, with the same rounding as below.
    int32_t ox = 0;
    if (rows == scale_) {
      ox = width / scale_;
      if (ox > 0) {
        if (scale_ == 2) WholeBoxMeans<2>(columns_.data(), ox, means_.data(), out);
        if (scale_ == 4) WholeBoxMeans<4>(columns_.data(), ox, means_.data(), out);
        if (scale_ == 8) WholeBoxMeans<8>(columns_.data(), ox, means_.data(), out);
      }
    }
    for (; ox < outWidth; ++ox) {
      const int32_t x0 = ox * scale_;
      const int32_t columns = width - x0 < scale_ ? width - x0 : scale_;
      const uint32_t count = static_cast<uint32_t>(rows * columns);
      const bool whole = rows == scale_ && columns == scale_;
      for (int ch = 0; ch < 3; ++ch) {
        uint32_t sum = 0;
        for (int32_t c = 0; c < columns; ++c) sum += columns_[3 * static_cast<size_t>(x0 + c) + ch];
        // A whole box divides by a power of two; the same rounding either way.
        out[3 * ox + ch] =
            static_cast<uint8_t>(whole ? (sum + count / 2) >> shift : (sum + count / 2) / count);
      }
    }
    if (stream_ != nullptr) stream_->Push(out, streamTarget);
  }
}

}  // namespace kavrosa
