// Row stride and checked pixel-block sizes: one cap and one overflow rule for every reader of
// untrusted dimensions.
#include "platform/PixelGeometry.h"

namespace kavrosa {

std::optional<uint32_t> CheckedImageBytes(int64_t width, int64_t height, int64_t bitCount) {
  const int64_t rows = height < 0 ? -height : height;
  if (width <= 0 || rows == 0 || width > kMaxImageDimension || rows > kMaxImageDimension)
    return std::nullopt;
  if (bitCount <= 0 || bitCount > 32) return std::nullopt;
  const uint64_t bytes =
      static_cast<uint64_t>(StrideFor(width, bitCount)) * static_cast<uint64_t>(rows);
  if (bytes > kMaxImageBytes) return std::nullopt;
  return static_cast<uint32_t>(bytes);
}

}  // namespace kavrosa
