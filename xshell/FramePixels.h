// From the software surface to the X server's pixels: which rows changed since the frame last
// pushed, and the surface's 24-bit bottom-up BGR rows packed into a TrueColor visual's pixel
// values, top-down. No Xlib here; the masks are the visual's.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/SoftwareSurface.h"

namespace kavrosa::xshell {

// Rows [top, bottom) counted from the top; empty when top == bottom.
struct RowBand {
  int32_t top = 0;
  int32_t bottom = 0;
  bool empty() const { return bottom <= top; }
};

// The rows of `surface` that differ from `shown` (a copy of its bytes as last pushed, resized and
// filled with the surface when its size differs); the changed rows are copied into `shown`.
RowBand TakeChangedRows(const SoftwareSurface& surface, std::vector<uint8_t>& shown);

// One colour channel of a TrueColor visual: where its bits sit in a pixel value.
struct Channel {
  uint32_t shift = 0;
  uint32_t bits = 0;
};
Channel ChannelFromMask(unsigned long mask);

struct PixelPacking {
  Channel red;
  Channel green;
  Channel blue;
  uint32_t opaque = 0;  // the alpha bits of a 32-bit deep visual, set in every pixel
};
// `depth` is the visual's: at 32 the bits outside the three masks are alpha.
PixelPacking PackingFromMasks(unsigned long red, unsigned long green, unsigned long blue,
                              int depth = 24);

// The pixel value of an 8-bit-per-channel colour: each channel keeps its top bits.
inline uint32_t PackPixel(const PixelPacking& p, uint8_t red, uint8_t green, uint8_t blue) {
  const auto put = [](const Channel& c, uint8_t v) {
    if (c.bits == 0) return 0u;
    const uint32_t scaled = c.bits >= 8 ? uint32_t{v} << (c.bits - 8) : uint32_t{v} >> (8 - c.bits);
    return scaled << c.shift;
  };
  return put(p.red, red) | put(p.green, green) | put(p.blue, blue) | p.opaque;
}

// Rows `band` of the surface as 32-bit pixel values in host byte order, written top-down into
// `target` (`targetStride` bytes a row, at least 4 x width).
void PackRows32(const SoftwareSurface& surface, RowBand band, const PixelPacking& packing,
                uint8_t* target, int32_t targetStride);

}  // namespace kavrosa::xshell
