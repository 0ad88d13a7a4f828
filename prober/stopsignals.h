#pragma once
// SIGTERM and SIGINT end the application's event loop instead of the process, so the prober
// can stop its workers and finish its files.
//
// The signals are blocked and read from a signalfd by the event loop. Threads inherit the
// blocked mask, so no thread ever has a call cut short by them: create this before any other
// thread (the endpoint's, the copies', the ping workers').

#include <QObject>

#include <csignal>
#include <memory>

class QSocketNotifier;

namespace prober {

class StopSignals : public QObject
{
public:
    // Needs the application object; raises TmError when the signals cannot be watched.
    StopSignals();
    // Unblocks the signals again (one still pending is then delivered as usual).
    ~StopSignals() override;

    // The signal that ended the loop, 0 while none came.
    int received() const { return m_received; }

private:
    void onReadable();

    int m_fd = -1;
    sigset_t m_previousMask;
    std::unique_ptr<QSocketNotifier> m_notifier;
    int m_received = 0;
};

} // namespace prober
