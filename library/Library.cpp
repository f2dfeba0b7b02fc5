// The library engine. In name order the table is the order: a cold walk appends photographs in
// path order (from the File to the end, then from the start to the File, rotated into place when
// it ends). A shuffled cycle is a permutation of the table with a place in it; photographs found
// later go to random places not yet reached, so each comes once per cycle. A refresh walks into a
// new table and, when whole, maps the cycle onto it by one merge of the two sorted tables.
#include "library/Library.h"

#include <algorithm>
#include <utility>

#include "library/LibraryIndex.h"
#include "library/PathOrder.h"

namespace kavrosa {

Library::Library(LibraryOptions options, FolderLister& lister)
    : options_(std::move(options)), lister_(lister), random_(options_.seed) {
  if (!options_.cacheFolder.empty())
    indexPath_ = LibraryIndexPath(options_.cacheFolder, options_.folder);
  LibraryIndex index;
  if (!indexPath_.empty() && ReadLibraryIndex(indexPath_, options_.folder, index) &&
      index.table.photoCount() > 0) {
    fromIndex_ = true;
    table_ = std::move(index.table);
    if (options_.shuffle) {
      order_ = std::move(index.order);
      if (order_.empty()) {
        for (uint32_t i = 0; i < table_.photoCount(); ++i) order_.push_back(i);
        std::shuffle(order_.begin(), order_.end(), random_);
        indexDirty_ = true;
      }
    }
    size_t found = 0;
    if (!options_.resumeFile.empty() && FindInTable(options_.resumeFile, found)) {
      if (options_.shuffle) {
        position_ = static_cast<size_t>(
            std::find(order_.begin(), order_.end(), static_cast<uint32_t>(found)) - order_.begin());
      } else {
        cursor_ = found;
      }
    }
    StartWalk(Pass::kRefresh);
    return;
  }
  resumePending_ = !options_.resumeFile.empty();
  if (!resumePending_) StartWalk(Pass::kWhole);
}

bool Library::FindInTable(const std::string& relative, size_t& found) const {
  size_t low = 0, high = table_.photoCount();
  while (low < high) {
    const size_t middle = low + (high - low) / 2;
    if (LessPath(table_.RelativePath(middle), relative)) {
      low = middle + 1;
    } else {
      high = middle;
    }
  }
  found = low;
  return low < table_.photoCount() && table_.RelativePath(low) == relative;
}

void Library::StartWalk(Pass pass) {
  pass_ = pass;
  const std::string& file = options_.resumeFile;
  const size_t budget =
      kMaxLibraryPhotographs - std::min(table_.photoCount(), kMaxLibraryPhotographs);
  switch (pass) {
    case Pass::kWhole:
      walk_ = std::make_unique<OrderedWalk>(options_.folder, options_.isPhotograph, lister_);
      break;
    case Pass::kFromFile:
      walk_ = std::make_unique<OrderedWalk>(options_.folder, options_.isPhotograph, lister_, file);
      break;
    case Pass::kUntilFile:
      firstPassCount_ = table_.photoCount();
      walk_ = std::make_unique<OrderedWalk>(options_.folder, options_.isPhotograph, lister_,
                                            std::string(), file, budget);
      break;
    case Pass::kRefresh:
      fresh_ = std::make_unique<PhotoTable>();
      walk_ = std::make_unique<OrderedWalk>(options_.folder, options_.isPhotograph, lister_);
      break;
  }
}

void Library::StepWalk() {
  uint32_t added = 0;
  PhotoTable& target = pass_ == Pass::kRefresh ? *fresh_ : table_;
  switch (walk_->Next(target, added)) {
    case OrderedWalk::Step::kPhoto:
      if (pass_ != Pass::kRefresh) Added(added);
      break;
    case OrderedWalk::Step::kListed:
      ++listings_;
      break;
    case OrderedWalk::Step::kDone:
      WalkEnded();
      break;
  }
}

void Library::Added(uint32_t photo) {
  if (resumeShown_ && table_.RelativePath(photo) == options_.resumeFile) {
    // The File, already on screen: it counts as shown in this cycle.
    resumeShown_ = false;
    if (options_.shuffle) {
      order_.push_back(photo);
      std::swap(order_[position_], order_.back());
      ++position_;
    } else if (cursor_ == photo) {
      ++cursor_;
    }
    return;
  }
  if (options_.shuffle) InsertIntoCycle(photo);
}

void Library::InsertIntoCycle(uint32_t photo) {
  order_.push_back(photo);
  std::uniform_int_distribution<size_t> place(position_, order_.size() - 1);
  std::swap(order_[place(random_)], order_.back());
}

void Library::WalkEnded() {
  walk_.reset();
  walkEnded_ = std::chrono::steady_clock::now();
  switch (pass_) {
    case Pass::kFromFile:
      resumeShown_ = false;
      StartWalk(Pass::kUntilFile);
      return;
    case Pass::kUntilFile: {
      // [File, end) then [start, File): rotated into path order, and the cycle with it.
      const size_t first = firstPassCount_, count = table_.photoCount();
      table_.RotatePhotos(first);
      const auto moved = [&](size_t i) { return i < first ? i + (count - first) : i - first; };
      if (count > 0) cursor_ = moved(cursor_ % count);
      for (uint32_t& n : order_) n = static_cast<uint32_t>(moved(n));
      if (lastShown_ != kNoFolder) lastShown_ = static_cast<uint32_t>(moved(lastShown_));
      break;
    }
    case Pass::kRefresh:
      MergeRefresh();
      break;
    case Pass::kWhole:
      break;
  }
  indexDirty_ = true;
}

void Library::MergeRefresh() {
  PhotoTable fresh = std::move(*fresh_);
  fresh_.reset();
  // Old photograph i is new photograph map[i], or kNoFolder when it has gone.
  std::vector<uint32_t> map(table_.photoCount(), kNoFolder);
  std::vector<bool> known(fresh.photoCount(), false);
  for (size_t i = 0, j = 0; i < table_.photoCount() && j < fresh.photoCount();) {
    const std::string a = table_.RelativePath(i), b = fresh.RelativePath(j);
    if (a == b) {
      map[i++] = static_cast<uint32_t>(j);
      known[j++] = true;
    } else if (LessPath(a, b)) {
      ++i;
    } else {
      ++j;
    }
  }
  if (options_.shuffle) {
    std::vector<uint32_t> order;
    size_t position = 0;
    for (size_t k = 0; k < order_.size(); ++k) {
      if (map[order_[k]] == kNoFolder) continue;
      order.push_back(map[order_[k]]);
      if (k < position_) ++position;
    }
    order_ = std::move(order);
    position_ = position;
    for (uint32_t j = 0; j < fresh.photoCount(); ++j) {
      if (!known[j]) InsertIntoCycle(j);
    }
    lastShown_ = lastShown_ < map.size() ? map[lastShown_] : kNoFolder;
    table_ = std::move(fresh);
    return;
  }
  // Name order: on after the photograph shown last, so that one added just after it comes next.
  const bool atStart = cursor_ == 0 || table_.photoCount() == 0;
  const std::string previous = atStart ? std::string() : table_.RelativePath(cursor_ - 1);
  table_ = std::move(fresh);
  lastShown_ = kNoFolder;
  cursor_ = 0;
  if (!atStart && FindInTable(previous, cursor_)) ++cursor_;
}

size_t Library::Remaining() const {
  return options_.shuffle ? order_.size() - std::min(position_, order_.size())
                          : table_.photoCount() - std::min(cursor_, table_.photoCount());
}

void Library::NewCycle() {
  if (options_.shuffle) {
    std::shuffle(order_.begin(), order_.end(), random_);
    if (order_.size() > 1 && order_.front() == lastShown_) std::swap(order_[0], order_[1]);
    position_ = 0;
    indexDirty_ = true;
  } else {
    cursor_ = 0;
  }
}

bool Library::Next(LibraryCandidate& candidate) {
  if (resumePending_) {
    resumePending_ = false;
    candidate = LibraryCandidate{options_.resumeFile, kNoFolder, 0};
    return true;
  }
  // A cold walk goes on until there is a photograph to give; in shuffle, until what has been
  // listed so far is all in the cycle, so that the choice is among all of it.
  while (walk_ != nullptr && pass_ != Pass::kRefresh &&
         (Remaining() == 0 || (options_.shuffle && !walk_->NextNeedsListing()))) {
    StepWalk();
  }
  if (Remaining() == 0) {
    if (table_.photoCount() == 0) return false;
    NewCycle();
  }
  const uint32_t photo = options_.shuffle ? order_[position_++] : static_cast<uint32_t>(cursor_++);
  candidate = LibraryCandidate{table_.RelativePath(photo), photo, table_.photo(photo).size};
  return true;
}

void Library::Shown(const LibraryCandidate& candidate) {
  failuresInARow_ = 0;
  if (candidate.photo == kNoFolder) {
    // The File opened before any listing: walk on from it, then round to it.
    resumeShown_ = true;
    StartWalk(Pass::kFromFile);
    return;
  }
  lastShown_ = candidate.photo;
}

void Library::NotShown(const LibraryCandidate& candidate, uint32_t currentSize) {
  if (candidate.photo == kNoFolder) {
    StartWalk(Pass::kWhole);  // the File did not load: the folder from its start, as without one
    return;
  }
  ++failuresInARow_;
  if (currentSize != 0 && candidate.photo < table_.photoCount())
    table_.photo(candidate.photo).size = currentSize;  // compared afresh in a later cycle
}

bool Library::NothingShowable() const {
  return walkEnded_ != std::chrono::steady_clock::time_point() && walk_ == nullptr &&
         failuresInARow_ >= table_.photoCount();
}

void Library::SaveIndex() {
  indexDirty_ = false;
  if (indexPath_.empty()) return;
  static const std::vector<uint32_t> kNoCycle;
  WriteLibraryIndex(indexPath_, options_.folder, table_, options_.shuffle ? order_ : kNoCycle);
}

bool Library::WorkInBackground() {
  if (resumePending_) return false;  // the File first: nothing is listed before it is tried
  if (walk_ != nullptr) {
    const size_t before = listings_;
    while (walk_ != nullptr && listings_ == before) StepWalk();
    return true;
  }
  if (indexDirty_) {
    SaveIndex();
    return true;
  }
  if (std::chrono::steady_clock::now() - walkEnded_ >= kLibraryRefreshAfter) {
    StartWalk(Pass::kRefresh);
    return true;
  }
  return false;
}

}  // namespace kavrosa
