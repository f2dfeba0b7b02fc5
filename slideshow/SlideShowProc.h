// The slide show's window procedure, called by the host's window procedure for every message it
// passes on. The controller lives in the window's user data from WM_CREATE to WM_DESTROY.
#pragma once

#include <cstdint>

#include "platform/Window.h"

namespace kavrosa {

// Creates the controller on WM_CREATE, lets it handle the message, and always ends in the
// window's default handling (SaverDefaultProc), whose result is returned.
intptr_t SlideShowProc(WindowPort& window, uint32_t message, uintptr_t wParam, intptr_t lParam);

}  // namespace kavrosa
