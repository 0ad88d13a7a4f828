// Copies to the test bed's Samba server as the copy tab makes them (on the copy thread, timed
// there), over links of 0.5 Mbit/s to 1 Gbit/s, against smbclient's own "put" on the same link
// in the same run; and how long a dead server or a copy that stalls in the middle holds the
// caller, the delete after it included. Needs root (namespaces); prints each figure beside its
// target.
//
//   smb_copy_bench [runs [parts]]   runs per fast link (default 7; slow links take 3); parts
//                                   a list of links,dead,stalls (default all three)

#include "app/copymath.h"
#include "app/testfiles.h"
#include "platform/copy/copythread.h"
#include "platform/copy/filecopy.h"
#include "platform/rounding.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sched.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr double kSpeedTolerance = 0.10;  // measured speed within 10 % of the link
constexpr double kSmbclientRatio = 0.9;   // and at least 0.9 of smbclient's
constexpr double kHoldTargetSeconds = 12; // "about 10 s", the delete included
constexpr int64_t kMBitDivisor = 1048576;

struct Profile
{
    const char* name; // as smbbed.sh takes it
    double bitsPerSecond;
    int file; // index into testfiles::kTestFiles
    int runs; // 0: as given on the command line
};

const Profile kProfiles[] = {
    {"0.5mbit", 0.5e6, 1, 3}, {"2mbit", 2e6, 1, 3}, {"10mbit", 10e6, 2, 3},
    {"100mbit", 100e6, 2, 0}, {"1gbit", 1e9, 2, 0},
};

QString g_script = QStringLiteral(TM_SMBBED_SCRIPT);
QString g_envFile;

bool bed(const QStringList& args, QString* out = nullptr)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral("bash"), QStringList{g_script, args.value(0), g_envFile} + args.mid(1));
    const bool ok =
        p.waitForFinished(120000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    const QString text = QString::fromLocal8Bit(p.readAll()).trimmed();
    if (out)
        *out = text;
    if (!ok)
        std::fprintf(stderr, "smb_copy_bench: smbbed.sh %s failed: %s\n",
                     qPrintable(args.join(u' ')), qPrintable(text));
    return ok;
}

QHash<QString, QString> readEnv(const QString& path)
{
    QHash<QString, QString> values;
    QFile f(path);
    if (f.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : f.readAll().split('\n')) {
            const qsizetype eq = line.indexOf('=');
            if (eq > 0)
                values.insert(QString::fromLocal8Bit(line.left(eq)),
                              QString::fromLocal8Bit(line.mid(eq + 1)));
        }
    }
    return values;
}

// Stops the bed however main() ends.
struct BedGuard
{
    ~BedGuard() { bed({QStringLiteral("stop")}); }
};

double median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

double seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

struct Share
{
    QString address;
    QString name;
    QString dir; // the folder behind it
    QString unc(const QString& file) const
    {
        return QStringLiteral("\\\\%1\\%2\\%3").arg(address, name, file);
    }
};

// Bits per second of each copy as the copy tab times it, and its own figure in MBit/s.
bool measureOurs(const QString& source, int64_t size, const Share& share, int runs,
                 std::vector<double>& bps, std::vector<double>& shown)
{
    const QString destination = share.unc(QStringLiteral("bench.txt"));
    for (int i = 0; i < runs; ++i) {
        const filecopy::TimedCopy copy = filecopy::copyTimed(source, destination);
        filecopy::deleteOnCopyThread(destination);
        if (!copy.copied) {
            std::fprintf(stderr, "smb_copy_bench: copy failed: %s\n", qPrintable(copy.reason));
            return false;
        }
        bps.push_back(double(size) * 8 / (double(copy.nanoseconds) / 1e9));
        const int32_t ms = roundHalfEven(static_cast<long double>(copy.nanoseconds) / 1e6L);
        shown.push_back(copymath::speedHundredths(size, ms, kMBitDivisor) / 100.0);
    }
    return true;
}

