// The metrics registry: what each recorded result does to the series, label rules, and the
// endpoint that serves them.

#include "metrics/endpoint.h"
#include "metrics/registry.h"
#include "net/PingThrd.h"
#include "prober/scrape.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using metrics::MetricsRegistry;

QMap<QString, double> seriesOf(const MetricsRegistry& m)
{
    return scrape::samples(QByteArray::fromStdString(m.exposition()));
}

QString bucket(const char* host, const char* le)
{
    return QStringLiteral("tallowmere_ping_rtt_seconds_bucket{host=\"%1\",le=\"%2\"}")
        .arg(QLatin1String(host), QLatin1String(le));
}

TEST(Metrics, RoundTripBucketsDoubleFrom50MicrosecondsToAbout26Seconds)
{
    const std::vector<double> b = metrics::roundTripBuckets();
    ASSERT_EQ(b.size(), 20u);
    EXPECT_DOUBLE_EQ(b.front(), 50e-6);
    for (size_t i = 1; i < b.size(); ++i)
        EXPECT_DOUBLE_EQ(b[i], 2 * b[i - 1]);
    EXPECT_NEAR(b.back(), 26.2144, 1e-9);
}

// Round trips on and around bucket bounds land where Prometheus expects them (le is <=).
struct RttCase
{
    uint64_t us;
    const char* firstBucket; // the smallest bound that counts it
    const char* belowBucket; // the bound just under it, which must not
};

void PrintTo(const RttCase& c, std::ostream* os)
{
    *os << c.us;
}

class RoundTrip : public ::testing::TestWithParam<RttCase>
{
};

TEST_P(RoundTrip, LandsInTheFirstBucketThatHoldsIt)
{
    MetricsRegistry m(QStringLiteral("1"));
    m.recordPingReply(QStringLiteral("h"), GetParam().us);
    const auto s = seriesOf(m);
    EXPECT_EQ(s.value(bucket("h", GetParam().firstBucket), -1), 1);
    if (*GetParam().belowBucket) {
        EXPECT_EQ(s.value(bucket("h", GetParam().belowBucket), -1), 0);
    }
    EXPECT_DOUBLE_EQ(s.value(QStringLiteral("tallowmere_ping_rtt_seconds_sum{host=\"h\"}")),
                     double(GetParam().us) / 1e6);
}

INSTANTIATE_TEST_SUITE_P(Metrics, RoundTrip,
                         ::testing::Values(RttCase{0, "5e-05", ""}, RttCase{50, "5e-05", ""},
                                           RttCase{51, "0.0001", "5e-05"},
                                           RttCase{20000, "0.0256", "0.0128"},
                                           RttCase{26214000, "26.2144", "13.1072"},
                                           RttCase{26215000, "+Inf", "26.2144"}));

TEST(Metrics, FailureCountsByStatusAndNeverEntersTheHistogram)
{
    MetricsRegistry m(QStringLiteral("1"));
    const QString host = QStringLiteral("10.0.0.1");
    m.recordPingReply(host, 1500);
    m.recordPingFailure(host, QStringLiteral("Request timed out"));
    m.recordPingFailure(host, QStringLiteral("Request timed out"));
    m.recordPingFailure(host, QStringLiteral("Destination host unreachable"));
    const auto s = seriesOf(m);
    EXPECT_EQ(s.value(QStringLiteral("tallowmere_ping_requests_total{host=\"10.0.0.1\"}")), 4);
    EXPECT_EQ(s.value(QStringLiteral("tallowmere_ping_replies_total{host=\"10.0.0.1\"}")), 1);
    EXPECT_EQ(s.value(QStringLiteral("tallowmere_ping_failures_total{host=\"10.0.0.1\","
                                     "status=\"Request timed out\"}")),
              2);
    EXPECT_EQ(s.value(QStringLiteral("tallowmere_ping_failures_total{host=\"10.0.0.1\","
                                     "status=\"Destination host unreachable\"}")),
              1);
    EXPECT_EQ(s.value(QStringLiteral("tallowmere_ping_rtt_seconds_count{host=\"10.0.0.1\"}")), 1);
    EXPECT_DOUBLE_EQ(s.value(QStringLiteral("tallowmere_ping_rtt_seconds_sum{host=\"10.0.0.1\"}")),
                     0.0015);
    EXPECT_EQ(s.value(bucket("10.0.0.1", "5e-05"), -1), 0) << "a failure is no 0 s round trip";
}

