// The one diagnostic channel: OutputDebugStringA on Windows; elsewhere a hook that tests can
// replace (by default the text is dropped).
#pragma once

namespace kavrosa {

void DebugOutput(const char* text);

using DebugOutputHook = void (*)(const char* text);
// Replaces the hook (portable builds only; on Windows the debugger gets the text as well).
// Returns the previous hook.
DebugOutputHook SetDebugOutputHook(DebugOutputHook hook);

}  // namespace kavrosa
