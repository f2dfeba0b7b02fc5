// The command line: program-name skipping (with a double-byte stepper standing in for CharNextA),
// handle numbers, and the dispatch table with its exit codes, driven through stubbed actions.
#include "host/CommandLine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kavrosa {
namespace {

// Shift-JIS lead bytes: 0x81-0x9F and 0xE0-0xFC take the next byte with them.
const char* StepShiftJis(const char* p) {
  if (*p == '\0') return p;
  const unsigned char b = static_cast<unsigned char>(*p);
  const bool lead = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
  if (lead && p[1] != '\0') return p + 2;
  return p + 1;
}

struct SkipCase {
  const char* line;
  const char* tail;
};

class SkipProgramNameTest : public ::testing::TestWithParam<SkipCase> {};

TEST_P(SkipProgramNameTest, LeavesTheTail) {
  EXPECT_STREQ(SkipProgramName(GetParam().line, StepSingleByte), GetParam().tail);
  EXPECT_STREQ(SkipProgramName(GetParam().line, StepShiftJis), GetParam().tail);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SkipProgramNameTest,
    ::testing::Values(SkipCase{"", ""}, SkipCase{"kavrosa.scr", ""}, SkipCase{"kavrosa.scr   ", ""},
                      SkipCase{"\"C:\\a b\\k.scr\"", ""}, SkipCase{"\"C:\\a b\\k.scr\" /s", "/s"},
                      SkipCase{"\"C:\\a b\\k.scr\"/s", "/s"},
                      SkipCase{"\"C:\\no closing quote /s", ""},
                      SkipCase{"k.scr /p 1234", "/p 1234"}, SkipCase{"k.scr\t\t/c", "/c"},
                      SkipCase{"k.scr \x01\x1f /s", "/s"}, SkipCase{"   /s", "/s"},
                      SkipCase{"\t/c", "/c"}));

TEST(SkipProgramNameTest, DoubleByteNameStaysWhole) {
  // 0x95 0x20 is one Shift-JIS character whose second byte is a blank: CharNextA steps over
  // both, a single-byte stepper would stop in the middle of the name.
  const char line[] = "\x95\x20x.scr /s";
  EXPECT_STREQ(SkipProgramName(line, StepShiftJis), "/s");
  EXPECT_STREQ(SkipProgramName(line, StepSingleByte), "x.scr /s");
}

TEST(ParseHandleNumberTest, Values) {
  EXPECT_EQ(ParseHandleNumber(""), 0u);
  EXPECT_EQ(ParseHandleNumber("x12"), 0u);
  EXPECT_EQ(ParseHandleNumber(" 12"), 0u);
  EXPECT_EQ(ParseHandleNumber("-12"), 0u);
  EXPECT_EQ(ParseHandleNumber("1234"), 1234u);
  EXPECT_EQ(ParseHandleNumber("1234 99"), 1234u);
  EXPECT_EQ(ParseHandleNumber("4294967295"), 4294967295u);
  EXPECT_EQ(ParseHandleNumber("4294967296"), 0u);
  EXPECT_EQ(ParseHandleNumber("4294968530"), 1234u);   // 2^32 + 1234
  EXPECT_EQ(ParseHandleNumber("12884903122"), 1234u);  // 3 * 2^32 + 1234, 11 digits
}

// Records every platform call and answers with live windows from a set.
class StubActions : public CommandActions {
 public:
  std::vector<uint32_t> liveWindows{1234};
  std::vector<std::string> calls;
  static constexpr uint32_t kForeground = 777;

  bool IsWindow(WindowHandle w) override {
    calls.push_back("IsWindow " + Num(w));
    for (uint32_t live : liveWindows) {
      if (HandleFromNumber(live) == w) return true;
    }
    return false;
  }
  WindowHandle ForegroundWindow() override { return HandleFromNumber(kForeground); }
  int32_t ShowConfigDialog(WindowHandle owner) override {
    calls.push_back("Dialog " + Num(owner));
    return 1;
  }
  int32_t RunSaver(WindowHandle parent) override {
    calls.push_back("RunSaver " + Num(parent));
    return 0;
  }
  void RequestPasswordChange(WindowHandle parent) override {
    calls.push_back("ChangePassword " + Num(parent));
  }

 private:
  static std::string Num(WindowHandle w) {
    return std::to_string(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(w)));
  }
};

