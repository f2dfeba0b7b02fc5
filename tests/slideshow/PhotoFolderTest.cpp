// The photograph folder's pieces: which names count, the path order, the walk (nested folders,
// hidden entries), the playlist (order, resume, shuffled cycles), the File value's stored form,
// and loading photographs: fit sizes, BMPs made 24-bit, bad files refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "image/DibImage.h"
#include "settings/Settings.h"
#include "slideshow/PhotoFolder.h"
#include "photo/Photograph.h"
#include "tests/slideshow/PhotoFolderFiles.h"

namespace kavrosa {
namespace {

using namespace testing_folders;

TEST(PhotoFolder, NamesAndOrder) {
  for (const char* name : {"a.jpg", "B.JPEG", "c.Jpe", "d.jfif", "e.BMP", "x.y.jpg", "f.HEIC",
                           "g.heif", "h.Avif", "i.png", "j.WebP", "k.tif", "l.TIFF", "m.gif"})
    EXPECT_TRUE(IsPhotographName(name)) << name;
  for (const char* name : {"jpg", ".jpg", "a.psd", "a.jpg.txt", "a.jp", "a.", "a.heics"})
    EXPECT_FALSE(IsPhotographName(name)) << name;
  std::vector<std::string> paths = {"b.jpg", "A.jpg", "a/z.jpg", "B/c.jpg", "a.JPG", "bad/x.jpg"};
  std::sort(paths.begin(), paths.end(), LessPathCaseless);
  // '/' sorts before letters; "A.jpg" and "a.JPG" are equal but for case: byte order decides.
  EXPECT_EQ(paths, (std::vector<std::string>{"A.jpg", "a.JPG", "a/z.jpg", "b.jpg", "B/c.jpg",
                                             "bad/x.jpg"}));
}

TEST(PhotoFolder, WalksSubfoldersAndSkipsHiddenEntries) {
  TempFolder folder("kavrosa-walk");
  for (const char* name : {"Top.jpg", "sub/deeper/Two.JPEG", "sub/one.bmp", ".hidden.jpg",
                           ".hidden/inside.jpg", "notes.txt", "sub/photo.png"})
    folder.Put(name, {1});
  EXPECT_EQ(
      CollectPhotographs(folder.path().string()),
      (std::vector<std::string>{"sub/deeper/Two.JPEG", "sub/one.bmp", "sub/photo.png", "Top.jpg"}));
  EXPECT_TRUE(CollectPhotographs((folder.path() / "missing").string()).empty());
}

std::vector<std::string> Take(PhotoPlaylist& playlist, int count) {
  std::vector<std::string> taken;
  for (int i = 0; i < count; ++i) taken.push_back(playlist.Next());
  return taken;
}

TEST(PhotoFolder, PlaylistInOrderResumesAndWraps) {
  PhotoPlaylist playlist({"a", "b", "c"}, false, 1);
  playlist.ResumeAt("b");
  EXPECT_EQ(Take(playlist, 5), (std::vector<std::string>{"b", "c", "a", "b", "c"}));
  PhotoPlaylist unknown({"a", "b"}, false, 1);
  unknown.ResumeAt("gone.jpg");
  EXPECT_EQ(unknown.Next(), "a");
}

TEST(PhotoFolder, ShuffleVisitsEachPathOncePerCycle) {
  const std::vector<std::string> paths = {"a", "b", "c", "d", "e", "f", "g"};
  for (uint32_t seed = 1; seed <= 20; ++seed) {
    PhotoPlaylist playlist(paths, true, seed);
    playlist.ResumeAt("d");
    std::string previous;
    for (int cycle = 0; cycle < 4; ++cycle) {
      const std::vector<std::string> taken = Take(playlist, 7);
      if (cycle == 0) {
        EXPECT_EQ(taken[0], "d");
      }
      EXPECT_EQ(std::set<std::string>(taken.begin(), taken.end()).size(), 7u) << seed;
      EXPECT_NE(taken[0], previous) << "a cycle began with the photograph that ended the last";
      previous = taken.back();
    }
  }
}

TEST(PhotoFolder, FileValueIsStoredAsAsciiAndDecodedExactly) {
  const std::string name = "写真/Café 😀;%.jpg";
  const std::string stored = EncodeSettingText(name);
  EXPECT_EQ(stored, "%E5%86%99%E7%9C%9F/Caf%C3%A9%20%F0%9F%98%80%3B%25.jpg");
  EXPECT_EQ(DecodeSettingText(stored), name);
  EXPECT_EQ(DecodeSettingText("100%.jpg%4"), "100%.jpg%4");  // malformed escapes stay
}

TEST(Photograph, JpegArrivesFittedToTheBound) {
  const std::vector<uint8_t> jpeg = Picture(1);
  ASSERT_FALSE(jpeg.empty());
  DibImage image;
  ASSERT_TRUE(LoadPhotographFromMemory(jpeg.data(), jpeg.size(), Size{200, 200}, image));
  EXPECT_EQ(image.GetSize(true), (Size{200, 149}));
  EXPECT_EQ(image.loaded(), 1);
  DibImage whole;
  ASSERT_TRUE(LoadPhotographFromMemory(jpeg.data(), jpeg.size(), Size{640, 480}, whole));
  EXPECT_EQ(whole.GetSize(true), (Size{471, 353}));
}

TEST(Photograph, LargeBmpIsReducedToItsFitSize) {
  const std::vector<uint8_t> bmp = BmpFile(300, 200, 24);
  DibImage image;
  ASSERT_TRUE(LoadPhotographFromMemory(bmp.data(), bmp.size(), Size{120, 120}, image));
  EXPECT_EQ(image.GetSize(true), (Size{120, 80}));
}

TEST(Photograph, PaletteBmpBecomesTwentyFourBit) {
  const std::vector<uint8_t> bmp = BmpFile(5, 2, 8);
  DibImage image;
  ASSERT_TRUE(LoadPhotographFromMemory(bmp.data(), bmp.size(), Size{640, 480}, image));
  EXPECT_EQ(image.GetSize(true), (Size{5, 2}));
  BlockLock header(image.headerBlock());
  EXPECT_EQ(reinterpret_cast<const BitmapInfoHeader*>(header.data())->biBitCount, 24);
  BlockLock pixels(image.pixelBlock());
  // Row 0, pixels 0 and 1: indices 0 and 1 of the table (blue, green, red order).
  const std::vector<uint8_t> first(pixels.data(), pixels.data() + 6);
  EXPECT_EQ(first, (std::vector<uint8_t>{200, 10, 20, 30, 40, 250}));
}

TEST(Photograph, BadFilesAreRefused) {
  const std::vector<uint8_t> jpeg = Picture(2);
  const std::vector<uint8_t> cut(jpeg.begin(), jpeg.begin() + jpeg.size() / 2);
  const std::string text = "this is not a photograph\n";
  const std::vector<uint8_t> bomb = BombJpeg();
  const std::vector<uint8_t> bmp = BmpFile(4, 4, 24);
  const std::vector<uint8_t> cutBmp(bmp.begin(), bmp.begin() + 30);
  DibImage image;
  EXPECT_FALSE(LoadPhotographFromMemory(cut.data(), cut.size(), Size{640, 480}, image));
  EXPECT_FALSE(LoadPhotographFromMemory(jpeg.data(), 0, Size{640, 480}, image));
  EXPECT_FALSE(LoadPhotographFromMemory(reinterpret_cast<const uint8_t*>(text.data()), text.size(),
                                        Size{640, 480}, image));
  EXPECT_FALSE(LoadPhotographFromMemory(bomb.data(), bomb.size(), Size{640, 480}, image));
  EXPECT_FALSE(LoadPhotographFromMemory(cutBmp.data(), cutBmp.size(), Size{640, 480}, image));
  EXPECT_EQ(image.loaded(), 0);
  TempFolder folder("kavrosa-bad");
  folder.Put("empty.jpg", {});
  EXPECT_FALSE(LoadPhotograph((folder.path() / "empty.jpg").string(), Size{640, 480}, image));
  EXPECT_FALSE(LoadPhotograph((folder.path() / "missing.jpg").string(), Size{640, 480}, image));
  EXPECT_FALSE(LoadPhotograph(folder.path().string(), Size{640, 480}, image));
}

}  // namespace
}  // namespace kavrosa
