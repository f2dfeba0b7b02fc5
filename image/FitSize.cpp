#include "image/FitSize.h"

#include <cstdint>

namespace kavrosa {

Size FitSize(Size bound, Size picture) {
  const int64_t W = bound.cx, H = bound.cy, w = picture.cx, h = picture.cy;
  if (w <= 0 || h <= 0) return Size{};
  int64_t sw = H * w / h;
  int64_t sh = H;
  if (sw > W) {
    sw = W;
    sh = W * h / w;
  }
  return Size{static_cast<int32_t>(sw), static_cast<int32_t>(sh)};
}

Size FitTarget(Size bound, Size picture) {
  const bool bounded = bound.cx > 0 && bound.cy > 0;
  if (!bounded || (picture.cx <= bound.cx && picture.cy <= bound.cy)) return picture;
  const Size fit = FitSize(bound, picture);
  return Size{fit.cx > 0 ? fit.cx : 1, fit.cy > 0 ? fit.cy : 1};
}

}  // namespace kavrosa
