// What the software drawing seam can tell tests about itself: how many seam calls were made
// and how many of its objects are alive. Not available in the Windows build.
#pragma once

#include <cstdint>

namespace kavrosa::gfx {

struct SoftwareStats {
  uint64_t calls = 0;  // every seam operation, successful or not
  int64_t liveDcs = 0;
  int64_t liveBitmaps = 0;
  int64_t livePalettes = 0;
};

SoftwareStats GetSoftwareStats();

}  // namespace kavrosa::gfx
