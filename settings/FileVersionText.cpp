// The FileVersion display rule. Only the first comma turns into a point, so "2, 1, 0, 5" reads
// as the decimal-looking "2.105".
#include "settings/FileVersionText.h"

namespace kavrosa {

std::string FileVersionDisplayText(const char* value) {
  constexpr size_t kMaxValueChars = 255;
  std::string text;
  bool pointWritten = false;
  for (size_t i = 0; value != nullptr && value[i] != '\0' && i < kMaxValueChars; ++i) {
    const char c = value[i];
    if (c == ' ') continue;
    if (c == ',') {
      if (!pointWritten) text += '.';
      pointWritten = true;
      continue;
    }
    text += c;
  }
  return text;
}

}  // namespace kavrosa
