// The ping worker: started from the main thread as the main window starts it, it hands its
// record back on the main thread after its body has ended, and then deletes itself.

#include "bedhelpers.h"
#include "net/PingThrd.h"
#include "support/testapp.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QProcess>
#include <QTest>

#include <gtest/gtest.h>

#include <optional>

using namespace bed;

namespace {

// A time-out no test waits out: a stop that cuts it short is told from one that waited.
constexpr int kLongWaitMs = 60000;

// What the completion handler saw, copied there.
struct Record
{
    bool onMainThread = false;
    bool bodyEnded = false;
    QObject* sender = nullptr;
    QString HostText, ReplyAddress, ReplyHostName, ErrorText;
    uint32_t RoundTripMs = 0, EchoCount = 0, ErrorCode = 0;
    uint64_t RoundTripUs = 0;
    uint16_t ReplyDataSize = 0;
    int AddressFamily = 0;
};

// The dispatcher's start sequence: create, list, free-on-terminate, handler, inputs, resume.
TPingThread* start(std::optional<Record>& out, const QString& host, int timeOutMs = 2000,
                   std::function<void(TPingThread&)> inputs = {})
{
    auto* w = new TPingThread;
    appendWorkerId(w->ThreadID());
    w->FreeOnTerminate = true;
    w->OnTerminate = [&out](QObject* sender) {
        auto* t = static_cast<TPingThread*>(sender);
        Record r;
        r.onMainThread = QThread::currentThread() == QCoreApplication::instance()->thread();
        r.bodyEnded = t->isFinished();
        r.sender = sender;
        r.HostText = t->HostText;
        r.ReplyAddress = t->ReplyAddress;
        r.ReplyHostName = t->ReplyHostName;
        r.ErrorText = t->ErrorText;
        r.RoundTripMs = t->RoundTripMs;
        r.EchoCount = t->EchoCount;
        r.ErrorCode = t->ErrorCode;
        r.ReplyDataSize = t->ReplyDataSize;
        r.RoundTripUs = t->RoundTripUs;
        r.AddressFamily = t->AddressFamily;
        out = r;
    };
    w->HostText = host;
    w->TimeOutMs = timeOutMs;
    if (inputs)
        inputs(*w);
    w->Resume();
    return w;
}

Record run(const QString& host, int timeOutMs = 2000, std::function<void(TPingThread&)> inputs = {})
{
    std::optional<Record> out;
    QPointer<TPingThread> w = start(out, host, timeOutMs, std::move(inputs));
    EXPECT_TRUE(QTest::qWaitFor([&] { return out.has_value(); }, timeOutMs + 5000));
    // Deleted once its handler has returned and the loop runs again.
    EXPECT_TRUE(QTest::qWaitFor([&] { return w.isNull(); }, 1000));
    return out.value_or(Record{});
}

TEST(PingWorker, DeliversItsRecordOnTheMainThreadAfterTheBody)
{
    TM_REQUIRE_NETBED();
    std::optional<Record> out;
    QPointer<TPingThread> w = start(out, text(netbed::Target));
    TPingThread* raw = w.data();
    ASSERT_TRUE(QTest::qWaitFor([&] { return out.has_value(); }, 5000));
    EXPECT_TRUE(out->onMainThread);
    EXPECT_TRUE(out->bodyEnded);
    EXPECT_EQ(out->sender, raw);
    EXPECT_EQ(out->EchoCount, 1u);
    EXPECT_EQ(out->ErrorCode, 0u);
    EXPECT_TRUE(out->ErrorText.isEmpty());
    EXPECT_EQ(out->ReplyAddress, text(netbed::Target));
    EXPECT_EQ(out->ReplyHostName, out->ReplyAddress); // no look-up asked for
    EXPECT_EQ(out->ReplyDataSize, 56);                // DataSize 0 keeps the default
    EXPECT_LT(out->RoundTripMs, 2000u);               // inside the wait
    EXPECT_TRUE(QTest::qWaitFor([&] { return w.isNull(); }, 1000));
}

TEST(PingWorker, CreatedSuspended)
{
    TM_REQUIRE_NETBED();
    std::optional<Record> out;
    auto* w = new TPingThread;
    w->HostText = text(netbed::Target);
    w->OnTerminate = [&out](QObject*) { out = Record{}; };
    // Nothing may happen until Resume(): a while of nothing is all a test can watch.
    QTest::qWait(100);
    EXPECT_FALSE(w->isRunning());
    EXPECT_FALSE(out.has_value());
    EXPECT_EQ(w->EchoCount, 0u);
    w->Resume();
    ASSERT_TRUE(QTest::qWaitFor([&] { return out.has_value(); }, 5000));
    EXPECT_EQ(w->EchoCount, 1u);
    delete w; // without FreeOnTerminate the owner deletes it
}

TEST(PingWorker, TrimsTheHostButKeepsTheInputAsTyped)
{
    TM_REQUIRE_NETBED();
    const QString typed = QStringLiteral(" \t") + text(netbed::TargetAlias) + QStringLiteral("  ");
    const Record r = run(typed, 2000, [](TPingThread& w) { w.ResolveName = true; });
    EXPECT_EQ(r.EchoCount, 1u) << qPrintable(r.ErrorText);
    EXPECT_EQ(r.HostText, typed);
    EXPECT_EQ(r.ReplyAddress, text(netbed::Target));
    EXPECT_EQ(r.ReplyHostName, text(netbed::TargetName));
}

TEST(PingWorker, BlanksAroundADottedAddress)
{
    TM_REQUIRE_NETBED();
    const Record r = run(QStringLiteral(" 127.0.0.1 \r\n"));
    EXPECT_EQ(r.EchoCount, 1u) << qPrintable(r.ErrorText);
    EXPECT_EQ(r.ReplyAddress, QStringLiteral("127.0.0.1"));
}

TEST(PingWorker, FailedReverseLookUpKeepsTheDottedAddress)
{
    TM_REQUIRE_NETBED();
    const Record r = run(text(netbed::ResponderNoName.address), 2000,
                         [](TPingThread& w) { w.ResolveName = true; });
    EXPECT_EQ(r.EchoCount, 1u) << qPrintable(r.ErrorText);
    EXPECT_EQ(r.ReplyAddress, text(netbed::ResponderNoName.address));
    EXPECT_EQ(r.ReplyHostName, r.ReplyAddress);
}

struct FamilyCase
{
    std::string host;
    int family;
    std::string address;
    const char* name; // after the reverse look-up
    int delayMs;
};

void PrintTo(const FamilyCase& c, std::ostream* os)
{
    *os << c.host;
}

class PingWorkerFamily : public ::testing::TestWithParam<FamilyCase>
{
};

TEST_P(PingWorkerFamily, AddressNameAndRoundTripInBothUnits)
{
    TM_REQUIRE_NETBED();
    const FamilyCase c = GetParam();
    const Record r =
        run(QString::fromStdString(c.host), 2000, [](TPingThread& w) { w.ResolveName = true; });
    ASSERT_EQ(r.EchoCount, 1u) << qPrintable(r.ErrorText);
    EXPECT_EQ(r.AddressFamily, c.family);
    EXPECT_EQ(r.ReplyAddress, QString::fromStdString(c.address));
    EXPECT_EQ(r.ReplyHostName, c.name ? text(c.name) : r.ReplyAddress);
    // Both units come from one measurement: the milliseconds are the microseconds cut.
    EXPECT_GE(r.RoundTripUs, uint64_t(c.delayMs) * 1000);
    EXPECT_LT(r.RoundTripUs, 2000000u);
    EXPECT_EQ(r.RoundTripMs, uint32_t(r.RoundTripUs / 1000));
}

INSTANTIATE_TEST_SUITE_P(
    Hosts, PingWorkerFamily,
    ::testing::Values(FamilyCase{netbed::Target, AF_INET, netbed::Target, netbed::TargetName, 0},
                      FamilyCase{netbed::Target6, AF_INET6, netbed::Target6, netbed::TargetName, 0},
                      FamilyCase{netbed::Target6Alias, AF_INET6, netbed::Target6,
                                 netbed::TargetName, 0},
                      FamilyCase{" [fe80::1%eth0] ", AF_INET6, "fe80::1%eth0", nullptr, 0},
                      FamilyCase{netbed::Delay150.address, AF_INET, netbed::Delay150.address,
                                 "delay150.tmn.test", 150},
                      FamilyCase{netbed::v6(netbed::Delay150.address), AF_INET6,
                                 netbed::v6(netbed::Delay150.address), nullptr, 150},
                      FamilyCase{netbed::v6(netbed::ResponderNoName.address), AF_INET6,
                                 netbed::v6(netbed::ResponderNoName.address), nullptr, 0}),
    [](const auto& testCase) { return std::to_string(testCase.index); });

TEST(PingWorker, FailureLeavesTheReplyFieldsEmpty)
{
    TM_REQUIRE_NETBED();
    const Record r = run(text(netbed::Blackhole), 300);
    EXPECT_EQ(r.EchoCount, 0u);
    EXPECT_EQ(r.ErrorCode, 11010u);
    EXPECT_EQ(r.ErrorText, QStringLiteral("Request timed out"));
    EXPECT_TRUE(r.ReplyAddress.isEmpty());
    EXPECT_TRUE(r.ReplyHostName.isEmpty());
    EXPECT_EQ(r.RoundTripMs, 0u);
    EXPECT_EQ(r.ReplyDataSize, 0u);
    EXPECT_EQ(r.RoundTripUs, 0u);
    EXPECT_EQ(r.AddressFamily, AF_INET); // resolved, then failed
    const Record r6 = run(text(netbed::Blackhole6), 300);
    EXPECT_EQ(r6.ErrorCode, 11010u);
    EXPECT_EQ(r6.AddressFamily, AF_INET6);
    EXPECT_TRUE(r6.ReplyAddress.isEmpty());
    EXPECT_EQ(r6.RoundTripUs, 0u);
}

TEST(PingWorker, BadHostIsBadDestination)
{
    TM_REQUIRE_NETBED();
    for (const QString& host :
         {QString(), QStringLiteral("   "), text(netbed::UnknownName),
          QStringLiteral("255.255.255.255"), QStringLiteral("fe80::1"), QStringLiteral("[::1")}) {
        const Record r = run(host);
        EXPECT_EQ(r.EchoCount, 0u) << qPrintable(host);
        EXPECT_EQ(r.ErrorCode, 11018u) << qPrintable(host);
        EXPECT_EQ(r.ErrorText, QStringLiteral("Bad Destination")) << qPrintable(host);
    }
}

TEST(PingWorker, InputsReachTheSession)
{
    TM_REQUIRE_NETBED();
    Record r = run(text(netbed::Target), 2000, [](TPingThread& w) { w.TimeToLive = 1; });
    EXPECT_EQ(r.ErrorCode, 11013u);
    EXPECT_EQ(r.ErrorText, QStringLiteral("TTL expired in transit"));
    r = run(text(netbed::Target), 2000, [](TPingThread& w) { w.DataSize = 64000; });
    EXPECT_EQ(r.EchoCount, 1u) << qPrintable(r.ErrorText);
    EXPECT_EQ(r.ReplyDataSize, 64000);
    // A 150 ms reply is too late for 50 ms, in time for the default of 4 s.
    r = run(text(netbed::Delay150.address), 50);
    EXPECT_EQ(r.ErrorCode, 11010u);
    r = run(text(netbed::Delay150.address), 0);
    EXPECT_EQ(r.EchoCount, 1u) << qPrintable(r.ErrorText);
    EXPECT_GE(r.RoundTripMs, 150u);
}

TEST(PingWorker, NoSessionGivesTheReasonWithCodeZero)
{
    TM_REQUIRE_NETBED();
    if (!netbed::rawClient())
        GTEST_SKIP() << "ping_group_range is open here, so a session always opens; "
                        "the raw client namespace runs this case";
    // The worker's thread inherits this thread's capabilities at its start.
    std::optional<Record> out;
    ASSERT_TRUE(setNetRawEffective(false));
    start(out, text(netbed::Target));
    ASSERT_TRUE(setNetRawEffective(true));
    ASSERT_TRUE(QTest::qWaitFor([&] { return out.has_value(); }, 5000));
    EXPECT_EQ(out->EchoCount, 0u);
    EXPECT_EQ(out->ErrorCode, 0u);
    EXPECT_TRUE(out->ErrorText.startsWith(QStringLiteral("Unable to get ping handle")));
    EXPECT_TRUE(out->ErrorText.contains(QStringLiteral("ping_group_range")));
    EXPECT_TRUE(out->ErrorText.contains(QStringLiteral("CAP_NET_RAW")));
    EXPECT_TRUE(out->ReplyAddress.isEmpty());
    // And this thread may open sessions again.
    TICMP again;
    EXPECT_EQ(again.Kind(), TICMP::SocketKind::Raw);
}

TEST(PingWorker, ResultsArriveInTheOrderTheWorkersFinish)
{
    TM_REQUIRE_NETBED();
    std::vector<QString> order;
    std::vector<TPingThread*> started;
    const char* hosts[] = {netbed::Late.address, netbed::Delay20.address, netbed::Target};
    for (int i = 0; i < 12; ++i) {
        auto* w = new TPingThread;
        appendWorkerId(w->ThreadID());
        w->FreeOnTerminate = true;
        w->OnTerminate = [&order](QObject* sender) {
            auto* t = static_cast<TPingThread*>(sender);
            EXPECT_EQ(t->ReplyAddress, t->HostText);
            order.push_back(t->ReplyAddress);
        };
        w->HostText = text(hosts[i % 3]);
        w->DataSize = 100 + i;
        w->Resume();
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return order.size() == 12; }, 5000));
    // All twenty-millisecond replies before any six-hundred-millisecond one.
    const auto firstSlow = std::find(order.begin(), order.end(), text(netbed::Late.address));
    const auto lastFast = std::find(order.rbegin(), order.rend(), text(netbed::Delay20.address));
    ASSERT_NE(firstSlow, order.end());
    ASSERT_NE(lastFast, order.rend());
    const auto firstSlowIndex = firstSlow - order.begin();
    const auto lastFastIndex = (order.rend() - lastFast) - 1;
    EXPECT_GT(firstSlowIndex, lastFastIndex);
}

