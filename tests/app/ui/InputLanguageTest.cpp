#include <gtest/gtest.h>

#include <QLocale>

#include "app/ui/InputLanguage.h"

namespace fim {
namespace {

TEST(InputLanguage, EveryGermanCountryIsGermanAndNothingElse) {
    EXPECT_TRUE(IsGermanLocale(QLocale(QLocale::German, QLocale::Germany)));
    EXPECT_TRUE(IsGermanLocale(QLocale(QLocale::German, QLocale::Switzerland)));
    EXPECT_TRUE(IsGermanLocale(QLocale(QLocale::German, QLocale::Austria)));
    EXPECT_TRUE(IsGermanLocale(QLocale("de_LU")));
    EXPECT_FALSE(IsGermanLocale(QLocale(QLocale::English, QLocale::UnitedStates)));
    EXPECT_FALSE(IsGermanLocale(QLocale(QLocale::French, QLocale::Switzerland)));
    EXPECT_FALSE(IsGermanLocale(QLocale(QLocale::LowGerman, QLocale::Germany)));
    EXPECT_FALSE(IsGermanLocale(QLocale(QLocale::SwissGerman, QLocale::Switzerland)));
    EXPECT_FALSE(IsGermanLocale(QLocale::c()));
}

}  // namespace
}  // namespace fim
