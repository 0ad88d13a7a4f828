#pragma once
// The ping worker: one short-lived thread per echo request, so the window never waits for a
// reply. Its completion handler runs on the thread that resumed it, after the body has
// returned; then the worker deletes itself when FreeOnTerminate is set.

#include <QList>
#include <QObject>
#include <QString>
#include <QThread>

#include <cstdint>
#include <functional>

class TPingThread : public QThread
{
    Q_OBJECT
public:
    TPingThread(); // created suspended: nothing runs before Resume()
    ~TPingThread() override;

    // inputs, written before Resume()
    QString HostText; // trimmed before use; the field itself keeps the blanks
    bool ResolveName = false;
    int32_t DataSize = 0;   // 0 keeps the session default (56)
    int32_t TimeOutMs = 0;  // 0 keeps the session default (4000)
    int32_t TimeToLive = 0; // 0 keeps the session default (64)

    // outputs, written by run() only
    QString ReplyAddress; // dotted IPv4, or IPv6 text ("%zone" for a link-local address)
    uint32_t RoundTripMs = 0;
    uint64_t RoundTripUs = 0; // the same round trip in microseconds (success only)
    uint16_t ReplyDataSize = 0;
    uint32_t EchoCount = 0; // 0 means the echo failed
    QString ReplyHostName;
    uint32_t ErrorCode = 0;
    QString ErrorText;     // also the reason when the session could not be opened (ErrorCode 0)
    int AddressFamily = 0; // AF_INET or AF_INET6 once the host resolved; 0 when it did not

    bool FreeOnTerminate = false;
    // Runs on the thread that called Resume(), after run() has returned; sender is the
    // worker. Resume() must be called on the thread the worker belongs to (where it was
    // created), which has an event loop.
    std::function<void(QObject* sender)> OnTerminate;

    void Resume();
    // Unique for the life of the process and known before the thread starts, so a dispatcher
    // can list it at once.
    quint64 ThreadID() const { return m_id; }

protected:
    void run() override;

private:
    void complete();

    quint64 m_id;
    bool m_resumed = false;
    bool m_stopped = false; // set by stopAllWorkers(): the completion is not run
    bool m_inCompletion = false;

    friend void stopAllWorkers();
};

// The worker id list: one entry per worker a dispatcher has started since program start.
void appendWorkerId(quint64 id);
QList<quint64> workerIds();

// Program exit: every worker still waiting for a reply is woken at once through a descriptor
// in its poll and joined; none of their completions runs afterwards, and those that free
// themselves are deleted. Every id in the list is set to 0, then the list is emptied. Also
// runs when the application object is destroyed. Call on the main thread.
void stopAllWorkers();

// Workers that have been resumed and not yet completed or stopped.
int workersInFlight();
