// The photograph library behind a folder show: which photograph comes next, in name order or in
// a shuffled cycle that survives restarts, while the folder is walked lazily (or its index read,
// then refreshed by a new walk in the background). Everything here runs on the folder worker;
// nothing waits longer than one folder listing at a time, except finding the next photograph.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "library/OrderedWalk.h"
#include "library/PhotoTable.h"

namespace kavrosa {

// A walk that ended this long ago is walked again while the show runs.
constexpr std::chrono::minutes kLibraryRefreshAfter{30};

struct LibraryOptions {
  std::string folder;       // UTF-8
  std::string cacheFolder;  // where the index lives; "" for no index
  std::string resumeFile;   // relative to the folder, '/' between names; "" for none
  bool shuffle = false;
  uint32_t seed = 0;
  PhotographNameFilter isPhotograph = nullptr;
};

struct LibraryCandidate {
  std::string relative;
  uint32_t photo = kNoFolder;  // its number in the table; kNoFolder for the resumed File
  uint32_t listedSize = 0;     // low 32 bits of the size listed; 0 when not known
};

class Library {
 public:
  Library(LibraryOptions options, FolderLister& lister);
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;

  // The next photograph to try, walking as far as that needs. False when a whole walk found none.
  bool Next(LibraryCandidate& candidate);
  // What became of the candidate: shown, or not (damaged, gone, still being written: it comes up
  // again in a later cycle). `currentSize` is its size now, when known (0 otherwise).
  void Shown(const LibraryCandidate& candidate);
  void NotShown(const LibraryCandidate& candidate, uint32_t currentSize);
  // True when every photograph of a whole walk failed, one after another.
  bool NothingShowable() const;

  // One piece of work that no hand-over waits for: a folder listing of a walk, merging a finished
  // refresh, writing the index. False when there was none to do.
  bool WorkInBackground();

  const PhotoTable& table() const { return table_; }
  bool walkDone() const { return walk_ == nullptr; }
  bool fromIndex() const { return fromIndex_; }
  size_t listings() const { return listings_; }

 private:
  enum class Pass { kWhole, kFromFile, kUntilFile, kRefresh };

  void StartWalk(Pass pass);
  void StepWalk();  // one step of the current walk
  void Added(uint32_t photo);
  void WalkEnded();
  void MergeRefresh();
  void InsertIntoCycle(uint32_t photo);
  void NewCycle();
  void SaveIndex();
  size_t Remaining() const;
  bool FindInTable(const std::string& relative, size_t& found) const;

  LibraryOptions options_;
  FolderLister& lister_;
  std::mt19937 random_;
  std::string indexPath_;
  PhotoTable table_;
  std::unique_ptr<PhotoTable> fresh_;  // a refresh walk's table until it is merged
  std::unique_ptr<OrderedWalk> walk_;  // null once the walk has ended
  Pass pass_ = Pass::kWhole;
  size_t firstPassCount_ = 0;
  size_t cursor_ = 0;            // name order: the next photograph's number
  std::vector<uint32_t> order_;  // shuffle: the cycle
  size_t position_ = 0;          // shuffle: the next place in it
  bool resumePending_ = false;   // the File is tried before anything is listed
  bool resumeShown_ = false;     // and was shown: the walk must not bring it again this cycle
  uint32_t lastShown_ = kNoFolder;
  size_t failuresInARow_ = 0;
  bool fromIndex_ = false;
  bool indexDirty_ = false;
  std::chrono::steady_clock::time_point walkEnded_;
  size_t listings_ = 0;
};

}  // namespace kavrosa
