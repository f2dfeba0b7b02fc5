// Where the X11 program keeps its settings: $XDG_CONFIG_HOME/kavrosa/kavrosa.ini, or
// ~/.config/kavrosa/kavrosa.ini when that is unset (or, as the XDG rules say, not absolute).
// The same sections and keys as the Windows file; the directory is made when it is missing.
#pragma once

#include <string>

namespace kavrosa::xshell {

// The file's path from the two variables' values (null when unset); empty when neither gives
// an absolute directory, and then the show runs on the defaults and records nothing.
std::string SettingsFilePath(const char* xdgConfigHome, const char* home);

// Makes the directories above `file`, the last one private to the user. False when they cannot
// be made; the show goes on all the same.
bool MakeParentDirectories(const std::string& file);

}  // namespace kavrosa::xshell
