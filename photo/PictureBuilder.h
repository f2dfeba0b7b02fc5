// Turns the rows a platform codec hands over (top row first) into the show's picture: 24-bit,
// reduced to the size the screen needs as the rows arrive, then turned upright once. The codec
// only decodes; sizes are checked here, before anything is allocated, by the JPEG decoder's rule.
#pragma once

#include <cstdint>
#include <memory>

#include "image/DibImage.h"
#include "image/Resample.h"
#include "platform/LocalMemory.h"
#include "platform/Types.h"

namespace kavrosa {

class PictureBuilder {
 public:
  PictureBuilder() = default;
  PictureBuilder(const PictureBuilder&) = delete;
  PictureBuilder& operator=(const PictureBuilder&) = delete;

  // Prepares for a stored picture of `width` x `height` that Exif `orientation` (1..8; anything
  // else reads as 1) turns upright, shown under `bound`. False when the size fails the
  // checked-size rule or memory cannot be had.
  bool Begin(int32_t width, int32_t height, int32_t orientation, Size bound);

  // The next stored row, top first: width() pixels of blue, green, red. Rows past the last are
  // ignored.
  void PushRow(const uint8_t* bgr);

  // Puts the picture (upright, bottom-up rows) in `image`'s blocks once every row has arrived;
  // `loaded` is left to the caller.
  bool Finish(DibImage& image);

  int32_t width() const { return stored_.cx; }
  int32_t height() const { return stored_.cy; }

 private:
  Size stored_{};  // as the codec decodes it
  Size kept_{};    // in the stored axes, at the size the screen needs
  int32_t orientation_ = 1;
  int32_t pushed_ = 0;
  LocalBlock pixels_;
  std::unique_ptr<RowStreamResampler> resampler_;
};

// True when a picture of this size and bit depth may be decoded whole (the checked-size rule).
bool DecodableSize(int64_t width, int64_t height, int64_t bitCount);

// Row conversions from what codecs give to the show's blue, green, red. Alpha is composited
// over black, the show's background: each channel times alpha / 255, rounded.
void RgbToBgr(const uint8_t* rgb, int32_t width, uint8_t* bgr);
void RgbaOverBlackToBgr(const uint8_t* rgba, int32_t width, uint8_t* bgr);
void BgraOverBlackToBgr(const uint8_t* bgra, int32_t width, uint8_t* bgr);
uint8_t OverBlack(uint32_t channel, uint32_t alpha);

}  // namespace kavrosa
