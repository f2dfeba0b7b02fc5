// The show over a photograph folder: path order with bad files skipped inside one hand-over,
// resume by File and File written at the stop, shuffled cycles, the fall-back to the embedded
// photographs, a folder deleted mid-show, and a close while the worker is stuck in a read.
// Photographs are told apart by their sizes.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <chrono>
#include <set>
#include <thread>

#include "tests/slideshow/PhotoFolderFiles.h"
#include "tests/slideshow/ShowFixture.h"

namespace kavrosa {
namespace {

using namespace testing_folders;

constexpr uint32_t kWorkerLimitMs = 20000;

class FolderShowTest : public testing_pictures::ShowTest {
 protected:
  void WriteFolderSettings(const std::string& extra = "", int32_t number = 3) {
    settings_.Write("[Config]\r\n" + std::string(kIntervalKey) +
                    "=15\r\n[Image]\r\nNO=" + std::to_string(number) +
                    "\r\nFolder=" + folder_.path().string() + "\r\n" + extra);
  }
  void Start() {
    MakeWindow(Size{640, 480});
    StartShow();
  }
  // Ticks on to the next hand-over that brings a picture, waiting for the folder worker before
  // each hand-over tick as the frames tool does. The picture's size; (0, 0) after 4000 ticks.
  Size NextPicture() {
    for (int i = 0; i < 4000; ++i) {
      if (Counters().tickPhase % show_->periodTicks() == 0)
        show_->WaitForFolderWorker(kWorkerLimitMs);
      show_->Tick(*window_);
      if (Counters().ticksShown == 1 && show_->currentImage() != nullptr) {
        ticksBetween_ = i + 1;
        return show_->currentImage()->GetSize(true);
      }
    }
    return Size{};
  }
  std::vector<Size> NextPictures(int count) {
    std::vector<Size> sizes;
    for (int i = 0; i < count; ++i) sizes.push_back(NextPicture());
    return sizes;
  }

