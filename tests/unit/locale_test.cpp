#include "platform/locale.h"

#include <gtest/gtest.h>

TEST(UserLocale, MapsLocaleNamesToLanguageIdentifiers)
{
    using userlocale::langIdForLocaleName;
    EXPECT_EQ(langIdForLocaleName(QStringLiteral("de_DE.UTF-8")), 1031);
    EXPECT_EQ(langIdForLocaleName(QStringLiteral("de_AT.UTF-8")), 3079);
    EXPECT_EQ(langIdForLocaleName(QStringLiteral("de_CH.UTF-8")), 2055);
    EXPECT_EQ(langIdForLocaleName(QStringLiteral("de_LI")), 5127);
    EXPECT_EQ(langIdForLocaleName(QStringLiteral("de_LU.UTF-8@euro")), 4103);
    EXPECT_EQ(langIdForLocaleName(QStringLiteral("de_BE.UTF-8")), 2067);
    EXPECT_EQ(langIdForLocaleName(QStringLiteral("en_US.UTF-8")), 1033);
    EXPECT_EQ(langIdForLocaleName(QStringLiteral("fr_FR.UTF-8")), 1036);
    EXPECT_EQ(langIdForLocaleName(QStringLiteral("C")), 1033);
    EXPECT_EQ(langIdForLocaleName(QStringLiteral("POSIX")), 1033);
    EXPECT_EQ(langIdForLocaleName(QString()), 1033);
    EXPECT_EQ(langIdForLocaleName(QStringLiteral("xx_YY")), 1033);
    EXPECT_EQ(userlocale::abbreviatedLanguageName(1031), QStringLiteral("DEU"));
    EXPECT_EQ(userlocale::abbreviatedLanguageName(1033), QStringLiteral("ENU"));
    EXPECT_EQ(userlocale::abbreviatedLanguageName(9999), QString());
}

TEST(UserLocale, TimeSeparatorOfTheShortTimeFormat)
{
    EXPECT_EQ(userlocale::timeSeparator(QLocale(QLocale::Finnish, QLocale::Finland)), u'.');
    EXPECT_EQ(userlocale::timeSeparator(QLocale(QLocale::German, QLocale::Germany)), u':');
    EXPECT_EQ(userlocale::timeSeparator(QLocale(QLocale::English, QLocale::UnitedStates)), u':');
}

TEST(UserLocale, FirstSetVariableDecides)
{
    qputenv("LC_ALL", "");
    qputenv("LC_MESSAGES", "de_AT.UTF-8");
    qputenv("LANG", "en_US.UTF-8");
    EXPECT_EQ(userlocale::userDefaultLangID(), 3079);
    qputenv("LC_ALL", "fr_FR.UTF-8");
    EXPECT_EQ(userlocale::userDefaultLangID(), 1036);
    qunsetenv("LC_ALL");
    qunsetenv("LC_MESSAGES");
    qunsetenv("LANG");
    EXPECT_EQ(userlocale::userDefaultLangID(), 1033);
}