TEST(PingWorker, HandlerExceptionReachesTheErrorHandlerAndTheWorkerStillGoes)
{
    TM_REQUIRE_NETBED();
    testapp::clearRecorded();
    auto* w = new TPingThread;
    QPointer<TPingThread> alive = w;
    w->FreeOnTerminate = true;
    w->HostText = QStringLiteral("127.0.0.1");
    w->OnTerminate = [](QObject*) { throw TmError(QStringLiteral("handler failed")); };
    w->Resume();
    ASSERT_TRUE(QTest::qWaitFor([&] { return alive.isNull(); }, 5000));
    EXPECT_EQ(testapp::recordedTexts(), QStringList{QStringLiteral("handler failed")});
}

TEST(PingWorkerIds, ThousandEchoesListThousandIds)
{
    TM_REQUIRE_NETBED();
    const qsizetype before = workerIds().size();
    int done = 0;
    int onMain = 0;
    for (int batch = 0; batch < 10; ++batch) {
        for (int i = 0; i < 100; ++i) {
            auto* w = new TPingThread;
            appendWorkerId(w->ThreadID());
            w->FreeOnTerminate = true;
            w->OnTerminate = [&](QObject* sender) {
                ++done;
                onMain += QThread::currentThread() == qApp->thread();
                EXPECT_EQ(static_cast<TPingThread*>(sender)->EchoCount, 1u);
            };
            w->HostText = QStringLiteral("127.0.0.1");
            w->Resume();
        }
        ASSERT_TRUE(QTest::qWaitFor([&] { return done == 100 * (batch + 1); }, 20000));
    }
    EXPECT_EQ(onMain, 1000);
    const QList<quint64> ids = workerIds();
    ASSERT_EQ(ids.size() - before, 1000);
    QSet<quint64> distinct(ids.begin() + before, ids.end());
    EXPECT_EQ(distinct.size(), 1000);
    EXPECT_FALSE(distinct.contains(0));
}

