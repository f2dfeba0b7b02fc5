// The X11 program's run: open the display and the window the options name, then the controller
// on a SurfaceWindowPort, ticks from the timerfd, pushes of what changed, Expose and resize, input
// on a window of its own, and a clean stop on SIGTERM or SIGINT. Returns the exit code.
#pragma once

#include "xshell/Options.h"

namespace kavrosa::xshell {

int RunShow(const Options& options);

}  // namespace kavrosa::xshell
