// Win32 message and command numbers that the host's deciders look at, as portable constants
// (the same values as the platform's WM_* and SC_*), so the deciders build without <windows.h>.
#pragma once

#include <cstdint>

namespace kavrosa {

constexpr uint32_t kMsgCreate = 0x0001;
constexpr uint32_t kMsgDestroy = 0x0002;
constexpr uint32_t kMsgSetText = 0x000C;
constexpr uint32_t kMsgPaint = 0x000F;
constexpr uint32_t kMsgClose = 0x0010;
constexpr uint32_t kMsgShowWindow = 0x0018;
constexpr uint32_t kMsgActivateApp = 0x001C;
constexpr uint32_t kMsgSetCursor = 0x0020;
constexpr uint32_t kMsgPower = 0x0048;
constexpr uint32_t kMsgHelp = 0x0053;
constexpr uint32_t kMsgContextMenu = 0x007B;
constexpr uint32_t kMsgDisplayChange = 0x007E;
constexpr uint32_t kMsgKeyDown = 0x0100;
constexpr uint32_t kMsgSysKeyDown = 0x0104;
constexpr uint32_t kMsgSysCommand = 0x0112;
constexpr uint32_t kMsgTimer = 0x0113;
constexpr uint32_t kMsgMouseMove = 0x0200;
constexpr uint32_t kMsgLButtonDown = 0x0201;
constexpr uint32_t kMsgRButtonDown = 0x0204;
constexpr uint32_t kMsgMButtonDown = 0x0207;
constexpr uint32_t kMsgPowerBroadcast = 0x0218;
constexpr uint32_t kMsgDpiChanged = 0x02E0;
constexpr uint32_t kMsgApp = 0x8000;

constexpr uintptr_t kScNextWindow = 0xF040;
constexpr uintptr_t kScPrevWindow = 0xF050;
constexpr uintptr_t kScScreenSave = 0xF140;
constexpr uintptr_t kPwrSuspendRequest = 3;  // WM_POWER's wParam asking to suspend

}  // namespace kavrosa