struct DispatchCase {
  const char* tail;
  bool isWin9x;
  int32_t exitCode;
  const char* lastCall;  // the action taken ("" when none)
};

class DispatchTest : public ::testing::TestWithParam<DispatchCase> {};

TEST_P(DispatchTest, ActionAndExitCode) {
  StubActions actions;
  const DispatchCase& c = GetParam();
  EXPECT_EQ(DispatchCommand(c.tail, c.isWin9x, actions), c.exitCode);
  std::string last;
  for (const std::string& call : actions.calls) {
    if (call.rfind("IsWindow", 0) != 0) last = call;
  }
  EXPECT_EQ(last, c.lastCall);
}

INSTANTIATE_TEST_SUITE_P(
    Table, DispatchTest,
    ::testing::Values(
        DispatchCase{"", false, 1, "Dialog 0"}, DispatchCase{"/c", false, 1, "Dialog 777"},
        DispatchCase{"/C", false, 1, "Dialog 777"},
        DispatchCase{"/c:1234", false, 1, "Dialog 1234"},
        DispatchCase{"/c 1234", false, 1, "Dialog 777"},
        DispatchCase{"/c:0", false, 1, "Dialog 777"}, DispatchCase{"/c:99", false, 1, "Dialog 777"},
        DispatchCase{"/c:4294968530", false, 1, "Dialog 1234"},  // wraps to 1234
        DispatchCase{"/p 1234", false, 0, "RunSaver 1234"},
        DispatchCase{"/p1234", false, 0, "RunSaver 1234"},
        DispatchCase{"/p   1234", false, 0, "RunSaver 1234"},
        DispatchCase{"/l 1234", false, 0, "RunSaver 1234"},
        DispatchCase{"/P 4294968530", false, 0, "RunSaver 1234"},
        DispatchCase{"/p:1234", false, -1, ""}, DispatchCase{"/p", false, -1, ""},
        DispatchCase{"/p 0", false, -1, ""}, DispatchCase{"/p 99", false, -1, ""},
        DispatchCase{"/s", false, 0, "RunSaver 0"}, DispatchCase{"/s /c", false, 0, "RunSaver 0"},
        DispatchCase{"/S:5", false, 0, "RunSaver 0"}, DispatchCase{"--/s", false, 0, "RunSaver 0"},
        DispatchCase{"  - /S", false, 0, "RunSaver 0"}, DispatchCase{"s", false, 0, "RunSaver 0"},
        DispatchCase{"/\ts", false, -1, ""}, DispatchCase{"\t/s", false, -1, ""},
        DispatchCase{"/x", false, -1, ""}, DispatchCase{"/?", false, -1, ""},
        DispatchCase{"/\xb3", false, -1, ""}, DispatchCase{"/a 1234", false, -1, ""},
        DispatchCase{"/a 1234", true, 0, "ChangePassword 1234"},
        DispatchCase{"/A1234", true, 0, "ChangePassword 1234"},
        DispatchCase{"/a 99", true, 0, "ChangePassword 777"},
        DispatchCase{"/a", true, 0, "ChangePassword 777"},
        DispatchCase{"/s", true, 0, "RunSaver 0"}, DispatchCase{"-", false, 1, "Dialog 0"}));

TEST(DispatchTest, NtSwitchALoadsNothingAndAsksNoWindow) {
  StubActions actions;
  EXPECT_EQ(DispatchCommand("/a 1234", false, actions), -1);
  EXPECT_TRUE(actions.calls.empty());
}

TEST(DispatchTest, PreviewWithDeadHandleCreatesNothing) {
  StubActions actions;
  actions.liveWindows.clear();
  EXPECT_EQ(DispatchCommand("/p 1234", false, actions), -1);
  ASSERT_EQ(actions.calls.size(), 1u);
  EXPECT_EQ(actions.calls[0], "IsWindow 1234");
}

TEST(DecideCommandTest, HandleTextPointsAfterTheSwitch) {
  const char tail[] = "/c:42 junk";
  const CommandAction a = DecideCommand(tail, false);
  EXPECT_EQ(a.kind, CommandKind::kConfigOwned);
  EXPECT_EQ(a.handleText, tail + 3);
  EXPECT_EQ(DecideCommand("/c 42", false).handleText, nullptr);
}

}  // namespace
}  // namespace kavrosa
