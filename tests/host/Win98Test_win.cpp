// Windows 95/98 behaviour of the real kavrosa.scr, with Wine reporting Windows 98 to the copy's
// file name: the password gate with a stand-in PASSWORD.CPL (refusal, the 200 ms hold-off, input
// during a verification, the new mouse reference), and /a with a stand-in MPR.DLL.
#ifdef _WIN32

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "tests/host/WineHarness_win.h"

namespace kavrosa::test {
namespace {

struct VerifyCall {
  int call = 0;
  unsigned long window = 0;
  unsigned long endTick = 0;
  int answer = -1;
};

std::vector<VerifyCall> ReadCalls(const ScratchDir& dir) {
  std::vector<VerifyCall> calls;
  std::istringstream lines(ReadFileBytes(dir.File("verify.log")));
  VerifyCall c;
  while (lines >> c.call >> c.window >> c.endTick >> c.answer) calls.push_back(c);
  return calls;
}

bool WaitForCalls(const ScratchDir& dir, size_t count, DWORD ms) {
  const DWORD start = GetTickCount();
  while (ReadCalls(dir).size() < count) {
    if (GetTickCount() - start >= ms) return false;
    Sleep(2);
  }
  return true;
}

TEST(Win98PasswordTest, RefusedCloseKeepsRunningHoldsOffAndAsksAgain) {
  ScratchDir dir;
  ASSERT_TRUE(dir.Add(ScrPath(), "k98pw.scr"));
  ASSERT_TRUE(dir.Add(WindowsPath(KAVROSA_PASSWORD_CPL_FILE), "PASSWORD.CPL"));
  Win98ForExe win98("k98pw.scr");
  PasswordSetting password(1);
  SetCursorPos(300, 300);
  ChildProcess saver;
  ASSERT_TRUE(saver.Start(dir.File("k98pw.scr"), "/s"));
  HWND window = WaitForWindow("WindowsScreenSaverClass", "Screen Saver", kStartLimitMs);
  ASSERT_NE(window, nullptr);
  Pump(500);
  EXPECT_NE(ReadFileBytes(dir.File("attach.log")), "");

  // A key asks the verifier, which refuses; the key and close it injects start nothing more.
  PostMessageA(window, WM_KEYDOWN, 'A', 0);
  ASSERT_TRUE(WaitForCalls(dir, 1, 10000));
  // A close right after the refusal is swallowed without asking.
  const std::vector<VerifyCall> first = ReadCalls(dir);
  const DWORD sinceRefusal = GetTickCount() - first[0].endTick;
  PostMessageA(window, WM_CLOSE, 0, 0);
  Pump(700);
  EXPECT_EQ(first[0].answer, 0);
  EXPECT_EQ(first[0].window, reinterpret_cast<uintptr_t>(window));
  if (sinceRefusal < 150) {
    EXPECT_EQ(ReadCalls(dir).size(), 1u) << "a close " << sinceRefusal << " ms after a refusal";
  }
  EXPECT_TRUE(saver.Running());

  // The refusal took the cursor's new place (moved by the verifier) as the reference: 4 pixels
  // from there close nothing.
  SetCursorPos(343, 341);
  Pump(700);
  EXPECT_TRUE(saver.Running());
  EXPECT_EQ(ReadCalls(dir).size(), 1u);

  // Later, a close asks again; the verifier accepts and the saver ends.
  PostMessageA(window, WM_KEYDOWN, 'C', 0);
  const std::optional<DWORD> code = saver.Wait(15000);
  ASSERT_TRUE(code.has_value());
  EXPECT_EQ(*code, 0u);
  const std::vector<VerifyCall> calls = ReadCalls(dir);
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[1].answer, 1);
  EXPECT_EQ(GetPrivateProfileIntA("Image", "NO", -1, IniPath(dir, "k98pw.scr").c_str()), 1);
}

TEST(Win98PasswordTest, WithoutTheSettingNothingIsLoadedAndAutoPlayClosesAnswering0) {
  ScratchDir dir;
  ASSERT_TRUE(dir.Add(ScrPath(), "k98np.scr"));
  ASSERT_TRUE(dir.Add(WindowsPath(KAVROSA_PASSWORD_CPL_FILE), "PASSWORD.CPL"));
  Win98ForExe win98("k98np.scr");
  PasswordSetting password(0);
  ChildProcess saver;
  ASSERT_TRUE(saver.Start(dir.File("k98np.scr"), "/s"));
  HWND window = WaitForWindow("WindowsScreenSaverClass", "Screen Saver", kStartLimitMs);
  ASSERT_NE(window, nullptr);
  Pump(500);
  EXPECT_EQ(SendMessageA(window, RegisterWindowMessageA("QueryCancelAutoPlay"), 0, 0), 0);
  const std::optional<DWORD> code = saver.Wait(15000);
  ASSERT_TRUE(code.has_value());
  EXPECT_EQ(*code, 0u);
  EXPECT_EQ(ReadFileBytes(dir.File("attach.log")), "");
}

TEST(Win98PasswordTest, AutoPlayWithPasswordAnswers1AndAsksTheVerifier) {
  ScratchDir dir;
  ASSERT_TRUE(dir.Add(ScrPath(), "k98ap.scr"));
  ASSERT_TRUE(dir.Add(WindowsPath(KAVROSA_PASSWORD_CPL_FILE), "PASSWORD.CPL"));
  Win98ForExe win98("k98ap.scr");
  PasswordSetting password(1);
  ChildProcess saver;
  ASSERT_TRUE(saver.Start(dir.File("k98ap.scr"), "/s"));
  HWND window = WaitForWindow("WindowsScreenSaverClass", "Screen Saver", kStartLimitMs);
  ASSERT_NE(window, nullptr);
  Pump(500);
  EXPECT_EQ(SendMessageA(window, RegisterWindowMessageA("QueryCancelAutoPlay"), 0, 0), 1);
  ASSERT_TRUE(WaitForCalls(dir, 1, 10000));  // the posted close asked, and was refused
  Pump(500);
  EXPECT_TRUE(saver.Running());
  PostMessageA(window, WM_CLOSE, 0, 0);  // well after 200 ms: asks again, accepted
  const std::optional<DWORD> code = saver.Wait(15000);
  ASSERT_TRUE(code.has_value());
  EXPECT_EQ(*code, 0u);
  EXPECT_EQ(ReadCalls(dir).size(), 2u);
}

TEST(Win98PasswordTest, OnNtThePasswordSettingIsIgnored) {
  ScratchDir dir;
  ASSERT_TRUE(dir.Add(ScrPath(), "kntpw.scr"));
  ASSERT_TRUE(dir.Add(WindowsPath(KAVROSA_PASSWORD_CPL_FILE), "PASSWORD.CPL"));
  PasswordSetting password(1);
  ChildProcess saver;
  ASSERT_TRUE(saver.Start(dir.File("kntpw.scr"), "/s"));
  HWND window = WaitForWindow("WindowsScreenSaverClass", "Screen Saver", kStartLimitMs);
  ASSERT_NE(window, nullptr);
  Pump(500);
  PostMessageA(window, WM_KEYDOWN, 'A', 0);
  const std::optional<DWORD> code = saver.Wait(15000);
  ASSERT_TRUE(code.has_value());
  EXPECT_EQ(*code, 0u);
  EXPECT_EQ(ReadFileBytes(dir.File("attach.log")), "");
}

TEST(Win98PasswordTest, PreviewNeverLoadsTheControlPanel) {
  ScratchDir dir;
  ASSERT_TRUE(dir.Add(ScrPath(), "k98pv.scr"));
  ASSERT_TRUE(dir.Add(WindowsPath(KAVROSA_PASSWORD_CPL_FILE), "PASSWORD.CPL"));
  Win98ForExe win98("k98pv.scr");
  PasswordSetting password(1);
  HWND parent = CreateWindowExA(0, "STATIC", "parent", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200,
                                150, nullptr, nullptr, nullptr, nullptr);
  ChildProcess saver;
  ASSERT_TRUE(saver.Start(dir.File("k98pv.scr"),
                          "/p " + std::to_string(reinterpret_cast<uintptr_t>(parent))));
  HWND preview = WaitForWindow("WindowsScreenSaverClass", "Preview", kStartLimitMs, parent);
  ASSERT_NE(preview, nullptr);
  PostMessageA(preview, WM_KEYDOWN, 'A', 0);
  Pump(500);
  EXPECT_TRUE(saver.Running());
  EXPECT_EQ(ReadFileBytes(dir.File("attach.log")), "");
  // On Windows 95/98 the auto-play query closes even a preview.
  const UINT autoPlay = RegisterWindowMessageA("QueryCancelAutoPlay");
  EXPECT_EQ(SendMessageA(preview, autoPlay, 0, 0), 0);
  const std::optional<DWORD> code = saver.Wait(15000);
  ASSERT_TRUE(code.has_value());
  EXPECT_EQ(*code, 0u);
  DestroyWindow(parent);
}

TEST(Win98ChangePasswordTest, CallsTheSystemWithScrsaveAndTheParent) {
  ScratchDir dir;
  ASSERT_TRUE(dir.Add(ScrPath(), "k98a.scr"));
  ASSERT_TRUE(dir.Add(WindowsPath(KAVROSA_MPR_DLL_FILE), "MPR.DLL"));
  Win98ForExe win98("k98a.scr", /*nativeMpr=*/true);
  HWND parent = CreateWindowExA(0, "STATIC", "parent", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                nullptr, nullptr);
  const std::string handle = std::to_string(reinterpret_cast<uintptr_t>(parent));
  ChildProcess changer;
  ASSERT_TRUE(changer.Start(dir.File("k98a.scr"), "/a " + handle));
  const std::optional<DWORD> code = changer.Wait(kStartLimitMs);
  ASSERT_TRUE(code.has_value());
  EXPECT_EQ(*code, 0u);
  EXPECT_EQ(ReadFileBytes(dir.File("mpr.log")), "SCRSAVE " + handle + " 0 0\n");
  DestroyWindow(parent);
}

TEST(Win98ChangePasswordTest, OnNtSwitchAExitsMinusOneAndLoadsNothing) {
  ScratchDir dir;
  ASSERT_TRUE(dir.Add(ScrPath(), "knta.scr"));
  ASSERT_TRUE(dir.Add(WindowsPath(KAVROSA_MPR_DLL_FILE), "MPR.DLL"));
  ChildProcess changer;
  ASSERT_TRUE(changer.Start(dir.File("knta.scr"), "/a 1234"));
  const std::optional<DWORD> code = changer.Wait(kStartLimitMs);
  ASSERT_TRUE(code.has_value());
  EXPECT_EQ(*code, 0xFFFFFFFFu);
  EXPECT_EQ(ReadFileBytes(dir.File("mpr.log")), "");
}

}  // namespace
}  // namespace kavrosa::test

#endif  // _WIN32
