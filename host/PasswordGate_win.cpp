// The password gate on Windows 95/98: loads the system's "PASSWORD.CPL" when the user's desktop
// settings ask for a password, tells the system while a saver runs, and asks the verifier
// through a WM_APP sent to the saver window (which re-enters the window procedures).
#include <windows.h>

#include "host/Host_win.h"
#include "host/PasswordGate.h"

namespace kavrosa {
namespace {

constexpr UINT kSpiScreenSaverRunning = 97;  // SPI_SCREENSAVERRUNNING

class Win32GatePlatform : public GatePlatform {
 public:
  explicit Win32GatePlatform(HWND window) : window_(window) {}
  uint32_t TickCount() override { return GetTickCount(); }
  void DropTimerMessages() override {
    MSG msg;
    PeekMessageA(&msg, window_, WM_TIMER, WM_TIMER, PM_REMOVE | PM_NOYIELD);
    PeekMessageA(&msg, window_, WM_TIMER, WM_TIMER, PM_REMOVE | PM_NOYIELD);
  }
  intptr_t AskVerifier() override { return SendMessageA(window_, WM_APP, 0, 0); }
  void HideCursor() override { SetCursor(nullptr); }

 private:
  HWND window_;
};

// The user's "ScreenSaveUsePassword": any nonzero number of at most 4 bytes turns it on.
bool PasswordWanted(HKEY desktop) {
  DWORD value = 0;
  DWORD size = sizeof(value);
  const LONG status = RegQueryValueExA(desktop, "ScreenSaveUsePassword", nullptr, nullptr,
                                       reinterpret_cast<BYTE*>(&value), &size);
  return status == ERROR_SUCCESS && value != 0;
}

class RegistryKey {
 public:
  RegistryKey(HKEY root, const char* path) {
    if (RegOpenKeyA(root, path, &key_) != ERROR_SUCCESS) key_ = nullptr;
  }
  ~RegistryKey() {
    if (key_ != nullptr) RegCloseKey(key_);
  }
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

}  // namespace

void SetSaverRunning(UINT on) {
  if (TheHostState().isWin9x == 0) return;
  UINT previous = 0;
  SystemParametersInfoA(kSpiScreenSaverRunning, on, &previous, 0);
}

void LoadPasswordVerifier() {
  HostState& state = TheHostState();
  if (state.isWin9x == 0) return;
  if (state.passwordModule != nullptr) UnloadPasswordVerifier();
  RegistryKey desktop(HKEY_CURRENT_USER, "Control Panel\\Desktop");
  if (desktop.get() == nullptr || !PasswordWanted(desktop.get())) return;
  state.passwordModule = FromHmodule(LoadLibraryA("PASSWORD.CPL"));
  if (state.passwordModule == nullptr) return;
  state.verifyProc =
      ProcAddress<VerifyProc>(ToHmodule(state.passwordModule), "VerifyScreenSavePwd");
  if (state.verifyProc != nullptr) {
    SetSaverRunning(1);
  } else {
    UnloadPasswordVerifier();
  }
}

void UnloadPasswordVerifier() {
  HostState& state = TheHostState();
  if (state.isWin9x == 0 || state.passwordModule == nullptr) return;
  FreeLibrary(ToHmodule(state.passwordModule));
  state.passwordModule = nullptr;
  if (state.verifyProc != nullptr) {
    state.verifyProc = nullptr;
    SetSaverRunning(0);
  }
}

int32_t VerifyPassword(HWND window) {
  Win32GatePlatform platform(window);
  return RunCloseGate(TheHostState(), platform);
}

}  // namespace kavrosa
