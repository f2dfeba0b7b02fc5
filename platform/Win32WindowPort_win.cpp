// Win32WindowPort: thin forwarding to USER and GDI. Results of the platform calls are passed on
// unchanged; a port without a default procedure falls back to DefWindowProcA.
#include "platform/Win32WindowPort_win.h"

#include <algorithm>

namespace kavrosa {
namespace {

using EnumDisplayMonitorsProc = BOOL(WINAPI*)(HDC, LPCRECT, MONITORENUMPROC, LPARAM);
using GetMonitorInfoProc = BOOL(WINAPI*)(HMONITOR, LPMONITORINFO);

template <typename Proc>
Proc User32Entry(const char* name) {
  HMODULE user32 = ::GetModuleHandleA("USER32.DLL");
  if (user32 == nullptr) return nullptr;
  // Through void* to keep the function-cast check quiet: the type is the entry's own signature.
  return reinterpret_cast<Proc>(reinterpret_cast<void*>(::GetProcAddress(user32, name)));
}

struct MonitorList {
  GetMonitorInfoProc getInfo;
  std::vector<MONITORINFO> monitors;
};

BOOL CALLBACK AddMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM data) {
  auto* list = reinterpret_cast<MonitorList*>(data);
  MONITORINFO info{};
  info.cbSize = sizeof(info);
  if (list->getInfo(monitor, &info)) list->monitors.push_back(info);
  return TRUE;
}

// The part of `screen` inside the client area, moved to client coordinates; empty when none.
Rect ClientPart(const RECT& screen, Point origin, Size client) {
  const int32_t left = static_cast<int32_t>(screen.left) - origin.x;
  const int32_t top = static_cast<int32_t>(screen.top) - origin.y;
  const int32_t right = static_cast<int32_t>(screen.right) - origin.x;
  const int32_t bottom = static_cast<int32_t>(screen.bottom) - origin.y;
  Rect r{std::max(left, 0), std::max(top, 0), std::min(right, client.cx),
         std::min(bottom, client.cy)};
  if (r.right <= r.left || r.bottom <= r.top) return Rect{};
  return r;
}

}  // namespace

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

std::vector<Rect> Win32WindowPort::MonitorRects() {
  const Size client = ClientSize();
  const std::vector<Rect> whole{Rect{0, 0, client.cx, client.cy}};
  if ((::GetWindowLongA(hwnd_, GWL_STYLE) & WS_CHILD) != 0) return whole;
  const auto enumMonitors = User32Entry<EnumDisplayMonitorsProc>("EnumDisplayMonitors");
  MonitorList list{User32Entry<GetMonitorInfoProc>("GetMonitorInfoA"), {}};
  if (enumMonitors == nullptr || list.getInfo == nullptr) return whole;
  enumMonitors(nullptr, nullptr, AddMonitor, reinterpret_cast<LPARAM>(&list));
  // The primary first, the others in the system's order.
  std::stable_partition(list.monitors.begin(), list.monitors.end(), [](const MONITORINFO& m) {
    return (m.dwFlags & MONITORINFOF_PRIMARY) != 0;
  });
  const Point origin = ClientOrigin();
  std::vector<Rect> rects;
  for (const MONITORINFO& m : list.monitors) {
    const Rect r = ClientPart(m.rcMonitor, origin, client);
    if (r.right > r.left) rects.push_back(r);
  }
  return rects.empty() ? whole : rects;
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
