// The library's index: what the last walk found (folders, photographs, names) and the shuffled
// cycle, so that a later start shows a photograph before walking again. One file per folder in
// the user's cache folder, written whole and atomically; read with a bound, and ignored unless
// every count, offset and the checksum hold, since anything may have been left in its place.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "library/PhotoTable.h"

namespace kavrosa {

constexpr uint32_t kLibraryIndexVersion = 1;
constexpr uint64_t kMaxLibraryIndexBytes = 256u * 1024u * 1024u;

struct LibraryIndex {
  PhotoTable table;
  // The shuffled cycle as photograph numbers of `table`, each once; empty in name order.
  std::vector<uint32_t> order;
};

// "<cacheFolder>/<16 hex digits of the folder's hash>.index".
std::string LibraryIndexPath(const std::string& cacheFolder, const std::string& folder);

// The file's bytes for the library at `folder`: its table and its cycle (empty in name order).
std::vector<uint8_t> EncodeLibraryIndex(const std::string& folder, const PhotoTable& table,
                                        const std::vector<uint32_t>& order);
// False (and `index` untouched) for anything but a whole index of this version for `folder`.
bool DecodeLibraryIndex(const std::vector<uint8_t>& bytes, const std::string& folder,
                        LibraryIndex& index);

// Through the platform: a bounded read, an atomic replace (making the cache folder as needed).
bool ReadLibraryIndex(const std::string& path, const std::string& folder, LibraryIndex& index);
bool WriteLibraryIndex(const std::string& path, const std::string& folder, const PhotoTable& table,
                       const std::vector<uint32_t>& order);

}  // namespace kavrosa
