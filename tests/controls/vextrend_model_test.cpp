#include "graphtest.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTest>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

// Counts every allocation of this test program, to show that adding values allocates nothing.
namespace {
std::atomic<long> g_allocations{0};
}

void* operator new(std::size_t size)
{
    ++g_allocations;
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size)
{
    return operator new(size);
}
void operator delete(void* p) noexcept
{
    std::free(p);
}
void operator delete[](void* p) noexcept
{
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept
{
    std::free(p);
}

namespace {

using graphtest::fill;

class PaintCounter : public QObject
{
public:
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

} // namespace

TEST(VexTrendModel, ConstructionDefaults)
{
    TVexTrend g;
    EXPECT_EQ(g.size(), QSize(185, 41));
    EXPECT_EQ(g.MinVal(), 0);
    EXPECT_EQ(g.MaxVal(), 100);
    EXPECT_EQ(g.Divisions(), 20);
    EXPECT_EQ(g.Style(), TVexTrend::tsBar);
    EXPECT_EQ(g.Options(), TVexTrend::TTrendOptions());
    EXPECT_EQ(g.Color(), 0x000000FFu);
    EXPECT_EQ(g.ColorBase(), 0x00FFFF00u);
    EXPECT_EQ(g.BackGroundColor(), 0x00FFFFFFu);
    EXPECT_EQ(g.GridStyle(), TVexTrend::gsFull);
    EXPECT_EQ(g.GridColor(), 0x00C0C0C0u);
    EXPECT_EQ(g.GridXstep(), 10);
    EXPECT_EQ(g.GridYstep(), 10);
    EXPECT_FALSE(g.AutoScale());
    EXPECT_EQ(g.DepthX(), 10);
    EXPECT_EQ(g.DepthY(), 10);
    EXPECT_EQ(g.BorderStyle(), TVexTrend::bsNone);
    for (int i = 0; i < TVexTrend::kSlots; ++i)
        ASSERT_TRUE(g.Values()[size_t(i)] == 0 && g.TwinValues()[size_t(i)] == 0) << i;
    // Ordinals and set bits as the stored descriptions use them.
    EXPECT_EQ(int(TVexTrend::tsFilled), 4);
    EXPECT_EQ(int(TVexTrend::ts3D), 3);
    EXPECT_EQ(int(TVexTrend::gsFull), 3);
    EXPECT_EQ(int(TVexTrend::toNoZeros), 0x10);
}

TEST(VexTrendModel, WritesCoerceToTheNearestLegalValue)
{
    TVexTrend g;
    g.setMaxVal(0);
    EXPECT_EQ(g.MaxVal(), 1);
    g.setMaxVal(100);
    g.setMinVal(100);
    EXPECT_EQ(g.MinVal(), 99);
    g.setMinVal(INT_MAX);
    EXPECT_EQ(g.MinVal(), 99);
    g.setMinVal(INT_MIN);
    g.setMaxVal(INT_MIN);
    EXPECT_EQ(g.MaxVal(), INT_MIN + 1);
    g.setMaxVal(INT_MAX);
    g.setMinVal(INT_MAX);
    EXPECT_EQ(g.MinVal(), INT_MAX - 1);

    g.setDivisions(1);
    EXPECT_EQ(g.Divisions(), 2);
    g.setDivisions(150);
    EXPECT_EQ(g.Divisions(), 100);

    g.resize(585, 181);
    g.setGridXstep(1000);
    EXPECT_EQ(g.GridXstep(), 585);
    g.setGridYstep(1000);
    EXPECT_EQ(g.GridYstep(), 181);
    g.setGridXstep(0);
    g.setGridYstep(-3);
    EXPECT_EQ(g.GridXstep(), 585);
    EXPECT_EQ(g.GridYstep(), 181);
    // A control without size can only store a step of 0; drawing copes with it.
    g.resize(0, 0);
    g.setGridXstep(50);
    g.setGridYstep(25);
    EXPECT_EQ(g.GridXstep(), 0);
    EXPECT_EQ(g.GridYstep(), 0);
}

TEST(VexTrendModel, RepaintsOnlyWhenAStoredValueChanges)
{
    TVexTrend g;
    g.resize(200, 100);
    g.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&g));
    PaintCounter counter;
    g.installEventFilter(&counter);
    auto paintsAfter = [&](const std::function<void()>& write) {
        QCoreApplication::processEvents();
        counter.paints = 0;
        write();
        QCoreApplication::processEvents();
        return counter.paints;
    };
    EXPECT_EQ(paintsAfter([&] { g.setMaxVal(100); }), 0);
    EXPECT_EQ(paintsAfter([&] { g.setMaxVal(0); }), 1);
    EXPECT_EQ(paintsAfter([&] { g.setMaxVal(-7); }), 0); // coerced to the stored 1
    EXPECT_EQ(paintsAfter([&] {
                  g.setStyle(TVexTrend::tsBar);
                  g.setOptions({});
                  g.setDivisions(20);
                  g.setColor(colorref::clRed);
                  g.setGridStyle(TVexTrend::gsFull);
                  g.setGridXstep(10);
                  g.setGridYstep(0);
                  g.setAutoScale(false);
              }),
              0);
    EXPECT_EQ(paintsAfter([&] { g.setStyle(TVexTrend::tsLine); }), 1);
    EXPECT_EQ(paintsAfter([&] { g.setOptions(TVexTrend::toTwin); }), 1);
    EXPECT_EQ(paintsAfter([&] { g.setGridColor(0x808080); }), 1);
    EXPECT_EQ(paintsAfter([&] { g.AddValue(5); }), 1);
    EXPECT_EQ(paintsAfter([&] { g.ClearTwinValues(); }), 1);
}

