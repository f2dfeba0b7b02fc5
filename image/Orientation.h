// Exif orientations applied to 24-bit bottom-up pictures: the tag says how the stored picture
// must be mirrored or turned to be seen upright (2 mirror, 3 turn half round, 4 flip, 5
// transpose, 6 turn clockwise, 7 transverse, 8 turn anticlockwise; 1 as stored).
#pragma once

#include <cstdint>

#include "image/Resample.h"
#include "platform/Types.h"

namespace kavrosa {

// 5..8 exchange width and height.
bool OrientationSwapsAxes(int32_t orientation);
Size OrientedSize(Size picture, int32_t orientation);

// `source` and `target` are bottom-up rows (the last row in memory is the top of the picture);
// `target` must have OrientedSize(source). False (nothing written) for a size mismatch, an
// orientation outside 1..8 or a stride shorter than a row.
bool OrientPixels24(const PixelRows24& source, int32_t orientation,
                    const MutablePixelRows24& target);

}  // namespace kavrosa
