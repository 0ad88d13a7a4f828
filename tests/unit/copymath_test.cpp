#include "app/copymath.h"
#include "platform/errors.h"

#include <gtest/gtest.h>

#include <limits>

using namespace copymath;

namespace {

const QLocale kEnglish(QLocale::English, QLocale::UnitedStates);
const QLocale kGerman(QLocale::German, QLocale::Germany);

QDateTime at(int month, int day, int h, int m, int s, int ms = 0)
{
    return QDateTime(QDate(2024, month, day), QTime(h, m, s, ms));
}

} // namespace

TEST(CopyMath, ElapsedTimeKeepsWholeHours)
{
    EXPECT_EQ(elapsedMs(at(12, 6, 21, 53, 12, 100), at(12, 6, 21, 53, 12, 412)), 312);
    // One hour, two minutes, 3.004 s: the minutes field alone would give 123004.
    EXPECT_EQ(elapsedMs(at(12, 6, 21, 0, 0), at(12, 6, 22, 2, 3, 4)), 3723004);
    EXPECT_EQ(elapsedMs(at(12, 6, 23, 59, 59, 900), at(12, 7, 0, 0, 0, 50)), 150);
    EXPECT_EQ(elapsedMs(at(12, 6, 10, 0, 0), at(12, 6, 10, 0, 0)), 0);
    // A clock set back during the copy.
    EXPECT_EQ(elapsedMs(at(12, 6, 10, 0, 1), at(12, 6, 10, 0, 0)), 0);
    EXPECT_EQ(elapsedMs(at(1, 1, 0, 0, 0), QDateTime(QDate(2030, 1, 1), QTime(0, 0))),
              std::numeric_limits<int32_t>::max());
}

TEST(CopyMath, SpeedInHundredthsOfTheUnit)
{
    EXPECT_EQ(speedHundredths(1048576, 312, 1048576), 2564);
    EXPECT_EQ(speedHundredths(1048576, 312, 1024), 2625641);
    EXPECT_EQ(speedHundredths(1048576, 312, 1073741824), 3);
    // 102400 / 2048 * 800000 / 1024 is exactly 39062.5: the even neighbour, not 39063.
    EXPECT_EQ(speedHundredths(102400, 2048, 1024), 39062);
    EXPECT_EQ(speedHundredths(1048576, 0, 1048576), 0);
    EXPECT_EQ(speedHundredths(1048576, 312, 0), 0);
    // 5 MB in 1 ms in KBit/s is 4096000000, above the 32-bit range.
    EXPECT_EQ(speedHundredths(5242880, 1, 1024), std::numeric_limits<int32_t>::max());
}

TEST(CopyMath, SpeedFromMicroseconds)
{
    const struct
    {
        int64_t size;
        int64_t us;
        int64_t divisor;
        int32_t speed;
        int32_t ms;
    } cases[] = {
        // 1 MB in 2.437 ms: 3282.72 MBit/s, where whole milliseconds gave 4000 (2 ms).
        {1048576, 2437, 1048576, 328272, 2},
        {1048576, 2500, 1048576, 320000, 2}, // 2.5 ms shows as 2, halves to even
        {1048576, 3500, 1048576, 228571, 4},
        // Under a millisecond the time shows 0 and the speed is still the copy's own.
        {102400, 420, 1048576, 186012, 0},
        {102400, 1, 1073741824, 76294, 0},
        // Whole milliseconds give what the millisecond formula gave: 312 ms is 25.64 MBit/s.
        {1048576, 312000, 1048576, 2564, 312},
        {1048576, 312000, 1024, 2625641, 312},
        // 102400 bytes in 2.048 s in KBit/s is exactly 390.625: the even neighbour.
        {102400, 2048000, 1024, 39062, 2048},
        // 100 Mbit/s links: 1 MB in 83.886 ms is 100 000 000 bit/s, 95.37 MBit/s.
        {1048576, 83886, 1048576, 9537, 84},
        {5242880, 419431, 1048576, 9537, 419},
        // Nothing measured, a unit of 0, a speed above the range.
        {1048576, 0, 1048576, 0, 0},
        {1048576, -5, 1048576, 0, 0},
        {1048576, 312000, 0, 0, 312},
        {5242880, 1, 1024, std::numeric_limits<int32_t>::max(), 0},
        // An hour and more keeps its hours.
        {5242880, 3723004000, 1048576, 1, 3723004},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.size << " bytes in " << c.us << " us");
        EXPECT_EQ(speedHundredthsUs(c.size, c.us, c.divisor), c.speed);
        EXPECT_EQ(wholeMilliseconds(c.us), c.ms);
    }
}

TEST(CopyMath, ShortestFloatTextUsesTheLocaleSeparator)
{
    EXPECT_EQ(shortestFloatText(2564.0L / 100, kEnglish), QStringLiteral("25.64"));
    EXPECT_EQ(shortestFloatText(1200.0L / 100, kEnglish), QStringLiteral("12"));
    EXPECT_EQ(shortestFloatText(0, kEnglish), QStringLiteral("0"));
    EXPECT_EQ(shortestFloatText(2564.0L / 100, kGerman), QStringLiteral("25,64"));
    // Never grouped, at most 15 significant digits.
    EXPECT_EQ(shortestFloatText(2147483647.0L / 100, kGerman), QStringLiteral("21474836,47"));
    EXPECT_EQ(shortestFloatText(1.0L / 3, kEnglish), QStringLiteral("0.333333333333333"));
}

