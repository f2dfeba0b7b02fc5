// Comparison and pixel packing. Only what a tick drew is compared, and only what changed is
// packed and pushed: a tick that drew the same pixels again sends nothing to the X server.
#include "xshell/FramePixels.h"

#include <algorithm>
#include <cstring>

namespace kavrosa::xshell {

Rect TakeChangedArea(const SoftwareSurface& surface, Rect area, std::vector<uint8_t>& shown) {
  if (!surface.valid()) return Rect{};
  const uint8_t* bits = surface.BottomUpPixels();
  const int32_t height = surface.height();
  if (shown.size() != surface.pixelBytes()) {
    shown.assign(bits, bits + surface.pixelBytes());
    return Rect{0, 0, surface.width(), height};
  }
  area = Rect{std::max(area.left, 0), std::max(area.top, 0), std::min(area.right, surface.width()),
              std::min(area.bottom, height)};
  if (IsEmpty(area)) return Rect{};
  const size_t span = 3 * static_cast<size_t>(area.right - area.left);
  Rect changed{area.left, height, area.right, 0};
  for (int32_t y = area.top; y < area.bottom; ++y) {
    const size_t offset =
        static_cast<size_t>(height - 1 - y) * static_cast<size_t>(surface.stride()) +
        3 * static_cast<size_t>(area.left);
    if (std::memcmp(bits + offset, shown.data() + offset, span) == 0) continue;
    std::memcpy(shown.data() + offset, bits + offset, span);
    changed.top = std::min(changed.top, y);
    changed.bottom = y + 1;
  }
  return IsEmpty(changed) ? Rect{} : changed;
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

void PackArea32(const SoftwareSurface& surface, Rect area, const PixelPacking& packing,
                uint8_t* target, int32_t targetStride) {
  const uint8_t* bits = surface.BottomUpPixels();
  const int32_t height = surface.height();
  for (int32_t y = area.top; y < area.bottom; ++y) {
    const uint8_t* from = bits + static_cast<size_t>(height - 1 - y) * surface.stride() +
                          3 * static_cast<size_t>(area.left);
    uint8_t* to = target + static_cast<size_t>(y) * static_cast<size_t>(targetStride) +
                  4 * static_cast<size_t>(area.left);
    for (int32_t x = area.left; x < area.right; ++x) {
      const uint32_t value = PackPixel(packing, from[2], from[1], from[0]);
      std::memcpy(to, &value, sizeof value);
      from += 3;
      to += 4;
    }
  }
}

}  // namespace kavrosa::xshell
