// The configuration dialog of the real kavrosa.scr: what it shows from the settings file, the
// up-down control's reversed range, what OK writes (the interval under its Shift-JIS key) and
// that Cancel and Escape write nothing; the version text, and "?Unknown?" without a version;
// the manifest in the module and the common controls 6 it brings.
#ifdef _WIN32

#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>
#include <psapi.h>

#include <string>

#include "settings/ConfigDialog_win.h"
#include "tests/host/WineHarness_win.h"

namespace kavrosa::test {
namespace {

std::string IniWith(const char* interval, const char* fitImage) {
  return std::string("[Config]\r\n") + kIntervalKeyBytes + "=" + interval +
         "\r\nFitImage=" + fitImage + "\r\n";
}

class ConfigDialogTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir_.Add(ScrPath(), "kavrosa.scr")); }
  HWND Open(const char* arguments = "/c") {
    if (!saver_.Start(dir_.File("kavrosa.scr"), arguments)) return nullptr;
    HWND dialog = WaitForWindow("#32770", "Kavrosa", kStartLimitMs);
    Pump(300);
    return dialog;
  }
  void ExpectEndedWithOne() {
    const std::optional<DWORD> code = saver_.Wait(15000);
    ASSERT_TRUE(code.has_value()) << "the dialog did not close";
    EXPECT_EQ(*code, 1u);
  }
  std::string Ini() const { return IniPath(dir_, "kavrosa.scr"); }
  int Interval(HWND dialog) {
    BOOL ok = FALSE;
    const int value = static_cast<int>(GetDlgItemInt(dialog, kIntervalEditId, &ok, TRUE));
    return ok ? value : -1;
  }
  void Key(HWND control, WPARAM key) {
    PostMessageA(control, WM_KEYDOWN, key, 1);
    PostMessageA(control, WM_KEYUP, key, 0xC0000001);
    Pump(200);
  }
  ScratchDir dir_;
  ChildProcess saver_;
};

TEST_F(ConfigDialogTest, ShowsDefaultsTextsAndVersion) {
  HWND dialog = Open();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(Interval(dialog), 30);
  EXPECT_EQ(IsDlgButtonChecked(dialog, kFitImageCheckId), 0u);
  char version[32] = {};
  GetDlgItemTextA(dialog, kVersionTextId, version, sizeof(version));
  EXPECT_STREQ(version, "1.000");
  wchar_t text[64] = {};
  GetDlgItemTextW(dialog, kFitImageCheckId, text, 64);
  EXPECT_STREQ(text, L"\u753b\u9762\u30b5\u30a4\u30ba\u306b\u5408\u308f\u305b\u308b");
  GetDlgItemTextW(dialog, IDCANCEL, text, 64);
  EXPECT_STREQ(text, L"\uff77\uff6c\uff9d\uff7e\uff99");
  const LRESULT range = SendDlgItemMessageA(dialog, kIntervalUpDownId, UDM_GETRANGE, 0, 0);
  EXPECT_EQ(static_cast<DWORD>(range), 0x012C000Fu);
  SendDlgItemMessageA(dialog, IDCANCEL, BM_CLICK, 0, 0);
  ExpectEndedWithOne();
}

TEST_F(ConfigDialogTest, OutOfRangeIntervalShowsThirtyAndOkWritesIt) {
  WriteFileBytes(Ini(), IniWith("14", "1"));
  HWND dialog = Open("/c:0");
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(Interval(dialog), 30);
  EXPECT_EQ(IsDlgButtonChecked(dialog, kFitImageCheckId), 1u);
  SendDlgItemMessageA(dialog, kFitImageCheckId, BM_CLICK, 0, 0);
  SendDlgItemMessageA(dialog, IDOK, BM_CLICK, 0, 0);
  ExpectEndedWithOne();
  const std::string bytes = ReadFileBytes(Ini());
  EXPECT_NE(bytes.find(std::string(kIntervalKeyBytes) + "=30"), std::string::npos) << bytes;
  EXPECT_NE(bytes.find("FitImage=0"), std::string::npos) << bytes;
}

