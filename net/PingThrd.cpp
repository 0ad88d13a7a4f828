#include "net/PingThrd.h"

#include "net/Icmp.h"
#include "net/NetLookup.h"
#include "platform/logging.h"
#include "platform/textfile.h"

#include <QCoreApplication>

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <set>
#include <vector>

#if defined(__SANITIZE_THREAD__)
#include <sanitizer/tsan_interface.h>
#endif

namespace {

// A worker's fields reach the main thread through QThread's own wait condition and event
// queue. Debian's Qt is not built with ThreadSanitizer, which therefore cannot see that
// hand-over: it is told here, at the two ends that Qt orders.
#if defined(__SANITIZE_THREAD__)
void handOver(const TPingThread* worker)
{
    __tsan_release(const_cast<TPingThread*>(worker));
}
void takeOver(const TPingThread* worker)
{
    __tsan_acquire(const_cast<TPingThread*>(worker));
}
#else
[[maybe_unused]] void handOver(const TPingThread*) {}
void takeOver(const TPingThread*) {}
#endif

// Workers are created, resumed, completed and stopped on the main thread; the lock only
// keeps a worker made elsewhere (a test, a tool) from corrupting the registry.
std::mutex g_lock;
QList<quint64> g_ids;
std::set<TPingThread*> g_live;
std::atomic<quint64> g_nextId{1};
bool g_exitHookInstalled = false;

// Shared by every session's poll. Once written it stays readable until stopAllWorkers()
// reads it back, so each waiting worker sees it whenever it reaches its poll.
int wakeDescriptor()
{
    static const int fd = [] {
        const int made = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (made < 0) {
            const int error = errno;
            qCWarning(lcNet).noquote()
                << "no wake descriptor, stopping the workers waits out their time-outs:"
                << textfile::osReason(error);
        }
        return made;
    }();
    return fd;
}

// The reply's source for the reverse look-up; false when there is none to look up.
bool replySource(const TICMP& session, sockaddr_storage& out)
{
    out = sockaddr_storage{};
    if (session.AddressFamily == AF_INET6) {
        auto* a = reinterpret_cast<sockaddr_in6*>(&out);
        a->sin6_family = AF_INET6;
        a->sin6_addr = session.LastReplyAddress6;
        a->sin6_scope_id = session.LastReplyScopeId;
        return !IN6_IS_ADDR_UNSPECIFIED(&a->sin6_addr);
    }
    auto* a = reinterpret_cast<sockaddr_in*>(&out);
    a->sin_family = AF_INET;
    a->sin_addr.s_addr = session.LastReply.Address;
    return a->sin_addr.s_addr != 0;
}

} // namespace

TPingThread::TPingThread() : m_id(g_nextId.fetch_add(1))
{
    // A thousand workers at once should not reserve a thousand default-sized stacks.
    setStackSize(1024 * 1024);
#if defined(__SANITIZE_THREAD__)
    // On the worker's own thread, after Qt's last look at the worker there.
    connect(
        this, &QThread::finished, this, [this] { handOver(this); }, Qt::DirectConnection);
#endif
    connect(this, &QThread::finished, this, &TPingThread::complete, Qt::QueuedConnection);
}

TPingThread::~TPingThread()
{
    {
        std::lock_guard guard(g_lock);
        g_live.erase(this);
    }
    // Deleting a worker that still runs is a caller's mistake; waiting beats a crash.
    if (isRunning())
        wait();
    takeOver(this);
}

void TPingThread::Resume()
{
    if (m_resumed)
        return;
    m_resumed = true;
    {
        std::lock_guard guard(g_lock);
        g_live.insert(this);
        if (!g_exitHookInstalled && QCoreApplication::instance()) {
            g_exitHookInstalled = true;
            qAddPostRoutine(stopAllWorkers);
        }
    }
    start();
}

void TPingThread::run()
{
    try {
        TICMP session;
        session.SetWakeDescriptor(wakeDescriptor());
        if (DataSize != 0)
            session.DataSize = DataSize;
        if (TimeOutMs != 0)
            session.TimeOutMs = TimeOutMs;
        if (TimeToLive != 0)
            session.TimeToLive = TimeToLive;
        session.SetTargetHost(icmpwire::trimControl(HostText));
        EchoCount = session.SendEchoRequest();
        if (session.Resolved)
            AddressFamily = session.AddressFamily;
        if (EchoCount != 0) {
            // Any stored reply counts; its status field is not looked at.
            ErrorCode = 0;
            ReplyAddress = session.LastReplyAddressText();
            ReplyHostName = ReplyAddress;
            RoundTripMs = session.LastReply.RoundTripTime;
            RoundTripUs = uint64_t(std::max<int64_t>(session.LastRoundTripUs, 0));
            ReplyDataSize = session.LastReply.DataSize;
            sockaddr_storage source;
            QString name;
            // A failed reverse look-up keeps the address text and is not reported; one cut
            // short by the stop does not matter, nobody reads this worker any more.
            if (ResolveName && replySource(session, source) &&
                netlookup::reverse(source, wakeDescriptor(), name) && !name.isEmpty())
                ReplyHostName = name;
        } else {
            ErrorCode = session.LastError;
            ErrorText = session.DescribeLastError();
        }
    } catch (const TmError& e) {
        // No session: the reason goes to the operator, the code stays 0.
        ErrorText = e.text();
    } catch (const std::exception& e) {
        ErrorText = QString::fromLocal8Bit(e.what());
    }
}

void TPingThread::complete()
{
    // run() has returned; let the thread itself end before anyone may delete the worker.
    wait();
    takeOver(this);
    {
        std::lock_guard guard(g_lock);
        g_live.erase(this);
    }
    if (m_stopped)
        return;
    // The worker goes even when the handler throws; the exception travels on to the
    // application's error handler.
    struct Release
    {
        TPingThread* worker;
        ~Release()
        {
            if (worker->FreeOnTerminate)
                worker->deleteLater();
        }
    } release{this};
    if (OnTerminate)
        OnTerminate(this);
}

void appendWorkerId(quint64 id)
{
    std::lock_guard guard(g_lock);
    g_ids.append(id);
}

QList<quint64> workerIds()
{
    std::lock_guard guard(g_lock);
    return g_ids;
}

int workersInFlight()
{
    std::lock_guard guard(g_lock);
    return int(g_live.size());
}

void stopAllWorkers()
{
    std::vector<TPingThread*> live;
    {
        std::lock_guard guard(g_lock);
        live.assign(g_live.begin(), g_live.end());
        g_live.clear();
        for (quint64& id : g_ids)
            id = 0;
        g_ids.clear();
    }
    for (TPingThread* worker : live)
        worker->m_stopped = true;
    const int fd = wakeDescriptor();
    if (!live.empty() && fd >= 0) {
        const uint64_t one = 1;
        if (::write(fd, &one, sizeof one) != ssize_t(sizeof one)) {
            const int error = errno;
            qCWarning(lcNet).noquote() << "cannot wake the workers, they wait out their time-outs:"
                                       << textfile::osReason(error);
        }
    }
    for (TPingThread* worker : live) {
        worker->wait();
        takeOver(worker);
    }
    if (fd >= 0) {
        uint64_t count = 0;
        [[maybe_unused]] const ssize_t n = ::read(fd, &count, sizeof count);
    }
    // Their queued completions go with them.
    for (TPingThread* worker : live) {
        if (worker->FreeOnTerminate)
            delete worker;
    }
}
