// The statistics row of the Ping tab after real echoes to the hosts of the network test bed:
// what it reads, for which host, and when it starts afresh.

#include "tabdriver.h"

#include "lang/reinit.h"
#include "net/netbed.h"
#include "platform/resources.h"
#include "support/userinput.h"

#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QSlider>

using namespace tabdriver;

namespace {

const QString kNoTimes =
    QStringLiteral("min/\u00d8/max -/-/- ms  Abw. -  Jitter -  P50/95/99 -/-/-");
const char* const kGermanEmpty =
    "Gesendet/empfangen/verloren 0/0/0 (0.00 %)  Verluste in Folge 0  l\u00e4ngste 0 (0.0 s)";

class PingStatsTab : public FormTest
{
protected:
    void TearDown() override
    {
        FormTest::TearDown();
        resources::restoreBuiltIn();
    }

    // The English module into the open window, as the language step loads it.
    static void installEnglish()
    {
        resources::ResourceModule* module =
            resources::loadModule(QStringLiteral(TM_ENGLISH_MODULE));
        ASSERT_NE(module, nullptr) << TM_ENGLISH_MODULE;
        SwitchResourceModule(module);
        ReloadForms();
    }

    // One echo by a click on "Ein Ping", waited for.
    void pingOnce(TForm1& f)
    {
        const int lines = f.LogWindow->Count();
        userinput::click(f.doPing1);
        ASSERT_TRUE(waitForLines(f.LogWindow, lines + 1)) << "no result";
    }

    void enterHost(TForm1& f, const char* host)
    {
        userinput::click(f.ComboBox1);
        userinput::retype(QString::fromLatin1(host));
    }

