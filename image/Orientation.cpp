// Each target pixel (x, y), counted from the top left, takes the source pixel its orientation
// names; rows are addressed from the bottom because the pictures are bottom-up.
#include "image/Orientation.h"

#include <cstddef>

namespace kavrosa {

bool OrientationSwapsAxes(int32_t orientation) {
  return orientation >= 5 && orientation <= 8;
}

Size OrientedSize(Size picture, int32_t orientation) {
  return OrientationSwapsAxes(orientation) ? Size{picture.cy, picture.cx} : picture;
}

bool OrientPixels24(const PixelRows24& source, int32_t orientation,
                    const MutablePixelRows24& target) {
  const int32_t w = source.width, h = source.height;
  if (orientation < 1 || orientation > 8 || w <= 0 || h <= 0) return false;
  const Size expected = OrientedSize(Size{w, h}, orientation);
  if (target.width != expected.cx || target.height != expected.cy) return false;
  if (source.stride < 3 * static_cast<size_t>(w) ||
      target.stride < 3 * static_cast<size_t>(expected.cx))
    return false;
  for (int32_t y = 0; y < target.height; ++y) {
    uint8_t* out = target.data + target.stride * static_cast<size_t>(target.height - 1 - y);
    for (int32_t x = 0; x < target.width; ++x) {
      int32_t sx = x, sy = y;
      switch (orientation) {
        case 2:
          sx = w - 1 - x;
          break;
        case 3:
          sx = w - 1 - x;
          sy = h - 1 - y;
          break;
        case 4:
          sy = h - 1 - y;
          break;
        case 5:
          sx = y;
          sy = x;
          break;
        case 6:
          sx = y;
          sy = h - 1 - x;
          break;
        case 7:
          sx = w - 1 - y;
          sy = h - 1 - x;
          break;
        case 8:
          sx = w - 1 - y;
          sy = x;
          break;
        default:
          break;
      }
      const uint8_t* in = source.data + source.stride * static_cast<size_t>(h - 1 - sy) +
                          3 * static_cast<size_t>(sx);
      out[3 * x + 0] = in[0];
      out[3 * x + 1] = in[1];
      out[3 * x + 2] = in[2];
    }
  }
  return true;
}

}  // namespace kavrosa
