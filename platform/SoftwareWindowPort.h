// A window without a windowing system, for tools and tests: its client area is a SoftwareSurface
// (software pixels natively, a real GDI section under Windows), its timer is driven by the caller,
// erasing paints black at once, and its default handling returns 0 or what a test hook says. Every
// message that reaches DefaultProc is recorded.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/SoftwareSurface.h"
#include "platform/Window.h"

namespace kavrosa {

class SoftwareWindowPort : public WindowPort {
 public:
  using DefaultHook = std::function<intptr_t(uint32_t message, uintptr_t wParam, intptr_t lParam)>;

  // A client area of size.cx x size.cy pixels whose top-left corner is at `origin` on the screen.
  // A size the surface refuses leaves ok() false; nothing is drawn then.
  SoftwareWindowPort(Size size, Point origin);
  SoftwareWindowPort(const SoftwareWindowPort&) = delete;
  SoftwareWindowPort& operator=(const SoftwareWindowPort&) = delete;

  bool ok() const { return surface_.valid(); }

  WindowHandle Handle() const override { return nullptr; }
  Size ClientSize() override { return size_; }
  Point ClientOrigin() override { return origin_; }
  // The rectangles SetMonitorRects gave, or the whole client area.
  std::vector<Rect> MonitorRects() override;
  void InvalidateAll(bool erase) override;
  DeviceContext GetDc() override;
  void ReleaseDc(DeviceContext dc) override;
  DeviceContext BeginPaint() override;
  void EndPaint(DeviceContext dc) override;
  uint32_t SetTimer(uint32_t id, uint32_t milliseconds) override;
  void KillTimer(uint32_t id) override;
  intptr_t GetUserData() override { return userData_; }
  void SetUserData(intptr_t value) override { userData_ = value; }
  intptr_t DefaultProc(uint32_t message, uintptr_t wParam, intptr_t lParam) override;

  // The caller's side.
  void SetDefaultHook(DefaultHook hook) { hook_ = std::move(hook); }
  void SetTimerFails(bool fails) { timerFails_ = fails; }
  // Monitors in client coordinates, the primary first; an empty list is one monitor, the whole
  // client area.
  void SetMonitorRects(std::vector<Rect> monitors) { monitors_ = std::move(monitors); }
  int32_t paints() const { return paints_; }
  // The running timer's identifier, 0 when none runs.
  uint32_t timerId() const { return timerId_; }
  uint32_t timerMilliseconds() const { return timerMilliseconds_; }
  int32_t invalidations() const { return invalidations_; }
  int32_t dcsOut() const { return dcsOut_; }
  const std::vector<uint32_t>& defaultMessages() const { return defaultMessages_; }

  const SoftwareSurface& surface() const { return surface_; }
  // Client pixel (x, y), y counted from the top, as 0xRRGGBB.
  uint32_t PixelAt(int32_t x, int32_t y) const;
  // The client area as a 24-bit bottom-up BMP file. False when it could not be written.
  bool SaveBmp(const std::string& fileName) const;

 private:
  Size size_;
  Point origin_;
  SoftwareSurface surface_;
  intptr_t userData_ = 0;
  uint32_t timerId_ = 0;
  uint32_t timerMilliseconds_ = 0;
  bool timerFails_ = false;
  int32_t invalidations_ = 0;
  int32_t dcsOut_ = 0;
  int32_t paints_ = 0;
  std::vector<Rect> monitors_;
  DefaultHook hook_;
  std::vector<uint32_t> defaultMessages_;
};

}  // namespace kavrosa
