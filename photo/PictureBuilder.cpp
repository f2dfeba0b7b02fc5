// Rows into the show's picture. The fit size is that of the upright picture, so when an
// orientation exchanges the axes the reduction is done in the stored axes with the fit size
// exchanged back, and the turn comes last, on the small picture.
#include "photo/PictureBuilder.h"

#include <cstring>

#include "image/FitSize.h"
#include "image/Orientation.h"
#include "image/Picture24.h"
#include "platform/PixelGeometry.h"

namespace kavrosa {

bool DecodableSize(int64_t width, int64_t height, int64_t bitCount) {
  return height > 0 && CheckedImageBytes(width, height, bitCount).has_value();
}

bool PictureBuilder::Begin(int32_t width, int32_t height, int32_t orientation, Size bound) {
  pixels_.Free();
  resampler_.reset();
  pushed_ = 0;
  if (!DecodableSize(width, height, 24)) return false;
  stored_ = Size{width, height};
  orientation_ = orientation >= 1 && orientation <= 8 ? orientation : 1;
  const Size shown = FitTarget(bound, OrientedSize(stored_, orientation_));
  kept_ = OrientationSwapsAxes(orientation_) ? Size{shown.cy, shown.cx} : shown;
  if (!(kept_ == stored_)) {
    resampler_ = RowStreamResampler::Make(stored_.cx, stored_.cy, kept_.cx, kept_.cy);
    if (!resampler_) return false;
  }
  pixels_ = LocalBlock::Allocate(*CheckedImageBytes(kept_.cx, kept_.cy, 24));
  return static_cast<bool>(pixels_);
}

void PictureBuilder::PushRow(const uint8_t* bgr) {
  if (pushed_ >= stored_.cy || !pixels_) return;
  BlockLock lock(pixels_);
  const size_t stride = static_cast<size_t>(StrideFor(kept_.cx, 24));
  if (resampler_) {
    resampler_->Push(bgr, MutablePixelRows24{lock.data(), kept_.cx, kept_.cy, stride});
  } else {
    // Bottom-up: the top row is the last in memory.
    const size_t row = static_cast<size_t>(stored_.cy - 1 - pushed_);
    std::memcpy(lock.data() + row * stride, bgr, static_cast<size_t>(stored_.cx) * 3);
  }
  ++pushed_;
}

bool PictureBuilder::Finish(DibImage& image) {
  if (!pixels_ || pushed_ != stored_.cy) return false;
  resampler_.reset();
  BlockLock kept(pixels_);
  if (!kept) return false;
  const PixelRows24 from{kept.data(), kept_.cx, kept_.cy,
                         static_cast<size_t>(StrideFor(kept_.cx, 24))};
  const auto turn = [&](const MutablePixelRows24& to) {
    return OrientPixels24(from, orientation_, to);
  };
  BitmapInfoHeader like{};
  like.biHeight = 1;  // bottom-up rows
  return ReplaceWith24Bit(image, like, OrientedSize(kept_, orientation_), turn) ==
         Replace24::kReplaced;
}

uint8_t OverBlack(uint32_t channel, uint32_t alpha) {
  return static_cast<uint8_t>((channel * alpha + 127) / 255);
}

void RgbToBgr(const uint8_t* rgb, int32_t width, uint8_t* bgr) {
  for (int32_t x = 0; x < width; ++x, rgb += 3, bgr += 3) {
    bgr[0] = rgb[2], bgr[1] = rgb[1], bgr[2] = rgb[0];
  }
}

void RgbaOverBlackToBgr(const uint8_t* rgba, int32_t width, uint8_t* bgr) {
  for (int32_t x = 0; x < width; ++x, rgba += 4, bgr += 3) {
    const uint32_t a = rgba[3];
    bgr[0] = OverBlack(rgba[2], a), bgr[1] = OverBlack(rgba[1], a), bgr[2] = OverBlack(rgba[0], a);
  }
}

void BgraOverBlackToBgr(const uint8_t* bgra, int32_t width, uint8_t* bgr) {
  for (int32_t x = 0; x < width; ++x, bgra += 4, bgr += 3) {
    const uint32_t a = bgra[3];
    bgr[0] = OverBlack(bgra[0], a), bgr[1] = OverBlack(bgra[1], a), bgr[2] = OverBlack(bgra[2], a);
  }
}

}  // namespace kavrosa
