// The choice of the dialog's language. A language id keeps the primary language in its low 10
// bits and the region above them, so ja-JP and a bare "ja" agree on 0x11, en-GB and en-US on 0x09.
#include "settings/DialogLanguage.h"

#include <algorithm>

namespace kavrosa {
namespace {

uint16_t PrimaryLanguage(uint16_t language) {
  return static_cast<uint16_t>(language & 0x3FF);
}

}  // namespace

uint16_t ChooseResourceLanguage(uint16_t uiLanguage, const std::vector<uint16_t>& available) {
  if (std::find(available.begin(), available.end(), uiLanguage) != available.end()) {
    return uiLanguage;
  }
  for (const uint16_t language : available) {
    if (PrimaryLanguage(language) == PrimaryLanguage(uiLanguage)) return language;
  }
  return kEnglishLanguage;
}

}  // namespace kavrosa
