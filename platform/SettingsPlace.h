// What the settings place needs from the file system: whether a file could be written where it
// is (without leaving anything behind), the user's own settings folder, and the first-time copy
// into it. On Windows the user's folder is %APPDATA%\Kavrosa; elsewhere there is none.
#pragma once

#include <string>

namespace kavrosa {

// True when `path` exists and opens for writing, or is missing and a file of that name can be
// created in its folder (the probe is removed at once).
bool CanWriteFileAt(const std::string& path);

bool FileExistsAt(const std::string& path);

// The folder for this user's settings, created if missing; "" when there is none or it cannot
// be created.
std::string UserSettingsFolder();

// Copies `from` to `to` unless `to` already exists; false when nothing was copied.
bool CopyFileIfMissing(const std::string& from, const std::string& to);

}  // namespace kavrosa
