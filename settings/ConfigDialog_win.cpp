// The configuration dialog. The up-down control's range is given reversed (minimum 300, maximum
// 15), so its up arrow steps toward 15; UDM_GETPOS is kept whole, error flag included, so an
// invalid position saves as a value that reads back as the default. The folder picker is
// SHBrowseForFolderW, looked up in SHELL32 at run time; its result is kept in the ANSI code
// page, as the settings file holds the folder. Texts come in the user's language (Japanese or
// English); a failed write keeps the dialog open with a message instead of closing as if saved.
#include "settings/ConfigDialog_win.h"

#include <commctrl.h>
#include <shlobj.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/WideText_win.h"
#include "settings/DialogLanguage.h"
#include "settings/DialogResources_win.h"
#include "settings/FileVersionText.h"
#include "settings/Settings.h"

namespace kavrosa {
namespace {

constexpr int kCaptionStringId = 1;
constexpr LPARAM kReversedRange = 0x012C000F;  // upper word 300 (minimum), lower 15 (maximum)
constexpr uint32_t kDialogPathSize = 1024;

// Lives from WM_INITDIALOG to WM_NCDESTROY in the dialog's DWLP_USER slot.
struct ConfigDialog {
  int32_t interval = kDefaultIntervalSeconds;
};

ConfigDialog* DialogObject(HWND dialog) {
  return reinterpret_cast<ConfigDialog*>(GetWindowLongPtrA(dialog, DWLP_USER));
}

using InitCommonControlsExProc = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);

// The up-down class through InitCommonControlsEx, which the first systems' common controls lack:
// then the older call registers it. The manifest makes this the version 6 library.
void RegisterCommonControls() {
  HMODULE comctl32 = GetModuleHandleA("COMCTL32.DLL");
  const auto initEx = comctl32 != nullptr
                          ? reinterpret_cast<InitCommonControlsExProc>(reinterpret_cast<void*>(
                                GetProcAddress(comctl32, "InitCommonControlsEx")))
                          : nullptr;
  INITCOMMONCONTROLSEX classes{sizeof(INITCOMMONCONTROLSEX), ICC_UPDOWN_CLASS};
  if (initEx == nullptr || !initEx(&classes)) InitCommonControls();
}

std::string SettingsPath() {
  char path[kDialogPathSize] = {};
  if (GetSettingsPath(path, sizeof(path)) == 0) return std::string();
  return path;
}

void Initialise(HWND dialog, ConfigDialog& config) {
  RegisterCommonControls();
  char moduleName[256] = {};
  GetModuleFileNameA(nullptr, moduleName, sizeof(moduleName));
  ShowFileVersion(moduleName, dialog, kVersionTextId);
  SetWindowTextW(dialog, DialogString(GetModuleHandleA(nullptr), kCaptionStringId).c_str());
  const std::string path = SettingsPath();
  config.interval = ReadIntervalSeconds(path.c_str());
  SendDlgItemMessageA(dialog, kIntervalUpDownId, UDM_SETRANGE, 0, kReversedRange);
  SetDlgItemInt(dialog, kIntervalEditId, static_cast<UINT>(config.interval), TRUE);
  CheckDlgButton(dialog, kFitImageCheckId, static_cast<UINT>(ReadFitImage(path.c_str())));
  CheckDlgButton(dialog, kShuffleCheckId, static_cast<UINT>(ReadShuffle(path.c_str())));
  SendDlgItemMessageA(dialog, kFolderEditId, EM_LIMITTEXT, kSettingTextSize - 1, 0);
  SetDlgItemTextA(dialog, kFolderEditId, ReadPhotoFolder(path.c_str()).c_str());
}

std::string DialogText(HWND dialog, int controlId) {
  std::vector<char> text(kSettingTextSize, '\0');
  const UINT length = GetDlgItemTextA(dialog, controlId, text.data(), kSettingTextSize);
  return std::string(text.data(), length);
}

// Every value is written even after one fails; false when any of them was not.
bool Save(HWND dialog, ConfigDialog& config, std::string& path) {
  config.interval =
      static_cast<int32_t>(SendDlgItemMessageA(dialog, kIntervalUpDownId, UDM_GETPOS, 0, 0));
  path = SettingsPath();
  const auto checked = [dialog](int id) {
    return static_cast<int32_t>(IsDlgButtonChecked(dialog, id));
  };
  int32_t written = WriteIntervalSeconds(path.c_str(), config.interval);
  written &= WriteFitImage(path.c_str(), checked(kFitImageCheckId));
  written &= WriteShuffle(path.c_str(), checked(kShuffleCheckId));
  written &= WritePhotoFolder(path.c_str(), DialogText(dialog, kFolderEditId));
  return written != 0;
}

// The dialog stays open after this, so that nothing looks saved that was not.
void SayNotSaved(HWND dialog, const std::string& path) {
  HINSTANCE module = GetModuleHandleA(nullptr);
  const std::wstring text =
      DialogString(module, kNotSavedStringId) + L"\n\n" + WideFromCodePage(path, CP_ACP);
  MessageBoxW(dialog, text.c_str(), DialogString(module, kCaptionStringId).c_str(),
              MB_OK | MB_ICONWARNING);
}

// The picker's entries, from SHELL32 (and OLE32 for freeing its result) when they exist.
struct FolderPicker {
  using BrowseFn = LPITEMIDLIST(WINAPI*)(LPBROWSEINFOW);
  using PathFn = BOOL(WINAPI*)(LPCITEMIDLIST, LPWSTR);
  using FreeFn = void(WINAPI*)(LPVOID);
  BrowseFn browse = nullptr;
  PathFn path = nullptr;
  FreeFn free = nullptr;
};

template <typename Fn>
Fn Entry(const char* library, const char* name) {
  HMODULE module = LoadLibraryA(library);  // stays loaded: the dialog may call it again
  return module != nullptr
             ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)))
             : nullptr;
}

