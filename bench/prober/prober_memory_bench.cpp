// The prober's memory while results pour in: a million echo results of 100 hosts, replies and
// failures, through the same handler the workers complete into (log lines and metrics). The
// resident size should stay flat once every host has its series.
//
//   prober_memory_bench [results]

#include "metrics/registry.h"
#include "net/PingThrd.h"
#include "prober/prober.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <unistd.h>

namespace {

long residentKiB()
{
    QFile f(QStringLiteral("/proc/self/statm"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = f.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLong() * (sysconf(_SC_PAGESIZE) / 1024) : -1;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const long results = argc > 1 ? std::atol(argv[1]) : 1000000;
    QTemporaryDir folder;
    prober::Config config;
    for (int i = 0; i < 100; ++i)
        config.ping.hosts << QStringLiteral("10.201.20.%1").arg(100 + i);
    config.ping.log = true;
    config.folder = folder.path() + u'/';
    metrics::MetricsRegistry registry(QStringLiteral("bench"));
    prober::Prober prober(config, &registry);

    const QString statuses[] = {QStringLiteral("Request timed out"),
                                QStringLiteral("Destination host unreachable")};
    QElapsedTimer clock;
    clock.start();
    const long checkpoints[] = {1000, 10000, 100000, 250000, 500000, 750000};
    size_t checkpoint = 0;
    std::printf("%10s %12s %10s\n", "results", "resident", "per result");
    for (long i = 1; i <= results; ++i) {
        TPingThread worker; // as a worker leaves it after run()
        worker.HostText = config.ping.hosts[int(i % 100)];
        if (i % 10 == 0) {
            worker.ErrorText = statuses[(i / 10) % 2];
        } else {
            worker.EchoCount = 1;
            worker.RoundTripUs = uint64_t(15000 + (i * 7919) % 10000);
            worker.RoundTripMs = uint32_t(worker.RoundTripUs / 1000);
            worker.ReplyDataSize = 32;
        }
        prober.pingCompleted(worker);
        const bool report =
            i == results || (checkpoint < std::size(checkpoints) && i == checkpoints[checkpoint]);
        if (report) {
            ++checkpoint;
            std::printf("%10ld %9ld KiB %7.1f us\n", i, residentKiB(),
                        double(clock.nsecsElapsed()) / 1e3 / double(i));
            std::fflush(stdout);
        }
    }
    std::printf("log folder after %ld results: %lld MiB of lines\n", results, [&] {
        qint64 total = 0;
        for (const QFileInfo& f : QDir(folder.path()).entryInfoList(QDir::Files))
            total += f.size();
        return total / (1024 * 1024);
    }());
    return 0;
}
