#include "graphtest.h"

#include <gtest/gtest.h>

using graphtest::count;
using graphtest::is;

namespace {
constexpr quint32 kRed = 0x0000FF, kBlue = 0xFF0000;
}

TEST(Canvas, LinesLeaveOutTheirLastPoint)
{
    Canvas c(20, 20);
    c.setPenColor(kRed);
    c.moveTo(2, 5);
    c.lineTo(10, 5);
    c.moveTo(15, 12);
    c.lineTo(15, 2); // upwards: the start is drawn, the end is not
    c.moveTo(3, 10);
    c.lineTo(9, 16); // slanted
    const QImage& img = c.image();
    EXPECT_TRUE(is(img, 2, 5, kRed));
    EXPECT_TRUE(is(img, 9, 5, kRed));
    EXPECT_FALSE(is(img, 10, 5, kRed));
    EXPECT_TRUE(is(img, 15, 12, kRed));
    EXPECT_TRUE(is(img, 15, 3, kRed));
    EXPECT_FALSE(is(img, 15, 2, kRed));
    for (int k = 0; k < 6; ++k)
        EXPECT_TRUE(is(img, 3 + k, 10 + k, kRed)) << k;
    EXPECT_FALSE(is(img, 9, 16, kRed));
    EXPECT_EQ(count(img, img.rect(), kRed), 8 + 10 + 6);
}

TEST(Canvas, RectangleLeavesOutRightColumnAndBottomRow)
{
    Canvas c(20, 20);
    c.setPenColor(kBlue);
    c.setBrushColor(kRed);
    c.rectangle(12, 10, 4, 2); // corners in any order
    const QImage& img = c.image();
    EXPECT_EQ(count(img, QRect(4, 2, 8, 8), kRed) + count(img, QRect(4, 2, 8, 8), kBlue), 64);
    EXPECT_EQ(count(img, img.rect(), kBlue), 2 * 8 + 2 * 6); // outline, inside the rectangle
    EXPECT_TRUE(is(img, 5, 3, kRed));
    EXPECT_TRUE(is(img, 11, 9, kBlue));
    EXPECT_FALSE(is(img, 12, 5, kBlue));
    EXPECT_FALSE(is(img, 5, 10, kBlue));

    Canvas flat(20, 20);
    flat.setBrushColor(kRed);
    flat.rectangle(4, 7, 12, 7); // no height: nothing
    EXPECT_EQ(count(flat.image(), flat.image().rect(), kRed), 0);
    EXPECT_EQ(count(flat.image(), flat.image().rect(), 0x000000), 0);
}

TEST(Canvas, FarAwayCoordinatesAreClippedExactly)
{
    Canvas c(30, 30);
    c.setPenColor(kRed);
    // A nearly vertical line towards a point billions of pixels above stays in its column.
    c.moveTo(10, 20);
    c.lineTo(16, -3'500'000'000'000LL);
    c.setBrushColor(kBlue);
    c.setPenColor(kBlue);
    c.rectangle(20, 25, 25, -9'000'000'000LL);
    const CanvasPoint huge[] = {
        {0, -4'000'000'000LL}, {2, -4'000'000'000LL}, {2, 4'000'000'000LL}, {0, 4'000'000'000LL}};
    c.polygon(huge);
    const QImage& img = c.image();
    for (int y = 0; y <= 20; ++y)
        EXPECT_TRUE(is(img, 10, y, kRed)) << y;
    EXPECT_EQ(count(img, img.rect(), kRed), 21);
    EXPECT_EQ(count(img, QRect(20, 0, 5, 25), kBlue), 125);
    EXPECT_EQ(count(img, QRect(0, 0, 3, 30), kBlue), 90);
}