TEST_F(ConfigDialogTest, EmptyTailAndUnclosedQuoteOpenWithoutOwner) {
  const std::string exe = dir_.File("kavrosa.scr");
  for (const std::string& line : {"\"" + exe + "\"   ", "\"" + exe + " /s", exe}) {
    ChildProcess process;
    ASSERT_TRUE(process.StartRaw(exe, line));
    HWND dialog = WaitForWindow("#32770", "Kavrosa", kStartLimitMs);
    ASSERT_NE(dialog, nullptr) << line;
    EXPECT_EQ(GetWindow(dialog, GW_OWNER), nullptr) << line;
    SendDlgItemMessageA(dialog, IDCANCEL, BM_CLICK, 0, 0);
    const std::optional<DWORD> code = process.Wait(15000);
    ASSERT_TRUE(code.has_value()) << line;
    EXPECT_EQ(*code, 1u) << line;
  }
}

TEST_F(ConfigDialogTest, OwnerFromTheCommandLine) {
  HWND owner = CreateWindowExA(0, "STATIC", "owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200,
                               100, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(owner, nullptr);
  const std::string arguments = "/c:" + std::to_string(reinterpret_cast<uintptr_t>(owner));
  HWND dialog = Open(arguments.c_str());
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(GetWindow(dialog, GW_OWNER), owner);
  SendDlgItemMessageA(dialog, IDCANCEL, BM_CLICK, 0, 0);
  ExpectEndedWithOne();
  DestroyWindow(owner);
}

TEST_F(ConfigDialogTest, UpArrowStepsTowardFifteenAndStops) {
  WriteFileBytes(Ini(), IniWith("16", "0"));
  HWND dialog = Open();
  ASSERT_NE(dialog, nullptr);
  HWND edit = GetDlgItem(dialog, kIntervalEditId);
  EXPECT_EQ(Interval(dialog), 16);
  Key(edit, VK_UP);
  EXPECT_EQ(Interval(dialog), 15);
  Key(edit, VK_UP);
  EXPECT_EQ(Interval(dialog), 15);
  Key(edit, VK_DOWN);
  Key(edit, VK_DOWN);
  EXPECT_EQ(Interval(dialog), 17);
  SendDlgItemMessageA(dialog, IDOK, BM_CLICK, 0, 0);
  ExpectEndedWithOne();
  EXPECT_NE(ReadFileBytes(Ini()).find(std::string(kIntervalKeyBytes) + "=17"), std::string::npos);
}

TEST_F(ConfigDialogTest, DownArrowStopsAtThreeHundred) {
  WriteFileBytes(Ini(), IniWith("300", "0"));
  HWND dialog = Open();
  ASSERT_NE(dialog, nullptr);
  Key(GetDlgItem(dialog, kIntervalEditId), VK_DOWN);
  EXPECT_EQ(Interval(dialog), 300);
  SendDlgItemMessageA(dialog, IDCANCEL, BM_CLICK, 0, 0);
  ExpectEndedWithOne();
}

TEST_F(ConfigDialogTest, CancelWritesNothing) {
  const std::string before = IniWith("45", "1");
  WriteFileBytes(Ini(), before);
  HWND dialog = Open();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(Interval(dialog), 45);
  Key(GetDlgItem(dialog, kIntervalEditId), VK_DOWN);
  SendDlgItemMessageA(dialog, IDCANCEL, BM_CLICK, 0, 0);
  ExpectEndedWithOne();
  EXPECT_EQ(ReadFileBytes(Ini()), before);
}

TEST_F(ConfigDialogTest, EscapeWritesNothing) {
  HWND dialog = Open();
  ASSERT_NE(dialog, nullptr);
  Key(GetDlgItem(dialog, kIntervalEditId), VK_DOWN);
  SetForegroundWindow(dialog);
  Pump(200);
  PressKey(VK_ESCAPE);
  ExpectEndedWithOne();
  EXPECT_EQ(GetFileAttributesA(Ini().c_str()), INVALID_FILE_ATTRIBUTES);
}

// Where the process of `window` loaded comctl32.dll from, lower case; empty when not loaded.
std::string CommonControlsPath(HWND window) {
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId);
  if (process == nullptr) return std::string();
  HMODULE modules[512];
  DWORD bytes = 0;
  std::string found;
  if (EnumProcessModules(process, modules, sizeof(modules), &bytes)) {
    for (DWORD i = 0; i < bytes / sizeof(HMODULE) && i < 512; ++i) {
      char name[MAX_PATH] = {};
      GetModuleFileNameExA(process, modules[i], name, sizeof(name));
      std::string path = CharLowerA(name);
      if (path.size() >= 12 && path.compare(path.size() - 12, 12, "comctl32.dll") == 0) {
        found = path;
      }
    }
  }
  CloseHandle(process);
  return found;
}

