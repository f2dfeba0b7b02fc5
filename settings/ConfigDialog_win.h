// The configuration dialog (template 2003): edits the display interval, fit-to-screen, the
// shuffled order and the photograph folder in the settings file and shows the module's file
// version.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace kavrosa {

constexpr int kIntervalEditId = 1004;
constexpr int kIntervalUpDownId = 1001;
constexpr int kVersionTextId = 1003;
constexpr int kFitImageCheckId = 1024;
constexpr int kShuffleCheckId = 1025;
constexpr int kFolderEditId = 1026;
constexpr int kBrowseButtonId = 1027;

INT_PTR CALLBACK ConfigDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Writes the file's version text into a dialog control ("?Unknown?" and 0 on failure). A null
// file name means the running module.
int32_t ShowFileVersion(const char* fileName, HWND dialog, int controlId);

// A folder path (UTF-16) as the settings file stores it: in the ANSI code page, or, for a path
// that code page cannot hold, its short (8.3) form; "" when neither works.
std::string FolderSettingText(const std::wstring& folder);

}  // namespace kavrosa
