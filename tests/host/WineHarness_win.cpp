// Helpers for the Wine tests of the real module. The difficulty is time: Wine starts processes
// slowly and the first run initialises the prefix, so every look-up polls with a generous limit.
#ifdef _WIN32

#include "tests/host/WineHarness_win.h"

#include <cstdio>

#include "image/DibImage.h"
#include "platform/LocalMemory.h"

namespace kavrosa::test {

const char kIntervalKeyBytes[] = "\x95\x5C\x8E\xA6\x8A\xD4\x8A\x75";

std::string WindowsPath(const std::string& unixPath) {
  std::string path = "Z:" + unixPath;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

std::string ScrPath() {
  return WindowsPath(KAVROSA_SCR_FILE);
}

ScratchDir::ScratchDir() {
  char temp[MAX_PATH] = {};
  GetTempPathA(sizeof(temp), temp);
  static int serial = 0;
  char name[MAX_PATH];
  std::snprintf(name, sizeof(name), "%skavrosa-host-%lu-%d", temp, GetCurrentProcessId(), ++serial);
  path_ = name;
  CreateDirectoryA(path_.c_str(), nullptr);
}

ScratchDir::~ScratchDir() {
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA((path_ + "\\*").c_str(), &found);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        DeleteFileA(File(found.cFileName).c_str());
      }
    } while (FindNextFileA(find, &found));
    FindClose(find);
  }
  RemoveDirectoryA(path_.c_str());
}

bool ScratchDir::Add(const std::string& source, const std::string& name) {
  return CopyFileA(source.c_str(), File(name).c_str(), FALSE) != FALSE;
}

ChildProcess::~ChildProcess() {
  if (info_.hProcess == nullptr) return;
  if (Running()) {
    TerminateProcess(info_.hProcess, 99);
    WaitForSingleObject(info_.hProcess, 5000);
  }
  CloseHandle(info_.hThread);
  CloseHandle(info_.hProcess);
}

bool ChildProcess::Start(const std::string& exe, const std::string& arguments) {
  return StartRaw(exe, "\"" + exe + "\" " + arguments);
}

bool ChildProcess::StartRaw(const std::string& exe, const std::string& commandLine) {
  std::vector<char> buffer(commandLine.begin(), commandLine.end());
  buffer.push_back('\0');
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  return CreateProcessA(exe.c_str(), buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info_) != FALSE;
}

std::optional<DWORD> ChildProcess::Wait(DWORD ms) {
  const DWORD start = GetTickCount();
  while (Running()) {
    if (GetTickCount() - start >= ms) return std::nullopt;
    Pump(20);
  }
  DWORD code = 0;
  GetExitCodeProcess(info_.hProcess, &code);
  return code;
}

bool ChildProcess::Running() {
  return info_.hProcess != nullptr && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT;
}

void Pump(DWORD ms) {
  const DWORD start = GetTickCount();
  do {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    Sleep(5);
  } while (GetTickCount() - start < ms);
}

HWND WaitForWindow(const char* className, const char* title, DWORD ms, HWND parent) {
  const DWORD start = GetTickCount();
  for (;;) {
    HWND found = parent != nullptr ? FindWindowExA(parent, nullptr, className, title)
                                   : FindWindowA(className, title);
    if (found != nullptr) return found;
    if (GetTickCount() - start >= ms) return nullptr;
    Pump(50);
  }
}

bool WaitForWindowGone(HWND window, DWORD ms) {
  const DWORD start = GetTickCount();
  while (IsWindow(window)) {
    if (GetTickCount() - start >= ms) return false;
    Pump(20);
  }
  return true;
}

std::string IniPath(const ScratchDir& dir, const std::string& scrName) {
  return dir.File(scrName.substr(0, scrName.size() - 4) + ".INI");
}

std::string ReadFileBytes(const std::string& path) {
  std::string bytes;
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return bytes;
  char chunk[4096];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof(chunk), file)) > 0) bytes.append(chunk, n);
  std::fclose(file);
  return bytes;
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return;
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);
}

Win98ForExe::Win98ForExe(const std::string& exeName, bool nativeMpr)
    : key_("Software\\Wine\\AppDefaults\\" + exeName) {
  HKEY key;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, key_.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                      nullptr) == ERROR_SUCCESS) {
    RegSetValueExA(key, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>("win98"), 6);
    RegCloseKey(key);
  }
  // Wine prefers its own mpr.dll; the stand-in beside the module must win.
  if (nativeMpr && RegCreateKeyExA(HKEY_CURRENT_USER, (key_ + "\\DllOverrides").c_str(), 0, nullptr,
                                   0, KEY_WRITE, nullptr, &key, nullptr) == ERROR_SUCCESS) {
    RegSetValueExA(key, "mpr", 0, REG_SZ, reinterpret_cast<const BYTE*>("native"), 7);
    RegCloseKey(key);
  }
}

Win98ForExe::~Win98ForExe() {
  RegDeleteKeyA(HKEY_CURRENT_USER, (key_ + "\\DllOverrides").c_str());
  RegDeleteKeyA(HKEY_CURRENT_USER, key_.c_str());
}

PasswordSetting::PasswordSetting(DWORD value) {
  HKEY key;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, nullptr, 0, KEY_WRITE,
                      nullptr, &key, nullptr) == ERROR_SUCCESS) {
    RegSetValueExA(key, "ScreenSaveUsePassword", 0, REG_DWORD,
                   reinterpret_cast<const BYTE*>(&value), sizeof(value));
    RegCloseKey(key);
  }
}

PasswordSetting::~PasswordSetting() {
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, KEY_WRITE, &key) ==
      ERROR_SUCCESS) {
    RegDeleteValueA(key, "ScreenSaveUsePassword");
    RegCloseKey(key);
  }
}

void PressKey(WORD virtualKey) {
  INPUT inputs[2] = {};
  inputs[0].type = INPUT_KEYBOARD;
  inputs[0].ki.wVk = virtualKey;
  inputs[1] = inputs[0];
  inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(2, inputs, sizeof(INPUT));
}

void ClickLeft() {
  INPUT inputs[2] = {};
  inputs[0].type = INPUT_MOUSE;
  inputs[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  inputs[1] = inputs[0];
  inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  SendInput(2, inputs, sizeof(INPUT));
}

int ScreenMismatchesCentred(DibImage& expected) {
  const Size size = expected.GetSize(true);
  const int32_t left = (GetSystemMetrics(SM_CXSCREEN) - size.cx) / 2;
  const int32_t top = (GetSystemMetrics(SM_CYSCREEN) - size.cy) / 2;
  expected.EnsureStride();
  BlockLock pixels(expected.pixelBlock());
  HDC screen = GetDC(nullptr);
  int mismatches = 0;
  for (int32_t y = 0; y < size.cy; y += 37) {
    for (int32_t x = 0; x < size.cx; x += 29) {
      const uint8_t* p = pixels.data() + (size.cy - 1 - y) * expected.stride() + 3 * x;
      if (GetPixel(screen, left + x, top + y) != RGB(p[2], p[1], p[0])) ++mismatches;
    }
  }
  ReleaseDC(nullptr, screen);
  return mismatches;
}

}  // namespace kavrosa::test

#endif  // _WIN32
