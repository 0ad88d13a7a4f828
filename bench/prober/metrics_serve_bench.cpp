// Time to serve /metrics with 100 hosts (target: under 5 ms), over loopback as Prometheus
// fetches it, and the time of the text format alone.
//
//   metrics_serve_bench [requests]

#include "metrics/endpoint.h"
#include "metrics/registry.h"
#include "prober/scrape.h"

#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

namespace {

double quantile(std::vector<double> v, double q)
{
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(q * double(v.size())))];
}

double threadCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

std::string loadAverage()
{
    QFile f(QStringLiteral("/proc/loadavg"));
    return f.open(QIODevice::ReadOnly) ? f.readAll().split(' ').first().toStdString() : "?";
}

} // namespace

int main(int argc, char** argv)
{
    const int requests = argc > 1 ? std::atoi(argv[1]) : 1000;
    metrics::MetricsRegistry registry(QStringLiteral("bench"));
    QStringList hosts;
    for (int i = 0; i < 100; ++i)
        hosts << QStringLiteral("host-%1.example.net").arg(i);
    registry.restrictHosts(hosts);
    // Every host with replies across the buckets and two kinds of failure.
    for (int round = 0; round < 50; ++round) {
        for (int i = 0; i < hosts.size(); ++i) {
            registry.recordPingReply(hosts[i], uint64_t(40 + 997 * (round + i)) % 2000000);
            if (round % 10 == 0)
                registry.recordPingFailure(hosts[i], QStringLiteral("Request timed out"));
            if (round % 25 == 0)
                registry.recordPingFailure(hosts[i],
                                           QStringLiteral("Destination host unreachable"));
        }
    }
    for (const char* d : {"\\\\srv\\share\\a", "smb://srv/share/b"})
        registry.recordCopy(QString::fromLatin1(d), QStringLiteral("1MB"), true, 0.1, 1048576);

    // The text format's own work, in CPU time of this thread: the machine's load does not
    // count in it.
    std::vector<double> text;
    size_t bytes = 0;
    for (int i = 0; i < 200; ++i) {
        const double start = threadCpuMs();
        bytes = registry.exposition().size();
        text.push_back(threadCpuMs() - start);
    }

    metrics::Endpoint endpoint(metrics::ListenAddress{QStringLiteral("127.0.0.1"), 0}, registry);
    std::printf("metrics of 100 hosts: %zu bytes of text; load average %s\n", bytes,
                loadAverage().c_str());
    std::printf("text format alone (CPU):    median %.3f ms, p99 %.3f ms\n", quantile(text, 0.5),
                quantile(text, 0.99));
    // Plain, and compressed as Prometheus asks for it.
    for (const QByteArray& headers : {QByteArray(), QByteArray("Accept-Encoding: gzip\r\n")}) {
        std::vector<double> served;
        size_t body = 0;
        QElapsedTimer clock;
        for (int i = 0; i < requests; ++i) {
            clock.start();
            const scrape::Response r = scrape::get(endpoint.port(), "/metrics", 5000, headers);
            served.push_back(double(clock.nsecsElapsed()) / 1e6);
            body = size_t(r.body.size());
            if (r.status != 200) {
                std::fprintf(stderr, "request %d: status %d\n", i, r.status);
                return 1;
            }
        }
        std::printf("GET /metrics%s x%d: median %.3f ms, p99 %.3f ms, max %.3f ms, %zu bytes "
                    "(target < 5 ms)\n",
                    headers.isEmpty() ? "      " : " (gzip)", requests, quantile(served, 0.5),
                    quantile(served, 0.99), *std::max_element(served.begin(), served.end()), body);
    }
    return 0;
}