  TempFolder folder_{"kavrosa-folder"};
  int ticksBetween_ = 0;
};

TEST_F(FolderShowTest, PathOrderWithBadFilesSkippedInTheSameHandOver) {
  folder_.Put("a.jpg", Picture(1));        // 471 x 353
  folder_.Put("B/c.JPG", Picture(4));      // 353 x 482, fitted to 351 x 480
  folder_.Put("B/d/e.jpeg", Picture(5));   // 353 x 471
  folder_.Put(".hidden.jpg", Picture(2));  // skipped: hidden
  folder_.Put("notes.txt", {'h', 'i'});    // skipped: not a photograph's name
  const std::vector<uint8_t> two = Picture(2);
  folder_.Put("bad/cut.jpg", std::vector<uint8_t>(two.begin(), two.begin() + 4000));
  folder_.Put("bad/empty.jpg", {});
  folder_.Put("bad/text.jpg", {'t', 'e', 'x', 't'});
  folder_.Put("bad/bomb.jpg", BombJpeg());
  folder_.Put("f.bmp", BmpFile(40, 30, 8));  // 40 x 30, made 24-bit
  folder_.Put("g.jfif", Picture(12));        // 480 x 330
  WriteFolderSettings();
  Start();
  EXPECT_EQ(show_->currentImage(), nullptr);  // tick 0 only started the worker
  EXPECT_EQ(show_->pictureNumber(), 0);
  EXPECT_EQ(NextPicture(), (Size{471, 353}));
  EXPECT_EQ(ticksBetween_, 1);
  const std::vector<Size> expected = {{351, 480}, {353, 471}, {40, 30}, {480, 330}, {471, 353}};
  for (const Size& size : expected) {
    EXPECT_EQ(NextPicture(), size);
    // Every period is a full one, the bad files cost none, picture 12's short period is not
    // applied to a folder's photograph.
    EXPECT_EQ(ticksBetween_, 225);
  }
  show_->Stop(*window_);
  const std::string saved = settings_.Read();
  EXPECT_NE(saved.find("File=a.jpg"), std::string::npos) << saved;
  EXPECT_NE(saved.find("NO=3"), std::string::npos) << saved;  // the embedded cycle's own
}

TEST_F(FolderShowTest, ResumesAtFileAndRecordsThePhotographOnScreen) {
  folder_.Put("a.jpg", Picture(1));
  folder_.Put("写真/Café 😀.jpg", Picture(4));
  folder_.Put("z.jpg", Picture(12));
  WriteFolderSettings("File=%E5%86%99%E7%9C%9F/Caf%C3%A9%20%F0%9F%98%80.jpg\r\n");
  Start();
  // UTF-8 names sort after ASCII ones: the cycle goes on with a.jpg.
  EXPECT_EQ(NextPictures(2), (std::vector<Size>{{351, 480}, {471, 353}}));
  EXPECT_EQ(show_->folderShow()->onScreen(), "a.jpg");
  EXPECT_EQ(NextPicture(), (Size{480, 330}));
  show_->Stop(*window_);
  EXPECT_NE(settings_.Read().find("File=z.jpg"), std::string::npos);
  // A File that no longer exists starts the folder from its first photograph.
  ResetCountersForTesting();
  WriteFolderSettings("File=gone.jpg\r\n");
  show_ = std::make_unique<SlideShow>(source_);
  show_->OnShowWindow(*window_);
  EXPECT_EQ(NextPicture(), (Size{471, 353}));
}

TEST_F(FolderShowTest, ShuffleShowsEachPhotographOncePerCycle) {
  for (int i = 0; i < 5; ++i) folder_.Put("p" + std::to_string(i) + ".bmp", BmpFile(10 + i, 8, 24));
  settings_.Write("[Config]\r\nShuffle=1\r\n" + std::string(kIntervalKey) +
                  "=15\r\n[Image]\r\nFolder=" + folder_.path().string() + "\r\n");
  Start();
  for (int cycle = 0; cycle < 3; ++cycle) {
    std::set<int32_t> widths;
    for (const Size& size : NextPictures(5)) widths.insert(size.cx);
    EXPECT_EQ(widths, (std::set<int32_t>{10, 11, 12, 13, 14})) << "cycle " << cycle;
  }
}

TEST_F(FolderShowTest, MoreBadFilesThanOneJobTriesAreWorkedThrough) {
  for (int i = 0; i < kMaxTriesPerJob + 8; ++i)
    folder_.Put("bad" + std::to_string(100 + i) + ".jpg", {});
  folder_.Put("good.bmp", BmpFile(12, 9, 24));
  WriteFolderSettings();
  Start();
  EXPECT_EQ(NextPicture(), (Size{12, 9}));
  EXPECT_NE(show_->folderShow(), nullptr);  // still the folder's show, not the embedded one
  EXPECT_EQ(NextPicture(), (Size{12, 9}));
}

TEST_F(FolderShowTest, FolderWithNothingUsableShowsTheEmbeddedPhotographs) {
  folder_.Put("empty.jpg", {});
  folder_.Put("sub/text.jpeg", {'n', 'o'});
  WriteFolderSettings("", 5);
  Start();
  EXPECT_EQ(NextPicture(), (Size{21, 10}));  // the test's embedded picture source
  EXPECT_EQ(source_.loadsStarted(), (std::vector<uint32_t>{145}));
  EXPECT_EQ(show_->folderShow(), nullptr);
  EXPECT_EQ(show_->pictureNumber(), 6);
  show_->Stop(*window_);
  EXPECT_NE(settings_.Read().find("NO=5"), std::string::npos);
}

TEST_F(FolderShowTest, MissingFolderShowsTheEmbeddedPhotographs) {
  settings_.Write("[Image]\r\nNO=12\r\nFolder=" + (folder_.path() / "none").string() + "\r\n");
  Start();
  EXPECT_EQ(NextPicture(), (Size{21, 10}));
  EXPECT_EQ(source_.loadsStarted(), (std::vector<uint32_t>{152}));
}

TEST_F(FolderShowTest, FolderDeletedMidShowKeepsTheShowRunning) {
  folder_.Put("a.jpg", Picture(1));
  folder_.Put("b.jpg", Picture(4));
  WriteFolderSettings("", 7);
  Start();
  EXPECT_EQ(NextPicture(), (Size{471, 353}));
  TickTimes(40);  // the worker has loaded b.jpg
  show_->WaitForFolderWorker(kWorkerLimitMs);
  std::filesystem::remove_all(folder_.path());
  EXPECT_EQ(NextPictures(2), (std::vector<Size>{{351, 480}, {21, 10}}));
  EXPECT_EQ(source_.loadsStarted(), (std::vector<uint32_t>{147}));
}

TEST_F(FolderShowTest, ProgressiveAndExifRotatedPhotographsAreShownUpright) {
  // The progressive copy is made with jpegtran (a baseline copy where there is none).
  const std::string progressive = (folder_.path() / "p.jpg").string();
  const std::string command = "jpegtran -progressive ../../resources/pictures/picture05.jpg > \"" +
                              progressive + "\" 2>/dev/null";
  if (std::system(command.c_str()) != 0) folder_.Put("p.jpg", Picture(5));
  folder_.Put("q.jpg", WithExifOrientation(Picture(5), 6));
  folder_.Put("r.bmp", BmpFile(30, 20, 24));
  WriteFolderSettings();
  Start();
  // Orientation 6 turns the 353 x 471 photograph a quarter: 471 x 353.
  EXPECT_EQ(NextPictures(3), (std::vector<Size>{{353, 471}, {471, 353}, {30, 20}}));
}

TEST_F(FolderShowTest, PhotographLargerThanAMonitorIsFittedToIt) {
  folder_.Put("a.jpg", Picture(5));  // 353 x 471
  WriteFolderSettings();             // FitImage 0
  MakeWindow(Size{800, 480});
  window_->SetMonitorRects({Rect{0, 0, 640, 480}, Rect{640, 0, 800, 120}});
  StartShow();
  ASSERT_EQ(NextPicture(), (Size{353, 471}));
  EXPECT_EQ(Counters().destRect, (Rect{143, 4, 496, 475}));  // own size: it fits
  ASSERT_EQ(Counters().otherDestRects.size(), 1u);
  EXPECT_EQ(Counters().otherDestRects[0], (Rect{675, 0, 764, 120}));  // 160 x 120: fitted
}

TEST_F(FolderShowTest, DisplayChangeDecodesTheComingPhotographsForTheNewMonitors) {
  folder_.Put("a.bmp", BmpFile(300, 200, 24));
  folder_.Put("b.bmp", BmpFile(300, 200, 24, 9));
  WriteFolderSettings();
  MakeWindow(Size{400, 300});
  window_->SetMonitorRects({Rect{0, 0, 150, 100}});
  StartShow();
  ASSERT_EQ(NextPicture(), (Size{150, 100}));
  // b's job is waiting for its release: it loads for the new monitor.
  show_->MonitorsChanged(*window_, {Rect{0, 0, 400, 300}});
  EXPECT_EQ(NextPicture(), (Size{300, 200}));
  EXPECT_EQ(Counters().destRect, (Rect{50, 50, 350, 250}));
}

#ifndef _WIN32
TEST_F(FolderShowTest, CloseIsPromptWhileTheWorkerIsStuckInARead) {
  // Opening a FIFO for reading blocks until a writer comes: a read that never returns.
  const std::string fifo = (folder_.path() / "photo.jpg").string();
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  WriteFolderSettings();
  Start();
  TickTimes(5);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));  // the worker is in open()
  EXPECT_TRUE(show_->folderShow()->jobRunning());
  EXPECT_EQ(show_->currentImage(), nullptr);
  const auto before = std::chrono::steady_clock::now();
  show_->Stop(*window_);
  show_.reset();
  const auto took = std::chrono::steady_clock::now() - before;
  EXPECT_LT(took, std::chrono::milliseconds(250));
  // Let the stuck worker go on now that the controller is gone: it must touch nothing of it
  // (the sanitizer builds would catch a use after free).
  const int writer = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
  EXPECT_GE(writer, 0);
  if (writer >= 0) close(writer);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
}
#endif

}  // namespace
}  // namespace kavrosa
