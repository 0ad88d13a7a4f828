#include "metrics/registry.h"

#include "app/testfiles.h"
#include "net/PingThrd.h"

#include <QRegularExpression>

#include <prometheus/counter.h>
#include <prometheus/gauge.h>
#include <prometheus/histogram.h>
#include <prometheus/registry.h>
#include <prometheus/text_serializer.h>

namespace metrics {

namespace {

std::vector<double> doubling(double first, int count)
{
    std::vector<double> bounds;
    bounds.reserve(size_t(count));
    double bound = first;
    for (int i = 0; i < count; ++i, bound *= 2)
        bounds.push_back(bound);
    return bounds;
}

std::string label(const QString& text)
{
    return text.toStdString();
}

// Removes "user@" (with any password or domain in it) from the text between start and the
// first separator after it.
QString withoutUserPart(const QString& text, qsizetype start)
{
    qsizetype end = start;
    while (end < text.size() && text[end] != u'/' && text[end] != u'\\')
        ++end;
    const qsizetype at = text.lastIndexOf(u'@', end - 1);
    if (at < start)
        return text;
    return text.left(start) + text.mid(at + 1);
}

} // namespace

std::vector<double> roundTripBuckets()
{
    return doubling(50e-6, 20); // 50 us ... 26.2 s
}

std::vector<double> copyDurationBuckets()
{
    return doubling(0.01, 15); // 10 ms ... 163.84 s
}

QString destinationLabel(const QString& destination)
{
    QString text = destination.trimmed();
    // libsmbclient takes the last "?" of a URL as the start of its options.
    if (text.startsWith(QLatin1String("smb://"), Qt::CaseInsensitive)) {
        if (const qsizetype q = text.lastIndexOf(u'?'); q >= 0)
            text.truncate(q);
        return withoutUserPart(text, 6);
    }
    if (text.startsWith(QLatin1String("\\\\")) || text.startsWith(QLatin1String("//")))
        return withoutUserPart(text, 2);
    return text;
}

QString withoutCredentials(const QString& text)
{
    // Up to the last "@" before the next separator, as the URL parser reads it.
    static const QRegularExpression userPart(QStringLiteral("(smb://|\\\\\\\\)[^/\\\\\\s']*@"),
                                             QRegularExpression::CaseInsensitiveOption);
    QString result = text;
    return result.replace(userPart, QStringLiteral("\\1"));
}

QString copySizeLabel(int64_t sizeBytes)
{
    static const char* const names[] = {"100KB", "1MB", "5MB"};
    for (size_t i = 0; i < testfiles::kTestFiles.size(); ++i) {
        if (testfiles::kTestFiles[i].sizeBytes == sizeBytes)
            return QLatin1String(names[i]);
    }
    return {};
}

struct MetricsRegistry::HostSeries
{
    prometheus::Counter* requests = nullptr;
    prometheus::Counter* replies = nullptr;
    prometheus::Histogram* roundTrip = nullptr;
    std::map<QString, prometheus::Counter*> failures; // by status text
    std::map<int, prometheus::Gauge*> analysis;       // by data size
};

MetricsRegistry::MetricsRegistry(const QString& version)
    : m_registry(std::make_shared<prometheus::Registry>()), m_roundTripBuckets(roundTripBuckets()),
      m_copyBuckets(copyDurationBuckets())
{
    using namespace prometheus;
    Registry& r = *m_registry;
    m_requests = &BuildCounter()
                      .Name("tallowmere_ping_requests_total")
                      .Help("Echo requests sent")
                      .Register(r);
    m_replies = &BuildCounter()
                     .Name("tallowmere_ping_replies_total")
                     .Help("Echo replies received")
                     .Register(r);
    m_pingFailures = &BuildCounter()
                          .Name("tallowmere_ping_failures_total")
                          .Help("Echo requests that failed, by status text")
                          .Register(r);
    m_roundTrip = &BuildHistogram()
                       .Name("tallowmere_ping_rtt_seconds")
                       .Help("Round trips of echo replies")
                       .Register(r);
    m_analysis = &BuildGauge()
                      .Name("tallowmere_analysis_rtt_seconds")
                      .Help("Average round trip of the last analysis run, per data size")
                      .Register(r);
    m_copyDuration = &BuildHistogram()
                          .Name("tallowmere_copy_duration_seconds")
                          .Help("Durations of successful copies")
                          .Register(r);
    m_copyThroughput = &BuildGauge()
                            .Name("tallowmere_copy_throughput_bits_per_second")
                            .Help("Speed of the last successful copy")
                            .Register(r);
    m_copyFailures = &BuildCounter()
                          .Name("tallowmere_copy_failures_total")
                          .Help("Copies that failed")
                          .Register(r);
    BuildGauge()
        .Name("tallowmere_build_info")
        .Help("The program's version")
        .Register(r)
        .Add({{"version", label(version)}})
        .Set(1);
}

MetricsRegistry::~MetricsRegistry() = default;

MetricsRegistry::HostSeries* MetricsRegistry::hostSeries(const QString& host)
{
    if (m_allowedHosts && !m_allowedHosts->contains(host))
        return nullptr;
    auto& series = m_hosts[host];
    if (!series) {
        const prometheus::Labels labels{{"host", label(host)}};
        series = std::make_unique<HostSeries>();
        series->requests = &m_requests->Add(labels);
        series->replies = &m_replies->Add(labels);
        series->roundTrip = &m_roundTrip->Add(labels, m_roundTripBuckets);
    }
    return series.get();
}

void MetricsRegistry::removeHost(const QString& host)
{
    const auto it = m_hosts.find(host);
    if (it == m_hosts.end())
        return;
    HostSeries& s = *it->second;
    m_requests->Remove(s.requests);
    m_replies->Remove(s.replies);
    m_roundTrip->Remove(s.roundTrip);
    for (const auto& [status, counter] : s.failures)
        m_pingFailures->Remove(counter);
    for (const auto& [size, gauge] : s.analysis)
        m_analysis->Remove(gauge);
    m_hosts.erase(it);
}

void MetricsRegistry::restrictHosts(const QStringList& hosts)
{
    std::lock_guard guard(m_lock);
    m_allowedHosts = QSet<QString>(hosts.begin(), hosts.end());
    QStringList gone;
    for (const auto& [host, series] : m_hosts) {
        if (!m_allowedHosts->contains(host))
            gone << host;
    }
    for (const QString& host : gone)
        removeHost(host);
    for (const QString& host : hosts)
        hostSeries(host);
}

void MetricsRegistry::unrestrictHosts()
{
    std::lock_guard guard(m_lock);
    m_allowedHosts.reset();
}

void MetricsRegistry::recordPingReply(const QString& host, uint64_t roundTripUs)
{
    std::lock_guard guard(m_lock);
    if (HostSeries* s = hostSeries(host)) {
        s->requests->Increment();
        s->replies->Increment();
        s->roundTrip->Observe(double(roundTripUs) / 1e6);
    }
}

void MetricsRegistry::recordPingFailure(const QString& host, const QString& status)
{
    std::lock_guard guard(m_lock);
    if (HostSeries* s = hostSeries(host)) {
        s->requests->Increment();
        prometheus::Counter*& failures = s->failures[status];
        if (!failures)
            failures = &m_pingFailures->Add({{"host", label(host)}, {"status", label(status)}});
        failures->Increment();
    }
}

void MetricsRegistry::recordPing(const QString& host, const TPingThread& worker)
{
    if (worker.EchoCount != 0)
        recordPingReply(host, worker.RoundTripUs);
    else
        recordPingFailure(host, worker.ErrorText);
}

void MetricsRegistry::recordAnalysis(const QString& host, int dataSize,
                                     std::optional<double> averageSeconds)
{
    std::lock_guard guard(m_lock);
    HostSeries* s = hostSeries(host);
    if (!s)
        return;
    const auto it = s->analysis.find(dataSize);
    if (!averageSeconds) {
        if (it != s->analysis.end()) {
            m_analysis->Remove(it->second);
            s->analysis.erase(it);
        }
        return;
    }
    prometheus::Gauge* gauge = it != s->analysis.end() ? it->second : nullptr;
    if (!gauge) {
        gauge = &m_analysis->Add({{"host", label(host)}, {"size", std::to_string(dataSize)}});
        s->analysis[dataSize] = gauge;
    }
    gauge->Set(*averageSeconds);
}

void MetricsRegistry::recordCopy(const QString& destination, const QString& sizeLabel, bool copied,
                                 double seconds, int64_t sizeBytes)
{
    const prometheus::Labels labels{{"destination", label(destinationLabel(destination))},
                                    {"size", label(sizeLabel)}};
    std::lock_guard guard(m_lock);
    if (!copied) {
        m_copyFailures->Add(labels).Increment();
        return;
    }
    // Series of both kinds exist from the first copy on, so a rate of failures reads 0.
    m_copyFailures->Add(labels);
    m_copyDuration->Add(labels, m_copyBuckets).Observe(seconds);
    if (seconds > 0)
        m_copyThroughput->Add(labels).Set(double(sizeBytes) * 8.0 / seconds);
}

std::string MetricsRegistry::exposition() const
{
    return prometheus::TextSerializer().Serialize(m_registry->Collect());
}

} // namespace metrics
