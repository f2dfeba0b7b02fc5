// The saver window's decisions. The subtle points: once a close is granted, paint, input and
// timer messages no longer reach the slide show; a preview never closes on input; and the
// movement rule measures from a reference point that only moves when a close is posted.
#include "host/SaverRules.h"

#include "host/Messages.h"

namespace kavrosa {
namespace {

bool IsCloseInput(uint32_t message) {
  switch (message) {
    case kMsgKeyDown:
    case kMsgSysKeyDown:
    case kMsgLButtonDown:
    case kMsgRButtonDown:
    case kMsgMButtonDown:
      return true;
    default:
      return false;
  }
}

bool IsSwallowedSysCommand(uintptr_t command) {
  return command == kScNextWindow || command == kScPrevWindow || command == kScScreenSave;
}

WindowProcDecision Decision(WindowProcAction action) {
  WindowProcDecision d;
  d.action = action;
  return d;
}

}  // namespace

WindowProcDecision DecideWindowProc(uint32_t message, uintptr_t wParam, const HostState& state) {
  const bool granted = state.closeGranted != 0;
  const bool preview = state.isPreview != 0;
  WindowProcDecision d;
  switch (message) {
    case kMsgCreate:
      d.effect = WindowProcEffect::kCreate;
      d.hideCursor = !preview;
      return d;
    case kMsgDestroy:
      d.effect = WindowProcEffect::kDestroy;
      return d;
    case kMsgSetText:
      return Decision(WindowProcAction::kReturnZero);
    case kMsgPaint:
      if (granted) return Decision(WindowProcAction::kDefault);
      d.hideCursor = !preview;
      return d;
    case kMsgHelp:
    case kMsgContextMenu:
      if (!preview) return d;
      d.action = WindowProcAction::kReturnOne;
      d.effect = WindowProcEffect::kForwardToParent;
      return d;
    case kMsgMouseMove:
      return Decision(granted ? WindowProcAction::kDefault : WindowProcAction::kPassOn);
    case kMsgDisplayChange:
    case kMsgDpiChanged:  // a per-monitor aware window is not resized by the system
      if (!preview) d.effect = WindowProcEffect::kFollowDisplay;
      return d;
    case kMsgSysCommand:
      if (!preview && IsSwallowedSysCommand(wParam)) {
        return Decision(WindowProcAction::kReturnZero);
      }
      return d;
    case kMsgTimer:
      if (granted) return Decision(WindowProcAction::kReturnZero);
      d.yieldFirst = true;
      return d;
    default:
      if (IsCloseInput(message) && granted) return Decision(WindowProcAction::kDefault);
      return d;
  }
}

DefaultDecision DecideDefaultProc(uint32_t message, uintptr_t wParam, const HostState& state) {
  DefaultDecision d;
  if (state.isPreview != 0 || state.closeGranted != 0) return d;
  if (message == kMsgClose) {
    if (state.isWin9x != 0) d.action = DefaultAction::kGateClose;
    return d;
  }
  if (message == kMsgApp && state.isWin9x != 0) {
    d.action = DefaultAction::kAnswerVerifier;
    return d;
  }
  if (state.verifying != 0) return d;
  switch (message) {
    case kMsgShowWindow:
      d.hideCursor = wParam != 0;
      break;
    case kMsgActivateApp:
      d.postClose = wParam == 0;
      break;
    case kMsgSetCursor:
      d.action = DefaultAction::kHideCursorReturnOne;
      break;
    case kMsgPower:
      d.postClose = wParam == kPwrSuspendRequest;
      break;
    case kMsgPowerBroadcast:
      d.postClose = true;
      break;
    case kMsgMouseMove:
      d.action = DefaultAction::kCheckMovement;
      break;
    default:
      d.postClose = IsCloseInput(message);
      break;
  }
  return d;
}

uint32_t MouseThresholdForDpi(uint32_t dpi) {
  if (dpi == 0) dpi = kDefaultDpi;
  // 64-bit so that no DPI a system could report overflows.
  return static_cast<uint32_t>(uint64_t{kMouseThreshold} * dpi / kDefaultDpi);
}

bool MovementCloses(Point reference, Point cursor, uint32_t threshold) {
  // 64-bit so that coordinates far apart cannot overflow into a small distance.
  const int64_t dx = static_cast<int64_t>(cursor.x) - reference.x;
  const int64_t dy = static_cast<int64_t>(cursor.y) - reference.y;
  const uint64_t distance =
      static_cast<uint64_t>(dx < 0 ? -dx : dx) + static_cast<uint64_t>(dy < 0 ? -dy : dy);
  return distance > threshold;
}

TailDecision DecideTail(uint32_t message, const HostState& state) {
  TailDecision t;
  if (state.autoPlayMessage != 0 && message == state.autoPlayMessage) {
    t.isAutoPlay = true;
    t.result = state.verifyProc != nullptr ? 1 : 0;
  }
  return t;
}

}  // namespace kavrosa
