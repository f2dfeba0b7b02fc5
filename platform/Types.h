// Small value types and opaque handles shared by the portable core and its platform seam.
// On Windows the handles are the GDI/USER handles themselves (HDC, HBITMAP, ...); elsewhere
// they point at the software surface's own objects. Core code never includes <windows.h>.
#pragma once

#include <cstdint>

namespace kavrosa {

struct Rect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
};

struct Point {
  int32_t x = 0;
  int32_t y = 0;
};

struct Size {
  int32_t cx = 0;
  int32_t cy = 0;
};

inline bool operator==(const Rect& a, const Rect& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
inline bool operator==(const Size& a, const Size& b) {
  return a.cx == b.cx && a.cy == b.cy;
}
inline bool operator==(const Point& a, const Point& b) {
  return a.x == b.x && a.y == b.y;
}

// Same layout as Win32's BITMAPINFOHEADER (40 bytes, naturally aligned, little-endian).
struct BitmapInfoHeader {
  uint32_t biSize;
  int32_t biWidth;
  int32_t biHeight;
  uint16_t biPlanes;
  uint16_t biBitCount;
  uint32_t biCompression;
  uint32_t biSizeImage;
  int32_t biXPelsPerMeter;
  int32_t biYPelsPerMeter;
  uint32_t biClrUsed;
  uint32_t biClrImportant;
};
static_assert(sizeof(BitmapInfoHeader) == 40, "BITMAPINFOHEADER is 40 bytes");

// Same layout as RGBQUAD.
struct RgbQuad {
  uint8_t rgbBlue;
  uint8_t rgbGreen;
  uint8_t rgbRed;
  uint8_t rgbReserved;
};
static_assert(sizeof(RgbQuad) == 4, "RGBQUAD is 4 bytes");

// Same layout as PALETTEENTRY.
struct PaletteEntry {
  uint8_t peRed;
  uint8_t peGreen;
  uint8_t peBlue;
  uint8_t peFlags;
};

constexpr uint32_t kSrcCopy = 0x00CC0020;  // SRCCOPY

// Opaque handles. On Windows: HDC, HBITMAP, HPALETTE, HMODULE, HWND.
struct DeviceContextObject;
struct BitmapObject;
struct PaletteObject;
struct ModuleObject;
struct WindowObject;
using DeviceContext = DeviceContextObject*;
using BitmapHandle = BitmapObject*;
using PaletteHandle = PaletteObject*;
using ModuleHandle = ModuleObject*;
using WindowHandle = WindowObject*;

}  // namespace kavrosa
