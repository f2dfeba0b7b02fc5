// The close gate. `verifying` guards against re-entry: the verifier runs inside a sent message
// and may pump messages of its own, so a second WM_CLOSE can arrive while it is being asked.
#include "host/PasswordGate.h"

namespace kavrosa {

uint32_t ElapsedTicks(uint32_t earlier, uint32_t later) {
  return later - earlier;
}

GateAction DecideGate(const HostState& state, uint32_t nowTick) {
  if (state.verifying != 0) return GateAction::kRefuseBusy;
  if (state.verifyProc == nullptr) return GateAction::kGrantUnprotected;
  if (state.lastVerifyTick != kNoVerifyTick &&
      ElapsedTicks(state.lastVerifyTick, nowTick) < kReverifyDelayMs) {
    return GateAction::kRefuseTooSoon;
  }
  return GateAction::kAskVerifier;
}

int32_t RunCloseGate(HostState& state, GatePlatform& platform) {
  // The tick is read only when a verifier exists, as the system's gate does.
  const uint32_t now =
      (state.verifying == 0 && state.verifyProc != nullptr) ? platform.TickCount() : 0;
  switch (DecideGate(state, now)) {
    case GateAction::kRefuseBusy:
      return 0;
    case GateAction::kGrantUnprotected:
      state.closeGranted = 1;
      return 1;
    case GateAction::kRefuseTooSoon:
      return state.closeGranted;
    case GateAction::kAskVerifier:
      break;
  }
  state.verifying = 1;
  platform.DropTimerMessages();
  const intptr_t answer = platform.AskVerifier();
  state.closeGranted = answer != 0 ? 1 : 0;
  state.verifying = 0;
  if (answer == 0) platform.HideCursor();
  state.lastVerifyTick = platform.TickCount();
  return state.closeGranted;
}

}  // namespace kavrosa
