// The slide show's window procedure, called by the host's window procedure for every message it
// passes on: the Windows shell's thin adapter over the controller. The controller lives in the
// window's user data from WM_CREATE to WM_DESTROY, configured by SaverShowConfig.
#pragma once

#include <cstdint>

#include "photo/Photograph.h"
#include "platform/Window.h"
#include "slideshow/ShowConfig.h"

namespace kavrosa {

// Creates the controller on WM_CREATE, lets it handle the message, deletes it on WM_DESTROY, and
// always ends in the window's default handling (SaverDefaultProc), whose result is returned.
intptr_t SlideShowProc(WindowPort& window, uint32_t message, uintptr_t wParam, intptr_t lParam);

// The saver's configuration: the settings file GetSettingsPath names, nothing for this run
// only, the monitors as the window reports them, and the photograph loader below.
ShowConfig SaverShowConfig();

// Tests only: the loader SaverShowConfig gives (null restores LoadPhotograph), for a saver
// whose folder worker must block like a read from a hung share. Set it before the window exists.
void SetPhotographLoaderForTesting(PhotographLoader loader);

}  // namespace kavrosa
