// The Windows host's entry points, shared by its start-up, saver window and password gate.
// Handles in HostState are the HWND/HMODULE values themselves; these helpers convert.
#pragma once

#include <windows.h>

#include <cstdint>

#include "host/HostState.h"

namespace kavrosa {

// The one record of the process.
HostState& TheHostState();

inline HWND ToHwnd(WindowHandle window) {
  return reinterpret_cast<HWND>(window);
}
inline WindowHandle FromHwnd(HWND window) {
  return reinterpret_cast<WindowHandle>(window);
}
inline HMODULE ToHmodule(ModuleHandle module) {
  return reinterpret_cast<HMODULE>(module);
}
inline ModuleHandle FromHmodule(HMODULE module) {
  return reinterpret_cast<ModuleHandle>(module);
}

// GetProcAddress as the entry's own function type (through void* to keep the compiler's
// function-cast check quiet: the type is the entry's documented signature).
template <typename Proc>
Proc ProcAddress(HMODULE module, const char* name) {
  return reinterpret_cast<Proc>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// Start-up and command line.
[[noreturn]] void SaverStartup();
int32_t SaverMain(HINSTANCE instance, const char* commandTail);
INT_PTR ShowConfigDialog(HWND owner);
void RequestPasswordChange(HWND parent);

// Saver window.
int32_t RunSaver(HWND parent);
LRESULT CALLBACK SaverWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK SaverDefaultProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Password gate.
void SetSaverRunning(UINT on);
void LoadPasswordVerifier();
void UnloadPasswordVerifier();
int32_t VerifyPassword(HWND window);

// The screen's device context (GetDC of no window), released when the owner goes out of scope.
class ScreenDc {
 public:
  ScreenDc() : dc_(GetDC(nullptr)) {}
  ~ScreenDc() {
    if (dc_ != nullptr) ReleaseDC(nullptr, dc_);
  }
  ScreenDc(const ScreenDc&) = delete;
  ScreenDc& operator=(const ScreenDc&) = delete;
  HDC get() const { return dc_; }

 private:
  HDC dc_;
};

// A library loaded by name and freed when the owner goes out of scope.
class LoadedLibrary {
 public:
  explicit LoadedLibrary(const char* name) : module_(LoadLibraryA(name)) {}
  ~LoadedLibrary() {
    if (module_ != nullptr) FreeLibrary(module_);
  }
  LoadedLibrary(const LoadedLibrary&) = delete;
  LoadedLibrary& operator=(const LoadedLibrary&) = delete;
  HMODULE get() const { return module_; }

 private:
  HMODULE module_;
};

}  // namespace kavrosa
