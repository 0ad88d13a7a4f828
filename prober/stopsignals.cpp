#include "prober/stopsignals.h"

#include "platform/errors.h"
#include "platform/posix.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cerrno>
#include <pthread.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace prober {

namespace {

sigset_t stopSet()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    return set;
}

} // namespace

StopSignals::StopSignals()
{
    const sigset_t set = stopSet();
    pthread_sigmask(SIG_BLOCK, &set, &m_previousMask);
    m_fd = ::signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
    if (m_fd < 0) {
        const int error = errno;
        pthread_sigmask(SIG_SETMASK, &m_previousMask, nullptr);
        throw TmError(
            QStringLiteral("Cannot watch for SIGTERM and SIGINT: %1").arg(posix::errorText(error)));
    }
    m_notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &StopSignals::onReadable);
}

StopSignals::~StopSignals()
{
    m_notifier.reset();
    // A second signal during the stop is taken too: it must not kill the process now.
    signalfd_siginfo info{};
    while (::read(m_fd, &info, sizeof info) == ssize_t(sizeof info)) {
    }
    ::close(m_fd);
    pthread_sigmask(SIG_SETMASK, &m_previousMask, nullptr);
}

void StopSignals::onReadable()
{
    signalfd_siginfo info{};
    while (::read(m_fd, &info, sizeof info) == ssize_t(sizeof info)) {
        if (!m_received)
            m_received = int(info.ssi_signo);
    }
    QCoreApplication::quit();
}

} // namespace prober
