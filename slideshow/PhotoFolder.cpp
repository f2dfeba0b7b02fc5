// Walking the photograph folder and ordering what it holds. The walk is an explicit stack, not
// recursion, with a depth and an entry bound; links are never entered, so a link that points up
// the tree cannot loop.
#include "slideshow/PhotoFolder.h"

#include <algorithm>
#include <utility>

#include "photo/Photograph.h"
#include "platform/Directory.h"

namespace kavrosa {
namespace {

char FoldAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

struct PendingFolder {
  std::string relative;  // "" for the folder itself
  int32_t depth;
};

}  // namespace

bool LessPathCaseless(const std::string& a, const std::string& b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    const auto x = static_cast<unsigned char>(FoldAscii(a[i]));
    const auto y = static_cast<unsigned char>(FoldAscii(b[i]));
    if (x != y) return x < y;
  }
  if (a.size() != b.size()) return a.size() < b.size();
  return a < b;
}

std::vector<std::string> CollectPhotographs(const std::string& folder) {
  std::vector<std::string> found;
  std::vector<PendingFolder> pending{{std::string(), 0}};
  size_t entriesSeen = 0;
  while (!pending.empty() && found.size() < kMaxPhotographs && entriesSeen < kMaxFolderEntries) {
    const PendingFolder current = std::move(pending.back());
    pending.pop_back();
    std::vector<DirectoryEntry> entries;
    const std::string path = current.relative.empty() ? folder : JoinPath(folder, current.relative);
    if (!ListDirectory(path, entries, kMaxFolderEntries - entriesSeen)) continue;
    entriesSeen += entries.size();
    for (const DirectoryEntry& entry : entries) {
      if (entry.isHidden) continue;
      const std::string relative =
          current.relative.empty() ? entry.name : current.relative + "/" + entry.name;
      if (entry.isDirectory) {
        if (!entry.isLink && current.depth + 1 < kMaxFolderDepth)
          pending.push_back({relative, current.depth + 1});
      } else if (IsPhotographName(entry.name) && found.size() < kMaxPhotographs) {
        found.push_back(relative);
      }
    }
  }
  std::sort(found.begin(), found.end(), LessPathCaseless);
  return found;
}

PhotoPlaylist::PhotoPlaylist(std::vector<std::string> paths, bool shuffle, uint32_t seed)
    : paths_(std::move(paths)), shuffle_(shuffle), random_(seed) {
  order_.resize(paths_.size());
  for (size_t i = 0; i < order_.size(); ++i) order_[i] = i;
  if (shuffle_) Reshuffle();
}

void PhotoPlaylist::Reshuffle() {
  const size_t previousLast = order_.empty() ? 0 : order_.back();
  std::shuffle(order_.begin(), order_.end(), random_);
  if (order_.size() > 1 && position_ != 0 && order_.front() == previousLast)
    std::swap(order_[0], order_[1]);
}

void PhotoPlaylist::ResumeAt(const std::string& relativePath) {
  const auto found = std::find(paths_.begin(), paths_.end(), relativePath);
  if (found == paths_.end()) return;
  const auto index = static_cast<size_t>(found - paths_.begin());
  const auto at = std::find(order_.begin(), order_.end(), index);
  if (shuffle_) {
    // The resumed photograph opens the cycle; the rest keep their shuffled places.
    std::iter_swap(order_.begin() + static_cast<std::ptrdiff_t>(position_), at);
  } else {
    position_ = static_cast<size_t>(at - order_.begin());
  }
}

const std::string& PhotoPlaylist::Next() {
  static const std::string kNone;
  if (paths_.empty()) return kNone;
  if (position_ >= order_.size()) {
    if (shuffle_) Reshuffle();
    position_ = 0;
  }
  return paths_[order_[position_++]];
}

}  // namespace kavrosa
