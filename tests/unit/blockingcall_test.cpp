// Blocking calls on a work thread: results, order, and what the waiting GUI thread handles.

#include "platform/blockingcall.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

using blockingcall::WorkThread;

namespace {

// Waits on the work thread for a condition that the GUI thread brings about; a bound only
// against hanging.
bool waitFor(const std::function<bool()>& condition)
{
    for (int i = 0; i < 3000; ++i) {
        if (condition())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return condition();
}

class Probe : public QWidget
{
public:
    std::atomic<int> paints{0};
    std::atomic<int> presses{0};
    std::vector<QString> order; // GUI thread only

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter(this).fillRect(rect(), Qt::white);
        ++paints;
    }
    void mousePressEvent(QMouseEvent*) override
    {
        ++presses;
        order.push_back(QStringLiteral("press"));
    }
};

} // namespace

TEST(WorkThread, RunsCallsInOrderOnOneThreadOfItsOwn)
{
    WorkThread thread(QStringLiteral("tm-test"));
    std::vector<std::thread::id> ids;
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(thread.call([&] {
            ids.push_back(std::this_thread::get_id());
            return i * 10;
        }),
                  i * 10);
    ASSERT_EQ(ids.size(), 3u);
    EXPECT_NE(ids[0], std::this_thread::get_id());
    EXPECT_EQ(ids[0], ids[1]);
    EXPECT_EQ(ids[1], ids[2]);

    // Queued starts run one after the other, in the order given.
    std::vector<int> done;
    auto first = thread.start([&] { done.push_back(1); });
    auto second = thread.start([&] { done.push_back(2); });
    second.wait();
    first.wait();
    EXPECT_EQ(done, (std::vector<int>{1, 2}));

    // A call made from inside a call runs in place instead of waiting for itself.
    EXPECT_EQ(thread.call([&] { return thread.call([&] { return thread.isCurrent(); }); }), true);
    EXPECT_FALSE(thread.isCurrent());
}

TEST(WorkThread, PassesExceptionsAndWorksFromAnyThread)
{
    WorkThread thread(QStringLiteral("tm-test"));
    EXPECT_THROW(thread.call([]() -> int { throw std::runtime_error("boom"); }),
                 std::runtime_error);
    // Still serving after a throwing call, and for a caller that is not the GUI thread.
    int result = 0;
    std::thread other([&] { result = thread.call([] { return 7; }); });
    other.join();
    EXPECT_EQ(result, 7);
}

TEST(WorkThread, TheWaitingWindowPaintsButHandlesNothingElse)
{
    Probe probe;
    probe.resize(120, 80);
    probe.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&probe));
    QCoreApplication::processEvents();

    std::atomic<int> ticks{0};
    QTimer timer;
    timer.setInterval(1);
    QObject::connect(&timer, &QTimer::timeout, &probe, [&] { ++ticks; });
    timer.start();

    std::atomic<int> queued{0};
    struct During
    {
        bool painted = false;
        int paintsBefore = 0;
        int presses = -1;
        int queued = -1;
        int ticks = -1;
    };
    WorkThread thread(QStringLiteral("tm-test"));
    const int paintsBefore = probe.paints;
    probe.update();
    const During during = thread.call([&] {
        During d;
        // What the window system and other threads send meanwhile: a click, a queued call.
        QCoreApplication::postEvent(&probe, new QMouseEvent(QEvent::MouseButtonPress, QPointF(5, 5),
                                                            QPointF(5, 5), Qt::LeftButton,
                                                            Qt::LeftButton, Qt::NoModifier));
        QMetaObject::invokeMethod(
            &probe,
            [&] {
                ++queued;
                probe.order.push_back(QStringLiteral("queued"));
            },
            Qt::QueuedConnection);
        d.painted = waitFor([&] { return probe.paints > paintsBefore; });
        // Long enough for the 1 ms timer to fall due many times over.
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        d.presses = probe.presses;
        d.queued = queued;
        d.ticks = ticks;
        return d;
    });
    EXPECT_TRUE(during.painted);
    EXPECT_EQ(during.presses, 0);
    EXPECT_EQ(during.queued, 0);
    EXPECT_EQ(during.ticks, 0);

    // Afterwards everything comes, in the order it was sent, and the overdue timer fires once.
    QCoreApplication::processEvents();
    EXPECT_EQ(probe.presses, 1);
    EXPECT_EQ(queued, 1);
    EXPECT_EQ(probe.order,
              (std::vector<QString>{QStringLiteral("press"), QStringLiteral("queued")}));
    EXPECT_EQ(ticks, 1);
}
