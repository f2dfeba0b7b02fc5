// Row comparison and pixel packing. The comparison is what keeps a held picture cheap: a tick
// that drew the same pixels again finds no changed row, and nothing goes to the X server.
#include "xshell/FramePixels.h"

#include <cstring>

namespace kavrosa::xshell {

RowBand TakeChangedRows(const SoftwareSurface& surface, std::vector<uint8_t>& shown) {
  if (!surface.valid()) return RowBand{};
  const uint8_t* bits = surface.BottomUpPixels();
  const size_t stride = static_cast<size_t>(surface.stride());
  const int32_t height = surface.height();
  if (shown.size() != surface.pixelBytes()) {
    shown.assign(bits, bits + surface.pixelBytes());
    return RowBand{0, height};
  }
  RowBand band{height, 0};
  for (int32_t y = 0; y < height; ++y) {
    const size_t offset = static_cast<size_t>(height - 1 - y) * stride;
    if (std::memcmp(bits + offset, shown.data() + offset, stride) == 0) continue;
    std::memcpy(shown.data() + offset, bits + offset, stride);
    if (y < band.top) band.top = y;
    band.bottom = y + 1;
  }
  return band.empty() ? RowBand{} : band;
}

Channel ChannelFromMask(unsigned long mask) {
  Channel c;
  if (mask == 0) return c;
  while ((mask & 1) == 0) {
    mask >>= 1;
    ++c.shift;
  }
  while ((mask & 1) != 0) {
    mask >>= 1;
    ++c.bits;
  }
  return c;
}

PixelPacking PackingFromMasks(unsigned long red, unsigned long green, unsigned long blue,
                              int depth) {
  const uint32_t colour = static_cast<uint32_t>(red | green | blue);
  return PixelPacking{ChannelFromMask(red), ChannelFromMask(green), ChannelFromMask(blue),
                      depth == 32 ? ~colour : 0u};
}

void PackRows32(const SoftwareSurface& surface, RowBand band, const PixelPacking& packing,
                uint8_t* target, int32_t targetStride) {
  const uint8_t* bits = surface.BottomUpPixels();
  const int32_t width = surface.width();
  const int32_t height = surface.height();
  for (int32_t y = band.top; y < band.bottom; ++y) {
    const uint8_t* from = bits + static_cast<size_t>(height - 1 - y) * surface.stride();
    uint8_t* to = target + static_cast<size_t>(y) * static_cast<size_t>(targetStride);
    for (int32_t x = 0; x < width; ++x) {
      const uint32_t value = PackPixel(packing, from[2], from[1], from[0]);
      std::memcpy(to, &value, sizeof value);
      from += 3;
      to += 4;
    }
  }
}

}  // namespace kavrosa::xshell
