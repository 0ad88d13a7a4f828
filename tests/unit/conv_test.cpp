#include "platform/conv.h"
#include "platform/errors.h"
#include "platform/strings.h"

#include <gtest/gtest.h>

TEST(StrToInt, AcceptsDecimalIntegersWithSignAndLeadingBlanks)
{
    EXPECT_EQ(StrToInt(QStringLiteral("32")), 32);
    EXPECT_EQ(StrToInt(QStringLiteral(" 32")), 32);
    EXPECT_EQ(StrToInt(QStringLiteral("-1")), -1);
    EXPECT_EQ(StrToInt(QStringLiteral("+7")), 7);
    EXPECT_EQ(StrToInt(QStringLiteral("2147483647")), INT32_MAX);
    EXPECT_EQ(StrToInt(QStringLiteral("-2147483648")), INT32_MIN);
}

TEST(StrToInt, RejectsEverythingElseWithTheTableMessage)
{
    for (const char* bad : {"", "   ", "abc", "1e3", "32 ", "3 2", "0x10", "$10", "2147483648",
                            "-2147483649", "99999999999", "+", "-", "１２"}) {
        const QString text = QString::fromUtf8(bad);
        int32_t v = 0;
        EXPECT_FALSE(tryStrToInt(text, v)) << bad;
        try {
            StrToInt(text);
            ADD_FAILURE() << "no error for '" << bad << "'";
        } catch (const EConvertError& e) {
            EXPECT_EQ(e.text(), QStringLiteral("'%1' ist kein gültiger Integerwert").arg(text));
        }
    }
}

TEST(StringTable, FillsPlaceholdersInOrderAndRejectsUnknownNames)
{
    EXPECT_EQ(StringTable::fill(QStringLiteral("ShellExecute \"%s\" Failed with Error: %d"),
                                {QStringLiteral("x.invalid"), QStringLiteral("2")}),
              QStringLiteral("ShellExecute \"x.invalid\" Failed with Error: 2"));
    EXPECT_EQ(StringTable::fill(QStringLiteral("100%% of %s"), {}), QStringLiteral("100% of "));
    EXPECT_THROW(StringTable::parse("Nonsense=x\n", QStringLiteral("t")), EResourceError);
    EXPECT_THROW(StringTable::parse("no equals sign\n", QStringLiteral("t")), EResourceError);

    StringTable::install(StringTable::parse(
        "# English\r\nInvalidInteger='%s' is not a valid integer value\r\n", QStringLiteral("t")));
    EXPECT_EQ(StringTable::current().format(StringId::InvalidInteger, {QStringLiteral("x")}),
              QStringLiteral("'x' is not a valid integer value"));
    // A module that leaves a text out falls back to the built-in one.
    StringTable::install(StringTable::parse("", QStringLiteral("empty")));
    EXPECT_EQ(StringTable::current().text(StringId::InvalidInteger),
              QStringLiteral("'%s' ist kein gültiger Integerwert"));
    StringTable::restoreBuiltIn();
}
