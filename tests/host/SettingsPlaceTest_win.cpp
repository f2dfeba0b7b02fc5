// Where the real kavrosa.scr keeps its settings and what the dialog says when it cannot keep
// them: beside the module when that folder can be written, else in %APPDATA%\Kavrosa (tried by
// tests/host/per_user_settings_test.sh as a user who cannot write the module's folder), and
// the dialog's message when neither can be written. Also the English dialog beside the Japanese.
#ifdef _WIN32

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "settings/ConfigDialog_win.h"
#include "tests/host/WineHarness_win.h"

namespace kavrosa::test {
namespace {

constexpr int kMessageTextId = 0xFFFF;  // the static text of a message box

// Sets an environment variable for the children started meanwhile.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, const std::string& value) : name_(name) {
    char old[MAX_PATH] = {};
    had_ = GetEnvironmentVariableA(name, old, sizeof old) > 0;
    old_ = old;
    SetEnvironmentVariableA(name, value.c_str());
  }
  ~ScopedEnvironment() { SetEnvironmentVariableA(name_, had_ ? old_.c_str() : nullptr); }
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  const char* name_;
  bool had_ = false;
  std::string old_;
};

HWND OwnedDialog(HWND owner, DWORD ms) {
  for (DWORD waited = 0; waited < ms; waited += 100) {
    for (HWND w = FindWindowExA(nullptr, nullptr, "#32770", nullptr); w != nullptr;
         w = FindWindowExA(nullptr, w, "#32770", nullptr)) {
      if (GetWindow(w, GW_OWNER) == owner) return w;
    }
    Pump(100);
  }
  return nullptr;
}

std::wstring ControlText(HWND dialog, int id) {
  wchar_t text[512] = {};
  GetDlgItemTextW(dialog, id, text, 512);
  return text;
}

// No file can be made beside the module (a folder holds the settings file's name) nor in the
// user's settings folder (APPDATA names a file): OK leaves the dialog open with a message that
// names the file, and Cancel still ends it with 1.
TEST(SettingsPlace, NowhereWritableTheDialogSaysSoAndStaysOpen) {
  ScratchDir dir;
  ASSERT_TRUE(dir.Add(ScrPath(), "kavrosa.scr"));
  const std::string blocked = IniPath(dir, "kavrosa.scr");
  ASSERT_TRUE(CreateDirectoryA(blocked.c_str(), nullptr));
  WriteFileBytes(dir.File("not-a-folder"), "x");
  ScopedEnvironment appData("APPDATA", dir.File("not-a-folder"));
  ChildProcess saver;
  ASSERT_TRUE(saver.Start(dir.File("kavrosa.scr"), "/c"));
  HWND dialog = WaitForWindow("#32770", "Kavrosa", kStartLimitMs);
  ASSERT_NE(dialog, nullptr);
  PostMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
  HWND message = OwnedDialog(dialog, 10000);
  ASSERT_NE(message, nullptr) << "OK closed without saying that nothing was saved";
  // The box may be found before its text control is made.
  std::wstring text;
  for (int i = 0; i < 50 && text.empty(); ++i, Pump(100))
    text = ControlText(message, kMessageTextId);
  // 設定を保存できませんでした。 on a Japanese system, else English; then the file's name.
  const bool japanese = (GetUserDefaultUILanguage() & 0x3FF) == LANG_JAPANESE;
  const wchar_t* opening = japanese
                               ? L"\u8a2d\u5b9a\u3092\u4fdd\u5b58\u3067\u304d\u307e\u305b\u3093"
                               : L"The settings could not be saved";
  EXPECT_EQ(text.rfind(opening, 0), 0u) << "message not in the user's language";
  EXPECT_NE(text.find(L"kavrosa.INI"), std::wstring::npos);
  PostMessageA(message, WM_COMMAND, IDOK, 0);
  EXPECT_TRUE(WaitForWindowGone(message, 5000));
  EXPECT_TRUE(IsWindow(dialog)) << "the dialog closed as if saved";
  SendDlgItemMessageA(dialog, IDCANCEL, BM_CLICK, 0, 0);
  const std::optional<DWORD> code = saver.Wait(15000);
  ASSERT_TRUE(code.has_value());
  EXPECT_EQ(*code, 1u);
  RemoveDirectoryA(blocked.c_str());
}

