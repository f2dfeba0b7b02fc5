// Private-profile access through the system's own calls, so that the saver and the display
// settings see exactly what Windows makes of the file.
#include "platform/Profile.h"

#include <windows.h>

namespace kavrosa {

int32_t ProfileReadInt(const char* section, const char* key, int32_t defaultValue,
                       const char* path) {
  return static_cast<int32_t>(::GetPrivateProfileIntA(section, key, defaultValue, path));
}

uint32_t ProfileReadString(const char* section, const char* key, const char* defaultValue,
                           char* buffer, uint32_t size, const char* path) {
  if (buffer == nullptr || size == 0) return 0;
  return ::GetPrivateProfileStringA(section, key, defaultValue, buffer, size, path);
}

int32_t ProfileWriteString(const char* section, const char* key, const char* value,
                           const char* path) {
  return ::WritePrivateProfileStringA(section, key, value, path) ? 1 : 0;
}

// WritePrivateProfileStringA's FALSE is the whole report here.
void SetProfileWriteFailureHandler(ProfileWriteFailureHandler) {}

}  // namespace kavrosa
