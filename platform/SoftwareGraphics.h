// What the software drawing seam can tell tests and shells about itself (how many seam calls
// were made, how many of its objects are alive, how often a bitmap was drawn into) and its one
// test switch. Not in the Windows build.
#pragma once

#include <cstdint>

#include "platform/Types.h"

namespace kavrosa::gfx {

struct SoftwareStats {
  uint64_t calls = 0;  // every seam operation, successful or not
  int64_t liveDcs = 0;
  int64_t liveBitmaps = 0;
  int64_t livePalettes = 0;
};

SoftwareStats GetSoftwareStats();

// The smallest rectangle holding every pixel drawn into the bitmap selected into `dc` since the
// last call (empty when nothing was drawn), so that a shell copying the pixels elsewhere copies
// only what a tick drew. Each call starts the next record.
Rect TakeDrawnArea(DeviceContext dc);

// Turns the same-format copy paths off (on by default), so that tests can hold them to the
// plain per-pixel path.
void SetSoftwareFastPaths(bool enabled);

}  // namespace kavrosa::gfx
