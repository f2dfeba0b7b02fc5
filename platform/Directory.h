// Listing folders for the photograph folder: the entries of one folder with the facts the show
// needs (folder or not, hidden, size), and the path text rules. Core code keeps every path as
// UTF-8; on Windows the names come from FindFirstFileW/FindNextFileW, so any script survives.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kavrosa {

struct DirectoryEntry {
  std::string name;  // UTF-8, without the folder
  bool isDirectory = false;
  // Hidden or system on Windows; on POSIX a name that starts with '.'.
  bool isHidden = false;
  // A symbolic link or other reparse point: never followed into, so a loop cannot recurse.
  bool isLink = false;
  // Bytes, for files (what a link to a file points at); 0 when it could not be found out.
  uint64_t size = 0;
};

// Appends the entries of the folder at `path` (without "." and ".."), at most `maxEntries` of
// them. False when the folder cannot be read.
bool ListDirectory(const std::string& path, std::vector<DirectoryEntry>& entries,
                   size_t maxEntries);

// True when `path` names an existing folder.
bool FolderExists(const std::string& path);

// `relative` (names separated by '/') appended to `folder` with the platform's separator.
std::string JoinPath(const std::string& folder, const std::string& relative);

// A folder path as the settings file holds it, made UTF-8: on Windows the text is in the
// system's ANSI code page (so a Japanese folder name works on a Japanese system); elsewhere it is
// taken as it stands.
std::string FolderPathFromSystemText(const std::string& text);

}  // namespace kavrosa
