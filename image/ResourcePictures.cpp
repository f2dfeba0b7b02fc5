// Pictures that lie in memory: packed DIBs (the layout of a bitmap resource) and, through the
// decoder, the JPEG streams of the IMGDAT resources. A packed DIB states its own sizes; all of
// them are checked against the bytes the resource really holds before anything changes, so a
// header that promises more than is there is refused instead of read past.
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <optional>

#include "image/DibImage.h"
#include "platform/PixelGeometry.h"
#include "platform/Resources.h"

namespace kavrosa {
namespace {

constexpr uint32_t kPackedHeaderBytes = 40;  // BITMAPINFOHEADER
constexpr uint32_t kBiRgb = 0;
// No DIB needs more colour-table entries than an 8-bit one; more would only be a way to make
// the loader read and allocate on a header's say-so.
constexpr uint32_t kMaxColourEntries = 256;

// Colour-table entries behind the header: biClrUsed when set, otherwise by bit count.
uint32_t ColourCount(const BitmapInfoHeader& header) {
  return header.biClrUsed != 0 ? header.biClrUsed : DefaultColourCount(header.biBitCount);
}

bool IsRowFormat(uint16_t bitCount) {
  return bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 16 || bitCount == 24 ||
         bitCount == 32;
}

// The pieces of a packed DIB, once its header has been checked against the bytes.
struct PackedDibLayout {
  uint32_t colours = 0;     // colour-table entries, written back as biClrUsed
  size_t headerBytes = 0;   // header and colour table
  uint32_t pixelBytes = 0;  // pixel bytes taken from the data: biSizeImage, or stride x rows
  uint32_t blockBytes = 0;  // pixel block: never less than stride x rows, whatever biSizeImage says
  int32_t stride = 0;
};

// Only uncompressed rows (BI_RGB) of 1, 4, 8, 16, 24 or 32 bits are taken: run-length and
// bit-field DIBs would have their codes or masks read as colours and pixels.
std::optional<PackedDibLayout> CheckPackedDib(const uint8_t* data, size_t size) {
  if (data == nullptr || size < kPackedHeaderBytes) return std::nullopt;
  BitmapInfoHeader header;
  std::memcpy(&header, data, sizeof header);
  if (header.biSize != kPackedHeaderBytes) return std::nullopt;
  if (header.biCompression != kBiRgb || !IsRowFormat(header.biBitCount)) return std::nullopt;
  // stride x rows, within the sizes any picture may have
  const auto wholeRows = CheckedImageBytes(header.biWidth, header.biHeight, header.biBitCount);
  if (!wholeRows) return std::nullopt;

  PackedDibLayout layout;
  layout.colours = ColourCount(header);
  if (layout.colours > kMaxColourEntries) return std::nullopt;
  layout.headerBytes = kPackedHeaderBytes + layout.colours * sizeof(RgbQuad);
  layout.pixelBytes = header.biSizeImage != 0 ? header.biSizeImage : *wholeRows;
  layout.blockBytes = std::max(layout.pixelBytes, *wholeRows);
  layout.stride = static_cast<int32_t>(StrideFor(header.biWidth, header.biBitCount));
  if (uint64_t{layout.headerBytes} + layout.pixelBytes > size) return std::nullopt;
  return layout;
}

}  // namespace

int32_t DibImage::LoadPackedDib(const uint8_t* data, size_t size) {
  const std::optional<PackedDibLayout> layout = CheckPackedDib(data, size);
  if (!layout) return 0;

  stride_ = layout->stride;
  headerBlock_.Free();
  headerBlock_ = LocalBlock::Allocate(layout->headerBytes);
  {
    BlockLock header(headerBlock_);
    if (!header) return 0;
    std::memcpy(header.data(), data, layout->headerBytes);
    std::memcpy(header.data() + offsetof(BitmapInfoHeader, biClrUsed), &layout->colours,
                sizeof layout->colours);
    MakePalette(header.data());  // the block holds exactly biClrUsed entries
  }

  pixelBlock_.Free();
  // Fills biSizeImage when it was 0; the same figure CheckPackedDib measured against the data.
  if (ImageSize() != layout->pixelBytes) return 0;
  pixelBlock_ = LocalBlock::Allocate(layout->blockBytes);
  BlockLock pixels(pixelBlock_);
  if (!pixels) return 0;
  std::memcpy(pixels.data(), data + layout->headerBytes, layout->pixelBytes);
  return 1;
}

int32_t DibImage::LoadFromResource(uint32_t id, const char* type, ModuleHandle module) {
  // Only the low 16 bits name an integer resource.
  const auto resource =
      FindModuleResource(module != nullptr ? module : RunningModule(), static_cast<uint16_t>(id),
                         type != nullptr ? type : ResourceTypeNumber(kResourceTypeBitmap));
  if (!resource) return 0;

  loaded_ = 0;
  headerBlock_.Free();
  pixelBlock_.Free();
  if (LoadPackedDib(resource->data, resource->size) != 0) {
    loaded_ = 1;
    return 1;
  }
  // A stream that ends well but held no frame leaves no picture: that is no load either.
  if (DecodeJpeg(resource->data, resource->size) != 0 && headerBlock_ && pixelBlock_) {
    loaded_ = 1;
    return 2;
  }
  return 0;
}

}  // namespace kavrosa
