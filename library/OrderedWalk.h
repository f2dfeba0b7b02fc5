// The lazy walk: photographs in exactly the show's path order, one at a time, listing a folder
// only when the order reaches it, so the first photograph needs only the listings along its own
// path. Folders whose names differ only in case are listed together, since their photographs
// interleave in that order. A walk may start at a given path (resuming at File) and stop before
// another; hidden entries, links into folders and service folders are skipped; all is bounded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "library/PhotoTable.h"
#include "platform/Directory.h"

namespace kavrosa {

constexpr size_t kMaxLibraryPhotographs = 1000000;
constexpr size_t kMaxLibraryEntries = 8000000;
constexpr int32_t kMaxLibraryDepth = 32;

// Where the walk gets folder listings: the real folders unless a test counts or changes them.
class FolderLister {
 public:
  virtual ~FolderLister() = default;
  virtual bool List(const std::string& path, std::vector<DirectoryEntry>& entries,
                    size_t maxEntries) {
    return ListDirectory(path, entries, maxEntries);
  }
};

using PhotographNameFilter = bool (*)(const std::string& name);

class OrderedWalk {
 public:
  enum class Step { kPhoto, kListed, kDone };

  // `from`: begin at the first photograph not before this relative path; `until`: end before the
  // first photograph not before it ("" for neither). At most `photoBudget` photographs are added.
  OrderedWalk(std::string root, PhotographNameFilter isPhotograph, FolderLister& lister,
              std::string from = std::string(), std::string until = std::string(),
              size_t photoBudget = kMaxLibraryPhotographs);

  // Adds the next photograph to `table` (kPhoto; `added` is its index there), or lists the next
  // folder or group of folders (kListed), or tells that the walk has ended (kDone).
  Step Next(PhotoTable& table, uint32_t& added);
  // Whether the next step lists a folder rather than hand out a photograph already listed.
  bool NextNeedsListing() const;
  bool done() const { return done_; }
  size_t listings() const { return listings_; }

 private:
  struct Item {
    std::string name;
    uint32_t parent;  // the table folder it was listed in
    bool isDirectory;
    uint64_t size;
  };
  struct Level {
    std::vector<Item> items;
    size_t next = 0;
    std::string folded;  // the level's path, ASCII folded, with a trailing '/' ("" at the top)
    std::vector<std::pair<uint32_t, std::string>> memberPaths;  // table folder, its path
    int32_t depth = 0;
  };

  void Expand(PhotoTable& table, const std::vector<uint32_t>& members, std::string folded,
              int32_t depth);
  std::string RealPath(const Level& level, const Item& item) const;
  bool SortsBefore(const Level& level, const Item& a, const Item& b) const;

  std::string root_;
  PhotographNameFilter isPhotograph_;
  FolderLister& lister_;
  std::string from_, fromFolded_, until_, untilFolded_;
  bool seeking_;
  size_t photoBudget_;
  std::vector<Level> stack_;
  bool started_ = false;
  bool done_ = false;
  size_t listings_ = 0;
  size_t entriesSeen_ = 0;
};

}  // namespace kavrosa
