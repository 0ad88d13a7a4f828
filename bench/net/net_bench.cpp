// Figures of the echo engine, measured inside a client namespace of the network test bed
// (bench/net/run-net-bench.sh starts it there), over IPv4 and IPv6:
//   accuracy   reported round trip against the responder's exact 20 ms and 150 ms delays
//   overhead   median round trip to the kernel target, this engine against iputils ping
//   parallel   1000 workers in flight at once, mixed targets, sizes up to 64000 and families
//   worker     cost of one worker: thread, socket, echo to loopback, completion
//   exit       stopping workers that wait on nine-second time-outs
//   exitlookup stopping workers stuck in name look-ups (only in the client whose name server
//              never answers; not part of the default run)
// No argument runs all but exitlookup.

#include "net/Icmp.h"
#include "net/PingThrd.h"
#include "net/netbed.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(std::ceil(p / 100.0 * double(v.size()))) - 1)];
}

void accuracy()
{
    struct Host
    {
        std::string address;
        int delayMs;
    };
    const Host hosts[] = {{netbed::Delay20.address, netbed::Delay20.delayMs},
                          {netbed::Delay150.address, netbed::Delay150.delayMs},
                          {netbed::v6(netbed::Delay20.address), netbed::Delay20.delayMs},
                          {netbed::v6(netbed::Delay150.address), netbed::Delay150.delayMs}};
    for (const Host& h : hosts) {
        const int n = 200;
        int within = 0, failed = 0;
        std::vector<double> errorUs;
        for (int i = 0; i < n; ++i) {
            TICMP s; // one session per echo, as the worker has it
            s.SetTargetHost(QString::fromStdString(h.address));
            if (s.SendEchoRequest() != 1) {
                ++failed;
                continue;
            }
            if (std::abs(int(s.LastReply.RoundTripTime) - h.delayMs) <= 1)
                ++within;
            errorUs.push_back(double(s.LastRoundTripUs) - h.delayMs * 1000.0);
        }
        std::printf("accuracy %3d ms %-17s: %d/%d echoes within 1 ms (%.1f %%), %d failed; "
                    "microseconds above the delay: median %.0f, p99 %.0f, max %.0f  [target "
                    ">= 99 %%]\n",
                    h.delayMs, h.address.c_str(), within, n, 100.0 * within / n, failed,
                    median(errorUs), percentile(errorUs, 99), percentile(errorUs, 100));
    }
}

// Round trips in microseconds as iputils ping prints them ("time=0.052 ms").
std::vector<double> systemPing(const char* host, int count)
{
    std::vector<double> times;
    const std::string cmd =
        std::string("ping -n -c ") + std::to_string(count) + " -i 0.01 -W 2 " + host + " 2>&1";
    FILE* p = popen(cmd.c_str(), "r");
    if (!p)
        return times;
    char line[512];
    while (std::fgets(line, sizeof line, p)) {
        if (const char* t = std::strstr(line, "time="))
            times.push_back(std::atof(t + 5) * 1000.0);
    }
    pclose(p);
    return times;
}

