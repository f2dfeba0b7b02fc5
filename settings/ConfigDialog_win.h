// The configuration dialog (template 2003): edits the display interval and fit-to-screen in the
// settings file and shows the module's file version.
#pragma once

#include <windows.h>

#include <cstdint>

namespace kavrosa {

constexpr int kIntervalEditId = 1004;
constexpr int kIntervalUpDownId = 1001;
constexpr int kVersionTextId = 1003;
constexpr int kFitImageCheckId = 1024;

INT_PTR CALLBACK ConfigDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Writes the file's version text into a dialog control ("?Unknown?" and 0 on failure). A null
// file name means the running module.
int32_t ShowFileVersion(const char* fileName, HWND dialog, int controlId);

}  // namespace kavrosa
