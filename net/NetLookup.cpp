#include "net/NetLookup.h"

#include "platform/logging.h"
#include "platform/textfile.h"

#include <netdb.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <memory>
#include <system_error>
#include <thread>

namespace netlookup {

namespace {

struct Task
{
    std::function<void()> job;
    int done = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    // The eventfd wakes the waiter; the flag orders the job's writes before the waiter's reads
    // in a way the thread sanitizer can see as well.
    std::atomic<bool> finished{false};
    ~Task()
    {
        if (done >= 0)
            ::close(done);
    }
};

} // namespace

bool runInterruptibly(int wakeFd, std::function<void()> job)
{
    if (wakeFd < 0) {
        job();
        return true;
    }
    auto task = std::make_shared<Task>();
    task->job = std::move(job);
    if (task->done < 0) {
        const int error = errno;
        qCWarning(lcNet).noquote() << "no descriptor to wait on, the look-up cannot be cut short:"
                                   << textfile::osReason(error);
        task->job();
        return true;
    }
    try {
        std::thread([task] {
            task->job();
            task->finished.store(true, std::memory_order_release);
            const uint64_t one = 1;
            [[maybe_unused]] const ssize_t n = ::write(task->done, &one, sizeof one);
        }).detach();
    } catch (const std::system_error& e) {
        // No thread to spare: wait the old way rather than not look up at all.
        qCWarning(lcNet) << "no thread for the look-up, it cannot be cut short:" << e.what();
        task->job();
        return true;
    }
    for (;;) {
        pollfd fds[2] = {{task->done, POLLIN, 0}, {wakeFd, POLLIN, 0}};
        const int ready = ::poll(fds, 2, -1);
        if (ready < 0 && errno != EINTR) {
            // Cannot wait: leave the look-up to itself.
            const int error = errno;
            qCWarning(lcNet).noquote()
                << "cannot wait for the look-up:" << textfile::osReason(error);
            return false;
        }
        if (task->finished.load(std::memory_order_acquire))
            return true;
        if (ready > 0 && fds[1].revents)
            return false;
    }
}

namespace {

// One look-up of both families (a single round to the name server, and a hosts file entry of
// either family is found without asking it), then IPv4 first: the first IPv4 address if there
// is one, else the first IPv6 address.
int lookUp(const QByteArray& name, Address& out)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_DGRAM; // one entry per address
    hints.ai_flags = AI_CANONNAME;
    addrinfo* found = nullptr;
    int rc = getaddrinfo(name.constData(), nullptr, &hints, &found);
    const addrinfo* chosen = nullptr;
    for (const addrinfo* a = found; a && rc == 0; a = a->ai_next) {
        if (a->ai_family == AF_INET) {
            chosen = a;
            break;
        }
        if (a->ai_family == AF_INET6 && !chosen)
            chosen = a;
    }
    if (chosen) {
        std::memcpy(&out.address, chosen->ai_addr, chosen->ai_addrlen);
        if (found->ai_canonname) // only the first entry carries it
            out.canonicalName = QString::fromUtf8(found->ai_canonname);
    } else if (rc == 0) {
        rc = EAI_NONAME;
    }
    if (found)
        freeaddrinfo(found);
    return rc;
}

} // namespace

bool resolve(const QByteArray& name, int wakeFd, Address& out)
{
    auto shared = std::make_shared<Address>();
    const bool finished =
        runInterruptibly(wakeFd, [shared, name] { shared->rc = lookUp(name, *shared); });
    if (finished)
        out = *shared;
    return finished;
}

bool reverse(const sockaddr_storage& address, int wakeFd, QString& name)
{
    struct Reverse
    {
        sockaddr_storage address;
        QString name;
    };
    auto shared = std::make_shared<Reverse>(Reverse{address, {}});
    const bool finished = runInterruptibly(wakeFd, [shared] {
        const socklen_t len =
            shared->address.ss_family == AF_INET6 ? sizeof(sockaddr_in6) : sizeof(sockaddr_in);
        char host[NI_MAXHOST] = {};
        if (getnameinfo(reinterpret_cast<const sockaddr*>(&shared->address), len, host, sizeof host,
                        nullptr, 0, NI_NAMEREQD) == 0)
            shared->name = QString::fromUtf8(host);
    });
    if (finished)
        name = shared->name;
    return finished;
}

} // namespace netlookup
