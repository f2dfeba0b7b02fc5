// A stand-in for the system's MPR.DLL, built as MPR.DLL for the tests: PwdChangePasswordA
// records its four arguments in mpr.log beside the DLL ("provider parent arg3 arg4").
#include <windows.h>

#include <cstdio>
#include <string>

namespace {
HMODULE gSelf = nullptr;
}

extern "C" __declspec(dllexport) DWORD WINAPI
    PwdChangePasswordA(LPCSTR provider, HWND parent, DWORD reserved, LPVOID data) {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(gSelf, path, sizeof(path));
  std::string file(path);
  file = file.substr(0, file.find_last_of('\\') + 1) + "mpr.log";
  FILE* log = std::fopen(file.c_str(), "ab");
  if (log != nullptr) {
    std::fprintf(log, "%s %lu %lu %lu\n", provider != nullptr ? provider : "(null)",
                 static_cast<unsigned long>(reinterpret_cast<uintptr_t>(parent)),
                 static_cast<unsigned long>(reserved),
                 static_cast<unsigned long>(reinterpret_cast<uintptr_t>(data)));
    std::fclose(log);
  }
  return 0;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) gSelf = instance;
  return TRUE;
}
