#include "graphtest.h"

#include <QDir>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

using graphtest::columnsWith;
using graphtest::count;
using graphtest::fill;
using graphtest::is;
using graphtest::pingGraph;
using graphtest::rowsWith;

namespace {

constexpr quint32 kRed = colorref::clRed;
constexpr quint32 kBlue = colorref::clBlue;
constexpr quint32 kGrey = colorref::clSilver;
constexpr quint32 kWhite = colorref::clWhite;
constexpr quint32 kBlack = colorref::clBlack;

// The analysis bar graph.
std::unique_ptr<TVexTrend> analysisGraph()
{
    auto g = std::make_unique<TVexTrend>();
    g->setGeometry(8, 8, 401, 130);
    QFont f(QStringLiteral("MS Sans Serif"));
    f.setPixelSize(13);
    f.setBold(true);
    g->setFont(f);
    g->setStyle(TVexTrend::tsBar);
    g->setDivisions(7);
    g->setGridXstep(40);
    g->setGridYstep(10);
    return g;
}

std::unique_ptr<TVexTrend> plainGraph(int w, int h, int divisions, TVexTrend::TTrendStyle style)
{
    auto g = std::make_unique<TVexTrend>();
    g->resize(w, h);
    g->setDivisions(divisions);
    g->setStyle(style);
    g->setGridStyle(TVexTrend::gsNone);
    return g;
}

bool ink(const QImage& img, int x, int y)
{
    const QRgb p = img.pixel(x, y);
    return qRed(p) < 110 && qGreen(p) < 110 && qBlue(p) < 110;
}

// Bounding box of the dark text pixels inside an area.
QRect inkBox(const QImage& img, const QRect& area)
{
    QRect box;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (ink(img, x, y))
                box |= QRect(x, y, 1, 1);
    return box;
}

} // namespace

TEST(VexTrendPaint, LinePointsOfThePingGraph)
{
    auto g = pingGraph();
    // MaxVal 175 makes the height 175 x v div 175: a value v lies at y = 178 - v.
    std::vector<int> v(100);
    for (int i = 0; i < 100; ++i)
        v[size_t(i)] = (i * 13) % 170;
    v[60] = 175;
    v[98] = v[99] = 40;
    g->setAutoScale(false);
    g->setMaxVal(1000);
    for (int x : v)
        g->AddValue(x);
    g->setMaxVal(175);
    const QImage img = g->renderImage();
    ASSERT_EQ(img.size(), QSize(585, 181));
    EXPECT_TRUE(is(img, 6, 178, kRed)); // column 0, value 0
    EXPECT_TRUE(is(img, 12, 178 - 13, kRed));
    EXPECT_TRUE(is(img, 18, 178 - 26, kRed));
    EXPECT_TRUE(is(img, 353, 3, kRed)); // column 60 at MaxVal
    for (int i = 0; i < 99; ++i) {
        const int x = int(std::nearbyint(3 + i * 5.79 + 3));
        EXPECT_TRUE(is(img, x, 178 - v[size_t(i)], kRed)) << "column " << i;
    }
    // The last segment, 573 to 579, leaves out its end point.
    EXPECT_TRUE(is(img, 573, 138, kRed));
    EXPECT_TRUE(is(img, 578, 138, kRed));
    EXPECT_FALSE(is(img, 579, 138, kRed));

    // The average beside it, in the base colour.
    g->setOptions(TVexTrend::toTwin);
    fill(*g, {}, 175, true);
    for (int i = 0; i < 100; ++i)
        g->AddTwinValue(100);
    g->setMaxVal(175);
    const QImage twin = g->renderImage();
    EXPECT_TRUE(is(twin, 6, 78, kBlue));
    EXPECT_TRUE(is(twin, 300, 78, kBlue));
    EXPECT_TRUE(is(twin, 6, 178, kRed));
}