TEST(CopyMath, ScaleLabelsRoundHalvesToEven)
{
    EXPECT_EQ(timeScaleLabels(5).half, QStringLiteral("2"));
    EXPECT_EQ(timeScaleLabels(7).half, QStringLiteral("4"));
    EXPECT_EQ(timeScaleLabels(20).gridStep, 2);
    const ScaleLabels time = timeScaleLabels(1000);
    EXPECT_EQ(time.top, QStringLiteral("1000"));
    EXPECT_EQ(time.threeQuarter, QStringLiteral("750"));
    EXPECT_EQ(time.quarter, QStringLiteral("250"));
    EXPECT_EQ(time.gridStep, 125);
    EXPECT_EQ(timeScaleLabels(6).threeQuarter, QStringLiteral("4")); // 4.5

    const ScaleLabels speed = speedScaleLabels(2564, kEnglish);
    EXPECT_EQ(speed.top, QStringLiteral("25.64"));
    EXPECT_EQ(speed.threeQuarter, QStringLiteral("19")); // 19.23
    EXPECT_EQ(speed.half, QStringLiteral("13"));         // 12.82
    EXPECT_EQ(speed.quarter, QStringLiteral("6"));       // 6.41
    EXPECT_EQ(speed.gridStep, 320);                      // 320.5
    EXPECT_EQ(speedScaleLabels(1200, kEnglish).top, QStringLiteral("12"));
    EXPECT_EQ(speedScaleLabels(1, kGerman).top, QStringLiteral("0,01"));
    EXPECT_EQ(speedScaleLabels(1, kGerman).half, QStringLiteral("0"));
    EXPECT_EQ(speedScaleLabels(500, kEnglish).half, QStringLiteral("2")); // 2.5
}

TEST(CopyMath, LogLinesOfTheThreeOutcomes)
{
    const QDateTime start = at(12, 6, 21, 53, 12, 480);
    EXPECT_EQ(copyLogLine(start, true, true, 312, 2564, QStringLiteral("MBit/s"), kEnglish),
              QStringLiteral("Dec06, 21:53:12, 312ms, 25.64 MBit/s"));
    EXPECT_EQ(copyLogLine(start, true, false, 312, 2564, QStringLiteral("MBit/s"), kEnglish),
              QStringLiteral("Dec06, 21:53:12, 312ms, 25.64 MBit/s, delete process has failed"));
    EXPECT_EQ(copyLogLine(start, false, false, 0, 0, QStringLiteral("MBit/s"), kEnglish),
              QStringLiteral("Dec06, 21:53:12, copy process has failed"));
    EXPECT_EQ(copyLogLine(start, true, true, 0, 0, QStringLiteral("MBit/s"), kEnglish),
              QStringLiteral("Dec06, 21:53:12, 0ms, 0 MBit/s"));
    EXPECT_EQ(copyLogLine(start, true, true, 312, 2564, QStringLiteral("MBit/s"), kGerman),
              QStringLiteral("Dez06, 21:53:12, 312ms, 25,64 MBit/s"));
}

TEST(CopyMath, TimestampFollowsTheLocale)
{
    EXPECT_EQ(copyTimestamp(at(3, 1, 7, 5, 9), kEnglish), QStringLiteral("Mar01, 07:05:09"));
    EXPECT_EQ(copyTimestamp(at(3, 1, 7, 5, 9), kGerman), QStringLiteral("Mär01, 07:05:09"));
    // 24-hour time even where the locale writes AM/PM.
    EXPECT_EQ(copyTimestamp(at(10, 31, 23, 0, 0), kEnglish), QStringLiteral("Oct31, 23:00:00"));
}

TEST(CopyMath, ListAverageFromTheThirdValue)
{
    EXPECT_EQ(listAverage(QList<int64_t>{1, 2, 2, 5}), 3); // 2.5 rounds up here
    EXPECT_EQ(listAverage(QList<int64_t>{1, 2, 2}), 2);    // 1.67
    EXPECT_EQ(listAverage(QList<int64_t>{10, 20}), std::nullopt);
    EXPECT_EQ(listAverage(QList<int64_t>{0, 0, 0}), std::nullopt);
    EXPECT_EQ(listAverage(QList<int64_t>{-5, 1, 1}), std::nullopt);
    EXPECT_EQ(listAverage(QList<int64_t>{0, 0, 1}), 0); // 0.33 + 0.5: fed, as 0
    EXPECT_EQ(listAverage(QList<int64_t>{0, 1, 1}), 1); // 0.67 + 0.5
    EXPECT_EQ(listAverage(QList<int64_t>{}), std::nullopt);
    // 100 values at the top of the range: the sum needs 64 bits.
    const QList<int64_t> high(100, std::numeric_limits<int32_t>::max());
    EXPECT_EQ(listAverage(high), std::numeric_limits<int32_t>::max());
}

TEST(CopyMath, ListAverageOfLines)
{
    EXPECT_EQ(listAverage(QStringList{QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("2"),
                                      QStringLiteral("5")}),
              3);
    EXPECT_THROW(
        listAverage(QStringList{QStringLiteral("1"), QStringLiteral("x"), QStringLiteral("2")}),
        EConvertError);
}
