// A "window" framebuffer in memory: a 24-bit bottom-up DIB section selected into its own memory
// DC, so that pictures and dissolve frames draw into it through the drawing seam exactly as into
// a window. Built over the seam, it is real GDI in the Windows build; reads flush GDI first.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/Types.h"

namespace kavrosa {

struct Bgr {
  uint8_t blue = 0;
  uint8_t green = 0;
  uint8_t red = 0;
};
inline bool operator==(const Bgr& a, const Bgr& b) {
  return a.blue == b.blue && a.green == b.green && a.red == b.red;
}

class SoftwareSurface {
 public:
  // A black surface of width x height; valid() is false when the size is refused (not
  // positive, above the image caps) or the memory cannot be had.
  SoftwareSurface(int32_t width, int32_t height);
  ~SoftwareSurface();
  SoftwareSurface(const SoftwareSurface&) = delete;
  SoftwareSurface& operator=(const SoftwareSurface&) = delete;

  bool valid() const { return bits_ != nullptr; }
  int32_t width() const { return width_; }
  int32_t height() const { return height_; }
  // The device context to draw into; the surface's section stays selected in it.
  DeviceContext dc() const { return dc_; }

  // Paints the whole surface, or the part of `area` inside it, black.
  void Erase();
  void EraseRect(Rect area);
  // Pixel (x, y) counted from the top-left corner; black outside the surface.
  Bgr Pixel(int32_t x, int32_t y) const;

  // The header of the pixel data below: 24 bits, positive biHeight (bottom-up rows),
  // biSizeImage = stride x height, no colour table.
  BitmapInfoHeader Header() const;
  // The rows as a bottom-up 24-bit DIB holds them (stride x height bytes), ready for a BMP file.
  const uint8_t* BottomUpPixels() const;
  int32_t stride() const { return stride_; }
  size_t pixelBytes() const { return static_cast<size_t>(stride_) * static_cast<size_t>(height_); }

 private:
  int32_t width_ = 0;
  int32_t height_ = 0;
  int32_t stride_ = 0;
  DeviceContext dc_ = nullptr;
  BitmapHandle section_ = nullptr;
  BitmapHandle previous_ = nullptr;
  uint8_t* bits_ = nullptr;
};

}  // namespace kavrosa
