#pragma once
// The program's Prometheus metrics: the one place that knows their names, labels and buckets.
// Whatever measures something (the ping tab, the analysis run, the copy tab, the headless
// prober) hands its result to one of the record functions; failures are counted as failures
// and never enter a time histogram.
//
// Thread-safe: results may be recorded from any thread while the endpoint is scraped.

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class TPingThread;

namespace prometheus {
class Registry;
class Counter;
class Gauge;
class Histogram;
template <typename T> class Family;
} // namespace prometheus

namespace metrics {

// Upper bounds of the round-trip histogram: 50 us doubling up to about 26 s.
std::vector<double> roundTripBuckets();
// Upper bounds of the copy duration histogram: 10 ms doubling up to about 164 s.
std::vector<double> copyDurationBuckets();

// A copy destination as a label: the user part of a URL or UNC host ("user%password@",
// "user:password@", "domain;user@") and any option text after "?" are removed, so no label
// ever carries a credential.
QString destinationLabel(const QString& destination);

// A text (such as a copy's failure reason) with the user part of every smb:// URL and UNC
// path in it removed, so it can go to a log.
QString withoutCredentials(const QString& text);

// The size label of a copy test file: "100KB", "1MB" or "5MB"; empty for any other size.
QString copySizeLabel(int64_t sizeBytes);

class MetricsRegistry
{
public:
    explicit MetricsRegistry(const QString& version);
    ~MetricsRegistry();
    MetricsRegistry(const MetricsRegistry&) = delete;
    MetricsRegistry& operator=(const MetricsRegistry&) = delete;

    // Only these hosts become labels from now on; the series of every other host are removed.
    // The window keeps it in step with its host history, so a typo does not live on as a series.
    // Listed hosts get their request and reply counters at 0 at once.
    void restrictHosts(const QStringList& hosts);
    // Every host is recorded again (the default).
    void unrestrictHosts();

    // One echo request and its outcome. A reply observes its round trip (microseconds); a
    // failure counts under its status text.
    void recordPingReply(const QString& host, uint64_t roundTripUs);
    void recordPingFailure(const QString& host, const QString& status);
    // The same, read from a finished worker (EchoCount, RoundTripUs, ErrorText).
    void recordPing(const QString& host, const TPingThread& worker);

    // The average round trip of an analysis run for one data size; nothing removes the series
    // (no request of that size was answered).
    void recordAnalysis(const QString& host, int dataSize, std::optional<double> averageSeconds);

    // One copy. A successful copy observes its duration and sets the throughput; a failed one
    // only counts. The destination is turned into a label here.
    void recordCopy(const QString& destination, const QString& sizeLabel, bool copied,
                    double seconds, int64_t sizeBytes);

    // The registry the endpoint serves.
    std::shared_ptr<prometheus::Registry> registry() const { return m_registry; }
    // The text format, as a scrape would see it.
    std::string exposition() const;

private:
    struct HostSeries;
    HostSeries* hostSeries(const QString& host); // null when the host may not be a label
    void removeHost(const QString& host);

    std::shared_ptr<prometheus::Registry> m_registry;
    prometheus::Family<prometheus::Counter>* m_requests;
    prometheus::Family<prometheus::Counter>* m_replies;
    prometheus::Family<prometheus::Counter>* m_pingFailures;
    prometheus::Family<prometheus::Histogram>* m_roundTrip;
    prometheus::Family<prometheus::Gauge>* m_analysis;
    prometheus::Family<prometheus::Histogram>* m_copyDuration;
    prometheus::Family<prometheus::Gauge>* m_copyThroughput;
    prometheus::Family<prometheus::Counter>* m_copyFailures;

    mutable std::mutex m_lock;
    std::map<QString, std::unique_ptr<HostSeries>> m_hosts;
    std::optional<QSet<QString>> m_allowedHosts;
    std::vector<double> m_roundTripBuckets;
    std::vector<double> m_copyBuckets;
};

} // namespace metrics