// The manifest asks for common controls 6: the dialog's process takes comctl32 from the
// side-by-side store of version 6, not the system folder's version 5.
TEST_F(ConfigDialogTest, DrawsWithCommonControlsSix) {
  HWND dialog = Open();
  ASSERT_NE(dialog, nullptr);
  const std::string path = CommonControlsPath(dialog);
  EXPECT_NE(path.find("microsoft.windows.common-controls_6595b64144ccf1df_6."), std::string::npos)
      << path;
  SendDlgItemMessageA(dialog, IDCANCEL, BM_CLICK, 0, 0);
  ExpectEndedWithOne();
}

// The module's manifest (resource 1 of type RT_MANIFEST), read from the file as data.
TEST(ManifestTest, DeclaresDpiAwarenessCommonControlsAndSystemsWithoutTrustInfo) {
  HMODULE module = LoadLibraryExA(ScrPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(module, nullptr);
  HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
  ASSERT_NE(found, nullptr);
  const char* bytes = static_cast<const char*>(LockResource(LoadResource(module, found)));
  ASSERT_NE(bytes, nullptr);
  const std::string text(bytes, SizeofResource(module, found));
  FreeLibrary(module);
  for (const char* part :
       {"<dpiAwareness xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">"
        "PerMonitorV2, PerMonitor</dpiAwareness>",
        "<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">true/pm"
        "</dpiAware>",
        "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"",
        "processorArchitecture=\"*\" publicKeyToken=\"6595b64144ccf1df\"",
        "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}", "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",
        "{1f676c76-80e1-4239-95bb-83d0f6d0da78}", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"}) {
    EXPECT_NE(text.find(part), std::string::npos) << part;
  }
  // A requested execution level would end file virtualisation for the settings file.
  EXPECT_EQ(text.find("<trustInfo"), std::string::npos);
  EXPECT_EQ(text.find("<requestedExecutionLevel"), std::string::npos);
}

TEST_F(ConfigDialogTest, ShowsFolderAndShuffleAndOkWritesThem) {
  // The folder in code page 932 (this process and the saver run with it): 写真 is 8E CA 90 5E.
  const std::string folder = "C:\\\x8e\xca\x90\x5e";
  WriteFileBytes(Ini(), IniWith("30", "0") + "Shuffle=1\r\n[Image]\r\nFolder=" + folder + "\r\n");
  HWND dialog = Open();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(IsDlgButtonChecked(dialog, kShuffleCheckId), 1u);
  wchar_t text[64] = {};
  GetDlgItemTextW(dialog, kFolderEditId, text, 64);
  EXPECT_STREQ(text, L"C:\\\u5199\u771f");
  GetDlgItemTextW(dialog, kShuffleCheckId, text, 64);
  EXPECT_STREQ(text, L"\u9806\u756a\u3092\u30b7\u30e3\u30c3\u30d5\u30eb\u3059\u308b");
  GetDlgItemTextW(dialog, kBrowseButtonId, text, 64);
  EXPECT_STREQ(text, L"\u53c2\u7167...");
  SendDlgItemMessageA(dialog, kShuffleCheckId, BM_CLICK, 0, 0);
  SetDlgItemTextW(dialog, kFolderEditId, L"D:\\\u65c5\u884c");  // D:\旅行, 97 B7 8D 73
  SendDlgItemMessageA(dialog, IDOK, BM_CLICK, 0, 0);
  ExpectEndedWithOne();
  const std::string bytes = ReadFileBytes(Ini());
  EXPECT_NE(bytes.find("Shuffle=0"), std::string::npos) << bytes;
  EXPECT_NE(bytes.find("Folder=D:\\\x97\xb7\x8d\x73\r\n"), std::string::npos) << bytes;
}

TEST_F(ConfigDialogTest, BrowseOpensTheFolderPickerAndCancelKeepsTheFolder) {
  const std::string before = IniWith("30", "0") + "[Image]\r\nFolder=C:\\windows\r\n";
  WriteFileBytes(Ini(), before);
  HWND dialog = Open();
  ASSERT_NE(dialog, nullptr);
  PostMessageA(GetDlgItem(dialog, kBrowseButtonId), BM_CLICK, 0, 0);
  HWND picker = nullptr;
  for (int i = 0; i < 100 && picker == nullptr; ++i) {
    Pump(100);
    for (HWND w = FindWindowExA(nullptr, nullptr, "#32770", nullptr); w != nullptr;
         w = FindWindowExA(nullptr, w, "#32770", nullptr)) {
      if (GetWindow(w, GW_OWNER) == dialog) picker = w;
    }
  }
  ASSERT_NE(picker, nullptr) << "no folder picker owned by the dialog";
  PostMessageA(picker, WM_COMMAND, IDCANCEL, 0);
  Pump(500);
  char folder[64] = {};
  GetDlgItemTextA(dialog, kFolderEditId, folder, sizeof folder);
  EXPECT_STREQ(folder, "C:\\windows");
  SendDlgItemMessageA(dialog, IDCANCEL, BM_CLICK, 0, 0);
  ExpectEndedWithOne();
  EXPECT_EQ(ReadFileBytes(Ini()), before);
}

// ShowFileVersion in this process, into a static control with the version text's id.
class VersionTextTest : public ::testing::Test {
 protected:
  void SetUp() override {
    parent_ = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 100, 40, nullptr, nullptr, nullptr,
                              nullptr);
    control_ = CreateWindowExA(0, "STATIC", "", WS_CHILD, 0, 0, 90, 20, parent_,
                               reinterpret_cast<HMENU>(kVersionTextId), nullptr, nullptr);
  }
  void TearDown() override { DestroyWindow(parent_); }
  std::string Text() {
    char text[64] = {};
    GetWindowTextA(control_, text, sizeof(text));
    return text;
  }
  HWND parent_ = nullptr;
  HWND control_ = nullptr;
};

TEST_F(VersionTextTest, ModuleWithVersionShowsOnePointZero) {
  EXPECT_EQ(ShowFileVersion(ScrPath().c_str(), parent_, kVersionTextId), 1);
  EXPECT_EQ(Text(), "1.000");
}

TEST_F(VersionTextTest, FileWithoutVersionShowsUnknown) {
  char self[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, self, sizeof(self));  // the test program has no version block
  EXPECT_EQ(ShowFileVersion(self, parent_, kVersionTextId), 0);
  EXPECT_EQ(Text(), "?Unknown?");
  EXPECT_EQ(ShowFileVersion("Z:\\no\\such\\file.scr", parent_, kVersionTextId), 0);
  EXPECT_EQ(Text(), "?Unknown?");
}

}  // namespace
}  // namespace kavrosa::test

#endif  // _WIN32
