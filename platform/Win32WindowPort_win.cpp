// Win32WindowPort: thin forwarding to USER and GDI. Results of the platform calls are passed on
// unchanged; a port without a default procedure falls back to DefWindowProcA.
#include "platform/Win32WindowPort_win.h"

namespace kavrosa {

Size Win32WindowPort::ClientSize() {
  RECT client{};
  ::GetClientRect(hwnd_, &client);
  return Size{client.right, client.bottom};
}

Point Win32WindowPort::ClientOrigin() {
  POINT origin{0, 0};
  ::ClientToScreen(hwnd_, &origin);
  return Point{origin.x, origin.y};
}

void Win32WindowPort::InvalidateAll(bool erase) {
  ::InvalidateRect(hwnd_, nullptr, erase ? TRUE : FALSE);
}

DeviceContext Win32WindowPort::GetDc() {
  return reinterpret_cast<DeviceContext>(::GetDC(hwnd_));
}

void Win32WindowPort::ReleaseDc(DeviceContext dc) {
  ::ReleaseDC(hwnd_, reinterpret_cast<HDC>(dc));
}

DeviceContext Win32WindowPort::BeginPaint() {
  return reinterpret_cast<DeviceContext>(::BeginPaint(hwnd_, &paint_));
}

void Win32WindowPort::EndPaint(DeviceContext) {
  ::EndPaint(hwnd_, &paint_);
}

uint32_t Win32WindowPort::SetTimer(uint32_t id, uint32_t milliseconds) {
  return static_cast<uint32_t>(::SetTimer(hwnd_, id, milliseconds, nullptr));
}

void Win32WindowPort::KillTimer(uint32_t id) {
  ::KillTimer(hwnd_, id);
}

intptr_t Win32WindowPort::GetUserData() {
  return static_cast<intptr_t>(::GetWindowLongPtrA(hwnd_, GWLP_USERDATA));
}

void Win32WindowPort::SetUserData(intptr_t value) {
  ::SetWindowLongPtrA(hwnd_, GWLP_USERDATA, static_cast<LONG_PTR>(value));
}

intptr_t Win32WindowPort::DefaultProc(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  if (defaultProc_ != nullptr) {
    return static_cast<intptr_t>(
        defaultProc_(hwnd_, message, static_cast<WPARAM>(wParam), static_cast<LPARAM>(lParam)));
  }
  return static_cast<intptr_t>(
      ::DefWindowProcA(hwnd_, message, static_cast<WPARAM>(wParam), static_cast<LPARAM>(lParam)));
}

}  // namespace kavrosa
