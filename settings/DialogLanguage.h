// Which of the module's resource languages the dialog and its messages use. The rule is the
// resource loader's: the user's UI language, else another form of the same language, else
// English. Pure, so it is tested natively; the Windows side looks the resources up with it.
#pragma once

#include <cstdint>
#include <vector>

namespace kavrosa {

constexpr uint16_t kJapaneseLanguage = 0x0411;  // ja-JP, the dialog as designed
constexpr uint16_t kEnglishLanguage = 0x0409;   // en-US, for everyone else

// String ids beyond the caption's block (ids 0-15), so that the Japanese caption block stays
// as it was: the message when no settings file can be written, and the folder picker's title.
constexpr int kNotSavedStringId = 16;
constexpr int kPickFolderStringId = 17;

// The language among `available` to show to a user whose UI language is `uiLanguage`: the same
// language id, else the first with the same primary language (its low 10 bits), else English.
uint16_t ChooseResourceLanguage(uint16_t uiLanguage, const std::vector<uint16_t>& available);

}  // namespace kavrosa
