// Helpers for the tests that run the real kavrosa.scr under Wine: a scratch folder holding a
// copy of the module, a child process with a bounded wait, window look-ups that give up after a
// timeout, and the settings file beside the copy. Every wait here has a limit.
#pragma once

#ifdef _WIN32

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kavrosa {
class DibImage;
}

namespace kavrosa::test {

// The full-screen saver's window, and how long Wine may take to show it.
constexpr char kSaverClass[] = "WindowsScreenSaverClass";
constexpr char kSaverTitle[] = "Screen Saver";
constexpr DWORD kStartLimitMs = 60000;

// A Windows path for a file the build wrote (its Unix path, through Wine's Z: drive).
std::string WindowsPath(const std::string& unixPath);
std::string ScrPath();

// A fresh folder under the temporary folder, removed with its files at the end.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "\\" + name; }
  // Copies a file in under the given name.
  bool Add(const std::string& source, const std::string& name);

 private:
  std::string path_;
};

// A started process; terminated at the end if it still runs.
class ChildProcess {
 public:
  ChildProcess() = default;
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  bool Start(const std::string& exe, const std::string& arguments);
  // The whole command line as given, program name included (quoted or not).
  bool StartRaw(const std::string& exe, const std::string& commandLine);
  // The exit code, or nothing when it still runs after `ms`.
  std::optional<DWORD> Wait(DWORD ms);
  bool Running();

 private:
  PROCESS_INFORMATION info_{};
};

// How many of the screen's pixels (every 29th of every 37th row) differ from `expected` (a
// bottom-up 24-bit picture) drawn at its own size in the middle of the primary monitor.
int ScreenMismatchesCentred(DibImage& expected);

// Pumps this thread's messages for `ms`.
void Pump(DWORD ms);
// Polls FindWindowA (or FindWindowExA under a parent) until it answers or `ms` have passed.
HWND WaitForWindow(const char* className, const char* title, DWORD ms, HWND parent = nullptr);
// Polls until the window is gone.
bool WaitForWindowGone(HWND window, DWORD ms);

// The settings file beside a module copy named `scrName`.
std::string IniPath(const ScratchDir& dir, const std::string& scrName);
std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);

// The interval key's Shift-JIS bytes.
extern const char kIntervalKeyBytes[];

// Makes Wine report Windows 98 to one executable name (HKCU\Software\Wine\AppDefaults).
class Win98ForExe {
 public:
  explicit Win98ForExe(const std::string& exeName, bool nativeMpr = false);
  ~Win98ForExe();
  Win98ForExe(const Win98ForExe&) = delete;
  Win98ForExe& operator=(const Win98ForExe&) = delete;

 private:
  std::string key_;
};

// Sets HKCU\Control Panel\Desktop\ScreenSaveUsePassword for the test's duration.
class PasswordSetting {
 public:
  explicit PasswordSetting(DWORD value);
  ~PasswordSetting();
  PasswordSetting(const PasswordSetting&) = delete;
  PasswordSetting& operator=(const PasswordSetting&) = delete;
};

// Synthesised input through SendInput.
void PressKey(WORD virtualKey);
void ClickLeft();

}  // namespace kavrosa::test

#endif  // _WIN32