// Starts the picker at the folder the edit box names.
int CALLBACK PickerCallback(HWND picker, UINT message, LPARAM, LPARAM data) {
  const auto* start = reinterpret_cast<const std::wstring*>(data);
  if (message == BFFM_INITIALIZED && start != nullptr && !start->empty())
    SendMessageW(picker, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(start->c_str()));
  return 0;
}

void BrowseForFolder(HWND dialog) {
  FolderPicker picker;
  picker.browse = Entry<FolderPicker::BrowseFn>("SHELL32.DLL", "SHBrowseForFolderW");
  picker.path = Entry<FolderPicker::PathFn>("SHELL32.DLL", "SHGetPathFromIDListW");
  picker.free = Entry<FolderPicker::FreeFn>("OLE32.DLL", "CoTaskMemFree");
  if (picker.browse == nullptr || picker.path == nullptr) return;
  const std::wstring start = WideFromCodePage(DialogText(dialog, kFolderEditId), CP_ACP);
  std::wstring title = DialogString(GetModuleHandleA(nullptr), kPickFolderStringId);
  wchar_t display[MAX_PATH] = {};
  BROWSEINFOW info{};
  info.hwndOwner = dialog;
  info.pszDisplayName = display;
  info.lpszTitle = title.c_str();
  info.ulFlags = BIF_RETURNONLYFSDIRS;
  info.lpfn = PickerCallback;
  info.lParam = reinterpret_cast<LPARAM>(&start);
  LPITEMIDLIST chosen = picker.browse(&info);
  if (chosen == nullptr) return;
  wchar_t folder[MAX_PATH] = {};
  const bool ok = picker.path(chosen, folder) != FALSE;
  if (picker.free != nullptr) picker.free(chosen);
  if (!ok) return;
  const std::string text = FolderSettingText(folder);
  if (!text.empty()) SetDlgItemTextA(dialog, kFolderEditId, text.c_str());
}

bool QueryFileVersion(const char* fileName, std::string& value) {
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeA(fileName, &handle);
  if (size == 0) return false;
  std::vector<char> block(size + 1);
  if (!GetFileVersionInfoA(fileName, 0, size, block.data())) return false;
  void* translation = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", &translation, &length) ||
      translation == nullptr || length < sizeof(DWORD)) {
    return false;
  }
  const DWORD entry = *static_cast<const DWORD*>(translation);
  char query[256];
  wsprintfA(query, "\\StringFileInfo\\%04x%04x\\FileVersion", LOWORD(entry), HIWORD(entry));
  void* text = nullptr;
  if (!VerQueryValueA(block.data(), query, &text, &length) || text == nullptr) return false;
  // The value need not be terminated inside the block: copy at most its length.
  const char* chars = static_cast<const char*>(text);
  value.assign(chars, strnlen(chars, length));
  return true;
}

}  // namespace

std::string FolderSettingText(const std::wstring& folder) {
  if (folder.empty()) return std::string();
  const auto fits = [](const std::wstring& wide) {
    BOOL lost = FALSE;
    const int length = static_cast<int>(wide.size());
    return WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), length, nullptr, 0,
                               nullptr, &lost) > 0 &&
           !lost;
  };
  if (fits(folder)) return CodePageFromWide(folder, CP_ACP);
  // The short form of each name is ASCII where the volume keeps 8.3 names.
  wchar_t shortPath[MAX_PATH] = {};
  const DWORD length = GetShortPathNameW(folder.c_str(), shortPath, MAX_PATH);
  if (length == 0 || length >= MAX_PATH || !fits(shortPath)) return std::string();
  return CodePageFromWide(shortPath, CP_ACP);
}

int32_t ShowFileVersion(const char* fileName, HWND dialog, int controlId) {
  char ownName[2048] = {};
  if (fileName == nullptr) {
    GetModuleFileNameA(nullptr, ownName, sizeof(ownName));
    fileName = ownName;
  }
  HWND control = GetDlgItem(dialog, controlId);
  std::string value;
  if (!QueryFileVersion(fileName, value)) {
    SetWindowTextA(control, kUnknownVersionText);
    return 0;
  }
  SetWindowTextA(control, FileVersionDisplayText(value.c_str()).c_str());
  return 1;
}

INT_PTR CALLBACK ConfigDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  ConfigDialog* config = DialogObject(dialog);
  if (config == nullptr) {
    if (message != WM_INITDIALOG) return FALSE;
    config = std::make_unique<ConfigDialog>().release();  // owned by the dialog until NCDESTROY
    SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(config));
  }
  switch (message) {
    case WM_INITDIALOG:
      Initialise(dialog, *config);
      return TRUE;
    case WM_COMMAND:
      if (wParam == IDOK) {
        std::string path;
        if (Save(dialog, *config, path)) {
          EndDialog(dialog, 1);
        } else {
          SayNotSaved(dialog, path);
        }
        return TRUE;
      }
      if (wParam == IDCANCEL) {
        EndDialog(dialog, 1);
        return TRUE;
      }
      if (wParam == kBrowseButtonId) {  // BN_CLICKED is 0: the whole wParam is the id
        BrowseForFolder(dialog);
        return TRUE;
      }
      return FALSE;
    case WM_NCDESTROY:
      std::unique_ptr<ConfigDialog>(config).reset();
      SetWindowLongPtrA(dialog, DWLP_USER, 0);
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace kavrosa
