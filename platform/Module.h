// The running module's full file name: GetModuleFileNameA on Windows, /proc/self/exe elsewhere.
// The one subtlety is truncation: a name that does not fit the buffer is a failure, never a
// shortened path that could name some other file.
#pragma once

#include <cstdint>

namespace kavrosa {

// Writes the NUL-terminated file name of the running module into buffer and returns its length;
// returns 0 (buffer emptied when size allows) when the name is unknown or does not fit.
uint32_t ModuleFileName(char* buffer, uint32_t size);

}  // namespace kavrosa
