// Path order and the service folders. Only ASCII is folded: names in other scripts compare by
// their UTF-8 bytes, which is the same order on every platform.
#include "library/PathOrder.h"

#include <algorithm>

namespace kavrosa {

int CompareFolded(const std::string& a, const std::string& b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    const auto x = static_cast<unsigned char>(FoldAscii(a[i]));
    const auto y = static_cast<unsigned char>(FoldAscii(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  return 0;
}

bool LessPath(const std::string& a, const std::string& b) {
  const int folded = CompareFolded(a, b);
  return folded != 0 ? folded < 0 : a < b;
}

bool IsServiceFolderName(const std::string& name) {
  static const char* const kNames[] = {"@eaDir",      "#recycle",     "#snapshot",
                                       ".thumbnails", "$RECYCLE.BIN", "System Volume Information"};
  for (const char* service : kNames) {
    if (CompareFolded(name, service) == 0) return true;
  }
  return false;
}

}  // namespace kavrosa
