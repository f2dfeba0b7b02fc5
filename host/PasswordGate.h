// The close gate of a password-protected saver: asks the system's verifier at most once at a
// time and not again within 200 ms of the last answer. The platform calls come in through
// GatePlatform so the state machine (and the tick-count wrap) is testable natively.
#pragma once

#include <cstdint>

#include "host/HostState.h"

namespace kavrosa {

constexpr uint32_t kReverifyDelayMs = 200;

// Later minus earlier, modulo 2^32: right across the wrap of the tick count.
uint32_t ElapsedTicks(uint32_t earlier, uint32_t later);

enum class GateAction {
  kRefuseBusy,        // a verification is already under way: 0
  kGrantUnprotected,  // no verifier: granted at once
  kRefuseTooSoon,     // within 200 ms of the last answer: closeGranted (0)
  kAskVerifier,       // ask the verifier
};

GateAction DecideGate(const HostState& state, uint32_t nowTick);

class GatePlatform {
 public:
  virtual ~GatePlatform() = default;
  virtual uint32_t TickCount() = 0;
  virtual void DropTimerMessages() = 0;  // PeekMessage(WM_TIMER, PM_REMOVE) twice
  virtual intptr_t AskVerifier() = 0;    // SendMessage(WM_APP) to the saver window
  virtual void HideCursor() = 0;
};

// VerifyPassword: nonzero lets the saver close.
int32_t RunCloseGate(HostState& state, GatePlatform& platform);

}  // namespace kavrosa
