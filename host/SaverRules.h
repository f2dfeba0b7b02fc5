// The saver window's decisions as pure functions: which messages the host keeps, which it passes
// to the slide show, which input closes a full-screen saver, and the mouse-movement rule. The
// Windows procedures only carry out what these return, so the tables are tested natively.
#pragma once

#include <cstdint>

#include "host/HostState.h"
#include "platform/Types.h"

namespace kavrosa {

enum class WindowProcAction {
  kPassOn,      // SlideShowProc (which ends in SaverDefaultProc)
  kDefault,     // DefWindowProcA
  kReturnZero,  // swallowed
  kReturnOne,   // swallowed, answered 1
};

enum class WindowProcEffect {
  kNone,
  kCreate,           // detach the input context, take the reference point
  kDestroy,          // restore the input context, post quit
  kForwardToParent,  // post the message to the parent with the parent's handle as wParam
  kFollowDisplay,    // full screen: cover the virtual screen anew, measure with the new DPI
};

struct WindowProcDecision {
  WindowProcAction action = WindowProcAction::kPassOn;
  WindowProcEffect effect = WindowProcEffect::kNone;
  bool hideCursor = false;  // SetCursor(null) before acting
  bool yieldFirst = false;  // Sleep(0) before acting
};

// SaverWindowProc's table.
WindowProcDecision DecideWindowProc(uint32_t message, uintptr_t wParam, const HostState& state);

enum class DefaultAction {
  kTail,                 // the auto-play check, then DefWindowProcA
  kGateClose,            // ask the password gate; refused: new reference point, return 0
  kAnswerVerifier,       // WM_APP: return the verifier's answer
  kHideCursorReturnOne,  // WM_SETCURSOR
  kCheckMovement,        // WM_MOUSEMOVE: the movement rule, then the tail
};

struct DefaultDecision {
  DefaultAction action = DefaultAction::kTail;
  bool postClose = false;   // PostMessage(WM_CLOSE) before the tail
  bool hideCursor = false;  // SetCursor(null) before the tail
};

// SaverDefaultProc's rules before its tail.
DefaultDecision DecideDefaultProc(uint32_t message, uintptr_t wParam, const HostState& state);

// The movement allowance at a DPI: 4 pixels at 96 dpi, scaled with it (truncated), so that the
// hand travels as far on a dense screen. A DPI of 0 (unknown) counts as 96.
uint32_t MouseThresholdForDpi(uint32_t dpi);

// Movement of more than the threshold, summed over both axes, from the reference point.
bool MovementCloses(Point reference, Point cursor, uint32_t threshold);

struct TailDecision {
  bool isAutoPlay = false;  // post close and return `result` instead of the default handling
  intptr_t result = 0;
};

// The tail: the registered "QueryCancelAutoPlay" message is answered, everything else defaults.
TailDecision DecideTail(uint32_t message, const HostState& state);

}  // namespace kavrosa
