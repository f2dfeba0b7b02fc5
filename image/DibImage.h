// One picture as a device-independent bitmap: a header block (BITMAPINFOHEADER and colour
// table) and a pixel block in movable local memory, a lazily made DIB section that Blit draws,
// and a palette for pictures with a colour table. The JPEG decoder's state is the first member
// so that a stream decodes straight into the object's blocks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "jpeg/JpegDecoderState.h"
#include "platform/LocalMemory.h"
#include "platform/Types.h"

namespace kavrosa {

class DibImage {
 public:
  DibImage() = default;
  DibImage(const DibImage&) = delete;
  DibImage& operator=(const DibImage&) = delete;

  // Virtual operations, in slot order.
  virtual int32_t SaveBmp(const std::string& fileName);
  virtual int32_t Blit(DeviceContext hdc, Rect destination, Rect source, uint32_t rop);
  virtual int32_t DrawAt(DeviceContext hdc, int32_t x, int32_t y, uint32_t rop);
  virtual int32_t DrawRect(DeviceContext hdc, int32_t x, int32_t y, Rect source, uint32_t rop);
  virtual int32_t LoadBmp(const std::string& fileName);
  // Releases the DIB section, the palette, the pixel block and the header block, in that order.
  virtual ~DibImage();

  int32_t Width();
  int32_t Height(bool makeNonNegative);
  Size GetSize(bool makeNonNegative);
  int32_t RowBytes();
  void EnsureStride();
  uint32_t ImageSize();
  // Reads biClrUsed colour-table entries behind the header; the loaders keep that many there.
  int32_t MakePalette(const uint8_t* lockedHeader);
  // The same, reading nothing at or beyond lockedHeader + headerBytes.
  int32_t MakePalette(const uint8_t* lockedHeader, size_t headerBytes);

  // Picture loading from memory and resources (ResourcePictures.cpp).
  int32_t LoadFromResource(uint32_t id, const char* type, ModuleHandle module);
  // `size` bounds every read of the packed DIB.
  int32_t LoadPackedDib(const uint8_t* data, size_t size);

  // The baseline JPEG decoder (jpeg/). Reads nothing at or beyond data + size.
  int32_t DecodeJpeg(const uint8_t* data, size_t size);
  // The same stream as a screen of size `bound` shows it: the picture with its Exif orientation
  // applied, reduced to its fit size inside `bound` when larger than `bound` in either
  // direction, at its own size otherwise. A bound with a side of 0 or less: no bound. 1/0.
  int32_t DecodeJpegToFit(const uint8_t* data, size_t size, Size bound);

  // One dissolve frame into a new DIB section (slideshow/Dissolve.cpp).
  int32_t FadeDraw(DeviceContext hdc, int32_t level, int32_t steps);

  // Read-only views for callers outside the object (tests, tools).
  int32_t loaded() const { return loaded_; }
  int32_t stride() const { return stride_; }
  BitmapHandle dibSection() const { return dibSection_; }
  PaletteHandle palette() const { return palette_; }
  LocalBlock& headerBlock() { return headerBlock_; }
  LocalBlock& pixelBlock() { return pixelBlock_; }

 protected:
  friend struct DibImageAccess;  // the loaders' shared helpers

  JpegDecoderState jpeg_;
  LocalBlock headerBlock_;
  LocalBlock pixelBlock_;
  int32_t stride_ = 0;
  BitmapHandle dibSection_ = nullptr;
  PaletteHandle palette_ = nullptr;
  int32_t loaded_ = 0;
};

}  // namespace kavrosa
