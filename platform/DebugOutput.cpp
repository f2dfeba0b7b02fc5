#include "platform/DebugOutput.h"

#include <atomic>

#ifdef _WIN32
#include <windows.h>
#endif

namespace kavrosa {
namespace {
std::atomic<DebugOutputHook> gHook{nullptr};
}

void DebugOutput(const char* text) {
#ifdef _WIN32
  OutputDebugStringA(text);
#endif
  if (DebugOutputHook hook = gHook.load()) hook(text);
}

DebugOutputHook SetDebugOutputHook(DebugOutputHook hook) {
  return gHook.exchange(hook);
}

}  // namespace kavrosa
