// The configuration dialog's version display text.
#include "settings/FileVersionText.h"

#include <gtest/gtest.h>

#include <string>

namespace kavrosa {
namespace {

TEST(FileVersionTextTest, Table) {
  EXPECT_EQ(FileVersionDisplayText("1, 0, 0, 0"), "1.000");
  EXPECT_EQ(FileVersionDisplayText("2, 1, 0, 5"), "2.105");
  EXPECT_EQ(FileVersionDisplayText(""), "");
  EXPECT_EQ(FileVersionDisplayText("1.2.3"), "1.2.3");
  EXPECT_EQ(FileVersionDisplayText(",,,"), ".");
  EXPECT_EQ(FileVersionDisplayText("  10 ,  20 "), "10.20");
  EXPECT_EQ(FileVersionDisplayText(nullptr), "");
}

TEST(FileVersionTextTest, AtMost255CharactersAreRead) {
  const std::string longValue(300, '7');
  EXPECT_EQ(FileVersionDisplayText(longValue.c_str()), std::string(255, '7'));
}

}  // namespace
}  // namespace kavrosa
