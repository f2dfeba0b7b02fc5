// The lazy ordered walk. Within one folder (or group of folders equal but for case) a folder's
// photographs sort as if its name ended in '/', so sorting the listing by that key and walking
// depth first gives the order of sorting every full path; entries equal but for case fall back
// to their full paths' bytes, as the path order does.
#include "library/OrderedWalk.h"

#include <algorithm>
#include <utility>

#include "library/PathOrder.h"

namespace kavrosa {
namespace {

// Compares name (+ '/' for a folder) with ASCII case folded, without building the keys.
int CompareKeys(const std::string& a, bool aFolder, const std::string& b, bool bFolder) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    const auto x = static_cast<unsigned char>(FoldAscii(a[i]));
    const auto y = static_cast<unsigned char>(FoldAscii(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  const auto tail = [](const std::string& s, bool folder, size_t i) -> int {
    if (i < s.size()) return static_cast<unsigned char>(FoldAscii(s[i]));
    if (i == s.size() && folder) return '/';
    return -1;  // ended
  };
  for (size_t i = n;; ++i) {
    const int x = tail(a, aFolder, i), y = tail(b, bFolder, i);
    if (x != y) return x < y ? -1 : 1;
    if (x < 0) return 0;
  }
}

std::string Folded(std::string text) {
  for (char& c : text) c = FoldAscii(c);
  return text;
}

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

OrderedWalk::OrderedWalk(std::string root, PhotographNameFilter isPhotograph, FolderLister& lister,
                         std::string from, std::string until, size_t photoBudget)
    : root_(std::move(root)),
      isPhotograph_(isPhotograph),
      lister_(lister),
      from_(std::move(from)),
      fromFolded_(Folded(from_)),
      until_(std::move(until)),
      untilFolded_(Folded(until_)),
      seeking_(!from_.empty()),
      photoBudget_(photoBudget) {}

std::string OrderedWalk::RealPath(const Level& level, const Item& item) const {
  for (const auto& member : level.memberPaths) {
    if (member.first == item.parent)
      return member.second.empty() ? item.name : member.second + "/" + item.name;
  }
  return item.name;
}

bool OrderedWalk::SortsBefore(const Level& level, const Item& a, const Item& b) const {
  const int keys = CompareKeys(a.name, a.isDirectory, b.name, b.isDirectory);
  if (keys != 0) return keys < 0;
  if (a.isDirectory) return false;  // one group: listed together
  return RealPath(level, a) < RealPath(level, b);
}

void OrderedWalk::Expand(PhotoTable& table, const std::vector<uint32_t>& members,
                         std::string folded, int32_t depth) {
  Level level;
  level.folded = std::move(folded);
  level.depth = depth;
  std::vector<DirectoryEntry> entries;
  for (const uint32_t member : members) {
    const std::string relative = table.FolderPath(member);
    level.memberPaths.emplace_back(member, relative);
    entries.clear();
    const size_t room = kMaxLibraryEntries - std::min(entriesSeen_, kMaxLibraryEntries);
    ++listings_;
    if (room == 0 ||
        !lister_.List(relative.empty() ? root_ : JoinPath(root_, relative), entries, room)) {
      continue;
    }
    entriesSeen_ += entries.size();
    for (DirectoryEntry& entry : entries) {
      if (entry.isHidden || entry.name.empty() || entry.name.size() > kMaxNameBytes) continue;
      if (entry.isDirectory) {
        if (entry.isLink || depth + 1 >= kMaxLibraryDepth || IsServiceFolderName(entry.name))
          continue;
        level.items.push_back(Item{std::move(entry.name), member, true, 0});
      } else if (isPhotograph_(entry.name)) {
        level.items.push_back(Item{std::move(entry.name), member, false, entry.size});
      }
    }
  }
  std::sort(level.items.begin(), level.items.end(),
            [&](const Item& a, const Item& b) { return SortsBefore(level, a, b); });
  stack_.push_back(std::move(level));
}

bool OrderedWalk::NextNeedsListing() const {
  if (done_) return false;
  if (!started_) return true;
  if (stack_.empty()) return false;
  const Level& top = stack_.back();
  return top.next >= top.items.size() || top.items[top.next].isDirectory;
}

OrderedWalk::Step OrderedWalk::Next(PhotoTable& table, uint32_t& added) {
  while (!done_) {
    if (!started_) {
      started_ = true;
      Expand(table, {0}, std::string(), 0);
      return Step::kListed;
    }
    if (stack_.empty() || photoBudget_ == 0) break;
    Level& top = stack_.back();
    if (top.next >= top.items.size()) {
      stack_.pop_back();
      continue;
    }
    const Item& item = top.items[top.next];
    if (!item.isDirectory) {
      const std::string path = RealPath(top, item);
      if (seeking_) {
        if (LessPath(path, from_)) {
          ++top.next;
          continue;
        }
        seeking_ = false;
      }
      if (!until_.empty() && !LessPath(path, until_)) break;
      added = table.AddPhoto(top.items[top.next].parent, item.name, item.size);
      ++top.next;
      --photoBudget_;
      return Step::kPhoto;
    }
    // A folder, with those after it that differ only in case: one group, one level.
    size_t end = top.next + 1;
    while (end < top.items.size() && top.items[end].isDirectory &&
           CompareKeys(top.items[end].name, true, item.name, true) == 0) {
      ++end;
    }
    const std::string key = top.folded + Folded(item.name) + "/";
    const bool holdsBound = StartsWith(fromFolded_, key);
    if (seeking_ && !holdsBound) {
      if (key < fromFolded_) {
        top.next = end;
        continue;
      }
      seeking_ = false;
    }
    if (!until_.empty() && !StartsWith(untilFolded_, key) && key > untilFolded_) break;
    std::vector<uint32_t> members;
    for (size_t i = top.next; i < end; ++i)
      members.push_back(table.AddFolder(top.items[i].parent, top.items[i].name));
    const int32_t depth = top.depth + 1;
    top.next = end;
    Expand(table, members, key, depth);  // invalidates `top`
    return Step::kListed;
  }
  done_ = true;
  stack_.clear();
  return Step::kDone;
}

}  // namespace kavrosa