TEST(PingWorkerExit, StopWakesWaitingWorkersAtOnceAndRunsNoCompletion)
{
    TM_REQUIRE_NETBED();
    int completions = 0;
    std::vector<QPointer<TPingThread>> freed;
    for (int i = 0; i < 40; ++i) {
        auto* w = new TPingThread;
        appendWorkerId(w->ThreadID());
        w->FreeOnTerminate = true;
        w->OnTerminate = [&](QObject*) { ++completions; };
        w->HostText = text(i % 2 ? netbed::Blackhole : netbed::Drop.address);
        w->TimeOutMs = kLongWaitMs;
        w->Resume();
        freed.push_back(w);
    }
    // One the owner keeps: not deleted by the stop, and its completion does not run either.
    auto* kept = new TPingThread;
    kept->HostText = text(netbed::Blackhole);
    kept->TimeOutMs = kLongWaitMs;
    kept->OnTerminate = [&](QObject*) { ++completions; };
    kept->Resume();
    // All of them are out with their echoes: each session has its socket open.
    ASSERT_TRUE(QTest::qWaitFor([] { return netbed::echoSockets(::getpid()) >= 41; }, 20000))
        << netbed::echoSockets(::getpid()) << " sockets";
    ASSERT_EQ(workersInFlight(), 41);

    QElapsedTimer clock;
    clock.start();
    stopAllWorkers();
    // Had the stop waited for the time-outs, it would have taken a minute. Half of that tells
    // the two apart with room for a slow machine; it is no speed target.
    EXPECT_LT(clock.elapsed(), kLongWaitMs / 2);
    EXPECT_EQ(workersInFlight(), 0);
    EXPECT_TRUE(workerIds().isEmpty());
    for (const auto& w : freed)
        EXPECT_TRUE(w.isNull());
    EXPECT_TRUE(kept->isFinished());
    // Completions are queued for the main thread: delivering the queue runs any that is left.
    testapp::deliverPosted();
    EXPECT_EQ(completions, 0);
    delete kept;

    // The wake-up is spent: workers started afterwards wait and answer as usual.
    const Record r = run(text(netbed::Delay20.address), 2000);
    EXPECT_EQ(r.EchoCount, 1u) << qPrintable(r.ErrorText);
    EXPECT_GE(r.RoundTripMs, 20u);
}

