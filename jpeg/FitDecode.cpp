// Decoding to a screen's size: the frame decoded at a reduced scale where that still covers
// the target, the Exif orientation applied, and the result resampled to the exact size the
// fit rule gives. The header block is rewritten at each step with the picture's new size.
#include <cstring>

#include "image/DibImage.h"
#include "image/FitSize.h"
#include "image/Orientation.h"
#include "image/Picture24.h"
#include "image/Resample.h"
#include "jpeg/JpegDecoder.h"

namespace kavrosa {
namespace {

bool ReadHeader(LocalBlock& block, BitmapInfoHeader& header) {
  BlockLock lock(block);
  if (lock.size() < sizeof header) return false;
  std::memcpy(&header, lock.data(), sizeof header);
  return true;
}

JpegError ReplacePicture(LocalBlock& headerBlock, LocalBlock& pixelBlock, Size to,
                         const TransformRows24& make) {
  switch (Transform24Bit(headerBlock, pixelBlock, to, make)) {
    case Replace24::kReplaced:
      return JpegError::kNone;
    case Replace24::kTooLarge:
      return JpegError::kImageSize;
    case Replace24::kNoMemory:
    case Replace24::kNotFilled:
      break;
  }
  return JpegError::kOutOfMemory;
}

}  // namespace

JpegError DecodeJpegFitted(JpegDecoderState& state, LocalBlock& headerBlock, LocalBlock& pixelBlock,
                           const uint8_t* data, size_t size, Size bound, JpegPath path) {
  JpegError error =
      DecodeJpegAtBound(state, headerBlock, pixelBlock, data, size, bound, path, true);
  if (error != JpegError::kNone) return error;
  BitmapInfoHeader header;
  if (!ReadHeader(headerBlock, header) || !pixelBlock) return JpegError::kNone;
  const int32_t orientation = state.exifOrientation;
  if (orientation != 1) {
    const Size oriented = OrientedSize(Size{header.biWidth, header.biHeight}, orientation);
    error = ReplacePicture(headerBlock, pixelBlock, oriented,
                           [orientation](const PixelRows24& from, const MutablePixelRows24& to) {
                             return OrientPixels24(from, orientation, to);
                           });
    if (error != JpegError::kNone) return error;
    ReadHeader(headerBlock, header);
  }
  // The full-size picture (not the reduced one) is what the bound is measured against.
  const Size full = OrientedSize(Size{state.header.biWidth, state.header.biHeight}, orientation);
  const Size target = FitTarget(bound, full);
  if (target == Size{header.biWidth, header.biHeight}) return JpegError::kNone;
  return ReplacePicture(headerBlock, pixelBlock, target, Resample24);
}

int32_t DibImage::DecodeJpegToFit(const uint8_t* data, size_t size, Size bound) {
  return DecodeJpegFitted(jpeg_, headerBlock_, pixelBlock_, data, size, bound) == JpegError::kNone
             ? 1
             : 0;
}

}  // namespace kavrosa