bool measureSmbclient(const QString& source, const Share& share, int runs, std::vector<double>& bps)
{
    // smbclient prints "putting file ... (11150.3 kb/s) ...": kilobytes of 1024 per second.
    static const QRegularExpression rate(QStringLiteral("\\(([0-9.]+) kb/s\\)"));
    for (int i = 0; i < runs; ++i) {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(
            QStringLiteral("smbclient"),
            {QStringLiteral("//%1/%2").arg(share.address, share.name), QStringLiteral("-N"),
             QStringLiteral("-c"),
             QStringLiteral("put \"%1\" bench-smbclient.txt; rm bench-smbclient.txt").arg(source)});
        if (!p.waitForFinished(600000)) {
            p.kill();
            std::fprintf(stderr, "smb_copy_bench: smbclient hangs\n");
            return false;
        }
        const QString out = QString::fromLocal8Bit(p.readAll());
        const QRegularExpressionMatch m = rate.match(out);
        if (!m.hasMatch()) {
            std::fprintf(stderr, "smb_copy_bench: smbclient said: %s\n", qPrintable(out));
            return false;
        }
        bps.push_back(m.captured(1).toDouble() * 1024 * 8);
    }
    return true;
}

bool measureLinks(const QTemporaryDir& dir, const Share& share, int fastRuns, bool& met)
{
    std::printf("Copy speed per link (token bucket on both ends of the veth pair); "
                "targets: within %.0f %% of the link, at least %.1f of smbclient put\n",
                kSpeedTolerance * 100, kSmbclientRatio);
    std::printf("  %-8s %-6s %5s  %12s %10s %9s  %12s %8s\n", "link", "file", "runs", "ours Mbit/s",
                "tab MBit/s", "vs link", "smbclient", "ratio");
    for (const Profile& p : kProfiles) {
        if (!bed({QStringLiteral("shape"), QString::fromLatin1(p.name)}))
            return false;
        const testfiles::TestFile& file = testfiles::kTestFiles[size_t(p.file)];
        const QString source = dir.filePath(QString::fromLatin1(file.name));
        const int runs = p.runs ? p.runs : fastRuns;
        // The first copy connects and logs in, as the first measurement of a session does.
        filecopy::copyTimed(source, share.unc(QStringLiteral("bench.txt")));
        std::vector<double> ours, shown, theirs;
        if (!measureOurs(source, file.sizeBytes, share, runs, ours, shown) ||
            !measureSmbclient(source, share, runs, theirs))
            return false;
        const double speed = median(ours);
        const double deviation = speed / p.bitsPerSecond - 1;
        const double ratio = speed / median(theirs);
        const bool ok = std::abs(deviation) <= kSpeedTolerance && ratio >= kSmbclientRatio;
        met = met && ok;
        std::printf("  %-8s %-6s %5d  %12.3f %10.2f %+8.1f%%  %12.3f %8.3f  %s\n", p.name,
                    file.name, runs, speed / 1e6, median(shown), deviation * 100,
                    median(theirs) / 1e6, ratio, ok ? "met" : "NOT met");
    }
    return bed({QStringLiteral("shape"), QStringLiteral("off")});
}

// The copy and the delete of one failed measurement, as the copy tab makes them.
double holdSeconds(const QString& source, const QString& destination, bool* copied = nullptr)
{
    const auto start = Clock::now();
    const filecopy::TimedCopy copy = filecopy::copyTimed(source, destination);
    filecopy::deleteOnCopyThread(destination);
    if (copied)
        *copied = copy.copied;
    return seconds(Clock::now() - start);
}

bool measureDeadServers(const QTemporaryDir& dir, const QHash<QString, QString>& env,
                        const Share& share, bool& met)
{
    std::printf("Dead servers: copy of 100 KB and its delete, target at most %.0f s\n",
                kHoldTargetSeconds);
    const QString source = dir.filePath(QString::fromLatin1(testfiles::kTestFiles[0].name));
    const struct
    {
        const char* what;
        const char* address;
        bool freeze;
    } cases[] = {
        {"nothing behind the address (no ARP answer)", "ABSENT_ADDR", false},
        {"every packet dropped on the way", "SILENT_ADDR", false},
        {"accepts the connection, never answers", "MUTE_ADDR", false},
        {"smbd frozen (SIGSTOP)", "SERVER_ADDR", true},
    };
    for (const auto& c : cases) {
        if (c.freeze && !bed({QStringLiteral("freeze")}))
            return false;
        const Share dead{env.value(QString::fromLatin1(c.address)), share.name, share.dir};
        bool copied = true;
        const double held = holdSeconds(source, dead.unc(QStringLiteral("dead.txt")), &copied);
        if (c.freeze && !bed({QStringLiteral("resume")}))
            return false;
        const bool ok = !copied && held <= kHoldTargetSeconds;
        met = met && ok;
        std::printf("  %-44s %6.2f s  %s\n", c.what, held, ok ? "met" : "NOT met");
    }
    return true;
}

