// Copy speed of the 5 MB test file to the test bed's Samba server over a link limited to
// 100 Mbit/s, measured as the copy tab measures it, and compared with smbclient's own "put"
// rate on the same share in the same run. Needs root (namespaces); prints its figures.
//
//   smb_copy_bench [runs]

#include "app/copymath.h"
#include "app/testfiles.h"
#include "platform/copy/filecopy.h"

#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sched.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr double kLinkBitsPerSecond = 100e6; // tc's "100mbit"
constexpr int64_t kMBitDivisor = 1048576;

QString runScript(const QStringList& args, bool& ok)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral("bash"), QStringList{QStringLiteral(TM_SMBBED_SCRIPT)} + args);
    ok = p.waitForFinished(120000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    return QString::fromLocal8Bit(p.readAll()).trimmed();
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

// Stops the bed however the program ends its main().
class Bed
{
public:
    explicit Bed(QString envFile) : m_envFile(std::move(envFile)) {}
    ~Bed()
    {
        bool ok = false;
        const QString out = runScript({QStringLiteral("stop"), m_envFile}, ok);
        if (!ok)
            std::fprintf(stderr, "smb_copy_bench: stopping the bed failed: %s\n", qPrintable(out));
    }

private:
    QString m_envFile;
};

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

struct Figures
{
    std::vector<double> bitsPerSecond;      // from a monotonic clock
    std::vector<int32_t> programHundredths; // as the copy tab shows it, MBit/s
    std::vector<double> smbclientBitsPerSecond;
};

bool measureOurs(const QString& source, const QString& destination, int runs, Figures& f)
{
    QString reason;
    // The first copy connects and logs in, as the first measurement of a session does.
    if (!filecopy::copyToDestination(source, destination, &reason)) {
        std::fprintf(stderr, "smb_copy_bench: copy failed: %s\n", qPrintable(reason));
        return false;
    }
    const int64_t size = testfiles::kTestFiles[2].sizeBytes;
    for (int i = 0; i < runs; ++i) {
        const QDateTime start = QDateTime::currentDateTime();
        const auto t0 = std::chrono::steady_clock::now();
        const bool copied = filecopy::copyToDestination(source, destination, &reason);
        const auto t1 = std::chrono::steady_clock::now();
        const QDateTime end = QDateTime::currentDateTime();
        if (!copied) {
            std::fprintf(stderr, "smb_copy_bench: copy failed: %s\n", qPrintable(reason));
            return false;
        }
        f.bitsPerSecond.push_back(size * 8 / std::chrono::duration<double>(t1 - t0).count());
        f.programHundredths.push_back(
            copymath::speedHundredths(size, copymath::elapsedMs(start, end), kMBitDivisor));
        filecopy::deleteDestination(destination);
    }
    return true;
}

bool measureSmbclient(const QString& source, const QString& share, int runs, Figures& f)
{
    // smbclient prints "putting file ... (11150.3 kb/s) ...": kilobytes of 1024 per second.
    const QRegularExpression rate(QStringLiteral("\\(([0-9.]+) kb/s\\)"));
    for (int i = 0; i < runs; ++i) {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(
            QStringLiteral("smbclient"),
            {share, QStringLiteral("-N"), QStringLiteral("-c"),
             QStringLiteral("put \"%1\" bench-smbclient.txt; rm bench-smbclient.txt").arg(source)});
        if (!p.waitForFinished(60000)) {
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
        f.smbclientBitsPerSecond.push_back(m.captured(1).toDouble() * 1024 * 8);
    }
    return true;
}

void report(const char* title, const Figures& f, bool limited)
{
    const double ours = median(f.bitsPerSecond);
    const double theirs = median(f.smbclientBitsPerSecond);
    std::vector<double> shown(f.programHundredths.begin(), f.programHundredths.end());
    const auto [lo, hi] = std::minmax_element(f.bitsPerSecond.begin(), f.bitsPerSecond.end());
    std::printf("%s\n", title);
    std::printf("  copy of 5 MB, median of %zu: %.2f Mbit/s (min %.2f, max %.2f)\n",
                f.bitsPerSecond.size(), ours / 1e6, *lo / 1e6, *hi / 1e6);
    std::printf("  as the copy tab shows it:    %.2f MBit/s (1 MBit = 1048576 bit)\n",
                median(shown) / 100);
    if (limited)
        std::printf("  deviation from the 100 Mbit/s link: %+.1f %% (target within 10 %%)\n",
                    (ours / kLinkBitsPerSecond - 1) * 100);
    std::printf("  smbclient put, median of %zu: %.2f Mbit/s\n", f.smbclientBitsPerSecond.size(),
                theirs / 1e6);
    std::printf("  ratio to smbclient: %.3f%s\n", ours / theirs,
                limited ? " (target at least 0.9)" : "");
}

} // namespace

int main(int argc, char** argv)
{
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;
    if (::geteuid() != 0) {
        std::printf("smb_copy_bench: skipped, the Samba test bed needs root\n");
        return 0;
    }
    QTemporaryDir dir;
    const QString envFile = dir.filePath(QStringLiteral("smbbed.env"));
    bool ok = false;
    QString out = runScript({QStringLiteral("start"), envFile}, ok);
    Bed bed(envFile);
    if (!ok) {
        std::fprintf(stderr, "smb_copy_bench: the bed did not start: %s\n", qPrintable(out));
        return 1;
    }
    const QHash<QString, QString> env = readEnv(envFile);

    // Into the client namespace, as ip netns exec would; smbclient started later follows.
    const QByteArray nsPath =
        ("/run/netns/" + env.value(QStringLiteral("CLIENT_NS"))).toLocal8Bit();
    const int ns = ::open(nsPath.constData(), O_RDONLY | O_CLOEXEC);
    if (ns < 0 || ::setns(ns, CLONE_NEWNET) != 0) {
        std::perror("smb_copy_bench: cannot enter the client namespace");
        return 1;
    }
    ::close(ns);

    testfiles::writeTestFiles(dir.path());
    const QString source = dir.filePath(QString::fromLatin1(testfiles::kTestFiles[2].name));
    const QString address = env.value(QStringLiteral("SERVER_ADDR"));
    const QString share = env.value(QStringLiteral("WRITABLE_SHARE"));
    const QString destination = QStringLiteral("\\\\%1\\%2\\bench.txt").arg(address, share);
    const QString shareUrl = QStringLiteral("//%1/%2").arg(address, share);

    Figures open;
    if (!measureOurs(source, destination, runs, open) ||
        !measureSmbclient(source, shareUrl, runs, open))
        return 1;

    out = runScript({QStringLiteral("shape"), envFile, QStringLiteral("100mbit")}, ok);
    if (!ok) {
        std::fprintf(stderr, "smb_copy_bench: cannot limit the link: %s\n", qPrintable(out));
        return 1;
    }
    Figures limited;
    if (!measureOurs(source, destination, runs, limited) ||
        !measureSmbclient(source, shareUrl, runs, limited))
        return 1;

    report("Link limited to 100 Mbit/s (token bucket on both ends of the veth pair):", limited,
           true);
    report("Unlimited veth link (for scale):", open, false);
    const double deviation = std::abs(median(limited.bitsPerSecond) / kLinkBitsPerSecond - 1);
    const double ratio = median(limited.bitsPerSecond) / median(limited.smbclientBitsPerSecond);
    std::printf("targets: %s\n", deviation <= 0.10 && ratio >= 0.9 ? "met" : "NOT met");
    return 0;
}