void overhead()
{
    for (const char* target : {netbed::Target, netbed::Target6}) {
        std::vector<double> ours, theirs;
        // Interleaved rounds with the same 10 ms spacing, so both see the same machine.
        for (int round = 0; round < 5; ++round) {
            for (int i = 0; i < 40; ++i) {
                TICMP s;
                s.SetTargetHost(QString::fromLatin1(target));
                if (s.SendEchoRequest() == 1)
                    ours.push_back(double(s.LastRoundTripUs));
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            const std::vector<double> p = systemPing(target, 40);
            theirs.insert(theirs.end(), p.begin(), p.end());
        }
        const double a = median(ours), b = median(theirs);
        std::printf("overhead: median round trip to %s: engine %.1f us (%zu echoes), iputils "
                    "ping %.1f us (%zu echoes), ratio %.3f  [target <= 1.2]\n",
                    target, a, ours.size(), b, theirs.size(), b > 0 ? a / b : 0.0);
    }
}

void raiseFileLimit()
{
    rlimit r{};
    if (getrlimit(RLIMIT_NOFILE, &r) == 0 && r.rlim_cur < r.rlim_max) {
        r.rlim_cur = std::min<rlim_t>(r.rlim_max, 65536);
        setrlimit(RLIMIT_NOFILE, &r);
    }
}

struct ParallelTarget
{
    std::string host;
    int delay;
};

// IPv4 and IPv6 in turn; the small-MTU target of each family.
const ParallelTarget kParallelTargets[] = {{netbed::Target, 0},
                                           {netbed::v6(netbed::ResponderEcho.address), 0},
                                           {netbed::Delay20.address, 20},
                                           {netbed::v6(netbed::Delay150.address), 150},
                                           {netbed::SmallMtuTarget, 0},
                                           {netbed::Target6, 0},
                                           {netbed::ResponderEcho.address, 0},
                                           {netbed::v6(netbed::Delay20.address), 20},
                                           {netbed::Delay150.address, 150},
                                           {netbed::SmallMtuTarget6, 0}};

// The first big echo over the IPv6 small-MTU link learns the path MTU ("packet too big").
void learnSmallPathMtu()
{
    TICMP warm;
    warm.SetTargetHost(QString::fromLatin1(netbed::SmallMtuTarget6));
    warm.DataSize = 64000;
    warm.SendEchoRequest();
}

void parallel()
{
    const int sizes[] = {1, 56, 1000, 1472, 4000, 16000, 64000};
    const int n = 1000;
    int done = 0, ok = 0, lost = 0, crossed = 0, peak = 0, six = 0;
    learnSmallPathMtu();
    QEventLoop loop;
    QElapsedTimer wall;
    wall.start();
    for (int i = 0; i < n; ++i) {
        auto* w = new TPingThread;
        appendWorkerId(w->ThreadID());
        w->FreeOnTerminate = true;
        const ParallelTarget t = kParallelTargets[i % 10];
        w->HostText = QString::fromStdString(t.host);
        w->DataSize = sizes[i % 7];
        w->TimeOutMs = 9000;
        w->OnTerminate = [&, t](QObject* sender) {
            auto* p = static_cast<TPingThread*>(sender);
            peak = std::max(peak, workersInFlight() + 1);
            six += p->AddressFamily == AF_INET6;
            if (p->EchoCount != 1)
                ++lost;
            else if (p->ReplyAddress != p->HostText || p->ReplyDataSize != p->DataSize ||
                     p->RoundTripMs < uint32_t(t.delay))
                ++crossed;
            else
                ++ok;
            if (++done == n)
                loop.quit();
        };
        w->Resume();
    }
    const qint64 started = wall.elapsed();
    peak = std::max(peak, workersInFlight());
    QTimer::singleShot(20000, &loop, &QEventLoop::quit);
    loop.exec();
    std::printf("parallel: %d workers (%d over IPv6; 10 targets, sizes 1..64000): %d answered "
                "correctly, %d lost, %d crossed, %d unfinished; all resumed after %lld ms, wall "
                "time %lld ms, at most %d in flight\n",
                n, six, ok, lost, crossed, n - done, started, wall.elapsed(), peak);
}

void workerCost(const char* host)
{
    std::vector<double> us;
    QEventLoop loop;
    for (int i = 0; i < 520; ++i) {
        const auto t0 = Clock::now();
        auto* w = new TPingThread;
        appendWorkerId(w->ThreadID());
        w->FreeOnTerminate = true;
        bool answered = false;
        w->OnTerminate = [&](QObject* sender) {
            answered = static_cast<TPingThread*>(sender)->EchoCount == 1;
            loop.quit();
        };
        w->HostText = QString::fromLatin1(host);
        w->Resume();
        loop.exec();
        const auto t1 = Clock::now();
        if (i >= 20 && answered) // the first ones warm caches and the thread pool of the libc
            us.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    std::printf("worker: one worker to %s from creation to completion: median %.0f us, "
                "p90 %.0f us, p99 %.0f us over %zu  [target < 300 us]\n",
                host, median(us), percentile(us, 90), percentile(us, 99), us.size());
}

// Workers that wait for replies, or with lookUps in name look-ups that never end (forward
// ones of an unknown name, reverse ones of a replying address).
void exitStop(bool lookUps)
{
    int completions = 0;
    for (int i = 0; i < 100; ++i) {
        auto* w = new TPingThread;
        appendWorkerId(w->ThreadID());
        w->FreeOnTerminate = true;
        w->OnTerminate = [&](QObject*) { ++completions; };
        if (!lookUps) {
            const char* hosts[] = {netbed::Blackhole, netbed::Drop.address, netbed::Blackhole6};
            w->HostText = QString::fromLatin1(hosts[i % 3]);
        } else if (i % 2) {
            w->HostText = QString::fromLatin1(netbed::UnknownName);
        } else {
            w->HostText = QString::fromLatin1(netbed::ResponderNoName.address);
            w->ResolveName = true;
        }
        w->TimeOutMs = 9000;
        w->Resume();
    }
    QEventLoop loop;
    QTimer::singleShot(300, &loop, &QEventLoop::quit);
    loop.exec();
    const int waiting = workersInFlight();
    const auto t0 = Clock::now();
    stopAllWorkers();
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
    QTimer::singleShot(100, &loop, &QEventLoop::quit);
    loop.exec();
    std::printf("exit: stopping %d workers %s took %.1f ms; completions run afterwards: %d  "
                "[target < 1000 ms]\n",
                waiting, lookUps ? "stuck in name look-ups" : "waiting on 9 s time-outs", ms,
                completions);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (const char* reason = netbed::unavailableReason()) {
        std::fprintf(stderr, "net_bench: %s\n", reason);
        return 2;
    }
    raiseFileLimit();
    {
        TICMP probe;
        std::printf("client namespace %s, %s socket\n", netbed::client(),
                    probe.Kind() == TICMP::SocketKind::Raw ? "raw" : "datagram");
    }
    const std::string only = argc > 1 ? argv[1] : "";
    const auto want = [&](const char* name) { return only.empty() || only == name; };
    if (want("accuracy"))
        accuracy();
    if (want("overhead"))
        overhead();
    if (want("parallel"))
        parallel();
    if (want("worker")) {
        workerCost("127.0.0.1");
        workerCost("::1");
    }
    if (want("exit"))
        exitStop(false);
    if (only == "exitlookup")
        exitStop(true);
    std::fflush(stdout);
    return 0;
}