bool measureStalls(const QTemporaryDir& dir, const Share& share, bool& met)
{
    std::printf("Copies of 5 MB over 10 Mbit/s that stall after 256 KiB: from the stall to the "
                "end of the delete, target at most %.0f s\n",
                kHoldTargetSeconds);
    if (!bed({QStringLiteral("shape"), QStringLiteral("10mbit")}))
        return false;
    const QString source = dir.filePath(QString::fromLatin1(testfiles::kTestFiles[2].name));
    QStringList left;
    for (const char* how : {"freeze", "stall"}) {
        const QString name = QStringLiteral("stalled-%1.txt").arg(QLatin1String(how));
        const QString stored = share.dir + u'/' + name;
        left.append(stored);
        std::atomic<bool> stalled{false};
        Clock::time_point stalledAt{};
        std::thread trigger([&] {
            const auto give_up = Clock::now() + std::chrono::seconds(60);
            while (QFileInfo(stored).size() < 256 * 1024 && Clock::now() < give_up)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            stalledAt = Clock::now();
            stalled = bed({QString::fromLatin1(how)});
        });
        bool copied = true;
        const auto start = Clock::now();
        holdSeconds(source, share.unc(name), &copied);
        const auto end = Clock::now();
        trigger.join();
        if (!bed({QStringLiteral("resume")}) || !stalled)
            return false;
        const double held = seconds(end - stalledAt);
        const bool ok = !copied && held <= kHoldTargetSeconds;
        met = met && ok;
        std::printf("  %-44s %6.2f s  (%.2f s in all)  %s\n",
                    std::strcmp(how, "freeze") == 0 ? "smbd frozen (SIGSTOP)"
                                                    : "link drops every packet",
                    held, seconds(end - start), ok ? "met" : "NOT met");
    }
    // What the stalls left is removed by the delete of a later measurement; the server may
    // keep a cut connection's file open for a while.
    const auto anyLeft = [&] {
        return std::any_of(left.begin(), left.end(),
                           [](const QString& f) { return QFileInfo::exists(f); });
    };
    int measurements = 0;
    for (; measurements < 100 && anyLeft(); ++measurements) {
        holdSeconds(dir.filePath(QString::fromLatin1(testfiles::kTestFiles[0].name)),
                    share.unc(QStringLiteral("next.txt")));
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    std::printf("  partial files removed by later deletes: %s (after %d measurements)\n",
                anyLeft() ? "NO" : "yes", measurements);
    met = met && !anyLeft();
    return bed({QStringLiteral("shape"), QStringLiteral("off")});
}

} // namespace

int main(int argc, char** argv)
{
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    if (::geteuid() != 0) {
        std::printf("smb_copy_bench: skipped, the Samba test bed needs root\n");
        return 0;
    }
    QTemporaryDir dir;
    g_envFile = dir.filePath(QStringLiteral("smbbed.env"));
    QString out;
    const bool started = bed({QStringLiteral("start")}, &out);
    BedGuard guard;
    if (!started)
        return 1;
    const QHash<QString, QString> env = readEnv(g_envFile);

    // Into the client namespace, as ip netns exec would; the copy thread and smbclient follow.
    const QByteArray nsPath =
        ("/run/netns/" + env.value(QStringLiteral("CLIENT_NS"))).toLocal8Bit();
    const int ns = ::open(nsPath.constData(), O_RDONLY | O_CLOEXEC);
    if (ns < 0 || ::setns(ns, CLONE_NEWNET) != 0) {
        std::perror("smb_copy_bench: cannot enter the client namespace");
        return 1;
    }
    ::close(ns);

    testfiles::writeTestFiles(dir.path());
    const Share share{env.value(QStringLiteral("SERVER_ADDR")),
                      env.value(QStringLiteral("WRITABLE_SHARE")),
                      env.value(QStringLiteral("WRITABLE_DIR"))};
    const QStringList parts = argc > 2
                                  ? QString::fromLocal8Bit(argv[2]).split(u',')
                                  : QStringList{QStringLiteral("links"), QStringLiteral("dead"),
                                                QStringLiteral("stalls")};
    bool met = true;
    if ((parts.contains(QStringLiteral("links")) && !measureLinks(dir, share, runs, met)) ||
        (parts.contains(QStringLiteral("dead")) && !measureDeadServers(dir, env, share, met)) ||
        (parts.contains(QStringLiteral("stalls")) && !measureStalls(dir, share, met)))
        return 1;
    std::printf("targets: %s\n", met ? "met" : "NOT met");
    return 0;
}
