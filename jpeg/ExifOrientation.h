// The Orientation tag of an Exif block: APP1 "Exif\0\0", a TIFF header in either byte order,
// tag 0x0112 in IFD0. Every read stays inside the segment; anything damaged or absurd reads
// as no orientation, never as a failure.
#pragma once

#include <cstdint>

#include "jpeg/ByteView.h"

namespace kavrosa {

// `body`: the APP1 segment after its length field. 1..8, or 0 when there is no usable tag.
int32_t ReadExifOrientation(ByteView body);

}  // namespace kavrosa
