// The drawing seam: the handful of GDI operations the image object and the dissolve use.
// Windows: real GDI (Graphics_win.cpp). Elsewhere: the software surface (SoftwareGraphics.cpp),
// which follows the same steps and gives the same pixels for 24-bit pictures.
#pragma once

#include <cstdint>

#include "platform/Types.h"

namespace kavrosa::gfx {

// A DIB section described by `info` (a BITMAPINFOHEADER followed by the colour table GDI reads:
// biClrUsed entries, or 2^biBitCount when biClrUsed is 0 at 8 bits or fewer; image/SectionInfo.h
// builds such a copy safely from a header block), DIB_RGB_COLORS, no file mapping. *bits receives
// its pixel memory, laid out with the header's stride and row order (stride x |biHeight| bytes).
// Null on failure (*bits null too).
BitmapHandle CreateDibSection(DeviceContext dc, const BitmapInfoHeader* info, uint8_t** bits);
// The same for a caller that writes every byte of the pixel memory itself before the section is
// drawn: what the memory holds at first is unspecified (the software seam hands back the memory
// of a section of the same size deleted before, without clearing it).
BitmapHandle CreateDibSectionToOverwrite(DeviceContext dc, const BitmapInfoHeader* info,
                                         uint8_t** bits);
void DeleteBitmap(BitmapHandle bitmap);
// The pixel memory of `bitmap` when it is a DIB section of exactly the width, height (row order
// included) and bit count of `info` at 16 bits or more (no colour table to differ), BI_RGB;
// null otherwise. A caller that writes every byte again may then keep the section.
uint8_t* SectionBitsIfLike(BitmapHandle bitmap, const BitmapInfoHeader* info);

PaletteHandle CreatePalette(const PaletteEntry* entries, uint16_t count);
void DeletePalette(PaletteHandle palette);

DeviceContext CreateCompatibleDc(DeviceContext dc);
void DeleteDc(DeviceContext dc);

// Select* return the previously selected object.
BitmapHandle SelectBitmap(DeviceContext dc, BitmapHandle bitmap);
PaletteHandle SelectPalette(DeviceContext dc, PaletteHandle palette, bool forceBackground);
uint32_t RealizePalette(DeviceContext dc);

// The software seam draws nothing for a non-positive extent here, and knows only SRCCOPY,
// NOTSRCCOPY, BLACKNESS and WHITENESS; its DIB sections are BI_RGB at 1, 4, 8, 16, 24 or 32 bits.
bool BitBlt(DeviceContext dst, int32_t x, int32_t y, int32_t width, int32_t height,
            DeviceContext src, int32_t srcX, int32_t srcY, uint32_t rop);
// Nearest-neighbour scaling in the manner of COLORONCOLOR: destination pixel i of n takes source
// pixel floor(i x m / n) of m, in each axis, so enlargement repeats pixels and reduction drops
// them; a negative extent mirrors. The software seam clips at the edges of both bitmaps.
bool StretchBlt(DeviceContext dst, int32_t x, int32_t y, int32_t width, int32_t height,
                DeviceContext src, int32_t srcX, int32_t srcY, int32_t srcWidth, int32_t srcHeight,
                uint32_t rop);

// Paints `area` of the DC's surface black (FillRect with the black stock brush).
void FillBlack(DeviceContext dc, Rect area);
// GdiFlush: finishes batched drawing so that a DIB section's memory can be read.
void Flush();

// Raster operations the software seam knows; other values draw nothing there.
constexpr uint32_t kBlackness = 0x00000042;   // BLACKNESS
constexpr uint32_t kWhiteness = 0x00FF0062;   // WHITENESS
constexpr uint32_t kNotSrcCopy = 0x00330008;  // NOTSRCCOPY

}  // namespace kavrosa::gfx
