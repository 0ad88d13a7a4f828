#pragma once
// Name look-ups that a wake descriptor can cut short. getaddrinfo and getnameinfo cannot be
// woken: a resolver whose server never answers holds the calling thread for its whole time-out.
// So the look-up runs on a helper thread of its own, and the caller waits for it or for the
// wake descriptor, whichever comes first; an abandoned look-up finishes alone and frees what
// it holds.

#include <QByteArray>
#include <QString>

#include <netinet/in.h>
#include <sys/socket.h>

#include <functional>

namespace netlookup {

// Runs job and returns true once it has finished. With wakeFd >= 0 the job runs on a thread
// of its own and the wait ends early, returning false, when wakeFd becomes readable; the job
// then runs on by itself, so it must own everything it touches (capture shared state by
// shared_ptr). With wakeFd < 0 the job runs on the calling thread.
bool runInterruptibly(int wakeFd, std::function<void()> job);

// The first address of a name: an IPv4 one if the name has any, else an IPv6 one.
struct Address
{
    int rc = 0; // getaddrinfo's result: 0, or an EAI_ code
    sockaddr_storage address{};
    QString canonicalName; // empty when the resolver gave none
};

// Forward look-up of name; false (and nothing else) when woken.
bool resolve(const QByteArray& name, int wakeFd, Address& out);

// Reverse look-up of an address (NI_NAMEREQD): the name, or empty when there is none. False
// when woken.
bool reverse(const sockaddr_storage& address, int wakeFd, QString& name);

} // namespace netlookup
