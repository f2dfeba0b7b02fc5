// The real kavrosa.scr full screen under Wine: the window's place and picture, each input that
// closes it (exit 0 and the picture number written beside the module), the 4-pixel movement
// allowance, the single-instance rule and the fixed title.
#ifdef _WIN32

#include <windows.h>

#include <gtest/gtest.h>

#include "tests/host/WineHarness_win.h"

namespace kavrosa::test {
namespace {

constexpr DWORD kExitLimitMs = 15000;

class FullScreenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.Add(ScrPath(), "kavrosa.scr"));
    SetCursorPos(200, 200);
  }
  HWND Start(ChildProcess& process, const char* arguments = "/s") {
    if (!process.Start(dir_.File("kavrosa.scr"), arguments)) return nullptr;
    HWND window = WaitForWindow(kSaverClass, kSaverTitle, kStartLimitMs);
    Pump(500);  // let it take its reference point and become the foreground window
    return window;
  }
  void ExpectClosedWithPictureNumber(ChildProcess& process) {
    const std::optional<DWORD> code = process.Wait(kExitLimitMs);
    ASSERT_TRUE(code.has_value()) << "the saver did not close";
    EXPECT_EQ(*code, 0u);
    const std::string ini = IniPath(dir_, "kavrosa.scr");
    EXPECT_EQ(GetPrivateProfileIntA("Image", "NO", -1, ini.c_str()), 1);
  }
  ScratchDir dir_;
};

TEST_F(FullScreenTest, CoversTheScreenTopmostAndShowsTheFirstPicture) {
  ChildProcess saver;
  HWND window = Start(saver);
  ASSERT_NE(window, nullptr);
  RECT rect{};
  GetWindowRect(window, &rect);
  EXPECT_EQ(rect.left, 0);
  EXPECT_EQ(rect.top, 0);
  EXPECT_EQ(rect.right, GetSystemMetrics(SM_CXSCREEN));
  EXPECT_EQ(rect.bottom, GetSystemMetrics(SM_CYSCREEN));
  EXPECT_TRUE(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST);
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE)) & 0xFFFF0000u, 0x96000000u);
  // Past the dissolve-in (30 ticks of 66 ms) the centre of the screen shows the picture.
  Pump(3500);
  HDC screen = GetDC(nullptr);
  const COLORREF centre = GetPixel(screen, rect.right / 2, rect.bottom / 2);
  ReleaseDC(nullptr, screen);
  EXPECT_NE(centre & 0xFFFFFF, 0u) << "the centre is still black";
  PressKey(VK_SPACE);
  ExpectClosedWithPictureNumber(saver);
}

TEST_F(FullScreenTest, KeyPressCloses) {
  ChildProcess saver;
  ASSERT_NE(Start(saver), nullptr);
  PressKey('A');
  ExpectClosedWithPictureNumber(saver);
}

TEST_F(FullScreenTest, ClickCloses) {
  ChildProcess saver;
  ASSERT_NE(Start(saver), nullptr);
  ClickLeft();
  ExpectClosedWithPictureNumber(saver);
}

TEST_F(FullScreenTest, MovementOfFourIsAllowedFiveCloses) {
  ChildProcess saver;
  ASSERT_NE(Start(saver), nullptr);
  SetCursorPos(201, 200);
  Pump(150);
  SetCursorPos(203, 200);
  Pump(150);
  SetCursorPos(203, 201);  // 3 right, 1 down: 4 in all
  Pump(1000);
  EXPECT_TRUE(saver.Running()) << "4 pixels closed the saver";
  SetCursorPos(204, 201);  // one more pixel: 5
  ExpectClosedWithPictureNumber(saver);
}

