// The saver window's tables: what SaverWindowProc keeps or passes on, which input closes a
// full-screen saver in SaverDefaultProc, the movement rule and the auto-play answer.
#include "host/SaverRules.h"

#include <gtest/gtest.h>

#include "host/Messages.h"

namespace kavrosa {
namespace {

HostState FullScreen() {
  return HostState{};
}
HostState Preview() {
  HostState s;
  s.isPreview = 1;
  return s;
}
HostState Granted() {
  HostState s;
  s.closeGranted = 1;
  return s;
}

int32_t KAVROSA_STDCALL AcceptAll(WindowHandle) {
  return 1;
}

struct WindowProcCase {
  const char* name;
  HostState state;
  uint32_t message;
  uintptr_t wParam;
  WindowProcAction action;
  WindowProcEffect effect;
  bool hideCursor;
  bool yieldFirst;
};

class WindowProcTest : public ::testing::TestWithParam<WindowProcCase> {};

TEST_P(WindowProcTest, Decision) {
  const WindowProcCase& c = GetParam();
  const WindowProcDecision d = DecideWindowProc(c.message, c.wParam, c.state);
  EXPECT_EQ(d.action, c.action) << c.name;
  EXPECT_EQ(d.effect, c.effect) << c.name;
  EXPECT_EQ(d.hideCursor, c.hideCursor) << c.name;
  EXPECT_EQ(d.yieldFirst, c.yieldFirst) << c.name;
}

using A = WindowProcAction;
using E = WindowProcEffect;

INSTANTIATE_TEST_SUITE_P(
    Table, WindowProcTest,
    ::testing::Values(
        WindowProcCase{"create", FullScreen(), kMsgCreate, 0, A::kPassOn, E::kCreate, true, false},
        WindowProcCase{"create preview", Preview(), kMsgCreate, 0, A::kPassOn, E::kCreate, false,
                       false},
        WindowProcCase{"destroy", FullScreen(), kMsgDestroy, 0, A::kPassOn, E::kDestroy, false,
                       false},
        WindowProcCase{"settext", FullScreen(), kMsgSetText, 0, A::kReturnZero, E::kNone, false,
                       false},
        WindowProcCase{"settext preview", Preview(), kMsgSetText, 0, A::kReturnZero, E::kNone,
                       false, false},
        WindowProcCase{"paint", FullScreen(), kMsgPaint, 0, A::kPassOn, E::kNone, true, false},
        WindowProcCase{"paint preview", Preview(), kMsgPaint, 0, A::kPassOn, E::kNone, false,
                       false},
        WindowProcCase{"paint granted", Granted(), kMsgPaint, 0, A::kDefault, E::kNone, false,
                       false},
        WindowProcCase{"display change", FullScreen(), kMsgDisplayChange, 32, A::kPassOn,
                       E::kFollowDisplay, false, false},
        WindowProcCase{"display change preview", Preview(), kMsgDisplayChange, 32, A::kPassOn,
                       E::kNone, false, false},
        WindowProcCase{"dpi changed", FullScreen(), kMsgDpiChanged, 0x00C000C0, A::kPassOn,
                       E::kFollowDisplay, false, false},
        WindowProcCase{"dpi changed preview", Preview(), kMsgDpiChanged, 0x00C000C0, A::kPassOn,
                       E::kNone, false, false},
        WindowProcCase{"help", FullScreen(), kMsgHelp, 0, A::kPassOn, E::kNone, false, false},
        WindowProcCase{"help preview", Preview(), kMsgHelp, 0, A::kReturnOne, E::kForwardToParent,
                       false, false},
        WindowProcCase{"contextmenu preview", Preview(), kMsgContextMenu, 0, A::kReturnOne,
                       E::kForwardToParent, false, false},
        WindowProcCase{"contextmenu", FullScreen(), kMsgContextMenu, 0, A::kPassOn, E::kNone, false,
                       false},
        WindowProcCase{"key", FullScreen(), kMsgKeyDown, 0, A::kPassOn, E::kNone, false, false},
        WindowProcCase{"key granted", Granted(), kMsgKeyDown, 0, A::kDefault, E::kNone, false,
                       false},
        WindowProcCase{"syskey granted", Granted(), kMsgSysKeyDown, 0, A::kDefault, E::kNone, false,
                       false},
        WindowProcCase{"move granted", Granted(), kMsgMouseMove, 0, A::kDefault, E::kNone, false,
                       false},
        WindowProcCase{"lbutton granted", Granted(), kMsgLButtonDown, 0, A::kDefault, E::kNone,
                       false, false},
        WindowProcCase{"rbutton granted", Granted(), kMsgRButtonDown, 0, A::kDefault, E::kNone,
                       false, false},
        WindowProcCase{"mbutton granted", Granted(), kMsgMButtonDown, 0, A::kDefault, E::kNone,
                       false, false},
        WindowProcCase{"mbutton", FullScreen(), kMsgMButtonDown, 0, A::kPassOn, E::kNone, false,
                       false},
        WindowProcCase{"sc next", FullScreen(), kMsgSysCommand, 0xF040, A::kReturnZero, E::kNone,
                       false, false},
        WindowProcCase{"sc prev", FullScreen(), kMsgSysCommand, 0xF050, A::kReturnZero, E::kNone,
                       false, false},
        WindowProcCase{"sc screensave", FullScreen(), kMsgSysCommand, 0xF140, A::kReturnZero,
                       E::kNone, false, false},
        WindowProcCase{"sc screensave low bits", FullScreen(), kMsgSysCommand, 0xF142, A::kPassOn,
                       E::kNone, false, false},
        WindowProcCase{"sc close", FullScreen(), kMsgSysCommand, 0xF060, A::kPassOn, E::kNone,
                       false, false},
        WindowProcCase{"sc screensave preview", Preview(), kMsgSysCommand, 0xF140, A::kPassOn,
                       E::kNone, false, false},
        WindowProcCase{"timer", FullScreen(), kMsgTimer, 1, A::kPassOn, E::kNone, false, true},
        WindowProcCase{"timer granted", Granted(), kMsgTimer, 1, A::kReturnZero, E::kNone, false,
                       false},
        WindowProcCase{"close", FullScreen(), kMsgClose, 0, A::kPassOn, E::kNone, false, false},
        WindowProcCase{"showwindow", FullScreen(), kMsgShowWindow, 1, A::kPassOn, E::kNone, false,
                       false}));

struct DefaultCase {
  const char* name;
  HostState state;
  uint32_t message;
  uintptr_t wParam;
  DefaultAction action;
  bool postClose;
  bool hideCursor;
};

class DefaultProcTest : public ::testing::TestWithParam<DefaultCase> {};

TEST_P(DefaultProcTest, Decision) {
  const DefaultCase& c = GetParam();
  const DefaultDecision d = DecideDefaultProc(c.message, c.wParam, c.state);
  EXPECT_EQ(d.action, c.action) << c.name;
  EXPECT_EQ(d.postClose, c.postClose) << c.name;
  EXPECT_EQ(d.hideCursor, c.hideCursor) << c.name;
}

HostState Win9x() {
  HostState s;
  s.isWin9x = 1;
  return s;
}
HostState Win9xVerifying() {
  HostState s = Win9x();
  s.verifying = 1;
  return s;
}
HostState Win9xPreview() {
  HostState s = Win9x();
  s.isPreview = 1;
  return s;
}

using D = DefaultAction;

INSTANTIATE_TEST_SUITE_P(
    Table, DefaultProcTest,
    ::testing::Values(
        DefaultCase{"key", FullScreen(), kMsgKeyDown, 'A', D::kTail, true, false},
        DefaultCase{"syskey", FullScreen(), kMsgSysKeyDown, 0, D::kTail, true, false},
        DefaultCase{"lbutton", FullScreen(), kMsgLButtonDown, 0, D::kTail, true, false},
        DefaultCase{"rbutton", FullScreen(), kMsgRButtonDown, 0, D::kTail, true, false},
        DefaultCase{"mbutton", FullScreen(), kMsgMButtonDown, 0, D::kTail, true, false},
        DefaultCase{"lbutton up", FullScreen(), 0x0202, 0, D::kTail, false, false},
        DefaultCase{"keyup", FullScreen(), 0x0101, 0, D::kTail, false, false},
        DefaultCase{"deactivate app", FullScreen(), kMsgActivateApp, 0, D::kTail, true, false},
        DefaultCase{"activate app", FullScreen(), kMsgActivateApp, 1, D::kTail, false, false},
        DefaultCase{"power suspend", FullScreen(), kMsgPower, 3, D::kTail, true, false},
        DefaultCase{"power other", FullScreen(), kMsgPower, 2, D::kTail, false, false},
        DefaultCase{"powerbroadcast", FullScreen(), kMsgPowerBroadcast, 7, D::kTail, true, false},
        DefaultCase{"setcursor", FullScreen(), kMsgSetCursor, 0, D::kHideCursorReturnOne, false,
                    false},
        DefaultCase{"shown", FullScreen(), kMsgShowWindow, 1, D::kTail, false, true},
        DefaultCase{"hidden", FullScreen(), kMsgShowWindow, 0, D::kTail, false, false},
        DefaultCase{"move", FullScreen(), kMsgMouseMove, 0, D::kCheckMovement, false, false},
        DefaultCase{"close nt", FullScreen(), kMsgClose, 0, D::kTail, false, false},
        DefaultCase{"close 9x", Win9x(), kMsgClose, 0, D::kGateClose, false, false},
        DefaultCase{"app nt", FullScreen(), kMsgApp, 0, D::kTail, false, false},
        DefaultCase{"app 9x", Win9x(), kMsgApp, 0, D::kAnswerVerifier, false, false},
        DefaultCase{"close 9x verifying", Win9xVerifying(), kMsgClose, 0, D::kGateClose, false,
                    false},
        DefaultCase{"app 9x verifying", Win9xVerifying(), kMsgApp, 0, D::kAnswerVerifier, false,
                    false},
        DefaultCase{"key verifying", Win9xVerifying(), kMsgKeyDown, 0, D::kTail, false, false},
        DefaultCase{"move verifying", Win9xVerifying(), kMsgMouseMove, 0, D::kTail, false, false},
        DefaultCase{"setcursor verifying", Win9xVerifying(), kMsgSetCursor, 0, D::kTail, false,
                    false},
        DefaultCase{"key preview", Preview(), kMsgKeyDown, 0, D::kTail, false, false},
        DefaultCase{"click preview", Preview(), kMsgLButtonDown, 0, D::kTail, false, false},
        DefaultCase{"move preview", Preview(), kMsgMouseMove, 0, D::kTail, false, false},
        DefaultCase{"deactivate preview", Preview(), kMsgActivateApp, 0, D::kTail, false, false},
        DefaultCase{"powerbroadcast preview", Preview(), kMsgPowerBroadcast, 0, D::kTail, false,
                    false},
        DefaultCase{"close 9x preview", Win9xPreview(), kMsgClose, 0, D::kTail, false, false},
        DefaultCase{"app 9x preview", Win9xPreview(), kMsgApp, 0, D::kTail, false, false},
        DefaultCase{"key granted", Granted(), kMsgKeyDown, 0, D::kTail, false, false},
        DefaultCase{"setcursor granted", Granted(), kMsgSetCursor, 0, D::kTail, false, false}));

TEST(MovementRuleTest, SmallMovesAddUpFromTheReference) {
  const Point reference{100, 100};
  EXPECT_FALSE(MovementCloses(reference, {100, 100}, kMouseThreshold));
  EXPECT_FALSE(MovementCloses(reference, {103, 101}, kMouseThreshold));  // 3 right, 1 down: 4
  EXPECT_TRUE(MovementCloses(reference, {104, 101}, kMouseThreshold));   // one more pixel: 5
  EXPECT_TRUE(MovementCloses(reference, {103, 102}, kMouseThreshold));
  EXPECT_FALSE(MovementCloses(reference, {96, 100}, kMouseThreshold));
  EXPECT_TRUE(MovementCloses(reference, {95, 100}, kMouseThreshold));
  EXPECT_TRUE(MovementCloses(reference, {98, 97}, kMouseThreshold));  // 2 + 3 both negative
}

struct DpiCase {
  uint32_t dpi;
  uint32_t threshold;
};

class MovementAtDpiTest : public ::testing::TestWithParam<DpiCase> {};

// Straight along one axis and split over both: the threshold stays, one pixel more closes.
TEST_P(MovementAtDpiTest, ThresholdStaysOneMoreCloses) {
  const DpiCase& c = GetParam();
  const uint32_t threshold = MouseThresholdForDpi(c.dpi);
  EXPECT_EQ(threshold, c.threshold) << c.dpi << " dpi";
  const Point reference{500, 500};
  const int32_t t = static_cast<int32_t>(c.threshold);
  EXPECT_FALSE(MovementCloses(reference, {500 + t, 500}, threshold)) << c.dpi;
  EXPECT_TRUE(MovementCloses(reference, {501 + t, 500}, threshold)) << c.dpi;
  EXPECT_FALSE(MovementCloses(reference, {500 - t / 2, 500 + (t - t / 2)}, threshold)) << c.dpi;
  EXPECT_TRUE(MovementCloses(reference, {500 - t / 2, 501 + (t - t / 2)}, threshold)) << c.dpi;
}

INSTANTIATE_TEST_SUITE_P(Table, MovementAtDpiTest,
                         ::testing::Values(DpiCase{96, 4}, DpiCase{120, 5}, DpiCase{144, 6},
                                           DpiCase{192, 8}, DpiCase{0, 4}, DpiCase{72, 3},
                                           DpiCase{0xFFFFFFFFu, 178956970u}));

TEST(MovementRuleTest, FarApartCoordinatesDoNotOverflow) {
  EXPECT_TRUE(MovementCloses({INT32_MIN, 0}, {INT32_MAX, 0}, kMouseThreshold));
  EXPECT_TRUE(MovementCloses({INT32_MIN, INT32_MIN}, {INT32_MAX, INT32_MAX}, kMouseThreshold));
}

TEST(TailTest, AutoPlayAnswerDependsOnPassword) {
  HostState s = Win9x();
  s.autoPlayMessage = 0xC123;
  TailDecision t = DecideTail(0xC123, s);
  EXPECT_TRUE(t.isAutoPlay);
  EXPECT_EQ(t.result, 0);
  s.verifyProc = AcceptAll;
  t = DecideTail(0xC123, s);
  EXPECT_TRUE(t.isAutoPlay);
  EXPECT_EQ(t.result, 1);
  EXPECT_FALSE(DecideTail(0xC124, s).isAutoPlay);
}

TEST(TailTest, NoAutoPlayMessageRegisteredOnNt) {
  HostState s;
  EXPECT_FALSE(DecideTail(0, s).isAutoPlay);
  EXPECT_FALSE(DecideTail(kMsgClose, s).isAutoPlay);
}

}  // namespace
}  // namespace kavrosa
