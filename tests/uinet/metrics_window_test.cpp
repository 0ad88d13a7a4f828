// The window started with metrics: what it measures against the network test bed shows on
// /metrics, scraped over loopback, for the hosts of its host history only.

#include "copytab.h"
#include "tabdriver.h"

#include "app/analysis.h"
#include "metrics/endpoint.h"
#include "metrics/registry.h"
#include "net/netbed.h"
#include "prober/scrape.h"
#include "support/userinput.h"

#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>
#include <QTimer>

using namespace tabdriver;

namespace {

QString series(const char* name, const QString& host, const char* status = nullptr)
{
    QString s = QStringLiteral("%1{host=\"%2\"").arg(QLatin1String(name), host);
    if (status)
        s += QStringLiteral(",status=\"%1\"").arg(QLatin1String(status));
    return s + u'}';
}

class WindowMetrics : public FormTest
{
protected:
    void TearDown() override
    {
        FormTest::TearDown();
        m_endpoint.reset();
    }

    // The window as the program starts it with metrics: the endpoint listens first.
    TForm1& openWindow()
    {
        m_endpoint = std::make_unique<metrics::Endpoint>(
            metrics::ListenAddress{QStringLiteral("127.0.0.1"), 0}, m_registry);
        m_form = std::make_unique<TForm1>(nullptr, &m_registry);
        m_form->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(m_form.get()));
        EXPECT_TRUE(userinput::activate(m_form.get()));
        return *m_form;
    }

    QMap<QString, double> scraped() const
    {
        const scrape::Response r = scrape::get(m_endpoint->port(), "/metrics");
        EXPECT_EQ(r.status, 200);
        return scrape::samples(r.body);
    }

    // Whether any sample names host as its label.
    bool anySeriesOf(const QString& host) const
    {
        const QString label = QStringLiteral("host=\"%1\"").arg(host);
        const auto all = scraped();
        return std::any_of(all.keyBegin(), all.keyEnd(),
                           [&](const QString& key) { return key.contains(label); });
    }

    void pingOnce(TForm1& f, const QString& host)
    {
        userinput::click(f.ComboBox1);
        userinput::retype(host);
        const int lines = f.LogWindow->Count();
        userinput::click(f.doPing1);
        ASSERT_TRUE(waitForLines(f.LogWindow, lines + 1)) << "no result";
    }

    metrics::MetricsRegistry m_registry{QStringLiteral("test")};
    std::unique_ptr<metrics::Endpoint> m_endpoint;
};

TEST_F(WindowMetrics, PingsCountAsRequestsRepliesAndFailuresByStatus)
{
    TM_REQUIRE_NETBED();
    TForm1& f = openWindow();
    f.TrackBar2->setValue(1); // a second for the host that never answers
    const struct
    {
        const char* host;
        int ttl;
    } pings[] = {
        {netbed::Delay20.address, 32}, {netbed::Target, 1},           {netbed::Drop.address, 32},
        {netbed::UnknownName, 32},     {netbed::Delay20.address, 32},
    };
    for (const auto& p : pings) {
        f.TrackBar1->setValue(p.ttl);
        ASSERT_NO_FATAL_FAILURE(pingOnce(f, QString::fromLatin1(p.host)));
    }
    const QString delayed = QString::fromLatin1(netbed::Delay20.address);
    const QString target = QString::fromLatin1(netbed::Target);
    const QString silent = QString::fromLatin1(netbed::Drop.address);
    const QString unknown = QString::fromLatin1(netbed::UnknownName);
    const struct
    {
        QString sample;
        double value;
    } expected[] = {
        {series("tallowmere_ping_requests_total", delayed), 2},
        {series("tallowmere_ping_replies_total", delayed), 2},
        {series("tallowmere_ping_rtt_seconds_count", delayed), 2},
        {series("tallowmere_ping_requests_total", target), 1},
        {series("tallowmere_ping_replies_total", target), 0},
        {series("tallowmere_ping_failures_total", target, "TTL expired in transit"), 1},
        {series("tallowmere_ping_requests_total", silent), 1},
        {series("tallowmere_ping_failures_total", silent, "Request timed out"), 1},
        {series("tallowmere_ping_failures_total", unknown, "Bad Destination"), 1},
        // A failure is never a round trip of 0 s.
        {series("tallowmere_ping_rtt_seconds_count", target), 0},
        {series("tallowmere_ping_rtt_seconds_count", silent), 0},
    };
    const QMap<QString, double> samples = scraped();
    for (const auto& e : expected) {
        ASSERT_TRUE(samples.contains(e.sample)) << e.sample.toStdString();
        EXPECT_EQ(samples.value(e.sample), e.value) << e.sample.toStdString();
    }
    // Two replies of about 20 ms each, from the microsecond figure.
    const double sum = samples.value(series("tallowmere_ping_rtt_seconds_sum", delayed));
    EXPECT_GE(sum, 0.040);
    EXPECT_LE(sum, 0.120);
}