// Run by per_user_settings_test.sh as a user who cannot write the module's folder, which holds
// kavrosa.scr and a kavrosa.INI with an interval of 45: the dialog shows 45 (carried over into
// the user's file), OK keeps the change there, and the saver reads it back and records the
// picture on screen there when it closes. The file beside the module is not touched.
TEST(SettingsPlace, ReadOnlyModuleFolderKeepsSettingsPerUser) {
  const char* folder = std::getenv("KAVROSA_READONLY_MODULE_DIR");
  if (folder == nullptr) GTEST_SKIP() << "run by per_user_settings_test.sh as another user";
  const std::string scr = std::string(folder) + "\\kavrosa.scr";
  const std::string beside = std::string(folder) + "\\kavrosa.INI";
  const std::string before = ReadFileBytes(beside);
  char appData[MAX_PATH] = {};
  ASSERT_GT(GetEnvironmentVariableA("APPDATA", appData, sizeof appData), 0u);
  const std::string own = std::string(appData) + "\\Kavrosa\\kavrosa.INI";
  DeleteFileA(own.c_str());

  ChildProcess dialogRun;
  ASSERT_TRUE(dialogRun.Start(scr, "/c"));
  HWND dialog = WaitForWindow("#32770", "Kavrosa", kStartLimitMs);
  ASSERT_NE(dialog, nullptr);
  Pump(300);
  BOOL ok = FALSE;
  EXPECT_EQ(GetDlgItemInt(dialog, kIntervalEditId, &ok, TRUE), 45u);
  SendDlgItemMessageA(dialog, kFitImageCheckId, BM_CLICK, 0, 0);
  SendDlgItemMessageA(dialog, IDOK, BM_CLICK, 0, 0);
  EXPECT_EQ(OwnedDialog(dialog, 1000), nullptr) << "the dialog could not save";
  const std::optional<DWORD> closed = dialogRun.Wait(15000);
  ASSERT_TRUE(closed.has_value());
  const std::string saved = ReadFileBytes(own);
  EXPECT_NE(saved.find(std::string(kIntervalKeyBytes) + "=45"), std::string::npos) << saved;
  EXPECT_NE(saved.find("FitImage=1"), std::string::npos) << saved;

  ChildProcess show;
  ASSERT_TRUE(show.Start(scr, "/s"));
  HWND window = WaitForWindow(kSaverClass, kSaverTitle, kStartLimitMs);
  ASSERT_NE(window, nullptr);
  Pump(3000);
  PostMessageA(window, WM_CLOSE, 0, 0);
  ASSERT_TRUE(show.Wait(15000).has_value());
  const std::string after = ReadFileBytes(own);
  // Neither file had a picture number: the show began with picture 1, and only its close
  // can have written it.
  EXPECT_EQ(saved.find("NO="), std::string::npos) << saved;
  EXPECT_NE(after.find("NO=1\r\n"), std::string::npos) << "picture 1 was on screen: " << after;
  EXPECT_EQ(ReadFileBytes(beside), before);
}

// The dialog's controls, read from a template: id, class, style, place.
struct ControlEntry {
  DWORD style;
  short x, y, cx, cy;
  WORD id;
  std::wstring className;
};

const WORD* SkipField(const WORD* p, std::wstring* text = nullptr) {
  if (*p == 0xFFFF) {
    if (text != nullptr) *text = L"#" + std::to_wstring(p[1]);
    return p + 2;
  }
  const WORD* start = p;
  while (*p != 0) ++p;
  if (text != nullptr) text->assign(reinterpret_cast<const wchar_t*>(start), p - start);
  return p + 1;
}

