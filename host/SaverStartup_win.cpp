// Start-up of kavrosa.scr: skips the program name, records the instance and the Windows
// 95/98 switch, and carries out the one action of the command tail. The fault guard is a
// top-level exception filter (mingw has no __try): a fault during the dispatch clears the
// system's saver-running state and ends the process with kFaultExitCode.
#include <windows.h>

#include "host/CommandLine.h"
#include "host/Host_win.h"
#include "settings/ConfigDialog_win.h"
#include "settings/DialogResources_win.h"
#include "slideshow/SlideShow.h"

namespace kavrosa {
namespace {

constexpr int32_t kDialogTemplateId = 2003;
constexpr UINT kFaultExitCode = 0xDEAD;

HostState gHostState;

const char* CharNextStep(const char* text) {
  return CharNextA(text);
}

int32_t DetectWin9x() {
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof(info);
  static_assert(sizeof(OSVERSIONINFOA) == 148, "OSVERSIONINFOA is 148 bytes");
  if (!GetVersionExA(&info)) return 0;
  return info.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS ? 1 : 0;
}

LONG WINAPI FaultGuard(EXCEPTION_POINTERS*) {
  SetSaverRunning(0);
  ExitProcess(kFaultExitCode);
}

// The guard covers the dispatch only; the previous filter comes back afterwards.
class ScopedFaultGuard {
 public:
  ScopedFaultGuard() : previous_(SetUnhandledExceptionFilter(FaultGuard)) {}
  ~ScopedFaultGuard() { SetUnhandledExceptionFilter(previous_); }
  ScopedFaultGuard(const ScopedFaultGuard&) = delete;
  ScopedFaultGuard& operator=(const ScopedFaultGuard&) = delete;

 private:
  LPTOP_LEVEL_EXCEPTION_FILTER previous_;
};

class Win32CommandActions : public CommandActions {
 public:
  bool IsWindow(WindowHandle window) override { return ::IsWindow(ToHwnd(window)) != FALSE; }
  WindowHandle ForegroundWindow() override { return FromHwnd(GetForegroundWindow()); }
  int32_t ShowConfigDialog(WindowHandle owner) override {
    return static_cast<int32_t>(kavrosa::ShowConfigDialog(ToHwnd(owner)));
  }
  int32_t RunSaver(WindowHandle parent) override { return kavrosa::RunSaver(ToHwnd(parent)); }
  void RequestPasswordChange(WindowHandle parent) override {
    kavrosa::RequestPasswordChange(ToHwnd(parent));
  }
};

using PwdChangePasswordProc = DWORD(WINAPI*)(LPCSTR provider, HWND parent, DWORD, LPVOID);

}  // namespace

HostState& TheHostState() {
  return gHostState;
}

void SaverStartup() {
  const char* tail = SkipProgramName(GetCommandLineA(), CharNextStep);
  const int32_t result = SaverMain(GetModuleHandleA(nullptr), tail);
  ExitProcess(static_cast<UINT>(result));
}

int32_t SaverMain(HINSTANCE instance, const char* commandTail) {
  HostState& state = TheHostState();
  state.instance = FromHmodule(instance);
  state.isWin9x = DetectWin9x();
  SetPictureModule(state.instance);
  ScopedFaultGuard guard;
  Win32CommandActions actions;
  return DispatchCommand(commandTail, state.isWin9x != 0, actions);
}

// The template in the user's language (Japanese on a Japanese system, else English).
INT_PTR ShowConfigDialog(HWND owner) {
  HINSTANCE instance = ToHmodule(TheHostState().instance);
  if (const DLGTEMPLATE* form = DialogTemplate(instance, kDialogTemplateId)) {
    return DialogBoxIndirectParamA(instance, form, owner, ConfigDialogProc, 0);
  }
  return DialogBoxParamA(instance, MAKEINTRESOURCEA(kDialogTemplateId), owner, ConfigDialogProc, 0);
}

void RequestPasswordChange(HWND parent) {
  LoadedLibrary mpr("MPR.DLL");
  if (mpr.get() == nullptr) return;
  auto change = ProcAddress<PwdChangePasswordProc>(mpr.get(), "PwdChangePasswordA");
  if (change != nullptr) change("SCRSAVE", parent, 0, nullptr);
}

}  // namespace kavrosa
