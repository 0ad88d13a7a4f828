#include "prober/prober.h"

#include "app/copymath.h"
#include "app/pinglog.h"
#include "metrics/registry.h"
#include "net/PingThrd.h"
#include "platform/copy/filecopy.h"
#include "platform/rounding.h"
#include "platform/textfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLocale>

#include <cstdio>

namespace prober {

namespace {
// The copy log's speed unit: the window's default, MBit/s.
constexpr int64_t kMbitDivisor = 1048576;
const QString kMbitUnit = QStringLiteral("MBit/s");
} // namespace

void report(const QString& text)
{
    std::fprintf(stderr, "quillnet: %s\n", qPrintable(text));
    std::fflush(stderr);
}

// Lives on the copy thread; all SMB calls of the process are made there.
class CopyRunner : public QObject
{
public:
    explicit CopyRunner(Prober* receiver) : m_receiver(receiver) {}

    void copy(int index, const QString& source, const QString& destination)
    {
        if (stopping)
            return;
        Prober::CopyOutcome outcome;
        outcome.index = index;
        outcome.start = QDateTime::currentDateTime();
        QElapsedTimer clock;
        clock.start();
        outcome.copied = filecopy::copyToDestination(source, destination, &outcome.reason);
        outcome.elapsedNs = clock.nsecsElapsed();
        QString deleteReason;
        outcome.deleted = filecopy::deleteDestination(destination, &deleteReason);
        if (outcome.copied && !outcome.deleted)
            outcome.reason = deleteReason;
        Prober* receiver = m_receiver;
        QMetaObject::invokeMethod(
            receiver, [receiver, outcome] { receiver->copyFinished(outcome); },
            Qt::QueuedConnection);
    }

