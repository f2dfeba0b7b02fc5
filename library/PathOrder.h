// The order photographs are shown in, and which folder names the walk never enters. Paths
// compare byte by byte with ASCII letters folded to one case; paths equal but for case fall back
// to plain byte order, so the order is total. The walk relies on '/' being just another byte.
#pragma once

#include <string>

namespace kavrosa {

inline char FoldAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// <0, 0 or >0 as `a` sorts before, with or after `b`, ASCII case folded (no byte tie-break).
int CompareFolded(const std::string& a, const std::string& b);

// The show's path order: CompareFolded, then plain bytes.
bool LessPath(const std::string& a, const std::string& b);

// Folders that file servers and systems put among photographs: a NAS's thumbnails and recycle
// bins, snapshots, Windows' recycle bin and volume information. Case is ignored.
bool IsServiceFolderName(const std::string& name);

}  // namespace kavrosa
