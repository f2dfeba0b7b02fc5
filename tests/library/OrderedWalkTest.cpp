// The lazy walk against the full sorted walk, over trees made on disk: names equal but for case
// (files and folders), deep and wide trees, empty folders, links, service folders, and random
// trees over a small alphabet that makes every tie and prefix likely. A walk begun at a path and
// one that stops before it must give the same order turned round at that path.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "library/OrderedWalk.h"
#include "library/PathOrder.h"
#include "photo/Photograph.h"
#include "slideshow/PhotoFolder.h"
#include "tests/slideshow/PhotoFolderFiles.h"

namespace kavrosa {
namespace {

using testing_folders::TempFolder;

class CountingLister : public FolderLister {
 public:
  bool List(const std::string& path, std::vector<DirectoryEntry>& entries,
            size_t maxEntries) override {
    ++listings;
    return FolderLister::List(path, entries, maxEntries);
  }
  int listings = 0;
};

std::vector<std::string> Walk(const std::string& root, const std::string& from = "",
                              const std::string& until = "") {
  CountingLister lister;
  OrderedWalk walk(root, IsPhotographName, lister, from, until);
  PhotoTable table;
  uint32_t added = 0;
  std::vector<std::string> paths;
  while (walk.Next(table, added) != OrderedWalk::Step::kDone) {
  }
  for (size_t i = 0; i < table.photoCount(); ++i) paths.push_back(table.RelativePath(i));
  return paths;
}

// The full sorted walk, less what lies in service folders.
std::vector<std::string> Reference(const std::string& root) {
  std::vector<std::string> all = CollectPhotographs(root), kept;
  for (const std::string& path : all) {
    bool service = false;
    for (size_t start = 0, slash; (slash = path.find('/', start)) != std::string::npos;
         start = slash + 1) {
      service = service || IsServiceFolderName(path.substr(start, slash - start));
    }
    if (!service) kept.push_back(path);
  }
  return kept;
}

// Each k-th path as a resume point: from it to the end, then from the start up to it.
void ExpectRotationsAt(const std::string& root, const std::vector<std::string>& order,
                       size_t step) {
  for (size_t k = 0; k < order.size(); k += step) {
    std::vector<std::string> turned = Walk(root, order[k]);
    const std::vector<std::string> rest = Walk(root, "", order[k]);
    turned.insert(turned.end(), rest.begin(), rest.end());
    std::vector<std::string> expected = order;
    std::rotate(expected.begin(), expected.begin() + static_cast<std::ptrdiff_t>(k),
                expected.end());
    EXPECT_EQ(turned, expected) << "resumed at " << order[k];
  }
}

struct Tree {
  const char* name;
  std::vector<std::string> files;  // a trailing '/' makes an empty folder
};

class OrderedWalkTrees : public testing::TestWithParam<Tree> {};

TEST_P(OrderedWalkTrees, GivesTheFullSortedOrder) {
  TempFolder folder("kavrosa-walk-tree");
  for (const std::string& file : GetParam().files) {
    if (file.back() == '/') {
      std::filesystem::create_directories(folder.path() / file);
    } else {
      folder.Put(file, {1});
    }
  }
  const std::string root = folder.path().string();
  const std::vector<std::string> expected = Reference(root);
  ASSERT_FALSE(expected.empty());
  EXPECT_EQ(Walk(root), expected);
  ExpectRotationsAt(root, expected, std::max<size_t>(1, expected.size() / 7));
}

std::vector<std::string> DeepTree() {
  std::vector<std::string> files;
  std::string path;
  for (int depth = 0; depth < 40; ++depth) {  // deeper than the walk goes: cut alike
    path += (depth % 2 ? "Level" : "level") + std::to_string(depth) + "/";
    files.push_back(path + "p.jpg");
  }
  return files;
}

std::vector<std::string> WideTree() {
  std::vector<std::string> files;
  for (int i = 0; i < 300; ++i) files.push_back("wide/" + std::to_string(i * 7919 % 1000) + ".JPG");
  for (int i = 0; i < 30; ++i) files.push_back("w" + std::to_string(i) + "/x.jpg");
  return files;
}

INSTANTIATE_TEST_SUITE_P(
    Trees, OrderedWalkTrees,
    testing::Values(Tree{"case",
                         {"A/x.jpg", "a/X.jpg", "a/y.jpg", "A/Y.jpg", "a.jpg", "A.JPG", "A b.jpg",
                          "a b/c.jpg", "a-/z.jpg", "a/b/c.jpg", "A/B/d.jpg", "ab.jpg", "AB/e.jpg"}},
                    Tree{"deep", DeepTree()}, Tree{"wide", WideTree()},
                    Tree{"empty", {"e1/", "e2/sub/", "m/e3/", "m/p.jpg", "q.bmp", "z/"}},
                    Tree{
                        "service",
                        {"Album/@eaDir/p.jpg/SYNOPHOTO_THUMB_XL.jpg", "Album/@eaDir/q.jpg",
                         "Album/p.jpg", "#recycle/old.jpg", "#Snapshot/s.jpg", "$RECYCLE.BIN/r.jpg",
                         "System Volume Information/v.jpg", ".thumbnails/t.jpg", "keep/k.jpg"}}),
    [](const testing::TestParamInfo<Tree>& info) { return std::string(info.param.name); });

// Links, and names that end in a space or a dot, exist only on POSIX file systems (and the
// random trees would take minutes under Wine).
#ifndef _WIN32
TEST(OrderedWalk, LinksAreListedAsTheFullWalkListsThem) {
  TempFolder folder("kavrosa-walk-links");
  folder.Put("real/a.jpg", {1});
  folder.Put("real/b.jpg", {1});
  const auto root = folder.path();
  std::filesystem::create_directory_symlink(root / "real", root / "loop");       // never entered
  std::filesystem::create_directory_symlink(root, root / "real" / "up");         // nor this
  std::filesystem::create_symlink(root / "real" / "a.jpg", root / "alias.jpg");  // a file
  const std::vector<std::string> expected = Reference(root.string());
  EXPECT_EQ(expected, (std::vector<std::string>{"alias.jpg", "real/a.jpg", "real/b.jpg"}));
  EXPECT_EQ(Walk(root.string()), expected);
}

TEST(OrderedWalk, RandomTreesGiveTheFullSortedOrder) {
  // Few letters, both cases and the bytes that sort around '/', so that ties and prefixes abound.
  const std::string alphabet = "aAbB .-_0";
  for (uint32_t seed = 1; seed <= 12; ++seed) {
    std::mt19937 random(seed);
    TempFolder folder("kavrosa-walk-random");
    const auto name = [&] {
      std::string n;
      for (int i = 1 + static_cast<int>(random() % 3); i > 0; --i) n += alphabet[random() % 9];
      return n == "." || n == ".." || n.front() == '.' ? "x" + n : n;
    };
    for (int i = 0; i < 60; ++i) {
      std::string path;
      for (int depth = static_cast<int>(random() % 4); depth > 0; --depth) path += name() + "/";
      try {
        folder.Put(path + name() + (random() % 2 ? ".jpg" : ".JPG"), {1});
      } catch (const std::filesystem::filesystem_error&) {  // a file holds a folder's name
      }
    }
    const std::string root = folder.path().string();
    const std::vector<std::string> expected = Reference(root);
    EXPECT_EQ(Walk(root), expected) << "seed " << seed;
    ExpectRotationsAt(root, expected, 9);
  }
}

#endif

TEST(OrderedWalk, FirstPhotographNeedsOnlyTheListingsOnItsPath) {
  TempFolder folder("kavrosa-walk-lazy");
  for (int album = 0; album < 20; ++album)
    for (int i = 0; i < 5; ++i)
      folder.Put("Album " + std::to_string(10 + album) + "/sub/" + std::to_string(i) + ".jpg", {1});
  CountingLister lister;
  OrderedWalk walk(folder.path().string(), IsPhotographName, lister);
  PhotoTable table;
  uint32_t added = 0;
  while (walk.Next(table, added) != OrderedWalk::Step::kPhoto) {
  }
  EXPECT_EQ(table.RelativePath(added), "Album 10/sub/0.jpg");
  EXPECT_EQ(lister.listings, 3);  // the folder, the album, its subfolder
  // Resuming deep in the library lists only the folders on the way to it.
  CountingLister resumed;
  OrderedWalk from(folder.path().string(), IsPhotographName, resumed, "Album 25/sub/3.jpg");
  PhotoTable second;
  while (from.Next(second, added) != OrderedWalk::Step::kPhoto) {
  }
  EXPECT_EQ(second.RelativePath(added), "Album 25/sub/3.jpg");
  EXPECT_EQ(resumed.listings, 3);
}

}  // namespace
}  // namespace kavrosa
