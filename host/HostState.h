// The host's one process-wide record: start-up sets the instance and the Windows 95/98 switch,
// the saver window and the password gate keep their flags here. Portable on purpose, so that the
// deciders over it can be tested natively; on Windows the handles are the HWND/HMODULE values.
#pragma once

#include <cstdint>

#include "platform/Types.h"

#if defined(_WIN32) && defined(__i386__)
#define KAVROSA_STDCALL __attribute__((stdcall))
#else
#define KAVROSA_STDCALL
#endif

namespace kavrosa {

// "VerifyScreenSavePwd" of the password control panel: nonzero lets the saver close.
using VerifyProc = int32_t(KAVROSA_STDCALL*)(WindowHandle window);
// "ImmAssociateContext" of IMM32: associates a context with a window, returns the old one.
using ImmAssociateProc = void*(KAVROSA_STDCALL*)(WindowHandle window, void* context);

constexpr uint32_t kNoVerifyTick = 0xFFFFFFFFu;
constexpr uint32_t kMouseThreshold = 4;  // at kDefaultDpi
constexpr uint32_t kDefaultDpi = 96;

struct HostState {
  // Start-up.
  ModuleHandle instance = nullptr;
  int32_t isWin9x = 0;
  // Saver window.
  WindowHandle saverWindow = nullptr;
  int32_t isPreview = 0;
  uint32_t autoPlayMessage = 0;
  ModuleHandle imm32Module = nullptr;
  ImmAssociateProc immAssociateProc = nullptr;
  void* savedImmContext = nullptr;
  Point referencePoint;
  uint32_t mouseThreshold = kMouseThreshold;  // scaled with the window's DPI at creation
  // Password gate.
  VerifyProc verifyProc = nullptr;
  int32_t closeGranted = 0;
  int32_t verifying = 0;
  uint32_t lastVerifyTick = kNoVerifyTick;
  ModuleHandle passwordModule = nullptr;
};

}  // namespace kavrosa
