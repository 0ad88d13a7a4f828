// A real Prometheus server scrapes the headless prober, which pings the network bed's hosts
// and copies to the Samba bed over a 100 Mbit/s link; the figures are read back through
// Prometheus' HTTP query API, as a dashboard would read them.

#include "net/netbed.h"
#include "prober/proberprocess.h"
#include "prober/scrape.h"
#include "prober/smbenv.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>

#include <gtest/gtest.h>

#include <iostream>
#include <optional>

namespace {

const QString kDelayed = QString::fromLatin1(netbed::Delay20.address);
const QString kSilent = QString::fromLatin1(netbed::Blackhole);
constexpr double kDelaySeconds = netbed::Delay20.delayMs / 1000.0;
constexpr double kLinkBitsPerSecond = 100e6; // tc's "100mbit"

// The network bed's client linked to the Samba bed for one test (tests/e2e/smbbridge.sh).
class Bridge
{
public:
    explicit Bridge(const smbenv::Description& bed) : m_bed(bed)
    {
        m_up = smbenv::run(
            QStringLiteral(TM_SMBBRIDGE),
            {QStringLiteral("up"), m_bed.envFile, QString::fromLatin1(netbed::DatagramClient)},
            &m_output);
    }
    ~Bridge()
    {
        if (m_up)
            smbenv::run(QStringLiteral(TM_SMBBRIDGE),
                        {QStringLiteral("down"), m_bed.envFile,
                         QString::fromLatin1(netbed::DatagramClient)});
    }
    bool up() const { return m_up; }
    QString output() const { return m_output; }

private:
    const smbenv::Description& m_bed;
    bool m_up = false;
    QString m_output;
};

// Debian's Prometheus with its own configuration and data folder, on a loopback port.
class PrometheusServer
{
public:
    ~PrometheusServer()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            if (!m_process.waitForFinished(10000)) {
                m_process.kill();
                m_process.waitForFinished(5000);
            }
        }
    }

    bool start(uint16_t targetPort, QString* why)
    {
        m_port = scrape::freePort();
        QFile config(m_dir.filePath(QStringLiteral("prometheus.yml")));
        if (!m_dir.isValid() || !config.open(QIODevice::WriteOnly)) {
            *why = QStringLiteral("cannot write the configuration");
            return false;
        }
        config.write(QStringLiteral("global:\n  scrape_interval: 1s\n  evaluation_interval: 1s\n"
                                    "scrape_configs:\n  - job_name: tallowmere\n"
                                    "    static_configs:\n      - targets: ['127.0.0.1:%1']\n")
                         .arg(targetPort)
                         .toUtf8());
        config.close();
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.setStandardOutputFile(m_dir.filePath(QStringLiteral("prometheus.log")));
        m_process.start(
            QStringLiteral(TM_PROMETHEUS),
            {QStringLiteral("--config.file=") + config.fileName(),
             QStringLiteral("--storage.tsdb.path=") + m_dir.filePath(QStringLiteral("data")),
             QStringLiteral("--web.listen-address=127.0.0.1:%1").arg(m_port),
             QStringLiteral("--log.level=warn")});
        if (!m_process.waitForStarted(10000)) {
            *why = m_process.errorString();
            return false;
        }
        for (int i = 0; i < 300; ++i) {
            if (scrape::get(m_port, "/-/ready", 1000).status == 200)
                return true;
            if (m_process.state() == QProcess::NotRunning)
                break;
            QThread::msleep(100);
        }
        *why = QStringLiteral("not ready within 30 s: ") + log();
        return false;
    }

    // The first value of an instant query, or nothing when the result is empty.
    std::optional<double> query(const QString& expression) const
    {
        const scrape::Response r =
            scrape::get(m_port, "/api/v1/query?query=" + QUrl::toPercentEncoding(expression));
        const QJsonObject top = QJsonDocument::fromJson(r.body).object();
        const QJsonArray result =
            top.value(QStringLiteral("data")).toObject().value(QStringLiteral("result")).toArray();
        if (r.status != 200 || result.isEmpty())
            return std::nullopt;
        return result.first()
            .toObject()
            .value(QStringLiteral("value"))
            .toArray()
            .at(1)
            .toString()
            .toDouble();
    }

    QString log() const
    {
        QFile f(m_dir.filePath(QStringLiteral("prometheus.log")));
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll().right(3000)) : QString();
    }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    uint16_t m_port = 0;
};

QString host(const QString& h)
{
    return QStringLiteral("host=\"%1\"").arg(h);
}

