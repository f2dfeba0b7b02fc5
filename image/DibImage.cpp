// The image object: size queries over the header block, the palette, and drawing through the
// seam. The subtle part is Blit's DIB section: made once from the blocks and from then on a
// cache that is drawn unchanged (FadeDraw replaces it with dissolve frames), and the first copy
// into it is bounded by the section's own size whatever biSizeImage claims.
#include "image/DibImage.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <optional>

#include "platform/PixelGeometry.h"
#include "image/SectionInfo.h"
#include "platform/Graphics.h"
#include "platform/GraphicsScoped.h"

namespace kavrosa {
namespace {

constexpr size_t kHeaderBytes = sizeof(BitmapInfoHeader);
constexpr uint32_t kMaxPaletteEntries = 0xFFFF;

// A copy of the header, or nothing when the block is missing or too short to hold one.
std::optional<BitmapInfoHeader> ReadHeader(LocalBlock& block) {
  BlockLock lock(block);
  if (lock.size() < kHeaderBytes) return std::nullopt;
  BitmapInfoHeader header;
  std::memcpy(&header, lock.data(), kHeaderBytes);
  return header;
}

void StoreSizeImage(LocalBlock& block, uint32_t value) {
  BlockLock lock(block);
  if (lock.size() < kHeaderBytes) return;
  std::memcpy(lock.data() + offsetof(BitmapInfoHeader, biSizeImage), &value, sizeof(value));
}

int32_t Clamp32(int64_t value) {
  return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

// A DIB section made from the image's blocks for `memoryDc`, holding a copy of the pixel
// block bounded by the section's own size; null (and no pixel written) when none can be had.
BitmapHandle MakeSection(DibImage& image, DeviceContext memoryDc) {
  BlockLock pixels(image.pixelBlock());
  const uint32_t size = image.ImageSize();
  BlockLock header(image.headerBlock());
  SectionInfo info;
  uint32_t sectionBytes = 0;
  if (!MakeSectionInfo(header.data(), header.size(), &info, &sectionBytes)) return nullptr;
  uint8_t* bits = nullptr;
  BitmapHandle section = gfx::CreateDibSection(memoryDc, &info.header, &bits);
  if (section == nullptr || bits == nullptr) {
    gfx::DeleteBitmap(section);
    return nullptr;
  }
  const size_t copy = std::min<size_t>({size, pixels.size(), sectionBytes});
  if (copy > 0) std::memcpy(bits, pixels.data(), copy);
  return section;
}

// Selects a newly made section with the picture's palette realised in the memory DC; the DC's
// previous palette is back when this returns.
gfx::BitmapSelection SelectFreshSection(DeviceContext memoryDc, BitmapHandle section,
                                        PaletteHandle palette) {
  gfx::PaletteSelection memoryPalette(memoryDc, palette);
  return gfx::BitmapSelection(memoryDc, section);
}

// BitBlt when both rectangles have the same size, StretchBlt otherwise; the destination's
// stretch mode is left as it is.
void DrawSection(DeviceContext hdc, Rect destination, Rect source, DeviceContext memoryDc,
                 uint32_t rop) {
  const int64_t dw = int64_t{destination.right} - destination.left;
  const int64_t dh = int64_t{destination.bottom} - destination.top;
  const int64_t sw = int64_t{source.right} - source.left;
  const int64_t sh = int64_t{source.bottom} - source.top;
  if (dw == sw && dh == sh) {
    gfx::BitBlt(hdc, destination.left, destination.top, Clamp32(dw), Clamp32(dh), memoryDc,
                source.left, source.top, rop);
  } else {
    gfx::StretchBlt(hdc, destination.left, destination.top, Clamp32(dw), Clamp32(dh), memoryDc,
                    source.left, source.top, Clamp32(sw), Clamp32(sh), rop);
  }
}

}  // namespace

DibImage::~DibImage() {
  gfx::DeleteBitmap(dibSection_);
  dibSection_ = nullptr;
  gfx::DeletePalette(palette_);
  palette_ = nullptr;
  pixelBlock_.Free();
  headerBlock_.Free();
}

int32_t DibImage::Width() {
  const auto header = ReadHeader(headerBlock_);
  return header ? header->biWidth : 0;
}

int32_t DibImage::Height(bool makeNonNegative) {
  const auto header = ReadHeader(headerBlock_);
  if (!header) return 0;
  const int64_t height = header->biHeight;
  return Clamp32(makeNonNegative && height < 0 ? -height : height);
}

Size DibImage::GetSize(bool makeNonNegative) {
  return Size{Width(), Height(makeNonNegative)};
}

int32_t DibImage::RowBytes() {
  const auto header = ReadHeader(headerBlock_);
  return header ? Clamp32(RowBytesFor(header->biWidth, header->biBitCount)) : 0;
}

void DibImage::EnsureStride() {
  if (stride_ != 0) return;
  const auto header = ReadHeader(headerBlock_);
  if (!header) return;
  // A stride that does not fit the cache (absurd widths) stays uncomputed: sizes come out 0.
  const int64_t stride = StrideFor(header->biWidth, header->biBitCount);
  if (stride > 0 && stride <= INT32_MAX) stride_ = static_cast<int32_t>(stride);
}

uint32_t DibImage::ImageSize() {
  if (stride_ == 0) EnsureStride();
  const auto header = ReadHeader(headerBlock_);
  if (!header) return 0;
  if (header->biSizeImage != 0) return header->biSizeImage;
  const int64_t rows = header->biHeight < 0 ? -int64_t{header->biHeight} : header->biHeight;
  const int64_t size = rows * stride_;
  if (size < 0 || size > UINT32_MAX) return 0;
  const auto result = static_cast<uint32_t>(size);
  // 16-bit BI_RGB pictures keep biSizeImage 0, so their size is computed at every call.
  const bool keepZero = header->biBitCount == 16 && header->biCompression == 0;
  if (!keepZero) StoreSizeImage(headerBlock_, result);
  return result;
}

int32_t DibImage::MakePalette(const uint8_t* lockedHeader) {
  return MakePalette(lockedHeader, SIZE_MAX);
}

int32_t DibImage::MakePalette(const uint8_t* lockedHeader, size_t headerBytes) {
  if (lockedHeader == nullptr || headerBytes < kHeaderBytes) return 0;
  BitmapInfoHeader header;
  std::memcpy(&header, lockedHeader, kHeaderBytes);
  const size_t held = (headerBytes - kHeaderBytes) / sizeof(RgbQuad);
  const size_t n = std::min<size_t>({header.biClrUsed, held, kMaxPaletteEntries});
  if (n == 0) return 0;

  LocalBlock logical = LocalBlock::Allocate(n * sizeof(PaletteEntry));
  BlockLock entries(logical);
  if (!entries) return 0;
  const uint8_t* table = lockedHeader + kHeaderBytes;
  for (size_t i = 0; i < n; ++i) {
    RgbQuad quad;
    std::memcpy(&quad, table + i * sizeof(RgbQuad), sizeof(quad));
    const PaletteEntry entry{quad.rgbRed, quad.rgbGreen, quad.rgbBlue, 0};
    std::memcpy(entries.data() + i * sizeof(PaletteEntry), &entry, sizeof(entry));
  }
  gfx::DeletePalette(palette_);
  palette_ = gfx::CreatePalette(reinterpret_cast<const PaletteEntry*>(entries.data()),
                                static_cast<uint16_t>(n));
  return 1;
}

int32_t DibImage::Blit(DeviceContext hdc, Rect destination, Rect source, uint32_t rop) {
  if (loaded_ <= 0) return 0;
  std::optional<gfx::PaletteSelection> windowPalette;  // restored after the memory DC is gone
  {
    gfx::ScopedDc memoryDc(gfx::CreateCompatibleDc(hdc));
    if (!memoryDc) return 1;
    const bool fresh = dibSection_ == nullptr;
    if (fresh) dibSection_ = MakeSection(*this, memoryDc.get());
    if (dibSection_ == nullptr) return 1;  // no surface: nothing may be drawn
    gfx::BitmapSelection selection = fresh
                                         ? SelectFreshSection(memoryDc.get(), dibSection_, palette_)
                                         : gfx::BitmapSelection(memoryDc.get(), dibSection_);
    windowPalette.emplace(hdc, palette_);
    DrawSection(hdc, destination, source, memoryDc.get(), rop);
  }
  return 1;
}

int32_t DibImage::DrawAt(DeviceContext hdc, int32_t x, int32_t y, uint32_t rop) {
  const int32_t w = Width();
  const int32_t h = Height(true);
  return Blit(hdc, Rect{x, y, Clamp32(int64_t{x} + w), Clamp32(int64_t{y} + h)}, Rect{0, 0, w, h},
              rop);
}

int32_t DibImage::DrawRect(DeviceContext hdc, int32_t x, int32_t y, Rect source, uint32_t rop) {
  const int64_t w = int64_t{source.right} - source.left;
  const int64_t h = int64_t{source.bottom} - source.top;
  return Blit(hdc, Rect{x, y, Clamp32(x + w), Clamp32(y + h)}, source, rop);
}

}  // namespace kavrosa
