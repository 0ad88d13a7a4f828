#pragma once
// What the echo session's source files share; not for users of the session.

#include "net/Icmp.h"

#include <ctime>

namespace icmpimpl {

constexpr size_t kMaxIpHeader = 60;
constexpr size_t kIcmpHeader = 8;

inline int64_t nowNs(clockid_t clock)
{
    timespec ts{};
    clock_gettime(clock, &ts);
    return int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

inline uint16_t readWord(const uint8_t* p)
{
    return uint16_t(p[0] << 8 | p[1]);
}

} // namespace icmpimpl

struct TICMP::Sent
{
    uint16_t sequence = 0;
    const QByteArray* payload = nullptr;
    int64_t mono = 0;
    int64_t real = 0;
    bool dontFragment = false;

    // Kernel receive times are CLOCK_REALTIME; use them only when they agree with the
    // monotonic clock, so a clock step never shows as a round trip.
    int64_t roundTripNs(const timespec* kernelTime) const
    {
        const int64_t elapsed = icmpimpl::nowNs(CLOCK_MONOTONIC) - mono;
        if (kernelTime) {
            const int64_t k = int64_t(kernelTime->tv_sec) * 1000000000 + kernelTime->tv_nsec - real;
            if (k >= 0 && k <= elapsed)
                return k;
        }
        return elapsed;
    }
};
