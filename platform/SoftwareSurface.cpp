// The memory framebuffer behind tools and tests: made of the seam's own objects so that the
// same drawing code runs natively and under GDI. GDI batches drawing, so every read of the
// section's memory flushes first.
#include "platform/SoftwareSurface.h"

#include <cstring>

#include "platform/PixelGeometry.h"
#include "platform/Graphics.h"

namespace kavrosa {

SoftwareSurface::SoftwareSurface(int32_t width, int32_t height) {
  if (width <= 0 || height <= 0 || width > kMaxImageDimension || height > kMaxImageDimension)
    return;
  const int64_t stride = StrideFor(width, 24);
  if (static_cast<uint64_t>(stride) * static_cast<uint64_t>(height) > kMaxImageBytes) return;
  dc_ = gfx::CreateCompatibleDc(nullptr);
  if (dc_ == nullptr) return;
  width_ = width;
  height_ = height;
  stride_ = static_cast<int32_t>(stride);
  const BitmapInfoHeader info = Header();
  section_ = gfx::CreateDibSection(dc_, &info, &bits_);
  if (section_ == nullptr) {
    bits_ = nullptr;
    return;
  }
  previous_ = gfx::SelectBitmap(dc_, section_);
  std::memset(bits_, 0, pixelBytes());
}

SoftwareSurface::~SoftwareSurface() {
  if (section_ != nullptr) gfx::SelectBitmap(dc_, previous_);
  gfx::DeleteBitmap(section_);
  gfx::DeleteDc(dc_);
}

BitmapInfoHeader SoftwareSurface::Header() const {
  BitmapInfoHeader h{};
  h.biSize = sizeof(BitmapInfoHeader);
  h.biWidth = width_;
  h.biHeight = height_;
  h.biPlanes = 1;
  h.biBitCount = 24;
  h.biSizeImage = static_cast<uint32_t>(pixelBytes());
  return h;
}

void SoftwareSurface::Erase() {
  EraseRect(Rect{0, 0, width_, height_});
}

void SoftwareSurface::EraseRect(Rect area) {
  if (!valid()) return;
  gfx::FillBlack(dc_, area);
  gfx::Flush();
}

Bgr SoftwareSurface::Pixel(int32_t x, int32_t y) const {
  if (!valid() || x < 0 || y < 0 || x >= width_ || y >= height_) return Bgr{};
  gfx::Flush();
  const uint8_t* p = bits_ + static_cast<size_t>(height_ - 1 - y) * stride_ + 3 * x;
  return Bgr{p[0], p[1], p[2]};
}

const uint8_t* SoftwareSurface::BottomUpPixels() const {
  gfx::Flush();
  return bits_;
}

}  // namespace kavrosa
