// The headless prober as it runs at a site, inside the network test bed: CPU and memory with
// 100 hosts pinged every second (target: under 5 % of a core), and how fast a stop signal
// ends it while an echo waits out a 9 s time-out (target: within 1 s).
// bench/prober/run-prober-bench.sh runs it inside the bed.
//
//   prober_cpu_bench [seconds]

#include "net/netbed.h"
#include "prober/scrape.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {

// utime + stime of a process, in seconds.
double cpuSeconds(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray stat = f.readAll();
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    // Fields from the state on: utime is the 12th, stime the 13th.
    return (fields.value(11).toDouble() + fields.value(12).toDouble()) /
           double(sysconf(_SC_CLK_TCK));
}

long residentKiB(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return -1;
}

struct Prober
{
    QTemporaryDir dir;
    QProcess process;

    bool start(const QByteArray& ini)
    {
        QFile f(dir.filePath(QStringLiteral("prober.ini")));
        if (!f.open(QIODevice::WriteOnly))
            return false;
        f.write(QByteArray(ini).replace("@FOLDER@", dir.path().toUtf8()));
        f.close();
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(QStringLiteral(TM_QUILLNET),
                      {QStringLiteral("--headless"), QStringLiteral("--config"), f.fileName()});
        return process.waitForStarted(10000);
    }
    ~Prober()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
    }
};

bool measureLoad(int seconds, bool log)
{
    const uint16_t port = scrape::freePort();
    QByteArray hosts;
    for (int i = 100; i < 200; ++i)
        hosts += (hosts.isEmpty() ? "" : ", ") + QByteArray("10.201.20.") + QByteArray::number(i);
    Prober p;
    if (!p.start("[metrics]\nlisten=" + QByteArray::number(port) + "\n[ping]\nhosts=" + hosts +
                 "\ninterval=1\ntimeout=1\nlog=" + (log ? "true" : "false") +
                 "\n[files]\nfolder=@FOLDER@\n"))
        return false;
    const qint64 pid = p.process.processId();
    QThread::sleep(5); // every host has its series, the first files exist
    const double cpu0 = cpuSeconds(pid);
    const long rss0 = residentKiB(pid);
    QElapsedTimer clock;
    clock.start();
    QThread::sleep(seconds);
    const double cpu = cpuSeconds(pid) - cpu0;
    const double wall = double(clock.nsecsElapsed()) / 1e9;
    const long rss1 = residentKiB(pid);
    const auto s = scrape::samples(scrape::get(port, "/metrics").body);
    double requests = 0, replies = 0;
    for (auto it = s.begin(); it != s.end(); ++it) {
        if (it.key().startsWith(QLatin1String("tallowmere_ping_requests_total")))
            requests += it.value();
        if (it.key().startsWith(QLatin1String("tallowmere_ping_replies_total")))
            replies += it.value();
    }
    std::printf("100 hosts every 1 s, logs %s: CPU %.2f %% of a core over %.0f s (target < 5 %%), "
                "resident %ld -> %ld KiB, %.0f requests, %.0f replies\n",
                log ? "on " : "off", 100.0 * cpu / wall, wall, rss0, rss1, requests, replies);
    p.process.terminate();
    return p.process.waitForFinished(10000) && p.process.exitCode() == 0;
}

bool measureStop()
{
    Prober p;
    if (!p.start(QByteArray("[ping]\nhosts=") + netbed::Blackhole +
                 "\ninterval=60\ntimeout=9\n[files]\nfolder=@FOLDER@\n"))
        return false;
    QThread::msleep(1500); // the echo is out, 7.5 s of its time-out left
    QElapsedTimer clock;
    clock.start();
    ::kill(pid_t(p.process.processId()), SIGTERM);
    const bool ended = p.process.waitForFinished(15000);
    std::printf("SIGTERM during a 9 s time-out: exit %s after %.1f ms (target < 1000 ms)\n",
                ended && p.process.exitCode() == 0 ? "status 0" : "FAILED",
                double(clock.nsecsElapsed()) / 1e6);
    return ended;
}

} // namespace

int main(int argc, char** argv)
{
    if (const char* why = netbed::unavailableReason()) {
        std::fprintf(stderr, "prober_cpu_bench: %s\n", why);
        return 1;
    }
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 20;
    const bool ok = measureLoad(seconds, false) && measureLoad(seconds, true) && measureStop();
    return ok ? 0 : 1;
}