    // The figures of the round-trip line in milliseconds: min, avg, max, mdev, jitter, p50,
    // p95, p99; empty when the line does not read as such.
    static QList<double> roundTrips(const QString& line)
    {
        static const QRegularExpression format(QStringLiteral(
            "^\\S+ (\\d+\\.\\d{3})/(\\d+\\.\\d{3})/(\\d+\\.\\d{3}) ms  \\S+ (\\d+\\.\\d{3})  "
            "\\S+ (\\d+\\.\\d{3})  \\S+ (\\d+\\.\\d{3})/(\\d+\\.\\d{3})/(\\d+\\.\\d{3})$"));
        const auto m = format.match(line);
        QList<double> figures;
        for (int i = 1; m.hasMatch() && i <= 8; ++i)
            figures += m.captured(i).toDouble();
        return figures;
    }
};

TEST_F(PingStatsTab, RowAfterRealEchoes)
{
    TM_REQUIRE_NETBED();
    struct Case
    {
        const char* name;
        bool english;
        const char* host;
        int timeOut;           // seconds
        std::vector<int> ttls; // one echo per entry, with this time-to-live
        const char* before;    // the loss line before the first echo
        const char* lossLine;  // a pattern
        double minMs, maxMs;   // bounds of the figures (a wrong unit, not a slow
                               // machine, leaves them); < 0: no reply, dashes
        const char* picture;
    };
    const Case cases[] = {
        {"delayed 20 ms",
         false,
         netbed::Delay20.address,
         4,
         {32, 32, 32},
         kGermanEmpty,
         "^Gesendet/empfangen/verloren 3/3/0 \\(0\\.00 %\\)  Verluste in Folge 0  l\u00e4ngste 0 "
         "\\(0\\.0 s\\)$",
         20.0,
         250.0,
         nullptr},
        // The router answers a time-to-live of 1 with an error: a loss between replies that
        // take a fraction of a millisecond.
        {"LAN host, one loss",
         false,
         netbed::Target,
         4,
         {32, 1, 32, 32},
         kGermanEmpty,
         "^Gesendet/empfangen/verloren 4/3/1 \\(25\\.00 %\\)  Verluste in Folge 0  l\u00e4ngste 1 "
         "\\(0\\.0 s\\)$",
         0.001,
         10.0,
         "ping-statistics-de.png"},
        {"never answers",
         false,
         netbed::Drop.address,
         1,
         {32, 32},
         kGermanEmpty,
         "^Gesendet/empfangen/verloren 2/0/2 \\(100\\.00 %\\)  Verluste in Folge 2 \\(\\d\\.\\d "
         "s\\)  l\u00e4ngste 2 \\(\\d\\.\\d s\\)$",
         -1,
         -1,
         nullptr},
        // The English module, loaded into the open window, brings its own captions.
        {"English, LAN host",
         true,
         netbed::Target,
         4,
         {32, 1, 32, 32},
         "Sent/received/lost 0/0/0 (0.00 %)  lost in a row 0  longest 0 (0.0 s)",
         "^Sent/received/lost 4/3/1 \\(25\\.00 %\\)  lost in a row 0  longest 1 \\(0\\.0 s\\)$",
         0.001,
         10.0,
         "ping-statistics-en.png"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        recreateForm();
        TForm1& f = form();
        if (c.english) {
            ASSERT_NO_FATAL_FAILURE(installEnglish());
        }
        EXPECT_EQ(f.Label57->text(), QString::fromUtf8(c.before));
        ASSERT_TRUE(userinput::activate(&f));
        enterHost(f, c.host);
        f.TrackBar2->setValue(c.timeOut);
        for (const int ttl : c.ttls) {
            f.TrackBar1->setValue(ttl);
            ASSERT_NO_FATAL_FAILURE(pingOnce(f));
        }
        EXPECT_EQ(f.pingStatisticsHost(), QString::fromLatin1(c.host));
        const QString loss = f.Label57->text();
        EXPECT_TRUE(QRegularExpression(QString::fromUtf8(c.lossLine)).match(loss).hasMatch())
            << loss.toStdString();
        const QString times = f.Label58->text();
        if (c.picture) {
            EXPECT_FALSE(savePicture(&f, QString::fromLatin1(c.picture)).isEmpty());
        }
        resources::restoreBuiltIn();
        if (c.minMs < 0) {
            EXPECT_EQ(times, kNoTimes);
            continue;
        }
        const QList<double> figures = roundTrips(times);
        ASSERT_EQ(figures.size(), 8) << times.toStdString();
        for (int i : {0, 1, 2, 5, 6, 7}) {
            EXPECT_GE(figures[i], c.minMs) << times.toStdString();
            EXPECT_LE(figures[i], c.maxMs) << times.toStdString();
        }
        EXPECT_LE(figures[0], figures[1]);
        EXPECT_LE(figures[1], figures[2]);
        // The graph shows whole milliseconds of the same echoes.
        EXPECT_NEAR(f.VexTrend2->MaxVal(), figures[2], 1.0);
    }
}

TEST_F(PingStatsTab, AnotherHostPingedStartsAfresh)
{
    TM_REQUIRE_NETBED();
    TForm1& f = form();
    ASSERT_TRUE(userinput::activate(&f));
    // The reply of the delayed host arrives after the other host was pinged: it belongs to
    // statistics that have restarted and is left out.
    enterHost(f, netbed::Delay150.address);
    userinput::click(f.doPing1);
    enterHost(f, netbed::Target);
    userinput::click(f.doPing1);
    ASSERT_TRUE(waitForLines(f.LogWindow, 2));
    EXPECT_TRUE(last(f.LogWindow).contains(QLatin1String(netbed::Delay150.address)));
    EXPECT_EQ(f.pingStatisticsHost(), QString::fromLatin1(netbed::Target));
    EXPECT_TRUE(f.Label57->text().startsWith(QStringLiteral("Gesendet/empfangen/verloren 1/1/0 ")))
        << f.Label57->text().toStdString();
    QList<double> figures = roundTrips(f.Label58->text());
    ASSERT_EQ(figures.size(), 8) << f.Label58->text().toStdString();
    EXPECT_LT(figures[2], 100.0);

    // A host typed but not pinged changes nothing.
    enterHost(f, netbed::Delay20.address);
    EXPECT_TRUE(f.Label57->text().startsWith(QStringLiteral("Gesendet/empfangen/verloren 1/1/0 ")));
    ASSERT_NO_FATAL_FAILURE(pingOnce(f));
    EXPECT_EQ(f.pingStatisticsHost(), QString::fromLatin1(netbed::Delay20.address));
    EXPECT_TRUE(f.Label57->text().startsWith(QStringLiteral("Gesendet/empfangen/verloren 1/1/0 ")));
    figures = roundTrips(f.Label58->text());
    ASSERT_EQ(figures.size(), 8) << f.Label58->text().toStdString();
    EXPECT_GE(figures[0], 20.0);
}

TEST_F(PingStatsTab, ResetGraphFromTheMenuStartsAfresh)
{
    TM_REQUIRE_NETBED();
    TForm1& f = form();
    ASSERT_TRUE(userinput::activate(&f));
    enterHost(f, netbed::Target);
    ASSERT_NO_FATAL_FAILURE(pingOnce(f));
    ASSERT_NO_FATAL_FAILURE(pingOnce(f));
    ASSERT_TRUE(f.Label57->text().startsWith(QStringLiteral("Gesendet/empfangen/verloren 2/2/0 ")));

    ASSERT_NO_FATAL_FAILURE(resetGraphsFromTheMenu(f));
    EXPECT_EQ(f.Label57->text(),
              QStringLiteral("Gesendet/empfangen/verloren 0/0/0 (0.00 %)  Verluste in Folge 0  "
                             "l\u00e4ngste 0 (0.0 s)"));
    EXPECT_EQ(f.Label58->text(), kNoTimes);
    // The same host goes on from nothing.
    ASSERT_NO_FATAL_FAILURE(pingOnce(f));
    EXPECT_TRUE(f.Label57->text().startsWith(QStringLiteral("Gesendet/empfangen/verloren 1/1/0 ")))
        << f.Label57->text().toStdString();
    EXPECT_EQ(roundTrips(f.Label58->text()).size(), 8);
}

} // namespace
