// The photographs of a folder and the order they are shown in. Collecting walks the folder and
// its subfolders (hidden entries, links into folders and files the photograph room does not
// name skipped, both bounded);
// the playlist hands out one path after another, in name order or shuffled anew each cycle.
#pragma once

#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace kavrosa {

// Bounds on a walk, so that a huge or looping tree cannot hold the worker for ever.
constexpr size_t kMaxPhotographs = 100000;
constexpr size_t kMaxFolderEntries = 400000;
constexpr int32_t kMaxFolderDepth = 32;

// Path order: byte by byte with ASCII letters folded to one case (names in other scripts
// compare by their UTF-8 bytes); paths equal but for case fall back to plain byte order, so
// that the order is total.
bool LessPathCaseless(const std::string& a, const std::string& b);

// The photographs under `folder`, as paths relative to it with '/' between names, sorted by
// LessPathCaseless. Empty when the folder cannot be read or holds none.
std::vector<std::string> CollectPhotographs(const std::string& folder);

class PhotoPlaylist {
 public:
  PhotoPlaylist(std::vector<std::string> paths, bool shuffle, uint32_t seed);

  // Makes `relativePath` the next one handed out, when the list holds it.
  void ResumeAt(const std::string& relativePath);
  // The next path to try. After the last of a cycle a new cycle begins; shuffled, it never
  // starts with the path that ended the previous one (with two or more paths).
  const std::string& Next();

  size_t size() const { return paths_.size(); }
  bool empty() const { return paths_.empty(); }

 private:
  void Reshuffle();

  std::vector<std::string> paths_;
  std::vector<size_t> order_;
  size_t position_ = 0;
  bool shuffle_ = false;
  std::mt19937 random_;
};

}  // namespace kavrosa