TEST(Metrics, AWorkerIsReadByItsOutcome)
{
    MetricsRegistry m(QStringLiteral("1"));
    TPingThread replied;
    replied.EchoCount = 1;
    replied.RoundTripUs = 20400;
    replied.RoundTripMs = 20;
    TPingThread failed;
    failed.EchoCount = 0;
    failed.RoundTripUs = 0;
    failed.ErrorText = QStringLiteral("TTL expired in transit");
    m.recordPing(QStringLiteral("h"), replied);
    m.recordPing(QStringLiteral("h"), failed);
    const auto s = seriesOf(m);
    EXPECT_EQ(s.value(QStringLiteral("tallowmere_ping_replies_total{host=\"h\"}")), 1);
    EXPECT_EQ(s.value(QStringLiteral(
                  "tallowmere_ping_failures_total{host=\"h\",status=\"TTL expired in transit\"}")),
              1);
    EXPECT_DOUBLE_EQ(s.value(QStringLiteral("tallowmere_ping_rtt_seconds_sum{host=\"h\"}")),
                     0.0204);
}

TEST(Metrics, RestrictedHostsAloneBecomeLabels)
{
    MetricsRegistry m(QStringLiteral("1"));
    m.recordPingReply(QStringLiteral("typo.exmaple"), 100);
    m.recordPingFailure(QStringLiteral("typo.exmaple"), QStringLiteral("Bad Destination"));
    m.recordAnalysis(QStringLiteral("typo.exmaple"), 10, 0.001);
    m.restrictHosts({QStringLiteral("a"), QStringLiteral("b")});
    m.recordPingReply(QStringLiteral("typo.exmaple"), 100);
    m.recordPingReply(QStringLiteral("a"), 100);
    const QByteArray text = QByteArray::fromStdString(m.exposition());
    EXPECT_FALSE(text.contains("typo.exmaple")) << text.constData();
    const auto s = seriesOf(m);
    EXPECT_EQ(s.value(QStringLiteral("tallowmere_ping_requests_total{host=\"a\"}")), 1);
    // Listed hosts start at 0, so their rates exist before the first result.
    EXPECT_EQ(s.value(QStringLiteral("tallowmere_ping_requests_total{host=\"b\"}"), -1), 0);
    EXPECT_EQ(s.value(QStringLiteral("tallowmere_ping_replies_total{host=\"b\"}"), -1), 0);
    m.unrestrictHosts();
    m.recordPingReply(QStringLiteral("c"), 100);
    EXPECT_EQ(seriesOf(m).value(QStringLiteral("tallowmere_ping_replies_total{host=\"c\"}")), 1);
}

TEST(Metrics, AnalysisKeepsTheLastAveragePerSizeAndForgetsAnEmptyOne)
{
    MetricsRegistry m(QStringLiteral("1"));
    const QString h = QStringLiteral("h");
    m.recordAnalysis(h, 10, 0.002);
    m.recordAnalysis(h, 10, 0.003);
    m.recordAnalysis(h, 64000, 0.010);
    auto s = seriesOf(m);
    EXPECT_DOUBLE_EQ(
        s.value(QStringLiteral("tallowmere_analysis_rtt_seconds{host=\"h\",size=\"10\"}")), 0.003);
    EXPECT_DOUBLE_EQ(
        s.value(QStringLiteral("tallowmere_analysis_rtt_seconds{host=\"h\",size=\"64000\"}")),
        0.010);
    m.recordAnalysis(h, 64000, std::nullopt);
    s = seriesOf(m);
    EXPECT_FALSE(
        s.contains(QStringLiteral("tallowmere_analysis_rtt_seconds{host=\"h\",size=\"64000\"}")));
    EXPECT_TRUE(
        s.contains(QStringLiteral("tallowmere_analysis_rtt_seconds{host=\"h\",size=\"10\"}")));
}

TEST(Metrics, CopySuccessSetsDurationAndThroughputFailureOnlyCounts)
{
    MetricsRegistry m(QStringLiteral("1"));
    const QString d = QStringLiteral("\\\\srv\\share\\dir");
    m.recordCopy(d, QStringLiteral("5MB"), true, 0.5, 5242880);
    m.recordCopy(d, QStringLiteral("5MB"), false, 9.9, 5242880);
    const auto s = seriesOf(m);
    const QString labels =
        QStringLiteral("{destination=\"\\\\\\\\srv\\\\share\\\\dir\",size=\"5MB\"}");
    EXPECT_DOUBLE_EQ(s.value(QStringLiteral("tallowmere_copy_throughput_bits_per_second") + labels),
                     5242880 * 8 / 0.5);
    EXPECT_EQ(s.value(QStringLiteral("tallowmere_copy_duration_seconds_count") + labels), 1);
    EXPECT_DOUBLE_EQ(s.value(QStringLiteral("tallowmere_copy_duration_seconds_sum") + labels), 0.5);
    EXPECT_EQ(s.value(QStringLiteral("tallowmere_copy_failures_total") + labels), 1);
}

TEST(Metrics, BuildInfoNamesTheVersion)
{
    MetricsRegistry m(QStringLiteral("2.0.0"));
    EXPECT_EQ(seriesOf(m).value(QStringLiteral("tallowmere_build_info{version=\"2.0.0\"}")), 1);
}

struct LabelCase
{
    const char* destination;
    const char* label;
};

