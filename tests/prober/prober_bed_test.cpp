// The headless prober against the network test bed: its pings reach the metrics and the ping
// logs as the window would write them, and a stop signal ends it while an echo still waits.

#include "net/netbed.h"
#include "prober/proberprocess.h"
#include "prober/scrape.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {

const QString kDelayed = QString::fromLatin1(netbed::Delay20.address);
const QString kSilent = QString::fromLatin1(netbed::Blackhole);

QString series(const char* name, const QString& labels)
{
    return QLatin1String(name) + u'{' + labels + u'}';
}

TEST(ProberBed, PingsOfEveryHostReachMetricsAndLogs)
{
    TM_REQUIRE_NETBED();
    const uint16_t port = scrape::freePort();
    ProberProcess prober;
    ASSERT_TRUE(prober.start(QStringLiteral("[metrics]\nlisten=%1\n[ping]\nhosts=%2, %3\n"
                                            "interval=1\ntimeout=1\nsize=100\nlog=true\n"
                                            "[files]\nfolder=@FOLDER@\n")
                                 .arg(port)
                                 .arg(kDelayed, kSilent)
                                 .toUtf8()));
    ASSERT_TRUE(prober.waitUntilRunning()) << prober.stderrText().constData();
    const QString delayed = QStringLiteral("host=\"%1\"").arg(kDelayed);
    const QString silent = QStringLiteral("host=\"%1\"").arg(kSilent);
    const QString timedOut = silent + QStringLiteral(",status=\"Request timed out\"");
    QMap<QString, double> s;
    const bool enough = prober.waitFor(
        [&] {
            s = scrape::samples(scrape::get(port, "/metrics").body);
            return s.value(series("tallowmere_ping_replies_total", delayed)) >= 4 &&
                   s.value(series("tallowmere_ping_failures_total", timedOut)) >= 3;
        },
        30000);
    ASSERT_TRUE(enough) << prober.stderrText().constData();
    EXPECT_EQ(s.value(series("tallowmere_ping_replies_total", silent), -1), 0);
    // Every reply of the delayed host lies above 12.8 ms, and below 51.2 ms: the bound is the
    // next bucket up, so a busy machine's late reply does not fail the count.
    const double replies = s.value(series("tallowmere_ping_rtt_seconds_count", delayed));
    EXPECT_EQ(s.value(series("tallowmere_ping_rtt_seconds_bucket",
                             delayed + QStringLiteral(",le=\"0.0128\""))),
              0);
    EXPECT_EQ(s.value(series("tallowmere_ping_rtt_seconds_bucket",
                             delayed + QStringLiteral(",le=\"0.0512\""))),
              replies);
    const double mean = s.value(series("tallowmere_ping_rtt_seconds_sum", delayed)) / replies;
    EXPECT_NEAR(mean, 0.020, 0.005);
    // Failures are no round trips.
    EXPECT_EQ(s.value(series("tallowmere_ping_rtt_seconds_count", silent), -1), 0);

    prober.signal(SIGTERM);
    ASSERT_TRUE(prober.waitForExit(10000));
    EXPECT_EQ(prober.exitCode(), 0);

    const QString stamp = QStringLiteral("\\d{2}\\.\\d{2}\\.\\d{4}, \\d{2}:\\d{2}:\\d{2}, ");
    bool complete = false;
    const QStringList delayedLines =
        prober.logLines(QStringLiteral("quillnet_%1.txt").arg(kDelayed), &complete);
    EXPECT_TRUE(complete);
    ASSERT_GE(delayedLines.size(), 4);
    const QRegularExpression reply(QLatin1Char('^') + stamp + QRegularExpression::escape(kDelayed) +
                                   QStringLiteral(", 100 bytes, \\d+ms$"));
    for (const QString& line : delayedLines)
        EXPECT_TRUE(reply.match(line).hasMatch()) << line.toStdString();
    const QStringList silentLines =
        prober.logLines(QStringLiteral("quillnet_%1.txt").arg(kSilent), &complete);
    EXPECT_TRUE(complete);
    ASSERT_GE(silentLines.size(), 3);
    const QRegularExpression failure(QLatin1Char('^') + stamp +
                                     QRegularExpression::escape(kSilent) +
                                     QStringLiteral(", Request timed out$"));
    for (const QString& line : silentLines)
        EXPECT_TRUE(failure.match(line).hasMatch()) << line.toStdString();
}

// A stop signal while an echo waits out a 9 s time-out: the wait is cut short, the program
// ends cleanly long before the time-out would have, and the cut echo writes no line.
TEST(ProberBed, AStopSignalCutsAWaitingEchoShort)
{
    TM_REQUIRE_NETBED();
    for (const int sig : {SIGTERM, SIGINT}) {
        ProberProcess prober;
        ASSERT_TRUE(prober.start(QStringLiteral("[ping]\nhosts=%1\ninterval=60\ntimeout=9\n"
                                                "log=true\n[files]\nfolder=@FOLDER@\n")
                                     .arg(kSilent)
                                     .toUtf8()));
        ASSERT_TRUE(prober.waitUntilRunning()) << prober.stderrText().constData();
        // The echo is out and waiting once its session has a socket.
        ASSERT_TRUE(prober.waitFor([&] { return netbed::echoSockets(prober.pid()) > 0; }, 10000))
            << "the prober opened no ICMP socket";
        QElapsedTimer clock;
        clock.start();
        prober.signal(sig);
        // Well inside the 8.5 s that the time-out still had to run.
        ASSERT_TRUE(prober.waitForExit(6000)) << "still waiting for the time-out";
        std::cout << "exit " << clock.elapsed() << " ms after signal " << sig << std::endl;
        EXPECT_TRUE(prober.normalExit());
        EXPECT_EQ(prober.exitCode(), 0);
        EXPECT_TRUE(prober.fileBytes(QStringLiteral("quillnet_%1.txt").arg(kSilent)).isEmpty())
            << "the cut echo was logged";
    }
}

} // namespace
