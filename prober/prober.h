#pragma once
// The headless prober: the pings and copies of a configuration, each on its own interval, with
// the window's engine (TPingThread, the share copy) and the window's log lines, into the
// metrics. No widgets: it runs under a QCoreApplication.
//
// Pings: every interval one worker per host; workers of a host may overlap when the time-out
// exceeds the interval, so the rate of requests stays what was configured. Results are handled
// on the thread that started them (the main thread).
//
// Copies: on a thread of their own, one after another, so a stalled share never holds up the
// pings. A destination whose copy has not finished when its next turn comes is skipped for that
// turn instead of piling up copies back to back.

#include "prober/config.h"

#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <cstdint>

class TPingThread;

namespace metrics {
class MetricsRegistry;
}

namespace prober {

class CopyRunner;

class Prober : public QObject
{
public:
    // metrics may be null: then only the logs are written.
    Prober(Config config, metrics::MetricsRegistry* metrics, QObject* parent = nullptr);
    ~Prober() override;

    // Creates the files folder and writes the copy test files that are missing; raises TmError
    // naming the folder or file when it cannot.
    void prepare();
    // The first pings and copies go out at once.
    void start();
    // Stops the timers and wakes every waiting ping worker (their results are dropped); waits
    // for a copy that is running and records it; copies still waiting are dropped. Idempotent.
    void stop();

    // A finished echo: log line and metrics. Public for benchmarks that feed results.
    void pingCompleted(const TPingThread& worker);

    uint64_t pingResults() const { return m_pingResults; }
    uint64_t copyResults() const { return m_copyResults; }

    struct CopyOutcome
    {
        int index = 0; // into the destinations
        QDateTime start;
        bool copied = false;
        bool deleted = false;
        int64_t elapsedNs = 0;
        QString reason;
    };

private:
    friend class CopyRunner;
    void pingRound();
    void copyRound();
    void copyFinished(const CopyOutcome& outcome);
    void writeLine(const QString& file, const QString& line);

    Config m_config;
    metrics::MetricsRegistry* m_metrics;
    QTimer m_pingTimer;
    QTimer m_copyTimer;
    QThread m_copyThread;
    CopyRunner* m_runner = nullptr;
    QSet<int> m_copyBusy;
    QHash<QString, QString> m_writeErrors; // last error reported per file
    bool m_running = false;
    uint64_t m_pingResults = 0;
    uint64_t m_copyResults = 0;
};

// One line on stderr, "quillnet: " first.
void report(const QString& text);

} // namespace prober
