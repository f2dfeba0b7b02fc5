// Smooth scaling of 24-bit pixel rows, the same on every platform: each axis is reduced by
// averaging the source pixels a destination pixel covers (area weights) or enlarged by bilinear
// interpolation, and an axis whose size does not change is copied. Integer arithmetic only, so
// the software seam, the tools and Windows give the same bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace kavrosa {

// A block of 3-byte pixels: `height` rows of `width` pixels, each row `stride` bytes after the
// previous one. Row order (top-down or bottom-up) is the caller's; the filters are symmetric, so
// both orders give the same picture.
struct PixelRows24 {
  const uint8_t* data = nullptr;
  int32_t width = 0;
  int32_t height = 0;
  size_t stride = 0;
};

struct MutablePixelRows24 {
  uint8_t* data = nullptr;
  int32_t width = 0;
  int32_t height = 0;
  size_t stride = 0;
};

// Scales `source` to the size of `target`. Reads only width x 3 bytes of each of the source's
// rows and writes only width x 3 bytes of each target row (fill bytes at the end of a row are left
// as they were). Refuses (false, nothing written) an empty or negative size on either side, a
// stride shorter than a row, or working memory that cannot be had. Equal sizes copy the bytes.
bool Resample24(const PixelRows24& source, const MutablePixelRows24& target);

// The loops Resample24 may run, all giving the same bytes: the plain ones alone (a loop over each
// destination pixel's taps, no SIMD), those of the baseline build (SSE2 on x86), or the fastest
// the processor has (Resample24's).
enum class ResampleLoops { kPlain, kBaseline, kFastest };
bool Resample24Using(ResampleLoops loops, const PixelRows24& source,
                     const MutablePixelRows24& target);

}  // namespace kavrosa

namespace kavrosa {

// Resample24 for rows that arrive one at a time, the picture's top row first, so that a decoder
// can scale as it goes without holding the whole source. Reductions only (the target is no
// larger than the source either way); the bytes are those Resample24 gives for the whole
// bottom-up block, and it holds just one row of sums and two horizontally scaled rows.
class RowStreamResampler {
 public:
  // Null when a side is empty, the target is larger, or memory cannot be had.
  static std::unique_ptr<RowStreamResampler> Make(int32_t sourceWidth, int32_t sourceHeight,
                                                  int32_t targetWidth, int32_t targetHeight);
  ~RowStreamResampler();
  RowStreamResampler(const RowStreamResampler&) = delete;
  RowStreamResampler& operator=(const RowStreamResampler&) = delete;

  // Takes the next source row (sourceWidth pixels); writes every target row it completes into
  // the bottom-up `target` of the target size. Rows past the source's last are ignored.
  void Push(const uint8_t* row, const MutablePixelRows24& target);

 private:
  struct State;
  explicit RowStreamResampler(std::unique_ptr<State> state);
  std::unique_ptr<State> state_;
};

}  // namespace kavrosa
