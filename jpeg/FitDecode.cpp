// Decoding to a screen's size: the picture decoded, and when it is larger than the bound in
// either direction, resampled to the size the fit rule gives inside it. The header block is
// rewritten with the new size; the design's DecodeJpeg output is left untouched.
#include <cstring>

#include "image/DibImage.h"
#include "image/FitSize.h"
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

// The picture's own size when it fits the bound (or there is none), else its fit size.
Size TargetSize(Size bound, Size picture) {
  if (!IsBound(bound) || (picture.cx <= bound.cx && picture.cy <= bound.cy)) return picture;
  const Size fit = FitSize(bound, picture);
  // A sliver of a picture still keeps one pixel in each direction.
  return Size{fit.cx > 0 ? fit.cx : 1, fit.cy > 0 ? fit.cy : 1};
}

}  // namespace

// Replaces the 24-bit bottom-up picture in the blocks by its resampling to `target`.
JpegError ResamplePicture(LocalBlock& headerBlock, LocalBlock& pixelBlock, Size target) {
  BitmapInfoHeader header;
  if (!ReadHeader(headerBlock, header)) return JpegError::kNone;
  const Size picture{header.biWidth, header.biHeight};
  if (picture == target) return JpegError::kNone;
  const auto bytes = CheckedImageBytes(target.cx, target.cy, 24);
  if (!bytes) return JpegError::kImageSize;
  LocalBlock resampled = LocalBlock::Allocate(*bytes);
  if (!resampled) return JpegError::kOutOfMemory;
  {
    BlockLock from(pixelBlock);
    BlockLock to(resampled);
    const PixelRows24 source{from.data(), picture.cx, picture.cy,
                             static_cast<size_t>(StrideFor(picture.cx, 24))};
    const MutablePixelRows24 destination{to.data(), target.cx, target.cy,
                                         static_cast<size_t>(StrideFor(target.cx, 24))};
    if (!from || from.size() < source.stride * static_cast<size_t>(picture.cy))
      return JpegError::kOutOfMemory;
    if (!Resample24(source, destination)) return JpegError::kOutOfMemory;
  }
  pixelBlock = std::move(resampled);
  header.biWidth = target.cx;
  header.biHeight = target.cy;
  header.biSizeImage = *bytes;
  BlockLock lock(headerBlock);
  std::memcpy(lock.data(), &header, kHeaderBytes);
  return JpegError::kNone;
}

JpegError DecodeJpegFitted(JpegDecoderState& state, LocalBlock& headerBlock, LocalBlock& pixelBlock,
                           const uint8_t* data, size_t size, Size bound, JpegPath path) {
  const JpegError error = DecodeJpegStream(state, headerBlock, pixelBlock, data, size, path);
  if (error != JpegError::kNone) return error;
  BitmapInfoHeader header;
  if (!ReadHeader(headerBlock, header) || !pixelBlock) return JpegError::kNone;
  const Size picture{header.biWidth, header.biHeight};
  return ResamplePicture(headerBlock, pixelBlock, TargetSize(bound, picture));
}

int32_t DibImage::DecodeJpegToFit(const uint8_t* data, size_t size, Size bound) {
  return DecodeJpegFitted(jpeg_, headerBlock_, pixelBlock_, data, size, bound) == JpegError::kNone
             ? 1
             : 0;
}

}  // namespace kavrosa
