// RAII over the drawing seam: a memory DC that is deleted, and selections that put the previous
// object back. Restoring in reverse order of selection is what GDI expects before DeleteDC, so
// declare them in the order the objects are selected.
#pragma once

#include "platform/Graphics.h"

namespace kavrosa::gfx {

class ScopedDc {
 public:
  explicit ScopedDc(DeviceContext dc) : dc_(dc) {}
  ~ScopedDc() { DeleteDc(dc_); }
  ScopedDc(const ScopedDc&) = delete;
  ScopedDc& operator=(const ScopedDc&) = delete;

  DeviceContext get() const { return dc_; }
  explicit operator bool() const { return dc_ != nullptr; }

 private:
  DeviceContext dc_;
};

// Selects a bitmap into a DC for this object's lifetime.
class BitmapSelection {
 public:
  BitmapSelection(DeviceContext dc, BitmapHandle bitmap)
      : dc_(dc), previous_(SelectBitmap(dc, bitmap)) {}
  ~BitmapSelection() { SelectBitmap(dc_, previous_); }
  BitmapSelection(const BitmapSelection&) = delete;
  BitmapSelection& operator=(const BitmapSelection&) = delete;

 private:
  DeviceContext dc_;
  BitmapHandle previous_;
};

// Selects a palette as a foreground palette and realises it; the previous palette goes back
// as a background palette. A null palette selects nothing.
class PaletteSelection {
 public:
  PaletteSelection(DeviceContext dc, PaletteHandle palette) : dc_(dc), active_(palette != nullptr) {
    if (active_) {
      previous_ = SelectPalette(dc, palette, false);
      RealizePalette(dc);
    }
  }
  ~PaletteSelection() {
    if (active_) SelectPalette(dc_, previous_, true);
  }
  PaletteSelection(const PaletteSelection&) = delete;
  PaletteSelection& operator=(const PaletteSelection&) = delete;

 private:
  DeviceContext dc_;
  bool active_;
  PaletteHandle previous_ = nullptr;
};

}  // namespace kavrosa::gfx