TEST(VexTrendPaint, BarsOfTheAnalysisGraph)
{
    auto g = analysisGraph();
    fill(*g, {10, 25, 40, 55, 70, 85, 100}, 100);
    const QImage img = g->renderImage();
    const int spans[7][2] = {{3, 59},    {59, 115},  {116, 172}, {172, 228},
                             {229, 285}, {285, 341}, {342, 398}};
    for (int i = 0; i < 7; ++i) {
        const int x = spans[i][0], x2 = spans[i][1];
        SCOPED_TRACE(i);
        EXPECT_TRUE(is(img, x, 120, kGrey)); // outlined in the grid colour
        EXPECT_TRUE(is(img, x + 1, 120, kRed));
        EXPECT_TRUE(is(img, x2 - 2, 120, kRed));
        EXPECT_TRUE(is(img, x2 - 1, 120, kGrey));
        EXPECT_FALSE(is(img, x2, 120, kRed));
        EXPECT_FALSE(is(img, x - 1, 120, kRed));
        EXPECT_TRUE(is(img, x + 1, 126, kGrey)); // bottom outline at H - 3 - 1
        EXPECT_FALSE(is(img, x + 1, 127, kRed));
    }
    EXPECT_TRUE(is(img, 115, 120, kWhite));
    EXPECT_TRUE(is(img, 350, 3, kGrey)); // MaxVal: top at 3
    EXPECT_FALSE(is(img, 350, 2, kGrey));
    EXPECT_TRUE(is(img, 10, 115, kGrey)); // 10: t = Round(15.4) = 15
    EXPECT_TRUE(is(img, 10, 116, kRed));

    // Without a grid the outline keeps the canvas's black pen; a bar at MinVal has no height.
    g->setGridStyle(TVexTrend::gsNone);
    fill(*g, {0, 25, 40, 55, 70, 85, 100}, 100);
    const QImage plain = g->renderImage();
    EXPECT_TRUE(is(plain, 59, 120, kBlack));
    EXPECT_TRUE(is(plain, 114, 120, kBlack));
    EXPECT_EQ(count(plain, QRect(3, 0, 56, 130), kBlack), 0);
    EXPECT_EQ(count(plain, QRect(3, 0, 56, 130), kRed), 0);
}

TEST(VexTrendPaint, HorizontalGridLinesOnWholePercentages)
{
    auto g = plainGraph(585, 181, 20, TVexTrend::tsLine);
    g->setColor(kWhite); // keep the series out of the picture
    g->setGridStyle(TVexTrend::gsYGrid);
    g->setGridYstep(25);
    const QImage img = g->renderImage();
    // 25, 50, 75 at 181 - Round(45.25), 181 - Round(90.5), 181 - Round(135.75).
    EXPECT_EQ(rowsWith(img, kGrey), (std::set<int>{136, 91, 45}));
    EXPECT_TRUE(is(img, 0, 91, kGrey));
    EXPECT_TRUE(is(img, 583, 91, kGrey));
    EXPECT_FALSE(is(img, 584, 91, kGrey));

    // Against every multiple walked one by one, negative scales and steps finer than a
    // percentage included.
    struct Case
    {
        int min, max, step, height;
    };
    for (const Case& c : {Case{-50, 130, 7, 150}, Case{0, 1000, 3, 181}, Case{-1000, -10, 100, 90},
                          Case{0, 5, 1, 100}, Case{-7, 3, 2, 41}}) {
        SCOPED_TRACE(c.min);
        g->resize(120, c.height);
        g->setMaxVal(c.max);
        g->setMinVal(c.min);
        g->setMaxVal(c.max);
        g->setGridYstep(c.step);
        const int step = g->GridYstep(); // at most the height
        std::set<int> expected;
        for (qint64 v = c.min + 1; v < c.max; ++v) {
            if (v % step != 0)
                continue;
            const qint64 p = (v - c.min) * 100 / (c.max - c.min);
            const int y = c.height - int(std::nearbyint(double(p) * (c.height / 100.0)));
            if (y >= 0 && y < c.height)
                expected.insert(y);
        }
        EXPECT_EQ(rowsWith(g->renderImage(), kGrey), expected);
    }
}

TEST(VexTrendPaint, VerticalGridLinesAnchoredAtTheRightEdge)
{
    auto g = plainGraph(585, 181, 20, TVexTrend::tsLine);
    g->setColor(kWhite);
    g->setGridStyle(TVexTrend::gsXGrid);
    g->setGridXstep(50);
    std::set<int> expected;
    for (int x = 535; x >= 1; x -= 50)
        expected.insert(x);
    const QImage img = g->renderImage();
    EXPECT_EQ(columnsWith(img, kGrey), expected);
    EXPECT_TRUE(is(img, 535, 0, kGrey));
    EXPECT_TRUE(is(img, 535, 179, kGrey));
    EXPECT_FALSE(is(img, 535, 180, kGrey));

    // With a border the client is narrower and the lines move with its right edge.
    g->setBorderStyle(TVexTrend::bsSingle);
    EXPECT_EQ(*columnsWith(g->renderImage(), kGrey).rbegin(), 531);
}

