// The real kavrosa.scr full screen on two monitors, run by two_monitors_test.sh on an Xorg
// server with two dummy outputs: the window covers the virtual screen, MonitorRects gives each
// monitor in the window's client coordinates (primary first), the window follows a display
// change, and a key still closes. Skipped unless KAVROSA_MONITOR_LAYOUT names what the script
// set up ("right", "left", or "change" with KAVROSA_MONITOR_MARKERS).
#ifdef _WIN32

#include <windows.h>

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "platform/Win32WindowPort_win.h"
#include "tests/host/WineHarness_win.h"

namespace kavrosa {
void PrintTo(const Rect& r, std::ostream* os) {
  *os << "{" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << "}";
}
}  // namespace kavrosa

namespace kavrosa::test {
namespace {

struct MonitorLayout {
  RECT virtualScreen;
  std::vector<Rect> clientMonitors;  // primary first
};

// A 1280x1024 primary with an 800x600 monitor at its top right, or at its top left.
const MonitorLayout kRight{{0, 0, 2080, 1024}, {{0, 0, 1280, 1024}, {1280, 0, 2080, 600}}};
const MonitorLayout kLeft{{-800, 0, 1280, 1024}, {{800, 0, 2080, 1024}, {0, 0, 800, 600}}};

std::string Environment(const char* variable) {
  char value[MAX_PATH] = {};
  GetEnvironmentVariableA(variable, value, sizeof(value));
  return value;
}

std::string LayoutName() {
  return Environment("KAVROSA_MONITOR_LAYOUT");
}

bool FileExists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

RECT WindowRect(HWND window) {
  RECT rect{};
  GetWindowRect(window, &rect);
  return rect;
}

void ExpectRect(const RECT& rect, const RECT& expected) {
  EXPECT_EQ(rect.left, expected.left);
  EXPECT_EQ(rect.top, expected.top);
  EXPECT_EQ(rect.right, expected.right);
  EXPECT_EQ(rect.bottom, expected.bottom);
}

void ExpectKeyCloses(ChildProcess& saver) {
  PressKey(VK_SPACE);
  const std::optional<DWORD> code = saver.Wait(15000);
  ASSERT_TRUE(code.has_value()) << "a key did not close the saver";
  EXPECT_EQ(*code, 0u);
}

HWND StartSaver(ScratchDir& dir, ChildProcess& saver) {
  if (!dir.Add(ScrPath(), "kavrosa.scr")) return nullptr;
  SetCursorPos(200, 200);
  if (!saver.Start(dir.File("kavrosa.scr"), "/s")) return nullptr;
  HWND window = WaitForWindow("WindowsScreenSaverClass", "Screen Saver", 60000);
  Pump(500);
  return window;
}

TEST(TwoMonitorsTest, WindowCoversBothAndReportsEachMonitor) {
  const std::string name = LayoutName();
  if (name != "right" && name != "left") GTEST_SKIP() << "needs two_monitors_test.sh";
  const MonitorLayout& layout = name == "right" ? kRight : kLeft;
  EXPECT_EQ(GetSystemMetrics(SM_CMONITORS), 2);
  EXPECT_EQ(GetSystemMetrics(SM_XVIRTUALSCREEN), layout.virtualScreen.left);
  EXPECT_EQ(GetSystemMetrics(SM_CXVIRTUALSCREEN),
            layout.virtualScreen.right - layout.virtualScreen.left);

  ScratchDir dir;
  ChildProcess saver;
  HWND window = StartSaver(dir, saver);
  ASSERT_NE(window, nullptr);
  ExpectRect(WindowRect(window), layout.virtualScreen);
  // The saver's own window, asked from here: the port only reads its geometry.
  Win32WindowPort port(window, nullptr);
  EXPECT_EQ(port.MonitorRects(), layout.clientMonitors);
  ExpectKeyCloses(saver);
}

// From the right-hand layout to the primary alone while the saver runs. The script changes the
// outputs between the two marker files; Wine 8 updates its monitors but sends no
// WM_DISPLAYCHANGE, so the test sends the one Windows broadcasts.
TEST(TwoMonitorsTest, FollowsADisplayChangeToOneMonitor) {
  const std::string markers = Environment("KAVROSA_MONITOR_MARKERS");
  if (LayoutName() != "change" || markers.empty()) GTEST_SKIP() << "needs two_monitors_test.sh";
  ScratchDir dir;
  ChildProcess saver;
  HWND window = StartSaver(dir, saver);
  ASSERT_NE(window, nullptr);
  ExpectRect(WindowRect(window), kRight.virtualScreen);
  WriteFileBytes(WindowsPath(markers + "/ready"), "");
  const DWORD start = GetTickCount();
  while (!FileExists(WindowsPath(markers + "/changed")) && GetTickCount() - start < 30000) {
    Pump(100);
  }
  ASSERT_TRUE(FileExists(WindowsPath(markers + "/changed")));
  ASSERT_EQ(GetSystemMetrics(SM_CMONITORS), 1);
  SendMessageA(window, WM_DISPLAYCHANGE, 32, MAKELPARAM(1280, 1024));
  Pump(500);
  ExpectRect(WindowRect(window), RECT{0, 0, 1280, 1024});
  EXPECT_TRUE(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST);
  Win32WindowPort port(window, nullptr);
  EXPECT_EQ(port.MonitorRects(), (std::vector<Rect>{Rect{0, 0, 1280, 1024}}));
  ExpectKeyCloses(saver);
}

// A child window (the preview) reports its own client area only; a popup inside one monitor
// reports that monitor's part of its client area, which is all of it.
TEST(MonitorRectsTest, ChildAndPopupInsideOneMonitorReportTheirClientArea) {
  HWND parent = CreateWindowExA(0, "STATIC", "", WS_POPUP, 100, 100, 400, 300, nullptr, nullptr,
                                nullptr, nullptr);
  HWND child = CreateWindowExA(0, "STATIC", "", WS_CHILD, 10, 10, 152, 112, parent, nullptr,
                               nullptr, nullptr);
  ASSERT_NE(child, nullptr);
  Win32WindowPort childPort(child, nullptr);
  EXPECT_EQ(childPort.MonitorRects(), (std::vector<Rect>{Rect{0, 0, 152, 112}}));
  Win32WindowPort parentPort(parent, nullptr);
  EXPECT_EQ(parentPort.MonitorRects(), (std::vector<Rect>{Rect{0, 0, 400, 300}}));
  DestroyWindow(parent);
}

}  // namespace
}  // namespace kavrosa::test

#endif  // _WIN32
