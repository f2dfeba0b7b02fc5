// The running module's file name from GetModuleFileNameA. Older systems neither report nor
// terminate a truncated name, so a result that fills the whole buffer counts as a failure.
#include "platform/Module.h"

#include <windows.h>

namespace kavrosa {

uint32_t ModuleFileName(char* buffer, uint32_t size) {
  if (buffer == nullptr || size == 0) return 0;
  const DWORD length = ::GetModuleFileNameA(nullptr, buffer, size);
  if (length == 0 || length >= size) {
    buffer[0] = '\0';
    return 0;
  }
  buffer[length] = '\0';
  return length;
}

}  // namespace kavrosa
