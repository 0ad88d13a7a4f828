#pragma once
// Small helpers shared by the bed tests of the echo engine.

#include "net/Icmp.h"
#include "net/netbed.h"
#include "support/testapp.h"

#include <QString>

#include <arpa/inet.h>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <memory>
#include <ostream>

namespace bed {

inline uint32_t addr(const char* text)
{
    return inet_addr(text);
}

inline QString text(const char* s)
{
    return QString::fromUtf8(s);
}

// A session aimed at host, with a short time-out so failing cases end quickly.
inline std::unique_ptr<TICMP> session(const char* host, int timeOutMs = 2000)
{
    auto s = std::make_unique<TICMP>();
    s->SetTargetHost(text(host));
    s->TimeOutMs = timeOutMs;
    return s;
}

// Turns CAP_NET_RAW on or off in the effective set of the calling thread only (the kernel keeps
// capabilities per thread; threads started meanwhile inherit the state). Root keeps it in its
// permitted set, so it can be turned on again.
inline bool setNetRawEffective(bool on)
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2] = {};
    if (syscall(SYS_capget, &header, data) != 0)
        return false;
    if (on)
        data[0].effective |= 1u << CAP_NET_RAW;
    else
        data[0].effective &= ~(1u << CAP_NET_RAW);
    return syscall(SYS_capset, &header, data) == 0;
}

} // namespace bed

namespace netbed {
inline void PrintTo(const ResponderHost& h, std::ostream* os)
{
    *os << h.address;
}
} // namespace netbed
