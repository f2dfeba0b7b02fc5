// The library's list of photographs, small enough for a million: a table of folders (each a
// parent and a name), a table of photographs (a folder, a name, the size listed) and all names
// in one pool of characters. A path is rebuilt from the parents when it is needed, so a
// photograph costs 16 bytes beyond its name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kavrosa {

constexpr uint32_t kNoFolder = 0xFFFFFFFFu;
constexpr size_t kMaxNameBytes = 0xFFFF;

struct TableFolder {
  uint32_t parent;  // kNoFolder for the library's own folder
  uint32_t nameOffset;
  uint16_t nameLength;
};

struct TablePhoto {
  uint32_t folder;
  uint32_t nameOffset;
  uint16_t nameLength;
  uint8_t flags;     // reserved, 0
  uint8_t reserved;  // 0
  uint32_t size;     // the listed size's low 32 bits: enough to see a file change
};

class PhotoTable {
 public:
  // The library's folder is folder 0.
  PhotoTable();

  uint32_t AddFolder(uint32_t parent, const std::string& name);
  uint32_t AddPhoto(uint32_t folder, const std::string& name, uint64_t size);

  size_t photoCount() const { return photos_.size(); }
  size_t folderCount() const { return folders_.size(); }
  const TablePhoto& photo(size_t i) const { return photos_[i]; }
  TablePhoto& photo(size_t i) { return photos_[i]; }
  const TableFolder& folder(size_t i) const { return folders_[i]; }
  const std::string& pool() const { return pool_; }

  // "sub/deeper/name.jpg": relative to the library's folder, '/' between names.
  std::string RelativePath(size_t photo) const;
  std::string FolderPath(uint32_t folder) const;  // "" for folder 0, else "sub/deeper"

  // Puts photographs [first, end) before [0, first): a walk that began in the middle, made whole.
  void RotatePhotos(size_t first);
  // Bytes held, for measurements.
  size_t MemoryBytes() const;

  // The index reader builds a table from its parts (checked by the reader).
  static PhotoTable FromParts(std::vector<TableFolder> folders, std::vector<TablePhoto> photos,
                              std::string pool);
  const std::vector<TableFolder>& folders() const { return folders_; }
  const std::vector<TablePhoto>& photos() const { return photos_; }

 private:
  uint32_t AddName(const std::string& name);

  std::vector<TableFolder> folders_;
  std::vector<TablePhoto> photos_;
  std::string pool_;
};

}  // namespace kavrosa
