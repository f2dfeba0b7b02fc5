// The controller behind a real Win32 window: the window procedure hands every message to
// SlideShowProc through a Win32WindowPort, as the host does. Ticks are sent as WM_TIMER
// messages, so the test does not depend on the timer's pace.
#ifdef _WIN32
#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "platform/Win32WindowPort_win.h"
#include "slideshow/SlideShowProc.h"
#include "tests/slideshow/ShowFixture.h"

namespace kavrosa {
namespace {

std::vector<UINT>& DefaultMessages() {
  static std::vector<UINT> messages;
  return messages;
}

LRESULT CALLBACK RecordingDefaultProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  DefaultMessages().push_back(message);
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK ShowWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  Win32WindowPort port(hwnd, RecordingDefaultProc);
  return SlideShowProc(port, message, wParam, lParam);
}

constexpr char kClassName[] = "KavrosaSlideShowTest";

class Win32Show : public testing_pictures::ShowTest {
 protected:
  void SetUp() override {
    ShowTest::SetUp();
    DefaultMessages().clear();
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = ShowWindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    windowClass.lpszClassName = kClassName;
    RegisterClassA(&windowClass);
  }
  void TearDown() override {
    UnregisterClassA(kClassName, GetModuleHandleA(nullptr));
    ShowTest::TearDown();
  }
  HWND MakeShowWindow(int x, int y) {
    return CreateWindowExA(0, kClassName, "Screen Saver", WS_POPUP, x, y, 200, 150, nullptr,
                           nullptr, GetModuleHandleA(nullptr), nullptr);
  }
  static void PumpPending() {
    MSG message;
    for (int i = 0; i < 1000 && PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE); ++i) {
      DispatchMessageA(&message);
    }
  }
};

TEST_F(Win32Show, RunsAndRecordsThroughTheWindow) {
  WriteSettings(3, 15);
  HWND hwnd = MakeShowWindow(0, 0);
  ASSERT_NE(hwnd, nullptr);
  EXPECT_NE(GetWindowLongPtrA(hwnd, GWLP_USERDATA), 0);
  ShowWindow(hwnd, SW_SHOW);  // the first show message starts the show: tick 0
  EXPECT_EQ(Counters().ticksShown, 1);
  EXPECT_EQ(Counters().destRect, (Rect{89, 70, 110, 80}));
  for (int tick = 1; tick <= 31; ++tick) SendMessageA(hwnd, WM_TIMER, kShowTimerId, 0);
  SendMessageA(hwnd, WM_TIMER, kShowTimerId + 7, 0);  // not the show's timer
  EXPECT_EQ(Counters().ticksShown, 32);
  PumpPending();
  DestroyWindow(hwnd);
  EXPECT_EQ(ReadPictureNumber(settings_.path()), 3);
  ASSERT_FALSE(DefaultMessages().empty());
  EXPECT_EQ(DefaultMessages().back(), static_cast<UINT>(WM_NCDESTROY));
}

// The picture of 21 x 10 at (89, 70) in the 200 x 150 window, pixel (x, y) from its top-left.
COLORREF PatternColour(int x, int y) {
  const std::vector<uint8_t> bytes = testing_pictures::PatternBytes(21, 10, 155);
  const uint8_t* p = bytes.data() + static_cast<size_t>(9 - y) * 64 + 3 * x;
  return RGB(p[2], p[1], p[0]);
}

TEST_F(Win32Show, HeldTicksDrawNothingAndPaintsPutThePictureBack) {
  WriteSettings(3, 15);
  HWND hwnd = MakeShowWindow(0, 0);
  ASSERT_NE(hwnd, nullptr);
  ShowWindow(hwnd, SW_SHOW);
  for (int tick = 1; tick <= 31; ++tick) SendMessageA(hwnd, WM_TIMER, kShowTimerId, 0);
  PumpPending();
  HDC dc = GetDC(hwnd);
  ASSERT_EQ(GetPixel(dc, 89 + 6, 70 + 5), PatternColour(6, 5));
  RECT area{89, 70, 110, 80};
  FillRect(dc, &area, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  SendMessageA(hwnd, WM_TIMER, kShowTimerId, 0);  // held: not drawn again
  EXPECT_EQ(GetPixel(dc, 89 + 6, 70 + 5), RGB(255, 255, 255));
  InvalidateRect(hwnd, nullptr, TRUE);
  UpdateWindow(hwnd);  // WM_PAINT
  EXPECT_EQ(GetPixel(dc, 89 + 6, 70 + 5), PatternColour(6, 5));
  EXPECT_EQ(GetPixel(dc, 88, 70), RGB(0, 0, 0));
  ReleaseDC(hwnd, dc);
  // A display change with the same single monitor lays out the same place again.
  SendMessageA(hwnd, WM_DISPLAYCHANGE, 24, MAKELPARAM(200, 150));
  SendMessageA(hwnd, WM_TIMER, kShowTimerId, 0);
  EXPECT_EQ(Counters().destRect, (Rect{89, 70, 110, 80}));
  PumpPending();
  DestroyWindow(hwnd);
}

TEST_F(Win32Show, PreviewAwayFromTheScreenEdgesRecordsNothing) {
  WriteSettings(3, 15);
  const std::string before = settings_.Read();
  HWND hwnd = MakeShowWindow(30, 40);
  ASSERT_NE(hwnd, nullptr);
  ShowWindow(hwnd, SW_SHOW);
  SendMessageA(hwnd, WM_TIMER, kShowTimerId, 0);
  PumpPending();
  DestroyWindow(hwnd);
  EXPECT_EQ(settings_.Read(), before);
}

}  // namespace
}  // namespace kavrosa
#endif
