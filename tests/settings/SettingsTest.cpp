// The settings file: path rule, defaults and clamps of the three keys, the byte-exact interval
// key, and the profile reader/writer (natively our own, under Wine the system's calls: the same
// expectations hold for both, except byte-exact file contents, which are ours alone).
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <iterator>
#endif

#include "platform/Profile.h"
#include "settings/Settings.h"
#include "tests/settings/SettingsTestFiles.h"

namespace kavrosa {
namespace {

using testing_files::ScratchFile;

struct PathRuleCase {
  const char* moduleName;
  int32_t result;
  const char* settingsPath;
};

class PathRule : public ::testing::TestWithParam<PathRuleCase> {};

TEST_P(PathRule, ReplacesThreeLetterExtensionWithUpperCaseIni) {
  char buffer[kSettingsPathSize];
  std::strcpy(buffer, GetParam().moduleName);
  EXPECT_EQ(ApplySettingsPathRule(buffer, sizeof buffer), GetParam().result);
  EXPECT_STREQ(buffer, GetParam().settingsPath);
}

INSTANTIATE_TEST_SUITE_P(
    Names, PathRule,
    ::testing::Values(PathRuleCase{"C:\\WINDOWS\\SAVER.SCR", 1, "C:\\WINDOWS\\SAVER.INI"},
                      PathRuleCase{"saver.scr", 1, "saver.INI"},
                      PathRuleCase{"/opt/k/kavrosa.exe", 1, "/opt/k/kavrosa.INI"},
                      PathRuleCase{"x.scr.bak", 1, "x.scr.INI"}, PathRuleCase{".scr", 1, ".INI"},
                      // Without the '.' four from the end the module is never taken as settings.
                      PathRuleCase{"/usr/bin/kavrosa-tool", 0, ""},
                      PathRuleCase{"saver.jpeg", 0, ""}, PathRuleCase{"saver.sc", 0, ""},
                      PathRuleCase{"scr", 0, ""}, PathRuleCase{"", 0, ""}));

TEST(SettingsPath, UnterminatedNameIsRefused) {
  char buffer[4] = {'a', '.', 'b', 'c'};
  EXPECT_EQ(ApplySettingsPathRule(buffer, sizeof buffer), 0);
  EXPECT_EQ(buffer[0], '\0');
}

TEST(SettingsPath, RunningModuleNeverNamesItself) {
  char buffer[kSettingsPathSize];
  if (GetSettingsPath(buffer, sizeof buffer) == 1) {
    const size_t length = std::strlen(buffer);
    ASSERT_GE(length, 4u);
    EXPECT_STREQ(buffer + length - 4, ".INI");
  } else {
    EXPECT_STREQ(buffer, "");
  }
}

TEST(SettingsPath, OverrideIsUsedWhileSet) {
  char buffer[kSettingsPathSize];
  SetSettingsPathOverride("/tmp/elsewhere.ini");
  EXPECT_EQ(GetSettingsPath(buffer, sizeof buffer), 1);
  EXPECT_STREQ(buffer, "/tmp/elsewhere.ini");
  char small[8];
  EXPECT_EQ(GetSettingsPath(small, sizeof small), 0);
  EXPECT_STREQ(small, "");
  SetSettingsPathOverride(nullptr);
  GetSettingsPath(buffer, sizeof buffer);
  EXPECT_STRNE(buffer, "/tmp/elsewhere.ini");
}

TEST(SettingsKeys, IntervalKeyIsTheEightShiftJisBytes) {
  const unsigned char expected[] = {0x95, 0x5C, 0x8E, 0xA6, 0x8A, 0xD4, 0x8A, 0x75};
  ASSERT_EQ(std::strlen(kIntervalKey), 8u);
  EXPECT_EQ(std::memcmp(kIntervalKey, expected, 8), 0);
}

TEST(SettingsKeys, MissingFileGivesDefaults) {
  ScratchFile file("missing");
  EXPECT_EQ(ReadIntervalSeconds(file.path()), 30);
  EXPECT_EQ(ReadFitImage(file.path()), 0);
  EXPECT_EQ(ReadPictureNumber(file.path()), 1);
  EXPECT_FALSE(file.Exists());
}

TEST(SettingsKeys, NoPathReadsDefaultsAndWritesNothing) {
  EXPECT_EQ(ReadIntervalSeconds(nullptr), 30);
  EXPECT_EQ(ReadFitImage(""), 0);
  EXPECT_EQ(ReadPictureNumber(nullptr), 1);
  EXPECT_EQ(WritePictureNumber(nullptr, 4), 0);
  EXPECT_EQ(WriteFitImage("", 1), 0);
}

struct ClampCase {
  const char* stored;
  int32_t interval;
  int32_t pictureNumber;
  int32_t fitImage;
};

class Clamps : public ::testing::TestWithParam<ClampCase> {};

TEST_P(Clamps, EachReaderAppliesItsRange) {
  ScratchFile file("clamp");
  const std::string value = GetParam().stored;
  file.Write("[Config]\r\n" + std::string(kIntervalKey) + "=" + value + "\r\nFitImage=" + value +
             "\r\n[Image]\r\nNO=" + value + "\r\n");
  EXPECT_EQ(ReadIntervalSeconds(file.path()), GetParam().interval);
  EXPECT_EQ(ReadPictureNumber(file.path()), GetParam().pictureNumber);
  EXPECT_EQ(ReadFitImage(file.path()), GetParam().fitImage);
}

INSTANTIATE_TEST_SUITE_P(Values, Clamps,
                         ::testing::Values(ClampCase{"15", 15, 1, 15},
                                           ClampCase{"300", 300, 1, 300},
                                           ClampCase{"14", 30, 1, 14}, ClampCase{"301", 30, 1, 301},
                                           ClampCase{"0", 30, 1, 0}, ClampCase{"-1", 30, 1, -1},
                                           ClampCase{"-20", 30, 1, -20}, ClampCase{"1", 30, 1, 1},
                                           ClampCase{"2", 30, 2, 2}, ClampCase{"12", 30, 12, 12},
                                           ClampCase{"13", 30, 1, 13},
                                           // GetPrivateProfileInt's parsing.
                                           ClampCase{"45s", 45, 1, 45}, ClampCase{"+7", 30, 7, 7},
                                           ClampCase{"abc", 30, 1, 0}, ClampCase{"0x20", 32, 1, 32},
                                           ClampCase{"0b11", 30, 3, 3}, ClampCase{"017", 17, 1, 17},
                                           ClampCase{"  60  ", 60, 1, 60},
                                           ClampCase{"\"20\"", 20, 1, 20}));

TEST(SettingsKeys, EmptyValueGivesTheDefault) {
  ScratchFile file("empty");
  file.Write("[Config]\r\n" + std::string(kIntervalKey) + "=\r\n[Image]\r\nNO=\r\n");
  EXPECT_EQ(ReadIntervalSeconds(file.path()), 30);
  EXPECT_EQ(ReadPictureNumber(file.path()), 1);
}

TEST(SettingsKeys, NamesMatchIgnoringCaseAndSurroundingBlanks) {
  ScratchFile file("case");
  file.Write("  [ config ]  \r\n  fitimage  =  1  \r\n[IMAGE]\r\nno=9\r\n");
  EXPECT_EQ(ReadFitImage(file.path()), 1);
  EXPECT_EQ(ReadPictureNumber(file.path()), 9);
}

TEST(SettingsKeys, KeysInOtherSectionsDoNotCount) {
  ScratchFile file("sections");
  file.Write("[Image]\r\nFitImage=1\r\n[Config]\r\nNO=5\r\n");
  EXPECT_EQ(ReadFitImage(file.path()), 0);
  EXPECT_EQ(ReadPictureNumber(file.path()), 1);
}

TEST(SettingsKeys, IntervalKeyIsComparedAsBytes) {
  ScratchFile file("bytes");
  // The same word with its backslash byte changed is another key.
  file.Write("[Config]\r\n\x95/\x8E\xA6\x8A\xD4\x8A\x75=45\r\n");
  EXPECT_EQ(ReadIntervalSeconds(file.path()), 30);
  file.Write("[Config]\r\n\x95\x5C\x8E\xA6\x8A\xD4\x8A\x75=45\r\n");
  EXPECT_EQ(ReadIntervalSeconds(file.path()), 45);
}

TEST(SettingsWrite, CreatesTheFileAndReadsBack) {
  ScratchFile file("create");
  EXPECT_EQ(WriteIntervalSeconds(file.path(), 120), 1);
  EXPECT_EQ(WriteFitImage(file.path(), 1), 1);
  EXPECT_EQ(WritePictureNumber(file.path(), 12), 1);
  EXPECT_EQ(ReadIntervalSeconds(file.path()), 120);
  EXPECT_EQ(ReadFitImage(file.path()), 1);
  EXPECT_EQ(ReadPictureNumber(file.path()), 12);
  const std::string text = file.Read();
  EXPECT_NE(text.find(std::string(kIntervalKey) + "=120"), std::string::npos);
  EXPECT_NE(text.find("NO=12"), std::string::npos);
}

TEST(SettingsWrite, RewritesAnExistingKeyAndKeepsTheOthers) {
  ScratchFile file("rewrite");
  file.Write("[Image]\r\nNO=3\r\n[Config]\r\nFitImage=1\r\nOther=7\r\n");
  EXPECT_EQ(WritePictureNumber(file.path(), 4), 1);
  EXPECT_EQ(ReadPictureNumber(file.path()), 4);
  EXPECT_EQ(ReadFitImage(file.path()), 1);
  EXPECT_EQ(ProfileReadInt("Config", "Other", 0, file.path()), 7);
}

TEST(SettingsKeys, FolderShuffleAndFile) {
  ScratchFile file("folder");
  EXPECT_EQ(ReadPhotoFolder(file.path()), "");
  EXPECT_EQ(ReadShuffle(file.path()), 0);
  EXPECT_EQ(ReadPhotographFile(file.path()), "");
  // The folder's bytes pass unchanged (Shift-JIS here, whose second byte may be a backslash;
  // the system's reader maps them through its code page); File is UTF-8, stored escaped.
#ifdef _WIN32
  const std::string folder = "C:\\Photos";
#else
  const std::string folder = "C:\\\x95\x5c";
#endif
  EXPECT_EQ(WritePhotoFolder(file.path(), folder), 1);
  EXPECT_EQ(WriteShuffle(file.path(), 1), 1);
  EXPECT_EQ(WritePhotographFile(file.path(), "写真/a b.jpg"), 1);
  EXPECT_EQ(ReadPhotoFolder(file.path()), folder);
  EXPECT_EQ(ReadShuffle(file.path()), 1);
  EXPECT_EQ(ReadPhotographFile(file.path()), "写真/a b.jpg");
  EXPECT_NE(file.Read().find("File=%E5%86%99%E7%9C%9F/a%20b.jpg"), std::string::npos);
  file.Write("[Config]\r\nShuffle=2\r\n[Image]\r\nFolder=  \"D:\\My Photos\"  \r\n");
  EXPECT_EQ(ReadShuffle(file.path()), 0);
  EXPECT_EQ(ReadPhotoFolder(file.path()), "D:\\My Photos");
}

#ifndef _WIN32
std::string ScratchRead(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Byte-exact results of our own writer (the system's writer may reformat the file).
TEST(ProfileWriter, ChangesOnlyTheKeysLine) {
  ScratchFile file("exact");
  file.Write("; comment\n[image]\n  no = 3  \n\n[Config]\nFitImage=1");
  EXPECT_EQ(WritePictureNumber(file.path(), 11), 1);
  EXPECT_EQ(file.Read(), "; comment\n[image]\nno=11\n\n[Config]\nFitImage=1");
}

TEST(ProfileWriter, AddsAKeyAtTheEndOfItsSection) {
  ScratchFile file("addkey");
  file.Write("[Config]\r\nFitImage=1\r\n\r\n[Image]\r\nNO=2\r\n");
  EXPECT_EQ(WriteIntervalSeconds(file.path(), 60), 1);
  EXPECT_EQ(file.Read(), "[Config]\r\nFitImage=1\r\n" + std::string(kIntervalKey) +
                             "=60\r\n\r\n[Image]\r\nNO=2\r\n");
}

TEST(ProfileWriter, AppendsANewSection) {
  ScratchFile file("addsection");
  file.Write("[Config]\nFitImage=0");
  EXPECT_EQ(WritePictureNumber(file.path(), 7), 1);
  EXPECT_EQ(file.Read(), "[Config]\nFitImage=0\r\n[Image]\r\nNO=7\r\n");
}

TEST(ProfileWriter, NewFileHoldsSectionAndKey) {
  ScratchFile file("newfile");
  EXPECT_EQ(WriteFitImage(file.path(), 1), 1);
  EXPECT_EQ(file.Read(), "[Config]\r\nFitImage=1\r\n");
}

TEST(ProfileWriter, UnwritablePathFails) {
  EXPECT_EQ(ProfileWriteString("Image", "NO", "1", "/nonexistent-dir/x/y.ini"), 0);
}

// What lies at the settings path may be anything: none of it blocks, reads without end, or is
// overwritten; every key reads its default.
TEST(ProfileFiles, NoRegularFileIsNeitherReadNorReplaced) {
  ScratchFile fifo("fifo");
  ASSERT_EQ(::mkfifo(fifo.path(), 0600), 0);
  EXPECT_EQ(ReadPictureNumber(fifo.path()), 1);
  EXPECT_EQ(WritePictureNumber(fifo.path(), 3), 0);
  EXPECT_EQ(ReadIntervalSeconds("/dev/zero"), 30);
  EXPECT_EQ(ReadFitImage("/tmp"), 0);
  EXPECT_EQ(WriteFitImage("/tmp", 1), 0);
}

// A write that cannot finish (here the file-size limit stands in for a full disk) leaves the old
// file as it was, no temporary beside it, and says which file and why.
TEST(ProfileWriter, FailedWriteKeepsTheOldFileAndReportsIt) {
  const std::string folder = ::testing::TempDir() + "kavrosa-full-" + std::to_string(::getpid());
  ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
  const std::string path = folder + "/kavrosa.ini";
  const std::string old = "[Image]\r\nNO=5\r\n";
  {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    std::fputs(old.c_str(), f);
    std::fclose(f);
  }
  static std::string reported;
  SetProfileWriteFailureHandler(
      [](const char* file, const char* reason) { reported = std::string(file) + ": " + reason; });
  struct rlimit saved {};
  ::getrlimit(RLIMIT_FSIZE, &saved);
  const auto previous = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = saved;
  small.rlim_cur = 64;
  ::setrlimit(RLIMIT_FSIZE, &small);
  const int32_t result = WritePhotoFolder(path.c_str(), std::string(200, 'x'));
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previous);
  SetProfileWriteFailureHandler(nullptr);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(ScratchRead(path), old);
  EXPECT_EQ(reported, path + ": " + std::strerror(EFBIG));
  EXPECT_EQ(::unlink(path.c_str()), 0);
  EXPECT_EQ(::rmdir(folder.c_str()), 0) << "a temporary file was left in the folder";
}

TEST(ProfileFiles, OversizedFileIsRefusedAndKept) {
  ScratchFile big("big");
  const std::string content = "[Image]\r\nNO=5\r\n" + std::string(2 << 20, ';');
  big.Write(content);
  EXPECT_EQ(ReadPictureNumber(big.path()), 1);
  EXPECT_EQ(WritePictureNumber(big.path(), 3), 0);
  EXPECT_EQ(big.Read().size(), content.size());
}
#endif

}  // namespace
}  // namespace kavrosa
