// The window seam: what the slide-show controller needs of the window it draws in. Behind it is
// a real Win32 window (Win32WindowPort) or the software window used by tools and tests.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/Types.h"

namespace kavrosa {

// Win32 message numbers that the portable core handles (the same values as WM_*).
constexpr uint32_t kWmCreate = 0x0001;
constexpr uint32_t kWmDestroy = 0x0002;
constexpr uint32_t kWmPaint = 0x000F;
constexpr uint32_t kWmShowWindow = 0x0018;
constexpr uint32_t kWmDisplayChange = 0x007E;
constexpr uint32_t kWmTimer = 0x0113;

class WindowPort {
 public:
  virtual ~WindowPort() = default;

  virtual WindowHandle Handle() const = 0;
  // GetClientRect: the client area's right and bottom (left and top are 0).
  virtual Size ClientSize() = 0;
  // ClientToScreen of the client point (0, 0).
  virtual Point ClientOrigin() = 0;
  // The monitors the client area spans, each in client coordinates, the primary first. A window
  // on one monitor (or one that cannot tell) has one: the whole client area.
  virtual std::vector<Rect> MonitorRects() {
    return {Rect{0, 0, ClientSize().cx, ClientSize().cy}};
  }
  // InvalidateRect of the whole client area; with erase the class background (black) is painted.
  virtual void InvalidateAll(bool erase) = 0;
  virtual DeviceContext GetDc() = 0;
  virtual void ReleaseDc(DeviceContext dc) = 0;
  // BeginPaint/EndPaint around the handling of a paint message: the device context is clipped
  // to what needs painting, and the window counts as painted afterwards. A window without paint
  // messages of its own simply lends its ordinary device context.
  virtual DeviceContext BeginPaint() { return GetDc(); }
  virtual void EndPaint(DeviceContext dc) { ReleaseDc(dc); }
  // SetTimer(window, id, milliseconds, no callback): the timer's identifier, 0 on failure.
  virtual uint32_t SetTimer(uint32_t id, uint32_t milliseconds) = 0;
  virtual void KillTimer(uint32_t id) = 0;
  // The window's user-data slot (GWLP_USERDATA).
  virtual intptr_t GetUserData() = 0;
  virtual void SetUserData(intptr_t value) = 0;
  // The host's default handling of a message (SaverDefaultProc on Windows).
  virtual intptr_t DefaultProc(uint32_t message, uintptr_t wParam, intptr_t lParam) = 0;
};

// The window's device context from GetDc to ReleaseDc, or from BeginPaint to EndPaint.
class ScopedWindowDc {
 public:
  enum class Kind { kDraw, kPaint };
  explicit ScopedWindowDc(WindowPort& window, Kind kind = Kind::kDraw)
      : window_(window),
        kind_(kind),
        dc_(kind == Kind::kPaint ? window.BeginPaint() : window.GetDc()) {}
  ~ScopedWindowDc() {
    if (kind_ == Kind::kPaint) {
      window_.EndPaint(dc_);
    } else {
      window_.ReleaseDc(dc_);
    }
  }
  ScopedWindowDc(const ScopedWindowDc&) = delete;
  ScopedWindowDc& operator=(const ScopedWindowDc&) = delete;
  DeviceContext get() const { return dc_; }

 private:
  WindowPort& window_;
  Kind kind_;
  DeviceContext dc_;
};

}  // namespace kavrosa
