// From the software surface to the X server's pixels: which rows changed since the frame last
// pushed, and the surface's 24-bit bottom-up BGR rows packed into a TrueColor visual's pixel
// values, top-down. No Xlib here; the masks are the visual's.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/SoftwareSurface.h"

namespace kavrosa::xshell {

inline bool IsEmpty(const Rect& r) {
  return r.right <= r.left || r.bottom <= r.top;
}

// The part of `area` (client coordinates, inside the surface) whose pixels differ from `shown`,
// a copy of the surface's bytes as last pushed: the rows of `area` that changed, at `area`'s
// width; empty when none did. The changed bytes are copied into `shown`. When `shown` does not
// have the surface's size it becomes a copy of it, and the whole surface has changed.
Rect TakeChangedArea(const SoftwareSurface& surface, Rect area, std::vector<uint8_t>& shown);

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

// The pixels of `area` of the surface as 32-bit values in host byte order, written top-down at
// the same place in `target` (`targetStride` bytes a row, at least 4 x the surface's width).
void PackArea32(const SoftwareSurface& surface, Rect area, const PixelPacking& packing,
                uint8_t* target, int32_t targetStride);

}  // namespace kavrosa::xshell