std::vector<ControlEntry> TemplateControls(HMODULE module, WORD language) {
  HRSRC found = FindResourceExA(module, MAKEINTRESOURCEA(5), MAKEINTRESOURCEA(2003), language);
  if (found == nullptr) return {};
  const auto* head = static_cast<const DLGTEMPLATE*>(LockResource(LoadResource(module, found)));
  const WORD* p = reinterpret_cast<const WORD*>(head + 1);
  p = SkipField(SkipField(SkipField(p)));  // menu, class, caption
  if (head->style & DS_SETFONT) p = SkipField(p + 1);
  std::vector<ControlEntry> controls;
  for (WORD i = 0; i < head->cdit; ++i) {
    p = reinterpret_cast<const WORD*>((reinterpret_cast<uintptr_t>(p) + 3) & ~uintptr_t{3});
    const auto* item = reinterpret_cast<const DLGITEMTEMPLATE*>(p);
    ControlEntry entry{item->style, item->x, item->y, item->cx, item->cy, item->id, L""};
    p = SkipField(reinterpret_cast<const WORD*>(item + 1), &entry.className);
    p = SkipField(p);  // text
    p = reinterpret_cast<const WORD*>(reinterpret_cast<const BYTE*>(p) + 2 + *p);
    controls.push_back(entry);
  }
  return controls;
}

// The English dialog has the Japanese one's controls in the same order with the same ids,
// classes, styles and places; only a label may be wider, for the longer English text.
TEST(EnglishDialog, HasTheJapaneseControls) {
  HMODULE module = LoadLibraryExA(ScrPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(module, nullptr);
  const std::vector<ControlEntry> japanese = TemplateControls(module, 0x0411);
  const std::vector<ControlEntry> english = TemplateControls(module, 0x0409);
  FreeLibrary(module);
  ASSERT_EQ(japanese.size(), 14u);
  ASSERT_EQ(english.size(), japanese.size());
  for (size_t i = 0; i < japanese.size(); ++i) {
    EXPECT_EQ(english[i].id, japanese[i].id) << i;
    EXPECT_EQ(english[i].className, japanese[i].className) << i;
    EXPECT_EQ(english[i].style, japanese[i].style) << i;
    EXPECT_EQ(english[i].x, japanese[i].x) << i;
    EXPECT_EQ(english[i].y, japanese[i].y) << i;
    EXPECT_EQ(english[i].cy, japanese[i].cy) << i;
    EXPECT_GE(english[i].cx, japanese[i].cx) << i;
  }
}

// Run with an English UI language (CTest's host_english_dialog): the English texts, and the
// same settings keys written by OK.
TEST(EnglishDialog, OpensInEnglishAndWritesTheSameKeys) {
  if ((GetUserDefaultUILanguage() & 0x3FF) == LANG_JAPANESE) GTEST_SKIP() << "a Japanese system";
  ScratchDir dir;
  ASSERT_TRUE(dir.Add(ScrPath(), "kavrosa.scr"));
  ChildProcess saver;
  ASSERT_TRUE(saver.Start(dir.File("kavrosa.scr"), "/c"));
  HWND dialog = WaitForWindow("#32770", "Kavrosa", kStartLimitMs);
  ASSERT_NE(dialog, nullptr);
  Pump(300);
  EXPECT_EQ(ControlText(dialog, IDCANCEL), L"Cancel");
  EXPECT_EQ(ControlText(dialog, kFitImageCheckId), L"Fit to the screen");
  EXPECT_EQ(ControlText(dialog, kShuffleCheckId), L"Shuffle the order");
  EXPECT_EQ(ControlText(dialog, kVersionTextId), L"1.000");
  SendDlgItemMessageA(dialog, kFitImageCheckId, BM_CLICK, 0, 0);
  SendDlgItemMessageA(dialog, IDOK, BM_CLICK, 0, 0);
  const std::optional<DWORD> code = saver.Wait(15000);
  ASSERT_TRUE(code.has_value());
  EXPECT_EQ(*code, 1u);
  const std::string bytes = ReadFileBytes(IniPath(dir, "kavrosa.scr"));
  EXPECT_NE(bytes.find(std::string(kIntervalKeyBytes) + "=30"), std::string::npos) << bytes;
  EXPECT_NE(bytes.find("FitImage=1"), std::string::npos) << bytes;
}

}  // namespace
}  // namespace kavrosa::test

#endif  // _WIN32