TEST(VexTrendModel, AddValueShiftsAndBoundsTheNewValue)
{
    TVexTrend g;
    g.setDivisions(5);
    for (int v : {1, 2, 3, 4, 5, 6})
        g.AddValue(v);
    EXPECT_EQ(g.Values()[0], 2);
    EXPECT_EQ(g.Values()[4], 6);
    EXPECT_EQ(g.Values()[5], 0); // hidden slots stay untouched
    EXPECT_EQ(g.TwinValues()[4], 0);

    g.AddValue(150); // no automatic scaling: capped at MaxVal
    EXPECT_EQ(g.Values()[4], 100);
    g.AddValue(-5);
    EXPECT_EQ(g.Values()[4], 0);
    g.setMinVal(10);
    g.AddTwinValue(3);
    EXPECT_EQ(g.TwinValues()[4], 10);
    EXPECT_EQ(g.MaxVal(), 100);

    // Clearing writes 0 even below MinVal, and only the shown slots of its own series.
    g.setDivisions(3);
    g.ClearValues();
    EXPECT_EQ(g.Values()[0], 0);
    EXPECT_EQ(g.Values()[2], 0);
    EXPECT_EQ(g.Values()[3], 100);
    EXPECT_EQ(g.TwinValues()[4], 10);
    EXPECT_EQ(g.MinVal(), 10);
    EXPECT_EQ(g.MaxVal(), 100);
    EXPECT_EQ(g.Divisions(), 3);
}

TEST(VexTrendModel, AutoScaleFollowsTheDataBothWays)
{
    TVexTrend g;
    g.setAutoScale(true);
    g.AddValue(500);
    EXPECT_EQ(g.MaxVal(), 500);
    for (int i = 0; i < g.Divisions() - 1; ++i)
        g.AddValue(20);
    EXPECT_EQ(g.MaxVal(), 500) << "500 is still in slot 0";
    g.AddValue(20);
    EXPECT_EQ(g.MaxVal(), 20);

    // Only zeros: the scale cannot reach MinVal.
    TVexTrend zeros;
    zeros.setAutoScale(true);
    zeros.AddValue(0);
    EXPECT_EQ(zeros.MaxVal(), 1);

    // A large twin value keeps the scale up while only the primary series moves.
    g.AddTwinValue(900);
    for (int i = 0; i < 50; ++i)
        g.AddValue(7);
    EXPECT_EQ(g.MaxVal(), 900);
}

TEST(VexTrendModel, HiddenSlotsKeepTheirValuesAndStillCount)
{
    TVexTrend g;
    g.setDivisions(100);
    g.setMaxVal(10000);
    for (int i = 0; i < 100; ++i)
        g.AddValue(i * 10);
    g.setDivisions(20);
    EXPECT_EQ(g.Values()[19], 190); // the oldest twenty of the previous window
    g.setAutoScale(true);
    g.AddValue(5);
    EXPECT_EQ(g.MaxVal(), 990);
    EXPECT_EQ(g.Values()[18], 190);
    g.setDivisions(100);
    EXPECT_EQ(g.Values()[99], 990);
    EXPECT_EQ(g.Values()[19], 5);
}

TEST(VexTrendModel, ScaleToValueTakesTheLargestOfAllSlotsAndTheValue)
{
    TVexTrend g;
    fill(g, {3, 40, 7}, 100);
    g.ScaleToValue(12);
    EXPECT_EQ(g.MaxVal(), 40);
    g.ScaleToValue(4000);
    EXPECT_EQ(g.MaxVal(), 4000);
    g.setMinVal(50);
    g.ClearValues();
    g.ScaleToValue(0);
    EXPECT_EQ(g.MaxVal(), 51);
}

TEST(VexTrendModel, LightenColorClampsEveryChannel)
{
    EXPECT_EQ(TVexTrend::LightenColor(0x00808080, 60), 0x00BCBCBCu);
    EXPECT_EQ(TVexTrend::LightenColor(0x000000FF, -60), 0x000000C3u);
    EXPECT_EQ(TVexTrend::LightenColor(0x00F0F0F0, 60), 0x00FFFFFFu);
    EXPECT_EQ(TVexTrend::LightenColor(0x00102030, -40), 0x00000008u);
    EXPECT_EQ(TVexTrend::LightenColor(0x00FF0000, -60), 0x00C30000u);
    EXPECT_EQ(TVexTrend::LightenColor(0xFF0000FF, 60), 0x003C3CFFu); // top byte ignored
    EXPECT_EQ(TVexTrend::LightenColor(0x00123456, INT_MAX), 0x00FFFFFFu);
    EXPECT_EQ(TVexTrend::LightenColor(0x00123456, INT_MIN), 0x00000000u);
}

TEST(VexTrendModel, AddingValuesAllocatesNothing)
{
    TVexTrend g;
    g.setDivisions(100);
    g.setAutoScale(true);
    g.AddValue(1); // anything lazily created on the first call
    const long before = g_allocations.load();
    for (int i = 0; i < 1000; ++i) {
        g.AddValue(i % 333);
        g.AddTwinValue(i % 77);
    }
    EXPECT_EQ(g_allocations.load() - before, 0);
    EXPECT_EQ(g.MaxVal(), 332);
}
