// The command line of the saver module: skipping the program name, reading window handles and
// choosing the one action a switch asks for. Pure functions: the platform calls (IsWindow, the
// dialog, the saver run) come in through CommandActions so the whole table is testable natively.
#pragma once

#include <cstdint>

#include "platform/Types.h"

namespace kavrosa {

// Steps one character forward as CharNextA does: a double-byte character is one step, and the
// terminating NUL is never stepped over.
using CharStepFn = const char* (*)(const char* text);

// The single-byte stepper (code pages without lead bytes).
const char* StepSingleByte(const char* text);

// Skips the program name (quoted or not) and the blanks after it; returns the command tail.
const char* SkipProgramName(const char* commandLine, CharStepFn step);

// Leading decimal digits as an unsigned 32-bit number, wrapping modulo 2^32; 0 without a digit.
uint32_t ParseHandleNumber(const char* text);

enum class CommandKind {
  kConfigDialog,    // empty tail: dialog without owner
  kConfigOwned,     // c: dialog owned by handleText's window (or the foreground window)
  kChangePassword,  // a on Windows 95/98
  kPreview,         // p or l: preview inside handleText's window
  kFullScreen,      // s
  kRefused,         // anything else, and a on Windows NT: -1
};

struct CommandAction {
  CommandKind kind = CommandKind::kRefused;
  // Where the switch's window handle starts, or null when the switch takes none (c without ':').
  const char* handleText = nullptr;
};

// Looks at the first character of the tail that is not a separator (' ', '-', '/').
CommandAction DecideCommand(const char* tail, bool isWin9x);

// What carrying out an action needs of the platform.
class CommandActions {
 public:
  virtual ~CommandActions() = default;
  virtual bool IsWindow(WindowHandle window) = 0;
  virtual WindowHandle ForegroundWindow() = 0;
  virtual int32_t ShowConfigDialog(WindowHandle owner) = 0;
  virtual int32_t RunSaver(WindowHandle parent) = 0;
  virtual void RequestPasswordChange(WindowHandle parent) = 0;
};

constexpr int32_t kRefusedExitCode = -1;

// p and l: the preview inside the text's window; -1 when the handle is 0 or no window.
int32_t RunPreview(const char* text, CommandActions& actions);
// a: asks the system to change the saver password; the parent is the text's window or the
// foreground window. Always 0.
int32_t ChangePassword(const char* text, CommandActions& actions);

// Decides and carries out the tail's action; the result is the process exit code.
int32_t DispatchCommand(const char* tail, bool isWin9x, CommandActions& actions);

// A handle number on the command line as a window handle value.
WindowHandle HandleFromNumber(uint32_t number);

}  // namespace kavrosa
