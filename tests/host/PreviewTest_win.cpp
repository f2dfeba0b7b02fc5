// The real kavrosa.scr as a preview inside a parent window of the test: it never closes on
// input, forwards help and context-menu requests to the parent with the parent's handle, keeps
// its title, and ends when the parent goes away.
#ifdef _WIN32

#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "tests/host/WineHarness_win.h"

namespace kavrosa::test {
namespace {

struct Forwarded {
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};
std::vector<Forwarded> gForwarded;

LRESULT CALLBACK ParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_HELP || message == WM_CONTEXTMENU) {
    gForwarded.push_back({message, wParam, lParam});
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

HWND CreateParent() {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = ParentProc;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "KavrosaTestPreviewParent";
  RegisterClassA(&windowClass);
  return CreateWindowExA(0, windowClass.lpszClassName, "parent", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                         600, 400, 320, 240, nullptr, nullptr, windowClass.hInstance, nullptr);
}

TEST(PreviewTest, NeverClosesOnInputAndForwardsHelpToTheParent) {
  ScratchDir dir;
  ASSERT_TRUE(dir.Add(ScrPath(), "kavrosa.scr"));
  HWND parent = CreateParent();
  ASSERT_NE(parent, nullptr);
  ChildProcess saver;
  ASSERT_TRUE(saver.Start(dir.File("kavrosa.scr"),
                          "/p " + std::to_string(reinterpret_cast<uintptr_t>(parent))));
  HWND preview = WaitForWindow("WindowsScreenSaverClass", "Preview", 60000, parent);
  ASSERT_NE(preview, nullptr);
  RECT client{};
  GetClientRect(parent, &client);
  RECT rect{};
  GetClientRect(preview, &rect);
  EXPECT_EQ(rect.right, client.right);
  EXPECT_EQ(rect.bottom, client.bottom);

  PostMessageA(preview, WM_KEYDOWN, 'A', 0);
  PostMessageA(preview, WM_LBUTTONDOWN, 0, MAKELPARAM(5, 5));
  PostMessageA(preview, WM_MOUSEMOVE, 0, MAKELPARAM(100, 100));
  PostMessageA(preview, WM_ACTIVATEAPP, 0, 0);
  PostMessageA(preview, WM_POWERBROADCAST, 0, 0);
  SetCursorPos(10, 10);
  Pump(1000);
  EXPECT_TRUE(IsWindow(preview));
  EXPECT_TRUE(saver.Running());

  gForwarded.clear();
  PostMessageA(preview, WM_CONTEXTMENU, 0, MAKELPARAM(12, 34));
  HELPINFO help{};
  help.cbSize = sizeof(help);
  help.iContextType = HELPINFO_WINDOW;
  help.hItemHandle = preview;
  EXPECT_EQ(SendMessageA(preview, WM_HELP, 0, reinterpret_cast<LPARAM>(&help)), 1);
  Pump(500);
  // WM_HELP carries a pointer and so cannot be posted to another process: the preview answers it
  // with 1 but only the context-menu request arrives here.
  ASSERT_GE(gForwarded.size(), 1u);
  bool sawContextMenu = false;
  for (const Forwarded& f : gForwarded) {
    EXPECT_EQ(f.wParam, reinterpret_cast<WPARAM>(parent));
    if (f.message == WM_CONTEXTMENU) {
      sawContextMenu = true;
      EXPECT_EQ(f.lParam, MAKELPARAM(12, 34));
    }
  }
  EXPECT_TRUE(sawContextMenu);

  SendMessageA(preview, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("Changed"));
  char title[32] = {};
  GetWindowTextA(preview, title, sizeof(title));
  EXPECT_STREQ(title, "Preview");

  DestroyWindow(parent);
  const std::optional<DWORD> code = saver.Wait(15000);
  ASSERT_TRUE(code.has_value()) << "the preview outlived its parent";
  EXPECT_EQ(*code, 0u);
  // A preview does not record the picture on screen.
  EXPECT_EQ(GetPrivateProfileIntA("Image", "NO", -1, IniPath(dir, "kavrosa.scr").c_str()), -1);
}

TEST(PreviewTest, HandleFormsIncludingWrappedNumbers) {
  ScratchDir dir;
  ASSERT_TRUE(dir.Add(ScrPath(), "kavrosa.scr"));
  HWND parent = CreateParent();
  ASSERT_NE(parent, nullptr);
  const uint64_t handle = reinterpret_cast<uintptr_t>(parent);
  const std::string wrapped = std::to_string(handle + 3ull * 4294967296ull);  // 11 digits
  for (const std::string& tail :
       {"/p" + std::to_string(handle), "/l " + std::to_string(handle), "-P  " + wrapped}) {
    ChildProcess saver;
    ASSERT_TRUE(saver.Start(dir.File("kavrosa.scr"), tail));
    HWND preview = WaitForWindow("WindowsScreenSaverClass", "Preview", 60000, parent);
    ASSERT_NE(preview, nullptr) << tail;
    // Found while it is still being created: a close then would end CreateWindowExA itself.
    Pump(800);
    SendMessageA(preview, WM_CLOSE, 0, 0);  // a preview closes only by being destroyed
    const std::optional<DWORD> code = saver.Wait(15000);
    ASSERT_TRUE(code.has_value()) << tail;
    EXPECT_EQ(*code, 0u) << tail;
  }
  DestroyWindow(parent);
}

}  // namespace
}  // namespace kavrosa::test

#endif  // _WIN32
