// The compact photograph table. Names are appended to one pool and never removed: a table is
// rebuilt whole by a new walk rather than edited, so the pool never holds dead names for long.
#include "library/PhotoTable.h"

#include <algorithm>
#include <utility>

namespace kavrosa {

PhotoTable::PhotoTable() {
  folders_.push_back(TableFolder{kNoFolder, 0, 0});
}

uint32_t PhotoTable::AddName(const std::string& name) {
  const auto offset = static_cast<uint32_t>(pool_.size());
  pool_.append(name, 0, std::min(name.size(), kMaxNameBytes));
  return offset;
}

uint32_t PhotoTable::AddFolder(uint32_t parent, const std::string& name) {
  const uint32_t offset = AddName(name);
  folders_.push_back(
      TableFolder{parent, offset, static_cast<uint16_t>(std::min(name.size(), kMaxNameBytes))});
  return static_cast<uint32_t>(folders_.size() - 1);
}

uint32_t PhotoTable::AddPhoto(uint32_t folder, const std::string& name, uint64_t size) {
  const uint32_t offset = AddName(name);
  photos_.push_back(TablePhoto{folder, offset,
                               static_cast<uint16_t>(std::min(name.size(), kMaxNameBytes)), 0, 0,
                               static_cast<uint32_t>(size)});
  return static_cast<uint32_t>(photos_.size() - 1);
}

std::string PhotoTable::FolderPath(uint32_t folder) const {
  std::vector<uint32_t> chain;
  for (uint32_t f = folder; f != 0 && f < folders_.size(); f = folders_[f].parent) {
    chain.push_back(f);
    if (chain.size() > folders_.size()) break;  // a loop: only a damaged table has one
  }
  std::string path;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    if (!path.empty()) path += '/';
    path.append(pool_, folders_[*it].nameOffset, folders_[*it].nameLength);
  }
  return path;
}

std::string PhotoTable::RelativePath(size_t photo) const {
  const TablePhoto& p = photos_[photo];
  std::string path = FolderPath(p.folder);
  if (!path.empty()) path += '/';
  path.append(pool_, p.nameOffset, p.nameLength);
  return path;
}

void PhotoTable::RotatePhotos(size_t first) {
  if (first == 0 || first >= photos_.size()) return;
  std::rotate(photos_.begin(), photos_.begin() + static_cast<std::ptrdiff_t>(first), photos_.end());
}

size_t PhotoTable::MemoryBytes() const {
  return folders_.capacity() * sizeof(TableFolder) + photos_.capacity() * sizeof(TablePhoto) +
         pool_.capacity();
}

PhotoTable PhotoTable::FromParts(std::vector<TableFolder> folders, std::vector<TablePhoto> photos,
                                 std::string pool) {
  PhotoTable table;
  table.folders_ = std::move(folders);
  table.photos_ = std::move(photos);
  table.pool_ = std::move(pool);
  return table;
}

}  // namespace kavrosa
