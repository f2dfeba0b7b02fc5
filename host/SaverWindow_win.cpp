// The saver window: RunSaver creates it full screen or as a preview child and pumps its
// messages; SaverWindowProc and SaverDefaultProc carry out what the deciders in SaverRules
// choose. The slide show sits between the two procedures and re-enters SaverDefaultProc. The
// movement allowance follows the window's DPI, and a full-screen window follows display changes.
#include <windows.h>

#include "host/Host_win.h"
#include "host/SaverRules.h"
#include "platform/Win32WindowPort_win.h"
#include "slideshow/SlideShowProc.h"

namespace kavrosa {
namespace {

constexpr char kClassName[] = "WindowsScreenSaverClass";
constexpr char kFullScreenTitle[] = "Screen Saver";
constexpr char kPreviewTitle[] = "Preview";
constexpr UINT kClassStyle = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_OWNDC;  // 0x2B
constexpr DWORD kFullScreenExStyle = WS_EX_TOPMOST;
constexpr DWORD kFullScreenStyle = 0x96000000;  // popup, visible, clip siblings and children
constexpr DWORD kPreviewStyle = 0x52000000;     // child, visible, clip children
constexpr int kIconId = 100;
constexpr int32_t kNoWindowResult = -1;

struct WindowPlacement {
  DWORD exStyle = 0;
  DWORD style = 0;
  const char* title = nullptr;
  RECT rect{};  // left, top, width, height
};

WindowPlacement PreviewPlacement(HWND parent) {
  WindowPlacement p{0, kPreviewStyle, kPreviewTitle, {}};
  RECT client{};
  GetClientRect(parent, &client);
  p.rect = {0, 0, client.right, client.bottom};
  return p;
}

WindowPlacement FullScreenPlacement() {
  WindowPlacement p{kFullScreenExStyle, kFullScreenStyle, kFullScreenTitle, {}};
  const ScreenDc screen;
  RECT box{};
  GetClipBox(screen.get(), &box);
  p.rect = {box.left, box.top, box.right - box.left, box.bottom - box.top};
  return p;
}

using GetDpiForWindowProc = UINT(WINAPI*)(HWND);

// The window's DPI: GetDpiForWindow where the system has it (Windows 10 1607 on), else the
// screen's logical pixels per inch.
uint32_t WindowDpi(HWND window) {
  HMODULE user32 = GetModuleHandleA("USER32.DLL");
  const auto dpiForWindow =
      user32 != nullptr ? ProcAddress<GetDpiForWindowProc>(user32, "GetDpiForWindow") : nullptr;
  if (dpiForWindow != nullptr) {
    const UINT dpi = dpiForWindow(window);
    if (dpi != 0) return dpi;
  }
  const ScreenDc screen;
  const int dpi = screen.get() != nullptr ? GetDeviceCaps(screen.get(), LOGPIXELSX) : 0;
  return dpi > 0 ? static_cast<uint32_t>(dpi) : 0;
}

// After a display change the full-screen window covers the new screen, still topmost.
void FollowDisplay(HWND window, HostState& state) {
  const RECT r = FullScreenPlacement().rect;
  SetWindowPos(window, HWND_TOPMOST, r.left, r.top, r.right, r.bottom, SWP_NOACTIVATE);
  state.mouseThreshold = MouseThresholdForDpi(WindowDpi(window));
}

bool BringRunningSaverForward() {
  HWND running = FindWindowA(kClassName, kFullScreenTitle);
  if (running == nullptr || !IsWindow(running)) return false;
  SetForegroundWindow(running);
  return true;
}

int32_t RunMessageLoop() {
  MSG msg{};
  // GetMessage answers -1 on an error: that ends the loop too instead of spinning on it.
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return static_cast<int32_t>(msg.wParam);
}

Point CursorPosition() {
  POINT p{};
  GetCursorPos(&p);
  return {p.x, p.y};
}

void DetachInputContext(HWND window, HostState& state) {
  state.imm32Module = FromHmodule(GetModuleHandleA("IMM32.DLL"));
  if (state.imm32Module == nullptr) return;
  state.immAssociateProc =
      ProcAddress<ImmAssociateProc>(ToHmodule(state.imm32Module), "ImmAssociateContext");
  if (state.immAssociateProc == nullptr) return;
  state.savedImmContext = state.immAssociateProc(FromHwnd(window), nullptr);
}

void RestoreInputContext(HWND window, const HostState& state) {
  if (state.imm32Module != nullptr && state.immAssociateProc != nullptr &&
      state.savedImmContext != nullptr) {
    state.immAssociateProc(FromHwnd(window), state.savedImmContext);
  }
}

void ForwardToParent(HWND window, UINT message, LPARAM lParam) {
  HWND parent = GetParent(window);
  if (parent != nullptr && IsWindow(parent)) {
    PostMessageA(parent, message, reinterpret_cast<WPARAM>(parent), lParam);
  }
}

void ApplyEffect(WindowProcEffect effect, HWND window, UINT message, LPARAM lParam) {
  HostState& state = TheHostState();
  switch (effect) {
    case WindowProcEffect::kCreate:
      DetachInputContext(window, state);
      state.referencePoint = CursorPosition();
      state.mouseThreshold = MouseThresholdForDpi(WindowDpi(window));
      break;
    case WindowProcEffect::kDestroy:
      RestoreInputContext(window, state);
      PostQuitMessage(0);
      break;
    case WindowProcEffect::kForwardToParent:
      ForwardToParent(window, message, lParam);
      break;
    case WindowProcEffect::kFollowDisplay:
      FollowDisplay(window, state);
      break;
    case WindowProcEffect::kNone:
      break;
  }
}

LRESULT PassOn(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Win32WindowPort port(window, SaverDefaultProc);
  return SlideShowProc(port, message, wParam, lParam);
}

void PostClose(HWND window) {
  PostMessageA(window, WM_CLOSE, 0, 0);
}

LRESULT Tail(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  const TailDecision tail = DecideTail(message, TheHostState());
  if (tail.isAutoPlay) {
    PostClose(window);
    return tail.result;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

void ApplyMovementRule(HWND window) {
  HostState& state = TheHostState();
  const Point cursor = CursorPosition();
  if (MovementCloses(state.referencePoint, cursor, state.mouseThreshold)) {
    PostClose(window);
    state.referencePoint = cursor;
  }
}

}  // namespace

int32_t RunSaver(HWND parent) {
  HostState& state = TheHostState();
  HINSTANCE instance = ToHmodule(state.instance);
  WNDCLASSA windowClass{};
  windowClass.style = kClassStyle;
  windowClass.lpfnWndProc = SaverWindowProc;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(kIconId));
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  windowClass.lpszClassName = kClassName;

  WindowPlacement placement;
  if (parent != nullptr) {
    placement = PreviewPlacement(parent);
    state.isPreview = 1;
  } else {
    placement = FullScreenPlacement();
    if (BringRunningSaverForward()) return 0;
    LoadPasswordVerifier();
  }
  state.autoPlayMessage = state.isWin9x != 0 ? RegisterWindowMessageA("QueryCancelAutoPlay") : 0;

  if (RegisterClassA(&windowClass) != 0) {
    const RECT& r = placement.rect;
    state.saverWindow = FromHwnd(CreateWindowExA(placement.exStyle, kClassName, placement.title,
                                                 placement.style, r.left, r.top, r.right, r.bottom,
                                                 parent, nullptr, instance, nullptr));
  }
  int32_t result = kNoWindowResult;
  if (state.saverWindow != nullptr) {
    if (parent == nullptr) SetForegroundWindow(ToHwnd(state.saverWindow));
    result = RunMessageLoop();
  }
  UnloadPasswordVerifier();
  return result;
}

LRESULT CALLBACK SaverWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  const WindowProcDecision d = DecideWindowProc(message, wParam, TheHostState());
  if (d.yieldFirst) Sleep(0);
  ApplyEffect(d.effect, window, message, lParam);
  if (d.hideCursor) SetCursor(nullptr);
  switch (d.action) {
    case WindowProcAction::kPassOn:
      return PassOn(window, message, wParam, lParam);
    case WindowProcAction::kDefault:
      return DefWindowProcA(window, message, wParam, lParam);
    case WindowProcAction::kReturnZero:
      return 0;
    case WindowProcAction::kReturnOne:
      return 1;
  }
  return 0;
}

LRESULT CALLBACK SaverDefaultProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  HostState& state = TheHostState();
  const DefaultDecision d = DecideDefaultProc(message, wParam, state);
  switch (d.action) {
    case DefaultAction::kGateClose:
      if (VerifyPassword(window) == 0) {
        state.referencePoint = CursorPosition();
        return 0;
      }
      break;
    case DefaultAction::kAnswerVerifier:
      return state.verifyProc != nullptr ? state.verifyProc(FromHwnd(window)) : 1;
    case DefaultAction::kHideCursorReturnOne:
      SetCursor(nullptr);
      return 1;
    case DefaultAction::kCheckMovement:
      ApplyMovementRule(window);
      break;
    case DefaultAction::kTail:
      break;
  }
  if (d.hideCursor) SetCursor(nullptr);
  if (d.postClose) PostClose(window);
  return Tail(window, message, wParam, lParam);
}

}  // namespace kavrosa
