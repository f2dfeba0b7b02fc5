// The dialog template and the strings of the language chosen for this user, looked up
// explicitly (FindResourceEx), so that the choice is the same on every system and under Wine.
#pragma once

#include <windows.h>

#include <string>

namespace kavrosa {

// The resource language for the configuration dialog and its messages.
WORD DialogLanguage(HINSTANCE module);

// The template `id` in that language (any language when it has none); null when missing.
const DLGTEMPLATE* DialogTemplate(HINSTANCE module, int id);

// String `id` in that language (the caption block, or the messages after it); "" when missing.
std::wstring DialogString(HINSTANCE module, int id);

}  // namespace kavrosa