void PrintTo(const LabelCase& c, std::ostream* os)
{
    *os << c.destination;
}

class DestinationLabel : public ::testing::TestWithParam<LabelCase>
{
};

TEST_P(DestinationLabel, CarriesNoCredentials)
{
    EXPECT_EQ(metrics::destinationLabel(QString::fromUtf8(GetParam().destination)),
              QString::fromUtf8(GetParam().label));
}

INSTANTIATE_TEST_SUITE_P(
    Metrics, DestinationLabel,
    ::testing::Values(LabelCase{"\\\\srv\\share\\dir", "\\\\srv\\share\\dir"},
                      LabelCase{"\\\\user%pw@srv\\share", "\\\\srv\\share"},
                      LabelCase{"smb://srv/share/dir", "smb://srv/share/dir"},
                      LabelCase{"smb://user:pw@srv/share", "smb://srv/share"},
                      LabelCase{"SMB://dom;user:p@ss@srv:445/share", "SMB://srv:445/share"},
                      LabelCase{"smb://user@srv/share", "smb://srv/share"},
                      LabelCase{"smb://srv/share/a@b", "smb://srv/share/a@b"},
                      LabelCase{"smb://srv/share?password=x", "smb://srv/share"},
                      LabelCase{"/mnt/share/a@b", "/mnt/share/a@b"},
                      LabelCase{"  smb://u:p@srv/s  ", "smb://srv/s"}));

class ReasonText : public ::testing::TestWithParam<LabelCase>
{
};

TEST_P(ReasonText, LosesEveryUserPartAndNothingElse)
{
    EXPECT_EQ(metrics::withoutCredentials(QString::fromUtf8(GetParam().destination)),
              QString::fromUtf8(GetParam().label));
}

INSTANTIATE_TEST_SUITE_P(
    Metrics, ReasonText,
    ::testing::Values(
        LabelCase{"Cannot create 'smb://u:pw@srv/s/f': Permission denied",
                  "Cannot create 'smb://srv/s/f': Permission denied"},
        LabelCase{"Cannot create 'smb://dom;u:p@ss@srv/s/f': x",
                  "Cannot create 'smb://srv/s/f': x"},
        LabelCase{"'\\\\u%pw@srv\\s' and SMB://a@b/c", "'\\\\srv\\s' and SMB://b/c"},
        LabelCase{"Cannot write 'smb://srv/share/a@b': x", "Cannot write 'smb://srv/share/a@b': x"},
        LabelCase{"Cannot write '\\\\srv\\share\\a@b'", "Cannot write '\\\\srv\\share\\a@b'"},
        LabelCase{"Cannot write '/mnt/u@h/f'", "Cannot write '/mnt/u@h/f'"}));

TEST(Metrics, CopySizeLabelsNameTheThreeTestFiles)
{
    EXPECT_EQ(metrics::copySizeLabel(102400), QStringLiteral("100KB"));
    EXPECT_EQ(metrics::copySizeLabel(1048576), QStringLiteral("1MB"));
    EXPECT_EQ(metrics::copySizeLabel(5242880), QStringLiteral("5MB"));
    EXPECT_EQ(metrics::copySizeLabel(1000000), QString());
}

TEST(MetricsEndpoint, ServesTheRegistryOnLoopback)
{
    MetricsRegistry m(QStringLiteral("2.0.0"));
    m.recordPingReply(QStringLiteral("h"), 20000);
    metrics::Endpoint endpoint(metrics::ListenAddress{QStringLiteral("127.0.0.1"), 0}, m);
    ASSERT_NE(endpoint.port(), 0);
    const scrape::Response r = scrape::get(endpoint.port(), "/metrics");
    ASSERT_EQ(r.status, 200);
    const auto s = scrape::samples(r.body);
    EXPECT_EQ(s.value(QStringLiteral("tallowmere_ping_replies_total{host=\"h\"}")), 1);
    EXPECT_EQ(s.value(QStringLiteral("tallowmere_build_info{version=\"2.0.0\"}")), 1);
    EXPECT_TRUE(endpoint.url().endsWith(QStringLiteral(":%1/metrics").arg(endpoint.port())));
}

TEST(MetricsEndpoint, APortInUseIsNamedWithTheReason)
{
    MetricsRegistry m(QStringLiteral("1"));
    metrics::Endpoint first(metrics::ListenAddress{QStringLiteral("127.0.0.1"), 0}, m);
    const metrics::ListenAddress taken{QStringLiteral("127.0.0.1"), first.port()};
    try {
        metrics::Endpoint second(taken, m);
        FAIL() << "a second endpoint on " << taken.text().toStdString();
    } catch (const metrics::EndpointError& e) {
        EXPECT_TRUE(e.text().contains(taken.text())) << e.text().toStdString();
        EXPECT_TRUE(e.text().contains(QStringLiteral("Address already in use")))
            << e.text().toStdString();
    }
}

} // namespace
