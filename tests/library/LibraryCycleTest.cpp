// The library's cycles: shuffled, each photograph once per cycle across restarts (the cycle
// lives in the index and File tells the place in it); photographs added during a cycle join it
// and removed ones leave it, in shuffle and in name order.
#include <gtest/gtest.h>

#include <set>

#include "library/Library.h"
#include "photo/Photograph.h"
#include "tests/slideshow/PhotoFolderFiles.h"

namespace kavrosa {
namespace {

using testing_folders::TempFolder;

class LibraryCycleTest : public testing::Test {
 protected:
  LibraryOptions Options(bool shuffle, const std::string& resume = "") {
    LibraryOptions options;
    options.folder = photos_.path().string();
    options.cacheFolder = cache_.path().string();
    options.shuffle = shuffle;
    options.seed = ++seed_;
    options.resumeFile = resume;
    options.isPhotograph = IsPhotographName;
    return options;
  }
  // Shows the next photograph (every one loads here) and returns its path.
  static std::string ShowNext(Library& library) {
    LibraryCandidate candidate;
    EXPECT_TRUE(library.Next(candidate));
    library.Shown(candidate);
    return candidate.relative;
  }
  static void Settle(Library& library) {
    while (library.WorkInBackground()) {
    }
  }

  TempFolder photos_{"kavrosa-cycle-photos"}, cache_{"kavrosa-cycle-cache"};
  FolderLister lister_;
  uint32_t seed_ = 0;
};

TEST_F(LibraryCycleTest, ShuffleShowsEachPhotographOncePerCycleAcrossRestarts) {
  std::set<std::string> all;
  for (int i = 0; i < 12; ++i) {
    const std::string name = "album" + std::to_string(i % 3) + "/p" + std::to_string(i) + ".jpg";
    photos_.Put(name, {1});
    all.insert(name);
  }
  std::set<std::string> shown;
  std::string file;
  {
    Library first(Options(true), lister_);
    for (int i = 0; i < 3; ++i) shown.insert(file = ShowNext(first));
    Settle(first);  // the walk ends and the index is written
  }
  // Started nine times more, each run showing the photograph it stopped on, then one new one.
  for (int run = 0; run < 9; ++run) {
    Library library(Options(true, file), lister_);
    ASSERT_TRUE(library.fromIndex());
    EXPECT_EQ(ShowNext(library), file);
    file = ShowNext(library);
    EXPECT_TRUE(shown.insert(file).second) << file << " came twice in one cycle";
    Settle(library);
  }
  EXPECT_EQ(shown, all);
}

TEST_F(LibraryCycleTest, AdditionsJoinAndRemovalsLeaveTheShuffledCycle) {
  for (const char* name : {"a.jpg", "b.jpg", "c.jpg", "d.jpg", "e.jpg", "f.jpg"})
    photos_.Put(name, {1});
  {
    Library cold(Options(true), lister_);
    Settle(cold);
  }
  Library library(Options(true), lister_);  // from the index, its refresh not yet walked
  std::set<std::string> shown{ShowNext(library), ShowNext(library)};
  std::set<std::string> expected = {"a.jpg", "b.jpg", "c.jpg",    "d.jpg",
                                    "e.jpg", "f.jpg", "new1.jpg", "sub/new2.jpg"};
  std::string removed;
  for (const std::string& name : expected) {
    if (removed.empty() && name.find("new") == std::string::npos && !shown.count(name))
      removed = name;
  }
  std::filesystem::remove(photos_.path() / removed);
  expected.erase(removed);
  photos_.Put("new1.jpg", {1});
  photos_.Put("sub/new2.jpg", {1});
  Settle(library);
  for (size_t i = shown.size(); i < expected.size(); ++i)
    EXPECT_TRUE(shown.insert(ShowNext(library)).second);
  EXPECT_EQ(shown, expected);
}

TEST_F(LibraryCycleTest, AdditionsAndRemovalsTakeTheirPlacesInNameOrder) {
  for (const char* name : {"a.jpg", "b.jpg", "d.jpg", "e.jpg"}) photos_.Put(name, {1});
  {
    Library cold(Options(false), lister_);
    Settle(cold);
  }
  Library library(Options(false, "b.jpg"), lister_);
  EXPECT_EQ(ShowNext(library), "b.jpg");
  photos_.Put("c.jpg", {1});
  std::filesystem::remove(photos_.path() / "d.jpg");
  Settle(library);
  std::vector<std::string> next;
  for (int i = 0; i < 4; ++i) next.push_back(ShowNext(library));
  EXPECT_EQ(next, (std::vector<std::string>{"c.jpg", "e.jpg", "a.jpg", "b.jpg"}));
}

TEST_F(LibraryCycleTest, ColdResumeAtFileGoesOnFromItAndRoundToIt) {
  for (const char* name : {"a/1.jpg", "a/2.jpg", "B/1.jpg", "c.jpg"}) photos_.Put(name, {1});
  Library library(Options(false, "B/1.jpg"), lister_);
  std::vector<std::string> shown;
  for (int i = 0; i < 6; ++i) {
    shown.push_back(ShowNext(library));
    if (i == 2) Settle(library);  // the walk ends mid-cycle: the table turns into path order
  }
  EXPECT_EQ(shown, (std::vector<std::string>{"B/1.jpg", "c.jpg", "a/1.jpg", "a/2.jpg", "B/1.jpg",
                                             "c.jpg"}));
  EXPECT_EQ(library.listings(), 5u);  // each folder once, and the root and B again on the way back
}

}  // namespace
}  // namespace kavrosa