TEST(Prometheus, ScrapesTheProbersPingsAndCopies)
{
    TM_REQUIRE_NETBED();
    ASSERT_TRUE(QFileInfo(QStringLiteral(TM_PROMETHEUS)).isExecutable())
        << TM_PROMETHEUS << " is missing: scripts/install-deps.sh installs Debian's prometheus";
    const smbenv::Description bed = smbenv::read();
    ASSERT_TRUE(bed.problem.isEmpty()) << bed.problem.toStdString();
    Bridge bridge(bed);
    ASSERT_TRUE(bridge.up()) << bridge.output().toStdString();
    smbenv::Shaped shaped(bed, QStringLiteral("100mbit"));
    ASSERT_TRUE(shaped.ok()) << shaped.output().toStdString();

    const uint16_t metricsPort = scrape::freePort();
    ProberProcess prober;
    QString unc = bed.uncFolder();
    ASSERT_TRUE(
        prober.start(QStringLiteral("[metrics]\nlisten=%1\n"
                                    "[ping]\nhosts=%2, %3\ninterval=1\ntimeout=1\nlog=true\n"
                                    "[copy]\ndestinations=%4\ninterval=10\nsize=5MB\nlog=true\n"
                                    "[files]\nfolder=@FOLDER@\n")
                         .arg(metricsPort)
                         .arg(kDelayed, kSilent, unc.replace(u'\\', QStringLiteral("\\\\")))
                         .toUtf8()));
    ASSERT_TRUE(prober.waitUntilRunning()) << prober.stderrText().constData();
    PrometheusServer prometheus;
    QString why;
    ASSERT_TRUE(prometheus.start(metricsPort, &why)) << why.toStdString();

    const QString replies = QStringLiteral("tallowmere_ping_replies_total{%1}").arg(host(kDelayed));
    const QString timeouts =
        QStringLiteral("tallowmere_ping_failures_total{%1,status=\"Request timed out\"}")
            .arg(host(kSilent));
    const QString copies =
        QStringLiteral("sum(tallowmere_copy_duration_seconds_count{size=\"5MB\"})");
    // Two copies: the second runs over a connection that is already set up, as every later one.
    const bool enough = prober.waitFor(
        [&] {
            return prometheus.query(replies).value_or(0) >= 5 &&
                   prometheus.query(timeouts).value_or(0) >= 3 &&
                   prometheus.query(copies).value_or(0) >= 2;
        },
        90000);
    ASSERT_TRUE(enough) << "replies " << prometheus.query(replies).value_or(-1) << ", time-outs "
                        << prometheus.query(timeouts).value_or(-1) << ", copies "
                        << prometheus.query(copies).value_or(-1)
                        << "\nprober: " << prober.stderrText().constData()
                        << "\nprometheus: " << prometheus.log().toStdString();

    EXPECT_EQ(prometheus.query(QStringLiteral("up{job=\"tallowmere\"}")).value_or(-1), 1);
    EXPECT_EQ(prometheus
                  .query(QStringLiteral("tallowmere_build_info{version=\"%1\"}")
                             .arg(QStringLiteral(TM_VERSION)))
                  .value_or(-1),
              1);
    EXPECT_EQ(
        prometheus.query(QStringLiteral("tallowmere_ping_replies_total{%1}").arg(host(kSilent)))
            .value_or(-1),
        0);
    const double requests =
        prometheus.query(QStringLiteral("tallowmere_ping_requests_total{%1}").arg(host(kSilent)))
            .value_or(-1);
    const double failures =
        prometheus
            .query(QStringLiteral("sum(tallowmere_ping_failures_total{%1})").arg(host(kSilent)))
            .value_or(-2);
    EXPECT_EQ(requests, failures) << "every request to the silent host is a failure";

    const std::optional<double> median = prometheus.query(
        QStringLiteral("histogram_quantile(0.5, tallowmere_ping_rtt_seconds_bucket{%1})")
            .arg(host(kDelayed)));
    ASSERT_TRUE(median);
    std::cout << "median round trip " << *median * 1000 << " ms (delay " << kDelaySeconds * 1000
              << " ms)" << std::endl;
    EXPECT_NEAR(*median, kDelaySeconds, 0.002);

    const std::optional<double> throughput = prometheus.query(
        QStringLiteral("tallowmere_copy_throughput_bits_per_second{size=\"5MB\"}"));
    ASSERT_TRUE(throughput);
    std::cout << "copy throughput " << *throughput / 1e6 << " Mbit/s over a "
              << kLinkBitsPerSecond / 1e6 << " Mbit/s link" << std::endl;
    EXPECT_NEAR(*throughput, kLinkBitsPerSecond, 0.1 * kLinkBitsPerSecond);
    EXPECT_EQ(prometheus.query(QStringLiteral("sum(tallowmere_copy_failures_total)")).value_or(-1),
              0);

    prober.signal(SIGTERM);
    ASSERT_TRUE(prober.waitForExit(30000));
    EXPECT_EQ(prober.exitCode(), 0);
}

} // namespace
