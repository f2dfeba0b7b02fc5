// kavrosa-preview-host.exe: a stand-in for the display settings' preview box. Creates a
// 400x300 parent window titled "Kavrosa preview", starts "kavrosa.scr /p HANDLE" from its own
// folder, and closes (destroying the preview child with it) on Escape or its close box.
#include <windows.h>

#include <cstdio>
#include <string>

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

std::string SaverBesideUs() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, sizeof(path));
  std::string name(path);
  return name.substr(0, name.find_last_of('\\') + 1) + "kavrosa.scr";
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
  char command[MAX_PATH + 64];
  std::snprintf(command, sizeof(command), "\"%s\" /p %lu", SaverBesideUs().c_str(),
                static_cast<unsigned long>(reinterpret_cast<uintptr_t>(host)));
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    return 1;
  }
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  DWORD code = 1;
  WaitForSingleObject(process.hProcess, 5000);
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return static_cast<int>(code);
}