    std::atomic<bool> stopping{false};

private:
    Prober* m_receiver;
};

Prober::Prober(Config config, metrics::MetricsRegistry* metrics, QObject* parent)
    : QObject(parent), m_config(std::move(config)), m_metrics(metrics)
{
    m_pingTimer.setInterval(m_config.ping.intervalS * 1000);
    m_copyTimer.setInterval(m_config.copy.intervalS * 1000);
    connect(&m_pingTimer, &QTimer::timeout, this, &Prober::pingRound);
    connect(&m_copyTimer, &QTimer::timeout, this, &Prober::copyRound);
    if (m_metrics && !m_config.ping.hosts.isEmpty())
        m_metrics->restrictHosts(m_config.ping.hosts);
}

Prober::~Prober()
{
    stop();
}

void Prober::prepare()
{
    if (!QDir().mkpath(m_config.folder))
        throw EInOutError(QStringLiteral("Cannot create the folder %1").arg(m_config.folder), 0);
    if (m_config.copy.destinations.isEmpty())
        return;
    const QString source = m_config.folder + QLatin1String(m_config.copy.file().name);
    if (!textfile::exists(source))
        testfiles::writeTestFiles(m_config.folder);
}

void Prober::start()
{
    if (m_running)
        return;
    m_running = true;
    if (!m_config.ping.hosts.isEmpty()) {
        m_pingTimer.start();
        pingRound();
    }
    if (!m_config.copy.destinations.isEmpty()) {
        m_runner = new CopyRunner(this);
        m_runner->moveToThread(&m_copyThread);
        m_copyThread.setObjectName(QStringLiteral("copies"));
        m_copyThread.start();
        m_copyTimer.start();
        copyRound();
    }
}

void Prober::stop()
{
    if (!m_running)
        return;
    m_running = false;
    m_pingTimer.stop();
    m_copyTimer.stop();
    stopAllWorkers();
    if (m_runner) {
        m_runner->stopping = true;
        // Queued behind the copy that runs now: the SMB context goes with the thread it
        // belongs to.
        QMetaObject::invokeMethod(
            m_runner,
            [] {
                filecopy::resetSmbSession();
                QThread::currentThread()->quit();
            },
            Qt::QueuedConnection);
        m_copyThread.wait();
        // The copy that was running when the stop came is recorded like any other.
        QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
        delete m_runner;
        m_runner = nullptr;
    }
}

void Prober::pingRound()
{
    for (const QString& host : m_config.ping.hosts) {
        auto* worker = new TPingThread();
        worker->FreeOnTerminate = true;
        worker->OnTerminate = [this](QObject* sender) {
            if (auto* w = qobject_cast<TPingThread*>(sender))
                pingCompleted(*w);
        };
        worker->HostText = host;
        worker->DataSize = m_config.ping.dataSize;
        worker->TimeOutMs = m_config.ping.timeOutS * 1000;
        worker->TimeToLive = m_config.ping.ttl;
        worker->Resume();
    }
}

void Prober::pingCompleted(const TPingThread& worker)
{
    ++m_pingResults;
    if (m_metrics)
        m_metrics->recordPing(worker.HostText, worker);
    if (!m_config.ping.log)
        return;
    const QString stamp = pinglog::timeStamp(QDateTime::currentDateTime());
    const QString line =
        worker.EchoCount != 0
            ? pinglog::successLine(stamp, worker.HostText, worker.ReplyDataSize, worker.RoundTripMs)
            : pinglog::failureLine(stamp, worker.HostText, worker.ErrorText);
    writeLine(m_config.folder + pinglog::pingLogName(worker.HostText), line);
}

void Prober::copyRound()
{
    const testfiles::TestFile& file = m_config.copy.file();
    const QString name = QLatin1String(file.name);
    const QString source = m_config.folder + name;
    try {
        // Written before any clock starts, and again should someone have removed it.
        if (!textfile::exists(source))
            testfiles::writeTestFiles(m_config.folder);
    } catch (const TmError& e) {
        report(e.text());
        return;
    }
    for (int i = 0; i < m_config.copy.destinations.size(); ++i) {
        if (m_copyBusy.contains(i))
            continue;
        m_copyBusy.insert(i);
        const QString destination =
            filecopy::withTrailingSeparator(m_config.copy.destinations[i]) + name;
        CopyRunner* runner = m_runner;
        QMetaObject::invokeMethod(
            runner, [runner, i, source, destination] { runner->copy(i, source, destination); },
            Qt::QueuedConnection);
    }
}

void Prober::copyFinished(const CopyOutcome& outcome)
{
    m_copyBusy.remove(outcome.index);
    ++m_copyResults;
    const testfiles::TestFile& file = m_config.copy.file();
    const QString& destination = m_config.copy.destinations[outcome.index];
    // The window's arithmetic: whole milliseconds, and the speed from them.
    const long double ms = static_cast<long double>(outcome.elapsedNs) / 1e6L;
    const int32_t elapsed = outcome.copied ? roundHalfEven(ms) : 0;
    const int32_t speed =
        elapsed != 0 ? copymath::speedHundredths(file.sizeBytes, elapsed, kMbitDivisor) : 0;
    if (m_metrics)
        m_metrics->recordCopy(destination, metrics::copySizeLabel(file.sizeBytes), outcome.copied,
                              double(outcome.elapsedNs) / 1e9, file.sizeBytes);
    if (!outcome.copied || !outcome.deleted)
        report(
            QStringLiteral("%1 to %2: %3")
                .arg(outcome.copied ? QStringLiteral("deleting the copy") : QStringLiteral("copy"),
                     metrics::destinationLabel(destination), outcome.reason));
    if (m_config.copy.log)
        writeLine(m_config.folder + QStringLiteral("vamtcopy.txt"),
                  copymath::copyLogLine(outcome.start, outcome.copied, outcome.deleted, elapsed,
                                        speed, kMbitUnit, QLocale::system()));
}

void Prober::writeLine(const QString& file, const QString& line)
{
    try {
        textfile::appendLine(file, line);
        m_writeErrors.remove(file);
    } catch (const TmError& e) {
        // Said once, not at every line, until the file can be written again.
        QString& last = m_writeErrors[file];
        if (last != e.text())
            report(e.text());
        last = e.text();
    }
}

} // namespace prober
