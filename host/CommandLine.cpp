// The command line of the saver module. Bytes are compared unsigned when the program name is
// skipped and signed when the switch is read, so a byte 0x80-0xFF is never a switch letter; the
// program name is stepped with the caller's CharNextA so a double-byte name stays whole.
#include "host/CommandLine.h"

namespace kavrosa {
namespace {

unsigned char Byte(const char* p) {
  return static_cast<unsigned char>(*p);
}

bool IsBlank(const char* p) {
  return *p != '\0' && Byte(p) <= 0x20;
}

const char* SkipSpaces(const char* p) {
  while (*p == ' ') ++p;
  return p;
}

bool IsSeparator(char c) {
  return c == ' ' || c == '-' || c == '/';
}

}  // namespace

const char* StepSingleByte(const char* text) {
  return *text == '\0' ? text : text + 1;
}

const char* SkipProgramName(const char* commandLine, CharStepFn step) {
  const char* p = commandLine;
  if (*p == '"') {
    p = step(p);
    while (*p != '\0' && *p != '"') p = step(p);
    if (*p == '"') ++p;
  } else if (Byte(p) > 0x20) {
    while (Byte(p) > 0x20) p = step(p);
  }
  while (IsBlank(p)) p = step(p);
  return p;
}

uint32_t ParseHandleNumber(const char* text) {
  uint32_t value = 0;
  for (const char* p = text; *p >= '0' && *p <= '9'; ++p) {
    value = value * 10u + static_cast<uint32_t>(*p - '0');
  }
  return value;
}

CommandAction DecideCommand(const char* tail, bool isWin9x) {
  const char* p = tail;
  while (IsSeparator(*p)) ++p;
  const signed char c = static_cast<signed char>(*p);
  switch (c) {
    case '\0':
      return {CommandKind::kConfigDialog, nullptr};
    case 'a':
    case 'A':
      if (!isWin9x) return {CommandKind::kRefused, nullptr};
      return {CommandKind::kChangePassword, SkipSpaces(p + 1)};
    case 'c':
    case 'C':
      if (p[1] == ':') return {CommandKind::kConfigOwned, p + 2};
      return {CommandKind::kConfigOwned, nullptr};
    case 'p':
    case 'P':
    case 'l':
    case 'L':
      return {CommandKind::kPreview, SkipSpaces(p + 1)};
    case 's':
    case 'S':
      return {CommandKind::kFullScreen, nullptr};
    default:
      return {CommandKind::kRefused, nullptr};
  }
}

WindowHandle HandleFromNumber(uint32_t number) {
  return reinterpret_cast<WindowHandle>(static_cast<uintptr_t>(number));
}

namespace {

WindowHandle LiveWindowOrNull(const char* handleText, CommandActions& actions) {
  if (handleText == nullptr) return nullptr;
  WindowHandle window = HandleFromNumber(ParseHandleNumber(handleText));
  if (window == nullptr || !actions.IsWindow(window)) return nullptr;
  return window;
}

WindowHandle LiveWindowOrForeground(const char* handleText, CommandActions& actions) {
  WindowHandle window = LiveWindowOrNull(handleText, actions);
  return window != nullptr ? window : actions.ForegroundWindow();
}

}  // namespace

int32_t RunPreview(const char* text, CommandActions& actions) {
  WindowHandle parent = LiveWindowOrNull(text, actions);
  return parent != nullptr ? actions.RunSaver(parent) : kRefusedExitCode;
}

int32_t ChangePassword(const char* text, CommandActions& actions) {
  actions.RequestPasswordChange(LiveWindowOrForeground(text, actions));
  return 0;
}

int32_t DispatchCommand(const char* tail, bool isWin9x, CommandActions& actions) {
  const CommandAction action = DecideCommand(tail, isWin9x);
  switch (action.kind) {
    case CommandKind::kConfigDialog:
      return actions.ShowConfigDialog(nullptr);
    case CommandKind::kConfigOwned:
      return actions.ShowConfigDialog(LiveWindowOrForeground(action.handleText, actions));
    case CommandKind::kChangePassword:
      return ChangePassword(action.handleText, actions);
    case CommandKind::kPreview:
      return RunPreview(action.handleText, actions);
    case CommandKind::kFullScreen:
      return actions.RunSaver(nullptr);
    case CommandKind::kRefused:
      break;
  }
  return kRefusedExitCode;
}

}  // namespace kavrosa
