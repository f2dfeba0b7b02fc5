// The block swap behind every 24-bit replacement. The header block is made anew (40 bytes, no
// colour table), so a palette picture turned 24-bit leaves no stale table behind its header.
#include "image/Picture24.h"

#include <cstring>

#include "image/DibImageAccess.h"
#include "platform/PixelGeometry.h"
#include "platform/Graphics.h"

namespace kavrosa {
namespace {

bool ReadHeader(LocalBlock& block, BitmapInfoHeader& header) {
  BlockLock lock(block);
  if (!lock || lock.size() < sizeof header) return false;
  std::memcpy(&header, lock.data(), sizeof header);
  return true;
}

void DropDerived(DibImage& image) {
  PaletteHandle& palette = DibImageAccess::Palette(image);
  if (palette != nullptr) gfx::DeletePalette(palette);
  palette = nullptr;
  BitmapHandle& section = DibImageAccess::DibSection(image);
  if (section != nullptr) gfx::DeleteBitmap(section);
  section = nullptr;
  DibImageAccess::Stride(image) = 0;
  image.EnsureStride();
}

}  // namespace

Replace24 ReplaceWith24Bit(LocalBlock& headerBlock, LocalBlock& pixelBlock, BitmapInfoHeader like,
                           Size size, const FillRows24& fill) {
  const auto bytes = CheckedImageBytes(size.cx, size.cy, 24);
  if (!bytes) return Replace24::kTooLarge;
  LocalBlock header = LocalBlock::Allocate(sizeof(BitmapInfoHeader));
  LocalBlock pixels = LocalBlock::Allocate(*bytes);
  if (!header || !pixels) return Replace24::kNoMemory;
  {
    BlockLock target(pixels);
    if (!target) return Replace24::kNoMemory;
    const MutablePixelRows24 rows{target.data(), size.cx, size.cy,
                                  static_cast<size_t>(StrideFor(size.cx, 24))};
    if (!fill(rows)) return Replace24::kNotFilled;
  }
  like.biSize = sizeof like;
  like.biWidth = size.cx;
  like.biHeight = like.biHeight < 0 ? -size.cy : size.cy;
  like.biPlanes = 1;
  like.biBitCount = 24;
  like.biCompression = 0;
  like.biSizeImage = *bytes;
  like.biClrUsed = 0;
  like.biClrImportant = 0;
  {
    BlockLock lock(header);
    if (!lock) return Replace24::kNoMemory;
    std::memcpy(lock.data(), &like, sizeof like);
  }
  headerBlock = std::move(header);
  pixelBlock = std::move(pixels);
  return Replace24::kReplaced;
}

Replace24 Transform24Bit(LocalBlock& headerBlock, LocalBlock& pixelBlock, Size size,
                         const TransformRows24& transform) {
  BitmapInfoHeader old;
  if (!ReadHeader(headerBlock, old) || old.biBitCount != 24) return Replace24::kNotFilled;
  const Size from{old.biWidth, old.biHeight < 0 ? -old.biHeight : old.biHeight};
  if (from.cx <= 0) return Replace24::kNotFilled;
  const auto fill = [&](const MutablePixelRows24& target) {
    BlockLock source(pixelBlock);
    const size_t stride = static_cast<size_t>(StrideFor(from.cx, 24));
    if (!source || source.size() < stride * static_cast<size_t>(from.cy)) return false;
    return transform(PixelRows24{source.data(), from.cx, from.cy, stride}, target);
  };
  return ReplaceWith24Bit(headerBlock, pixelBlock, old, size, fill);
}

Replace24 ReplaceWith24Bit(DibImage& image, BitmapInfoHeader like, Size size,
                           const FillRows24& fill) {
  const Replace24 result =
      ReplaceWith24Bit(image.headerBlock(), image.pixelBlock(), like, size, fill);
  if (result == Replace24::kReplaced) DropDerived(image);
  return result;
}

Replace24 Transform24Bit(DibImage& image, Size size, const TransformRows24& transform) {
  const Replace24 result = Transform24Bit(image.headerBlock(), image.pixelBlock(), size, transform);
  if (result == Replace24::kReplaced) DropDerived(image);
  return result;
}

}  // namespace kavrosa