struct ExitCase
{
    const char* what;
    QString program;
    QStringList arguments;
};

void PrintTo(const ExitCase& c, std::ostream* os)
{
    *os << c.what;
}

class ProgramExit : public ::testing::TestWithParam<ExitCase>
{
};

// The probe quits while all its twenty workers still wait: without a way to cut the waits
// short it would live on for their nine-second time-outs, or for the 30 s of a name server
// that never answers.
TEST_P(ProgramExit, EndsAtOnceWhateverItsWorkersWaitFor)
{
    TM_REQUIRE_NETBED();
    const ExitCase c = GetParam();
    QProcess probe;
    probe.start(c.program, c.arguments);
    ASSERT_TRUE(probe.waitForFinished(8000)) << "still running after 8 s";
    const QString out = QString::fromLocal8Bit(probe.readAllStandardOutput());
    EXPECT_EQ(probe.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(probe.exitCode(), 0)
        << qPrintable(QString::fromLocal8Bit(probe.readAllStandardError()));
    EXPECT_TRUE(out.contains(QStringLiteral("quitting with 20 workers in flight")))
        << qPrintable(out);
    EXPECT_TRUE(out.contains(QStringLiteral("after the application: 0 in flight, 0 ids listed")))
        << qPrintable(out);
    EXPECT_FALSE(out.contains(QStringLiteral("completion"))) << qPrintable(out);
}

INSTANTIATE_TEST_SUITE_P(
    Waits, ProgramExit,
    ::testing::Values(ExitCase{"replies", QStringLiteral(TM_EXITPROBE), {}},
                      // In the client whose name server never answers.
                      ExitCase{"name look-ups",
                               QStringLiteral("ip"),
                               {QStringLiteral("netns"), QStringLiteral("exec"),
                                QString::fromLatin1(netbed::HangingDnsClient),
                                QStringLiteral(TM_EXITPROBE), QStringLiteral("--lookups")}}),
    [](const auto& testCase) { return testCase.index == 0 ? "Replies" : "NameLookUps"; });

} // namespace