TEST_F(WindowMetrics, OnlyHostsOfTheHistoryAreLabels)
{
    TM_REQUIRE_NETBED();
    writeFile(QStringLiteral("hostfile.txt"), QByteArray(netbed::TargetName) + "\r\n");
    TForm1& f = openWindow();
    const QString known = QString::fromLatin1(netbed::TargetName);
    // Hosts of the history are there from the start, at 0.
    EXPECT_EQ(scraped().value(series("tallowmere_ping_requests_total", known), -1), 0);

    // The history has it in another case: counted under the history's spelling.
    ASSERT_NO_FATAL_FAILURE(pingOnce(f, known.toUpper()));
    EXPECT_EQ(scraped().value(series("tallowmere_ping_replies_total", known)), 1);
    EXPECT_FALSE(anySeriesOf(known.toUpper()));

    // A typo is a label while the history keeps it ...
    const QString typo = QStringLiteral("traget.tmn.test");
    ASSERT_NO_FATAL_FAILURE(pingOnce(f, typo));
    EXPECT_EQ(scraped().value(series("tallowmere_ping_failures_total", typo, "Bad Destination")),
              1);
    // ... and gone with all its series once ten other hosts have pushed it out.
    for (int i = 0; i < 10; ++i)
        ASSERT_NO_FATAL_FAILURE(pingOnce(f, QStringLiteral("10.201.20.%1").arg(100 + i)));
    ASSERT_EQ(f.ComboBox1->findText(typo), -1);
    EXPECT_FALSE(anySeriesOf(typo));
    EXPECT_FALSE(anySeriesOf(known));
    EXPECT_EQ(
        scraped().value(series("tallowmere_ping_replies_total", QStringLiteral("10.201.20.109"))),
        1);
}

TEST_F(WindowMetrics, AnalysisRunsAndCopiesAreCounted)
{
    TM_REQUIRE_NETBED();
    TForm1& f = openWindow();
    // An analysis run of the host that answers after 20 ms: the average per size.
    userinput::click(f.ComboBox1);
    userinput::retype(QString::fromLatin1(netbed::Delay20.address));
    showTab(f, f.TabSheet2);
    userinput::click(f.Button3);
    ASSERT_TRUE(waitUntil(
        [&] {
            return !f.Timer2->isActive() && !f.Timer3->isActive() &&
                   !TApplication::instance()->busyCursor();
        },
        60000));
    const QMap<QString, double> samples = scraped();
    for (const analysis::Step& step : analysis::kSteps) {
        const QString name =
            QStringLiteral("tallowmere_analysis_rtt_seconds{host=\"%1\",size=\"%2\"}")
                .arg(QLatin1String(netbed::Delay20.address))
                .arg(step.dataSize);
        ASSERT_TRUE(samples.contains(name)) << name.toStdString();
        EXPECT_GE(samples.value(name), 0.020) << name.toStdString();
        EXPECT_LE(samples.value(name), 0.060) << name.toStdString();
    }

    // Copies: one to a local folder, one that fails at once.
    showTab(f, f.TabSheet3);
    QTemporaryDir share;
    copytab::setDestination(f, share.path());
    copytab::copyOnce(f);
    copytab::setDestination(f, QStringLiteral("\\\\"));
    copytab::copyOnce(f);
    const QMap<QString, double> copies = scraped();
    const QString copied = QStringLiteral("{destination=\"%1/\",size=\"1MB\"}").arg(share.path());
    EXPECT_EQ(copies.value(QStringLiteral("tallowmere_copy_duration_seconds_count") + copied), 1);
    EXPECT_GT(copies.value(QStringLiteral("tallowmere_copy_throughput_bits_per_second") + copied),
              0);
    EXPECT_EQ(copies.value(QStringLiteral("tallowmere_copy_failures_total") + copied, -1), 0);
    EXPECT_EQ(copies.value(QStringLiteral(
                  "tallowmere_copy_failures_total{destination=\"\\\\\\\\\",size=\"1MB\"}")),
              1);
}

} // namespace
