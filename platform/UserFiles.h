// Files the program keeps for the user beside the settings: the per-user cache folder, whole
// files replaced atomically (a temporary file renamed over the old one, so a reader never sees
// half a file, whatever stops the writer), and a file's size now. Paths are UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kavrosa {

// "$XDG_CACHE_HOME/kavrosa" (else "$HOME/.cache/kavrosa") on POSIX, "%LOCALAPPDATA%\Kavrosa" on
// Windows; "" when the system names no such place. The folder may not exist yet.
std::string UserCacheFolder();

// Makes `path` and the folders above it as needed. True when it exists afterwards.
bool MakeFolders(const std::string& path);

// Writes `bytes` to a temporary file beside `path`, then renames it over `path`. False (and
// `path` untouched) when any step fails.
bool ReplaceFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes);

// The size of the regular file at `path` (what a link points at). False when there is none.
bool CurrentFileSize(const std::string& path, uint64_t& size);

}  // namespace kavrosa
