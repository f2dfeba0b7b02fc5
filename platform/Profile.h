// Private-profile (INI) access by path, as the saver's settings use it: GetPrivateProfileIntA and
// WritePrivateProfileStringA on Windows, and a reader/writer of the same file format elsewhere
// that gives the same results (names matched case-insensitively, other lines kept on write).
#pragma once

#include <cstdint>

namespace kavrosa {

// The integer value of key in section of the file at path, parsed as GetPrivateProfileInt does
// (optional sign, optional 0x/0o/0b base prefix, leading digits, 0 when the text is not
// numeric); defaultValue when the file, the section or the key is missing or the value is empty.
int32_t ProfileReadInt(const char* section, const char* key, int32_t defaultValue,
                       const char* path);

// The text value of key in section (trimmed and unquoted as GetPrivateProfileString gives it),
// at most size - 1 bytes, NUL-terminated in buffer; defaultValue when the file, the section or the
// key is missing. Returns the number of bytes stored. Bytes pass unchanged, in the file's own
// 8-bit code page.
uint32_t ProfileReadString(const char* section, const char* key, const char* defaultValue,
                           char* buffer, uint32_t size, const char* path);

// Sets key in section to value, creating the file, the section and the key as needed.
// Returns 1 on success, 0 when the file could not be written.
int32_t ProfileWriteString(const char* section, const char* key, const char* value,
                           const char* path);

// Where the portable writer tells why a write failed (the file's path and the system's reason);
// the Windows calls say nothing. Null, the default, reports nothing.
using ProfileWriteFailureHandler = void (*)(const char* path, const char* reason);
void SetProfileWriteFailureHandler(ProfileWriteFailureHandler handler);

}  // namespace kavrosa
