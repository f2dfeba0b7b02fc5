// The configuration dialog. The up-down control's range is given reversed (minimum 300, maximum
// 15), so its up arrow steps toward 15; UDM_GETPOS is kept whole, error flag included, so an
// invalid position saves as a value that reads back as the default.
#include "settings/ConfigDialog_win.h"

#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

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
  char caption[1024] = {};
  LoadStringA(GetModuleHandleA(nullptr), kCaptionStringId, caption, sizeof(caption));
  SetWindowTextA(dialog, caption);
  const std::string path = SettingsPath();
  config.interval = ReadIntervalSeconds(path.c_str());
  SendDlgItemMessageA(dialog, kIntervalUpDownId, UDM_SETRANGE, 0, kReversedRange);
  SetDlgItemInt(dialog, kIntervalEditId, static_cast<UINT>(config.interval), TRUE);
  CheckDlgButton(dialog, kFitImageCheckId, static_cast<UINT>(ReadFitImage(path.c_str())));
}

void Save(HWND dialog, ConfigDialog& config) {
  config.interval =
      static_cast<int32_t>(SendDlgItemMessageA(dialog, kIntervalUpDownId, UDM_GETPOS, 0, 0));
  const std::string path = SettingsPath();
  WriteIntervalSeconds(path.c_str(), config.interval);
  WriteFitImage(path.c_str(), static_cast<int32_t>(IsDlgButtonChecked(dialog, kFitImageCheckId)));
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
        Save(dialog, *config);
        EndDialog(dialog, 1);
        return TRUE;
      }
      if (wParam == IDCANCEL) {
        EndDialog(dialog, 1);
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
