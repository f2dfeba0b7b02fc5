// kavrosa-tool bmp-roundtrip run in-process: exit codes, and one line on standard error that
// names the refused file.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "image/DibImage.h"
#include "tests/image/PictureFixtures.h"
#include "tools/Commands.h"

namespace kavrosa {
namespace {

struct CommandResult {
  int exitCode;
  std::string error;
};

CommandResult RunCommand(std::vector<std::string> args) {
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  ::testing::internal::CaptureStderr();
  const int code = tool::RunBmpRoundtrip(static_cast<int>(argv.size()), argv.data());
  return CommandResult{code, ::testing::internal::GetCapturedStderr()};
}

class BmpRoundtripCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    DibImage picture;
    testing::Install(picture, testing::MakeHeader(3, -2, 24), {}, testing::GradientPixels(3, 2));
    ASSERT_EQ(picture.SaveBmp(in_), 1);
    std::ofstream(notBmp_) << "MB not a bitmap";
  }
  void TearDown() override {
    for (const std::string* p : {&in_, &out_, &notBmp_}) std::remove(p->c_str());
  }
  const std::string in_ = ::testing::TempDir() + "kavrosa-cmd-in.bmp";
  const std::string out_ = ::testing::TempDir() + "kavrosa-cmd-out.bmp";
  const std::string notBmp_ = ::testing::TempDir() + "kavrosa-cmd-text.bmp";
};

TEST_F(BmpRoundtripCommand, CopiesAValidFile) {
  const CommandResult r = RunCommand({in_, out_});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.error, "");
  DibImage again;
  EXPECT_EQ(again.LoadBmp(out_), 1);
  EXPECT_EQ(again.GetSize(false), (Size{3, 2}));
}

TEST_F(BmpRoundtripCommand, RefusalsGiveOneLineNamingTheFile) {
  for (const std::string& bad : {notBmp_, ::testing::TempDir() + "kavrosa-cmd-missing.bmp"}) {
    const CommandResult r = RunCommand({bad, out_});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.error.find(bad), std::string::npos) << r.error;
    EXPECT_EQ(std::count(r.error.begin(), r.error.end(), '\n'), 1) << r.error;
  }
}

TEST_F(BmpRoundtripCommand, WrongUsage) {
  EXPECT_EQ(RunCommand({}).exitCode, 2);
  EXPECT_EQ(RunCommand({in_}).exitCode, 2);
  EXPECT_EQ(RunCommand({in_, out_, "extra"}).exitCode, 2);
}

}  // namespace
}  // namespace kavrosa
