// Decoding to a screen's size: the frame decoded at a reduced scale where that still covers
// the target, the Exif orientation applied, and the result resampled to the exact size the
// fit rule gives. The header block is rewritten at each step with the picture's new size.
#include <cstring>

#include "image/DibImage.h"
#include "image/FitSize.h"
#include "image/Orientation.h"
#include "image/PixelGeometry.h"
#include "image/Resample.h"
#include "jpeg/JpegDecoder.h"

namespace kavrosa {
namespace {

constexpr size_t kHeaderBytes = sizeof(BitmapInfoHeader);

bool ReadHeader(LocalBlock& block, BitmapInfoHeader& header) {
  BlockLock lock(block);
  if (lock.size() < kHeaderBytes) return false;
  std::memcpy(&header, lock.data(), kHeaderBytes);
  return true;
}

PixelRows24 RowsOf(const BlockLock& lock, Size size) {
  return PixelRows24{lock.data(), size.cx, size.cy, static_cast<size_t>(StrideFor(size.cx, 24))};
}

MutablePixelRows24 MutableRowsOf(const BlockLock& lock, Size size) {
  return MutablePixelRows24{lock.data(), size.cx, size.cy,
                            static_cast<size_t>(StrideFor(size.cx, 24))};
}

// Replaces the picture in the blocks by `make(source, target)` at size `to`.
template <typename Make>
JpegError ReplacePicture(LocalBlock& headerBlock, LocalBlock& pixelBlock, BitmapInfoHeader header,
                         Size to, Make make) {
  const Size from{header.biWidth, header.biHeight};
  const auto bytes = CheckedImageBytes(to.cx, to.cy, 24);
  if (!bytes) return JpegError::kImageSize;
  LocalBlock replaced = LocalBlock::Allocate(*bytes);
  if (!replaced) return JpegError::kOutOfMemory;
  {
    BlockLock source(pixelBlock);
    BlockLock target(replaced);
    if (!source || source.size() < static_cast<size_t>(StrideFor(from.cx, 24)) * from.cy)
      return JpegError::kOutOfMemory;
    if (!make(RowsOf(source, from), MutableRowsOf(target, to))) return JpegError::kOutOfMemory;
  }
  pixelBlock = std::move(replaced);
  header.biWidth = to.cx;
  header.biHeight = to.cy;
  header.biSizeImage = *bytes;
  BlockLock lock(headerBlock);
  std::memcpy(lock.data(), &header, kHeaderBytes);
  return JpegError::kNone;
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
    error = ReplacePicture(headerBlock, pixelBlock, header, oriented,
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
  return ReplacePicture(headerBlock, pixelBlock, header, target, Resample24);
}

int32_t DibImage::DecodeJpegToFit(const uint8_t* data, size_t size, Size bound) {
  return DecodeJpegFitted(jpeg_, headerBlock_, pixelBlock_, data, size, bound) == JpegError::kNone
             ? 1
             : 0;
}

}  // namespace kavrosa
