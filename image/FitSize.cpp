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

}  // namespace kavrosa
