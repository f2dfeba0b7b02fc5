// A stand-in for the system's PASSWORD.CPL, built as PASSWORD.CPL for the tests. Its
// VerifyScreenSavePwd refuses the first call and accepts every later one. During the first call
// it behaves like a modal password box: it pumps messages for a while, and meanwhile posts a key
// press and a close to the saver and moves the cursor, all of which the saver must ignore.
// Every call is recorded in verify.log beside the DLL: "call hwnd endTick answer".
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

HMODULE gSelf = nullptr;
int gCalls = 0;

std::string Beside(const char* name) {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(gSelf, path, sizeof(path));
  std::string file(path);
  return file.substr(0, file.find_last_of('\\') + 1) + name;
}

void Append(const char* name, const std::string& line) {
  FILE* file = std::fopen(Beside(name).c_str(), "ab");
  if (file == nullptr) return;
  std::fputs(line.c_str(), file);
  std::fclose(file);
}

void PumpFor(DWORD ms) {
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < ms) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    Sleep(5);
  }
}

}  // namespace

extern "C" __declspec(dllexport) BOOL WINAPI VerifyScreenSavePwd(HWND window) {
  const int call = ++gCalls;
  BOOL answer = TRUE;
  if (call == 1) {
    POINT cursor{};
    GetCursorPos(&cursor);
    PostMessageA(window, WM_KEYDOWN, 'B', 0);
    PostMessageA(window, WM_CLOSE, 0, 0);
    SetCursorPos(cursor.x + 40, cursor.y + 40);
    PumpFor(400);
    answer = FALSE;
  }
  char line[128];
  std::snprintf(line, sizeof(line), "%d %lu %lu %d\n", call,
                static_cast<unsigned long>(reinterpret_cast<uintptr_t>(window)),
                static_cast<unsigned long>(GetTickCount()), answer);
  Append("verify.log", line);
  return answer;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    gSelf = instance;
    Append("attach.log", "attached\n");
  }
  return TRUE;
}
