// The BITMAPINFO handed to CreateDibSection, copied out of a header block. GDI reads a full
// colour table (2^biBitCount entries) when biClrUsed is 0 and three masks for bit-field
// pictures, which a header block need not hold: the copy pads the table with zeros instead.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/Types.h"

namespace kavrosa {

struct SectionInfo {
  BitmapInfoHeader header;
  RgbQuad colours[256];
};

// Fills *info from a locked header block (BITMAPINFOHEADER + colour table, `blockSize` bytes)
// and *sectionBytes with the section's own size, stride x |biHeight|. False when the block holds
// no header or the picture's dimensions or bit count are refused (CheckedImageBytes).
bool MakeSectionInfo(const uint8_t* block, size_t blockSize, SectionInfo* info,
                     uint32_t* sectionBytes);

}  // namespace kavrosa
