// The photograph folder's pieces: which names count, the path order, the walk (nested folders,
// hidden entries), the playlist (order, resume, shuffled cycles) and the File value's stored
// form.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "image/DibImage.h"
#include "settings/Settings.h"
#include "slideshow/PhotoFolder.h"
#include "photo/Photograph.h"  // IsPhotographName
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

}  // namespace
}  // namespace kavrosa