TEST(VexTrendPaint, GridStepOfZeroDrawsNoGrid)
{
    auto g = plainGraph(0, 0, 20, TVexTrend::tsLine);
    g->setGridStyle(TVexTrend::gsFull);
    g->setGridXstep(10);
    g->setGridYstep(10);
    ASSERT_EQ(g->GridXstep(), 0);
    g->resize(100, 100);
    g->setColor(kWhite);
    const QImage img = g->renderImage();
    EXPECT_EQ(count(img, img.rect(), kGrey), 0);
    EXPECT_EQ(count(img, img.rect(), kWhite), 100 * 100);

    // Nothing to draw on at all, labels included.
    g->resize(0, 0);
    g->setStyle(TVexTrend::tsBar);
    g->setOptions(TVexTrend::toValues);
    EXPECT_TRUE(g->renderImage().isNull());
}

TEST(VexTrendPaint, LargeValuesStayExact)
{
    auto g = plainGraph(200, 181, 2, TVexTrend::tsLine);
    fill(*g, {1'500'000'000, 1'500'000'000}, 2'000'000'000);
    // 1.5e9 x 175 div 2e9 + 3 = 134, which a 32-bit product would miss.
    EXPECT_EQ(columnsWith(g->renderImage(), kRed).size(), 148u - 51u);
    EXPECT_EQ(rowsWith(g->renderImage(), kRed), std::set<int>{47});

    // A range wider than 32 bits: 0 lies at half height.
    g->setMaxVal(INT_MAX);
    g->setMinVal(INT_MIN + 1);
    g->ClearValues();
    EXPECT_EQ(rowsWith(g->renderImage(), kRed), std::set<int>{181 - 90});
    g->setStyle(TVexTrend::tsBar);
    // t = Round(87.5 + 3), halves to even: the top outline at 181 - 90.
    EXPECT_TRUE(is(g->renderImage(), 50, 91, kBlack));
    EXPECT_TRUE(is(g->renderImage(), 50, 92, kRed));
    EXPECT_TRUE(is(g->renderImage(), 50, 90, kWhite));
}

TEST(VexTrendPaint, ValuesOutsideTheScaleAreDrawnUnclamped)
{
    // Stored before MaxVal was lowered: the line runs off the top edge and back.
    auto g = plainGraph(200, 181, 3, TVexTrend::tsLine);
    fill(*g, {50, 2'000'000'000, 50}, 100);
    const QImage img = g->renderImage();
    for (int y = 0; y <= 91; ++y) {
        ASSERT_TRUE(is(img, 35, y, kRed)) << y;
        ASSERT_TRUE(y == 91 || is(img, 164, y, kRed)) << y;
    }
    EXPECT_FALSE(is(img, 164, 91, kRed));

    // Zeros below MinVal: bars hang below the bottom margin.
    auto bars = analysisGraph();
    bars->setGridStyle(TVexTrend::gsNone);
    bars->setMinVal(10);
    bars->ClearValues();
    const QImage below = bars->renderImage();
    EXPECT_TRUE(is(below, 3, 128, kBlack));
    EXPECT_TRUE(is(below, 20, 128, kRed));
    EXPECT_EQ(count(below, QRect(3, 0, 56, 127), kRed) + count(below, QRect(3, 0, 56, 127), kBlack),
              0);
}

TEST(VexTrendPaint, LabelsFollowTheOptions)
{
    auto g = analysisGraph();
    fill(*g, {0, 50, 0, 50, 0, 50, 100}, 100);
    const QRect zeroColumn(3, 100, 56, 30);  // where the "0" of column 0 would stand
    const QRect fiftyColumn(59, 50, 56, 20); // above the bar of column 1 (top at 65)
    g->setOptions(TVexTrend::toValues);
    QImage img = g->renderImage();
    EXPECT_TRUE(inkBox(img, zeroColumn).isValid());
    EXPECT_TRUE(inkBox(img, fiftyColumn).isValid());
    g->setOptions(TVexTrend::toValues | TVexTrend::toNoZeros);
    img = g->renderImage();
    EXPECT_FALSE(inkBox(img, zeroColumn).isValid());
    EXPECT_TRUE(inkBox(img, fiftyColumn).isValid());

    // Column 6 is full height: its label stays at the top edge, on a box of the background
    // colour whose cell is 10 pixels high (13 pixels are 10 points).
    const QRect barTop(343, 4, 54, 30);
    int lastBoxRow = -1;
    for (int y = barTop.top(); y <= barTop.bottom(); ++y)
        if (count(img, QRect(barTop.left(), y, barTop.width(), 1), kWhite) > 0)
            lastBoxRow = y;
    EXPECT_EQ(lastBoxRow, 9);
    g->setOptions(TVexTrend::toValues | TVexTrend::toTransparent);
    EXPECT_EQ(count(g->renderImage(), barTop, kWhite), 0);
    EXPECT_TRUE(inkBox(g->renderImage(), barTop).isValid());

    // The ping graph's font of 11 pixels gives 8-pixel cells.
    auto ping = pingGraph();
    ping->setStyle(TVexTrend::tsBar);
    ping->setDivisions(5);
    ping->setOptions(TVexTrend::toValues);
    fill(*ping, {100, 100, 100, 100, 100}, 100);
    const QImage small = ping->renderImage();
    lastBoxRow = -1;
    for (int y = 4; y < 30; ++y)
        if (count(small, QRect(10, y, 100, 1), kWhite) > 0)
            lastBoxRow = y;
    EXPECT_EQ(lastBoxRow, 7);
}

TEST(VexTrendPaint, RotatedLabelsRunUpwards)
{
    auto g = analysisGraph();
    fill(*g, {1000, 0, 0, 0, 0, 0, 5000}, 5000);
    const QImage none = g->renderImage();
    g->setOptions(TVexTrend::toRotated);
    EXPECT_EQ(g->renderImage(), none) << "toRotated alone changes nothing";

    const QRect column0(3, 0, 56, 130);
    g->setOptions(TVexTrend::toValues);
    const QRect flat = inkBox(g->renderImage(), column0);
    g->setOptions(TVexTrend::toValues | TVexTrend::toRotated);
    const QRect upright = inkBox(g->renderImage(), column0);
    ASSERT_TRUE(flat.isValid() && upright.isValid());
    EXPECT_GT(flat.width(), flat.height());
    EXPECT_GT(upright.height(), upright.width());
    // It ends at the top of its bar (t = Round(1000 x 124 / 5000 + 3) = 28).
    EXPECT_LE(upright.bottom(), 130 - 28);
    EXPECT_GE(upright.bottom(), 130 - 28 - 4);
    // Column 6 is full height: the text starts low enough to end at the top edge.
    const QRect top = inkBox(g->renderImage(), QRect(342, 0, 56, 130));
    EXPECT_GE(top.top(), 0);
    EXPECT_GT(top.bottom(), top.height() - 4);
}

TEST(VexTrendPaint, ThreeDimensionalFaces)
{
    auto g = plainGraph(200, 100, 4, TVexTrend::ts3D);
    fill(*g, {20, 40, 60, 50}, 100);
    const quint32 side = TVexTrend::LightenColor(kRed, -60);
    const quint32 lid = TVexTrend::LightenColor(kRed, 60);
    const QImage img = g->renderImage();
    // Last column: front 141..187 from y 97 up to 55, side and top 10 pixels deep.
    EXPECT_TRUE(is(img, 160, 80, kRed));
    EXPECT_TRUE(is(img, 160, 97, kRed)); // standing on the bottom margin
    EXPECT_TRUE(is(img, 160, 98, kWhite));
    EXPECT_TRUE(is(img, 192, 70, side));
    EXPECT_TRUE(is(img, 197, 70, side)); // the last side face ends at W - 3
    EXPECT_FALSE(is(img, 198, 70, side));
    EXPECT_TRUE(is(img, 165, 50, lid));
    EXPECT_TRUE(is(img, 160, 44, kWhite));
    // The fronts touch: column 2's front ends where column 3's begins.
    EXPECT_TRUE(is(img, 140, 60, kRed));

    // With the twin series each bar spans from one value to the other.
    g->setOptions(TVexTrend::toTwin);
    fill(*g, {10, 40, 80, 25}, 100, true);
    const QImage twin = g->renderImage();
    EXPECT_TRUE(is(twin, 20, 85, kRed)); // 20 over 10: rows 81..89
    EXPECT_TRUE(is(twin, 20, 92, kWhite));
    // Equal values: a front without height, hidden under the top face's lower edge.
    std::set<int> lidRows;
    for (int y = 0; y < 100; ++y)
        if (is(twin, 70, y, lid))
            lidRows.insert(y);
    EXPECT_EQ(count(twin, QRect(50, 0, 45, 100), kRed), 0);
    EXPECT_EQ(*lidRows.begin(), 54);
    EXPECT_EQ(*lidRows.rbegin(), 64);
    EXPECT_TRUE(is(twin, 110, 40, kRed)); // twin above primary: exchanged
    EXPECT_TRUE(is(twin, 110, 60, kWhite));
}

TEST(VexTrendPaint, ThreeDimensionalLabels)
{
    auto g = plainGraph(200, 100, 4, TVexTrend::ts3D);
    QFont f(QStringLiteral("MS Sans Serif"));
    f.setPixelSize(13);
    g->setFont(f);
    fill(*g, {20, 0, 60, 50}, 100);
    g->setOptions(TVexTrend::toValues | TVexTrend::toNoZeros);
    const QImage img = g->renderImage();
    EXPECT_TRUE(inkBox(img, QRect(3, 100 - 19 - 10, 46, 10)).isValid()); // on "20"'s top face
    EXPECT_FALSE(inkBox(img, QRect(49, 0, 46, 100)).isValid());
    g->setOptions(TVexTrend::toValues | TVexTrend::toTwin);
    fill(*g, {20, 30, 60, 50}, 100, true);
    // Differences: 0, -30, 0, 0; only column 1 writes a sign.
    const QImage diff = g->renderImage();
    EXPECT_TRUE(inkBox(diff, QRect(49, 0, 46, 100)).isValid());
}

TEST(VexTrendPaint, ScatterSquaresNeverShrinkBelowRadiusOne)
{
    auto narrow = plainGraph(60, 50, 100, TVexTrend::tsScatter);
    narrow->setAutoScale(false);
    narrow->setMaxVal(100);
    for (int i = 0; i < 100; ++i)
        narrow->AddValue(i == 50 ? 100 : 0);
    const QImage img = narrow->renderImage();
    EXPECT_EQ(count(img, QRect(0, 0, 60, 40), kRed), 4);
    EXPECT_EQ(count(img, QRect(31, 3, 2, 2), kRed), 4);

    auto wide = plainGraph(200, 100, 10, TVexTrend::tsScatter);
    wide->setOptions(TVexTrend::toTwin);
    fill(*wide, {50}, 100);
    const QImage sq = wide->renderImage();
    // r = Round(19.4 / 4) = 5: a 10 x 10 square at cx 13 for 50, the twin's 0 below it.
    EXPECT_EQ(count(sq, QRect(0, 0, 200, 100), kRed), 100);
    EXPECT_EQ(count(sq, QRect(8, 45, 10, 10), kRed), 100);
    EXPECT_EQ(count(sq, QRect(8, 87, 10, 10), colorref::clAqua), 100);
}

TEST(VexTrendPaint, TwoDivisionsMakeOneSegmentAndOnePolygon)
{
    auto g = plainGraph(106, 60, 2, TVexTrend::tsFilled);
    fill(*g, {0, 100}, 100);
    const QImage area = g->renderImage();
    const std::set<int> columns = columnsWith(area, kRed); // x 28 .. x2 78, both edges
    EXPECT_EQ(columns.size(), 51u);
    EXPECT_EQ(*columns.begin(), 28);
    EXPECT_TRUE(is(area, 78, 3, kRed));
    EXPECT_TRUE(is(area, 28, 57, kRed));
    EXPECT_FALSE(is(area, 30, 10, kRed));

    g->setStyle(TVexTrend::tsLine);
    const QImage line = g->renderImage();
    EXPECT_EQ(columnsWith(line, kRed).size(), 50u);
    EXPECT_TRUE(is(line, 28, 57, kRed));
    EXPECT_FALSE(is(line, 78, 3, kRed));
}

// Also run with QT_SCALE_FACTOR=2, where the paint works at device pixels.
TEST(VexTrendPaint, OnlyTheClientAreaIsCopied)
{
    auto g = pingGraph();
    g->setGridXstep(50);
    g->setAutoScale(true);
    for (int i = 0; i < 100; ++i)
        g->AddValue(i % 30);
    ASSERT_EQ(g->contentsRect(), QRect(2, 2, 581, 177));
    const int s = int(g->devicePixelRatioF());
    const QImage bitmap = g->renderImage(s);
    const QImage shown = g->grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(shown.size(), QSize(585 * s, 181 * s));
    int differing = 0;
    for (int y = 0; y < 177 * s; ++y)
        for (int x = 0; x < 581 * s; ++x)
            differing += shown.pixel(x + 2 * s, y + 2 * s) != bitmap.pixel(x, y) ? 1 : 0;
    EXPECT_EQ(differing, 0);
    // The zero line at y = 178 lies outside the client area and does not show.
    EXPECT_TRUE(is(bitmap, 6 * s, 178 * s, kRed));
    EXPECT_LT(count(shown, QRect(2 * s, 2 * s, 581 * s, 177 * s), kRed),
              count(bitmap, bitmap.rect(), kRed));
}

TEST(VexTrendPaint, DevicePixelsOnHighDensityScreens)
{
    auto g = pingGraph();
    g->setBorderStyle(TVexTrend::bsNone);
    g->setGridStyle(TVexTrend::gsXGrid);
    g->setGridXstep(50);
    fill(*g, {}, 175);
    for (int i = 0; i < 100; ++i)
        g->AddValue(i);
    g->setMaxVal(175);
    const QImage img = g->renderImage(2.0);
    ASSERT_EQ(img.size(), QSize(1170, 362));
    EXPECT_TRUE(is(img, 1070, 100, kGrey));
    EXPECT_TRUE(is(img, 1071, 100, kGrey));
    EXPECT_FALSE(is(img, 1069, 100, kGrey));
    EXPECT_FALSE(is(img, 1072, 100, kGrey));
    // Column 1 (x 12, value 1 at y 177) as a pen square of 2 x 2 device pixels.
    EXPECT_EQ(count(img, QRect(24, 354, 2, 2), kRed), 4);
    EXPECT_EQ(g->renderImage(1.5).size(), QSize(878, 272));
}

TEST(VexTrendPaint, PicturesOfEveryStyle)
{
    ASSERT_TRUE(QDir().mkpath(QStringLiteral(TM_PICTURE_DIR)));
    auto g = pingGraph();
    g->setAutoScale(true);
    g->setOptions(TVexTrend::toTwin);
    int sum = 0;
    for (int i = 0; i < 100; ++i) {
        const int rtt = 22 + (i * 7919) % 13 + (i % 17 == 5 ? 45 : 0) + (i > 60 && i < 70 ? 18 : 0);
        sum += rtt;
        g->AddValue(rtt);
        g->AddTwinValue(int(sum / (i + 1.0) + 0.5));
    }
    g->setGridYstep(g->MaxVal() / 8);
    const struct
    {
        TVexTrend::TTrendStyle style;
        const char* name;
    } styles[] = {{TVexTrend::tsLine, "line"},
                  {TVexTrend::tsBar, "bar"},
                  {TVexTrend::tsScatter, "scatter"},
                  {TVexTrend::ts3D, "3d"},
                  {TVexTrend::tsFilled, "filled"}};
    const QString dir = QStringLiteral(TM_PICTURE_DIR "/");
    for (const auto& s : styles) {
        g->setStyle(s.style);
        const QImage shown = g->grab().toImage();
        EXPECT_GT(count(shown.convertToFormat(QImage::Format_RGB32), shown.rect(), kRed), 100)
            << s.name;
        EXPECT_TRUE(shown.save(dir + QStringLiteral("ping-%1.png").arg(QLatin1String(s.name))));
        EXPECT_TRUE(g->renderImage(2.0).save(
            dir + QStringLiteral("ping-%1@2x.png").arg(QLatin1String(s.name))));
    }

    auto a = analysisGraph();
    a->setAutoScale(true);
    a->setOptions(TVexTrend::toValues);
    for (int v : {3, 4, 6, 12, 41, 180, 377})
        a->AddValue(v);
    a->setGridYstep(a->MaxVal() / 8);
    EXPECT_TRUE(a->grab().toImage().save(dir + QStringLiteral("analysis-bar.png")));
    a->setOptions(TVexTrend::toValues | TVexTrend::toRotated | TVexTrend::toTransparent);
    EXPECT_TRUE(a->grab().toImage().save(dir + QStringLiteral("analysis-bar-rotated.png")));
    a->setStyle(TVexTrend::ts3D);
    a->setOptions(TVexTrend::toValues);
    EXPECT_TRUE(a->grab().toImage().save(dir + QStringLiteral("analysis-3d.png")));
    EXPECT_TRUE(a->renderImage(2.0).save(dir + QStringLiteral("analysis-3d@2x.png")));
}
