#include "platform/rounding.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

TEST(Rounding, HalvesToEvenInsideThe32BitRange)
{
    EXPECT_EQ(roundHalfEven(2.5L), 2);
    EXPECT_EQ(roundHalfEven(3.5L), 4);
    EXPECT_EQ(roundHalfEven(-2.5L), -2);
    EXPECT_EQ(roundHalfEven(-3.5L), -4);
    EXPECT_EQ(roundHalfEven(2.5000001L), 3);
    EXPECT_EQ(roundHalfEven(-0.4L), 0);
    EXPECT_EQ(roundHalfEven(1e12L), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(roundHalfEven(-1e12L), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(roundHalfEven(std::nanl("")), 0);
    // Beyond 32 bits only the clamped form stops.
    EXPECT_EQ(Round(4294967296.5L), 4294967296);
    EXPECT_EQ(Round(0.5L), 0);
    EXPECT_EQ(Round(1.5L), 2);
}

TEST(Rounding, QuotientsDownAndUpForEverySign)
{
    struct Case
    {
        int64_t a, b, floor, ceil;
    };
    const Case cases[] = {
        {7, 2, 3, 4},    {-7, 2, -4, -3}, {7, -2, -4, -3}, {-7, -2, 3, 4},   {6, 2, 3, 3},
        {-6, 2, -3, -3}, {0, 5, 0, 0},    {1, 100, 0, 1},  {-1, 100, -1, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(floorDiv(c.a, c.b), c.floor) << c.a << " / " << c.b;
        EXPECT_EQ(ceilDiv(c.a, c.b), c.ceil) << c.a << " / " << c.b;
    }
    // Wide intermediate products, as the canvas's line stepping forms them.
    using Wide = __int128;
    const Wide big = Wide(std::numeric_limits<int64_t>::max()) * 4 + 1;
    EXPECT_EQ(int64_t(floorDiv(big, Wide(4))), std::numeric_limits<int64_t>::max());
    EXPECT_EQ(int64_t(floorDiv(-big, Wide(4))), -std::numeric_limits<int64_t>::max() - 1);
}
