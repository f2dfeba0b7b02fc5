// The close gate's state machine with a scripted platform: the 200 ms rule (also across the
// tick-count wrap), the re-entrancy guard, and what a refused or granted answer leaves behind.
#include "host/PasswordGate.h"

#include <gtest/gtest.h>

#include <vector>

namespace kavrosa {
namespace {

int32_t KAVROSA_STDCALL SomeVerifier(WindowHandle) {
  return 0;
}

class ScriptedGate : public GatePlatform {
 public:
  std::vector<uint32_t> ticks;  // answers of TickCount, in order
  std::vector<intptr_t> answers;
  size_t tickIndex = 0;
  size_t asked = 0;
  int dropped = 0;
  int hidden = 0;
  HostState* state = nullptr;
  bool reenter = false;  // a close request arriving while the verifier runs

  uint32_t TickCount() override { return ticks.at(tickIndex++); }
  void DropTimerMessages() override { ++dropped; }
  intptr_t AskVerifier() override {
    if (reenter) {
      EXPECT_EQ(RunCloseGate(*state, *this), 0);
    }
    return answers.at(asked++);
  }
  void HideCursor() override { ++hidden; }
};

HostState Protected() {
  HostState s;
  s.isWin9x = 1;
  s.verifyProc = SomeVerifier;
  return s;
}

TEST(ElapsedTicksTest, WrapsModulo2To32) {
  EXPECT_EQ(ElapsedTicks(1000, 1200), 200u);
  EXPECT_EQ(ElapsedTicks(0xFFFFFFFFu - 255u, 16u), 272u);  // 256 ms before the wrap, 16 after
  EXPECT_EQ(ElapsedTicks(5, 5), 0u);
}

TEST(GateTest, UnprotectedGrantsAtOnceWithoutReadingTheClock) {
  HostState s;
  s.isWin9x = 1;
  ScriptedGate gate;
  EXPECT_EQ(RunCloseGate(s, gate), 1);
  EXPECT_EQ(s.closeGranted, 1);
  EXPECT_EQ(gate.tickIndex, 0u);
  EXPECT_EQ(gate.asked, 0u);
}

TEST(GateTest, FirstCloseAsksAtOnce) {
  HostState s = Protected();
  ScriptedGate gate;
  gate.ticks = {10, 500};
  gate.answers = {1};
  EXPECT_EQ(RunCloseGate(s, gate), 1);
  EXPECT_EQ(gate.asked, 1u);
  EXPECT_EQ(gate.dropped, 1);
  EXPECT_EQ(gate.hidden, 0);
  EXPECT_EQ(s.lastVerifyTick, 500u);
  EXPECT_EQ(s.verifying, 0);
}

TEST(GateTest, RefusalHidesCursorAndHoldsOff200Ms) {
  HostState s = Protected();
  ScriptedGate gate;
  // Ask (10) and end (1000); a close 150 ms later is swallowed; 250 ms later asks again.
  gate.ticks = {10, 1000, 1150, 1250, 1300};
  gate.answers = {0, 7};
  EXPECT_EQ(RunCloseGate(s, gate), 0);
  EXPECT_EQ(gate.hidden, 1);
  EXPECT_EQ(s.closeGranted, 0);
  EXPECT_EQ(s.lastVerifyTick, 1000u);
  EXPECT_EQ(RunCloseGate(s, gate), 0);
  EXPECT_EQ(gate.asked, 1u);
  EXPECT_EQ(RunCloseGate(s, gate), 1);  // any nonzero answer closes
  EXPECT_EQ(gate.asked, 2u);
  EXPECT_EQ(s.closeGranted, 1);
}

TEST(GateTest, ExactlyTwoHundredMsAsksAgain) {
  HostState s = Protected();
  s.lastVerifyTick = 1000;
  ScriptedGate gate;
  gate.ticks = {1199};
  EXPECT_EQ(RunCloseGate(s, gate), 0);
  EXPECT_EQ(gate.asked, 0u);
  gate.ticks.push_back(1200);
  gate.ticks.push_back(1300);
  gate.answers = {1};
  EXPECT_EQ(RunCloseGate(s, gate), 1);
  EXPECT_EQ(gate.asked, 1u);
}

TEST(GateTest, AcrossTheTickWrapAsks) {
  HostState s = Protected();
  s.lastVerifyTick = 0xFFFFFFFFu - 255u;
  ScriptedGate gate;
  gate.ticks = {16, 40};
  gate.answers = {1};
  EXPECT_EQ(RunCloseGate(s, gate), 1);
  EXPECT_EQ(gate.asked, 1u);
}

TEST(GateTest, AcrossTheTickWrapTooSoonIsSwallowed) {
  HostState s = Protected();
  s.lastVerifyTick = 0xFFFFFFFFu - 99u;  // 100 ms before the wrap
  ScriptedGate gate;
  gate.ticks = {50};  // 150 ms later
  EXPECT_EQ(RunCloseGate(s, gate), 0);
  EXPECT_EQ(gate.asked, 0u);
}

TEST(GateTest, CloseDuringVerificationIsRefusedWithoutAsking) {
  HostState s = Protected();
  ScriptedGate gate;
  gate.state = &s;
  gate.reenter = true;
  gate.ticks = {10, 900};
  gate.answers = {1};
  EXPECT_EQ(RunCloseGate(s, gate), 1);
  EXPECT_EQ(gate.asked, 1u);
}

TEST(GateTest, DecideGateTable) {
  HostState s = Protected();
  EXPECT_EQ(DecideGate(s, 0), GateAction::kAskVerifier);
  s.verifying = 1;
  EXPECT_EQ(DecideGate(s, 0), GateAction::kRefuseBusy);
  s.verifying = 0;
  s.lastVerifyTick = 100;
  EXPECT_EQ(DecideGate(s, 299), GateAction::kRefuseTooSoon);
  EXPECT_EQ(DecideGate(s, 300), GateAction::kAskVerifier);
  s.verifyProc = nullptr;
  EXPECT_EQ(DecideGate(s, 0), GateAction::kGrantUnprotected);
}

}  // namespace
}  // namespace kavrosa
