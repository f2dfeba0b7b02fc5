// kavrosa-preview-host.exe: a stand-in for the display settings' preview box. Creates a
// 400x300 parent window titled "Kavrosa preview" and runs the saver's "/p HANDLE" in it, in
// this process (Wine shows no drawing into a child window of another process). Escape or the
// close box destroys the parent and with it the preview, which ends the saver's loop.
#include <windows.h>

#include <cstdio>

#include "host/Host_win.h"

namespace {

constexpr char kClassName[] = "KavrosaPreviewHost";

LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_KEYDOWN:
      if (wParam == VK_ESCAPE) DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

HWND CreateHostWindow(HINSTANCE instance) {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = HostProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
  windowClass.lpszClassName = kClassName;
  RegisterClassA(&windowClass);
  RECT r{0, 0, 400, 300};
  AdjustWindowRect(&r, WS_OVERLAPPEDWINDOW, FALSE);
  return CreateWindowExA(0, kClassName, "Kavrosa preview", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40,
                         r.right - r.left, r.bottom - r.top, nullptr, nullptr, instance, nullptr);
}

}  // namespace

int main() {
  HWND host = CreateHostWindow(GetModuleHandleA(nullptr));
  if (host == nullptr) return 1;
  char tail[32];
  std::snprintf(tail, sizeof(tail), "/p %lu",
                static_cast<unsigned long>(reinterpret_cast<uintptr_t>(host)));
  return kavrosa::SaverMain(GetModuleHandleA(nullptr), tail);
}
