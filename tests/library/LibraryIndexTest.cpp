// The index file: a whole one reads back exactly; every truncation, every flipped byte, random
// bytes, a newer version, another folder's index are refused; and a library whose index is
// damaged walks its folder and writes a good one in its place.
#include <gtest/gtest.h>

#include <random>

#include "library/Library.h"
#include "library/LibraryIndex.h"
#include "platform/FileIo.h"
#include "platform/UserFiles.h"
#include "photo/Photograph.h"
#include "tests/slideshow/PhotoFolderFiles.h"

namespace kavrosa {
namespace {

using testing_folders::TempFolder;

LibraryIndex SmallIndex() {
  LibraryIndex index;
  const uint32_t album = index.table.AddFolder(0, "Album");
  const uint32_t deeper = index.table.AddFolder(album, "写真");
  index.table.AddPhoto(0, "a.jpg", 1000);
  index.table.AddPhoto(album, "b.jpg", 70000);
  index.table.AddPhoto(deeper, "c.jpg", 5);
  index.order = {2, 0, 1};
  return index;
}

std::vector<std::string> Paths(const PhotoTable& table) {
  std::vector<std::string> paths;
  for (size_t i = 0; i < table.photoCount(); ++i) paths.push_back(table.RelativePath(i));
  return paths;
}

// The checksum over all but the last 8 bytes, put back after a deliberate change.
void Reseal(std::vector<uint8_t>& bytes) {
  uint64_t hash = 0xcbf29ce484222325ull;
  for (size_t i = 0; i + 8 < bytes.size(); ++i) hash = (hash ^ bytes[i]) * 0x100000001b3ull;
  for (int i = 0; i < 8; ++i) bytes[bytes.size() - 8 + i] = static_cast<uint8_t>(hash >> (8 * i));
}

TEST(LibraryIndex, ReadsBackWhatWasWritten) {
  const LibraryIndex index = SmallIndex();
  const std::vector<uint8_t> bytes = EncodeLibraryIndex("/photos", index.table, index.order);
  LibraryIndex back;
  ASSERT_TRUE(DecodeLibraryIndex(bytes, "/photos", back));
  EXPECT_EQ(Paths(back.table),
            (std::vector<std::string>{"a.jpg", "Album/b.jpg", "Album/写真/c.jpg"}));
  EXPECT_EQ(back.order, index.order);
  EXPECT_EQ(back.table.photo(1).size, 70000u);
}

TEST(LibraryIndex, AnythingButAWholeIndexOfThisFolderIsRefused) {
  const LibraryIndex index = SmallIndex();
  const std::vector<uint8_t> good = EncodeLibraryIndex("/photos", index.table, index.order);
  LibraryIndex ignored;
  for (size_t size = 0; size < good.size(); ++size) {
    EXPECT_FALSE(DecodeLibraryIndex(std::vector<uint8_t>(good.begin(), good.begin() + size),
                                    "/photos", ignored))
        << "cut at " << size;
  }
  for (size_t i = 0; i < good.size(); ++i) {
    std::vector<uint8_t> flipped = good;
    flipped[i] ^= 0x10;
    EXPECT_FALSE(DecodeLibraryIndex(flipped, "/photos", ignored)) << "byte " << i;
  }
  std::mt19937 random(5);
  for (int i = 0; i < 200; ++i) {
    std::vector<uint8_t> noise(random() % 400);
    for (uint8_t& b : noise) b = static_cast<uint8_t>(random());
    EXPECT_FALSE(DecodeLibraryIndex(noise, "/photos", ignored));
  }
  EXPECT_FALSE(DecodeLibraryIndex(good, "/other", ignored));  // another folder's
  std::vector<uint8_t> newer = good;
  newer[8] = kLibraryIndexVersion + 1;  // the version follows the 8-byte magic
  Reseal(newer);
  EXPECT_FALSE(DecodeLibraryIndex(newer, "/photos", ignored));
  // Sealed but wrong inside: a photograph in a folder that does not exist, a cycle that names
  // one photograph twice, a pool count larger than the file.
  std::vector<uint8_t> badFolder = good;
  const size_t photos = 8 + 4 + 4 + 7 + 16 + 3 * 10;  // magic, version, folder, counts, folders
  badFolder[photos] = 9;
  Reseal(badFolder);
  EXPECT_FALSE(DecodeLibraryIndex(badFolder, "/photos", ignored));
  const LibraryIndex twice = [] {
    LibraryIndex i = SmallIndex();
    i.order = {0, 0, 1};
    return i;
  }();
  EXPECT_FALSE(DecodeLibraryIndex(EncodeLibraryIndex("/photos", twice.table, twice.order),
                                  "/photos", ignored));
  std::vector<uint8_t> bigPool = good;
  bigPool[8 + 4 + 4 + 7 + 8 + 3] = 0x7F;  // the pool count's high byte
  Reseal(bigPool);
  EXPECT_FALSE(DecodeLibraryIndex(bigPool, "/photos", ignored));
  EXPECT_TRUE(DecodeLibraryIndex(good, "/photos", ignored));
}

TEST(LibraryIndex, DamagedIndexIsIgnoredAndRebuilt) {
  TempFolder photos("kavrosa-index-photos"), cache("kavrosa-index-cache");
  photos.Put("a.jpg", {1, 2});
  photos.Put("sub/b.jpg", {3});
  LibraryOptions options;
  options.folder = photos.path().string();
  options.cacheFolder = cache.path().string();
  options.isPhotograph = IsPhotographName;
  const std::string path = LibraryIndexPath(options.cacheFolder, options.folder);
  FolderLister lister;
  for (const std::vector<uint8_t>& damage :
       {std::vector<uint8_t>{}, std::vector<uint8_t>{'K', 'V', 'L', 'I', 'B'},
        std::vector<uint8_t>(5000, 0xFF)}) {
    ASSERT_TRUE(ReplaceFileAtomically(path, damage));
    Library library(options, lister);
    EXPECT_FALSE(library.fromIndex());
    while (library.WorkInBackground()) {
    }
    LibraryIndex rebuilt;
    ASSERT_TRUE(ReadLibraryIndex(path, options.folder, rebuilt));
    EXPECT_EQ(Paths(rebuilt.table), (std::vector<std::string>{"a.jpg", "sub/b.jpg"}));
    EXPECT_TRUE(Library(options, lister).fromIndex());
  }
}

}  // namespace
}  // namespace kavrosa
