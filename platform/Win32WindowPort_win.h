// The window seam over a real Win32 window: each operation is the USER/GDI call of the same
// name on the HWND. The host builds one per message in its window procedure, with its own
// default handling (SaverDefaultProc), and hands it to SlideShowProc.
#pragma once

#include <windows.h>

#include "platform/Window.h"

namespace kavrosa {

class Win32WindowPort : public WindowPort {
 public:
  using DefaultProcFunction = LRESULT(CALLBACK*)(HWND, UINT, WPARAM, LPARAM);

  Win32WindowPort(HWND hwnd, DefaultProcFunction defaultProc)
      : hwnd_(hwnd), defaultProc_(defaultProc) {}

  WindowHandle Handle() const override { return reinterpret_cast<WindowHandle>(hwnd_); }
  Size ClientSize() override;
  Point ClientOrigin() override;
  // EnumDisplayMonitors and GetMonitorInfoA, looked up at run time (systems before Windows 98
  // have neither): each monitor within the client area, primary first. A child window (the
  // preview) and a system without the entries report the client area alone.
  std::vector<Rect> MonitorRects() override;
  void InvalidateAll(bool erase) override;
  DeviceContext GetDc() override;
  void ReleaseDc(DeviceContext dc) override;
  DeviceContext BeginPaint() override;
  void EndPaint(DeviceContext dc) override;
  uint32_t SetTimer(uint32_t id, uint32_t milliseconds) override;
  void KillTimer(uint32_t id) override;
  intptr_t GetUserData() override;
  void SetUserData(intptr_t value) override;
  intptr_t DefaultProc(uint32_t message, uintptr_t wParam, intptr_t lParam) override;

 private:
  HWND hwnd_;
  DefaultProcFunction defaultProc_;
  PAINTSTRUCT paint_{};  // between BeginPaint and EndPaint of one paint message
};

}  // namespace kavrosa
