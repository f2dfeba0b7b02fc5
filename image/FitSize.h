// The fit rule: the size a picture is scaled to so that it fills a bound with its proportions
// kept. Integer steps, height first: the width that the bound's height gives, and when that is
// too wide, the bound's width with the height it gives.
#pragma once

#include "platform/Types.h"

namespace kavrosa {

// {0, 0} for a picture without pixels.
Size FitSize(Size bound, Size picture);

// The size a picture is shown at under `bound`: its own when it fits (or there is no bound),
// else its fit size, at least one pixel each way.
Size FitTarget(Size bound, Size picture);

// True when the bound limits anything: both sides positive.
inline bool IsBound(Size bound) {
  return bound.cx > 0 && bound.cy > 0;
}

}  // namespace kavrosa
