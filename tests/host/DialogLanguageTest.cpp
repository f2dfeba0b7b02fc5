// The dialog's language: Japanese only for a Japanese user, English for everyone else.
#include <gtest/gtest.h>

#include "settings/DialogLanguage.h"

namespace kavrosa {
namespace {

struct LanguageCase {
  uint16_t uiLanguage;
  uint16_t chosen;
};

class DialogLanguageChoice : public ::testing::TestWithParam<LanguageCase> {};

TEST_P(DialogLanguageChoice, FromTheModulesTwoLanguages) {
  EXPECT_EQ(ChooseResourceLanguage(GetParam().uiLanguage, {kJapaneseLanguage, kEnglishLanguage}),
            GetParam().chosen);
}

INSTANTIATE_TEST_SUITE_P(Users, DialogLanguageChoice,
                         ::testing::Values(LanguageCase{0x0411, 0x0411},    // ja-JP
                                           LanguageCase{0x0011, 0x0411},    // ja, no region
                                           LanguageCase{0x0409, 0x0409},    // en-US
                                           LanguageCase{0x0809, 0x0409},    // en-GB
                                           LanguageCase{0x0407, 0x0409},    // de-DE
                                           LanguageCase{0x0000, 0x0409}));  // neutral

}  // namespace
}  // namespace kavrosa
