// The running program's file name from the /proc/self/exe link. readlink does not terminate
// what it writes and silently truncates, so a result that fills the buffer counts as a failure.
#include "platform/Module.h"

#include <unistd.h>

namespace kavrosa {

uint32_t ModuleFileName(char* buffer, uint32_t size) {
  if (buffer == nullptr || size == 0) return 0;
  const ssize_t length = ::readlink("/proc/self/exe", buffer, size);
  if (length <= 0 || static_cast<uint64_t>(length) >= size) {
    buffer[0] = '\0';
    return 0;
  }
  buffer[length] = '\0';
  return static_cast<uint32_t>(length);
}

}  // namespace kavrosa