TEST_F(FullScreenTest, LosingActivationCloses) {
  ChildProcess saver;
  ASSERT_NE(Start(saver), nullptr);
  HWND other = CreateWindowExA(0, "STATIC", "other application", WS_POPUP | WS_VISIBLE, 0, 0, 50,
                               50, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(other, nullptr);
  SetForegroundWindow(other);
  ExpectClosedWithPictureNumber(saver);
  DestroyWindow(other);
}

TEST_F(FullScreenTest, SecondStartBringsTheFirstForwardAndEnds) {
  ChildProcess first;
  HWND window = Start(first);
  ASSERT_NE(window, nullptr);
  ChildProcess second;
  ASSERT_TRUE(second.Start(dir_.File("kavrosa.scr"), "/S"));
  const std::optional<DWORD> code = second.Wait(kStartLimitMs);
  ASSERT_TRUE(code.has_value());
  EXPECT_EQ(*code, 0u);
  EXPECT_TRUE(first.Running());
  EXPECT_EQ(FindWindowA(kSaverClass, kSaverTitle), window);
  PressKey(VK_SPACE);
  ExpectClosedWithPictureNumber(first);
}

TEST_F(FullScreenTest, SetTextNeverChangesTheTitle) {
  ChildProcess saver;
  HWND window = Start(saver);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(SendMessageA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("Changed")), 0);
  char title[64] = {};
  GetWindowTextA(window, title, sizeof(title));
  EXPECT_STREQ(title, kSaverTitle);
  PressKey(VK_SPACE);
  ExpectClosedWithPictureNumber(saver);
}

TEST_F(FullScreenTest, SwallowsScreenSaveSystemCommandButNotClose) {
  ChildProcess saver;
  HWND window = Start(saver);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(SendMessageA(window, WM_SYSCOMMAND, SC_SCREENSAVE, 0), 0);
  EXPECT_EQ(SendMessageA(window, WM_SYSCOMMAND, SC_NEXTWINDOW, 0), 0);
  Pump(300);
  EXPECT_TRUE(saver.Running());
  PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
  ExpectClosedWithPictureNumber(saver);
}

TEST(FaultGuardTest, FaultEndsTheProcessWithTheFixedCode) {
  ScratchDir dir;
  ASSERT_TRUE(dir.Add(WindowsPath(KAVROSA_FAULT_HELPER_FILE), "kfault.exe"));
  ChildProcess saver;
  ASSERT_TRUE(saver.Start(dir.File("kfault.exe"), ""));
  const std::optional<DWORD> code = saver.Wait(kStartLimitMs);
  ASSERT_TRUE(code.has_value()) << "the faulting saver did not end";
  EXPECT_EQ(*code, 0xDEADu);
}

TEST(CommandLineProcessTest, RefusedSwitchesExitMinusOne) {
  ScratchDir dir;
  ASSERT_TRUE(dir.Add(ScrPath(), "kavrosa.scr"));
  for (const char* arguments : {"/x", "/?", "/\ts", "/p 0", "/p:1234", "/p", "/a 1234"}) {
    ChildProcess process;
    ASSERT_TRUE(process.Start(dir.File("kavrosa.scr"), arguments));
    const std::optional<DWORD> code = process.Wait(kStartLimitMs);
    ASSERT_TRUE(code.has_value()) << arguments;
    EXPECT_EQ(*code, 0xFFFFFFFFu) << arguments;
  }
  EXPECT_EQ(FindWindowA(kSaverClass, nullptr), nullptr);
}

TEST(CommandLineProcessTest, PreviewOfAHandleThatIsNoWindowExitsMinusOne) {
  ScratchDir dir;
  ASSERT_TRUE(dir.Add(ScrPath(), "kavrosa.scr"));
  HWND window =
      CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  const uintptr_t dead = reinterpret_cast<uintptr_t>(window);
  DestroyWindow(window);
  ChildProcess process;
  ASSERT_TRUE(process.Start(dir.File("kavrosa.scr"), "/p " + std::to_string(dead)));
  const std::optional<DWORD> code = process.Wait(kStartLimitMs);
  ASSERT_TRUE(code.has_value());
  EXPECT_EQ(*code, 0xFFFFFFFFu);
}

}  // namespace
}  // namespace kavrosa::test

#endif  // _WIN32
