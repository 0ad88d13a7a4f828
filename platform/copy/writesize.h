#pragma once
// The size of the write requests of a copy to an SMB server.
//
// Each request must be acknowledged within the server time-out, so a request may never be
// larger than the link can carry in that time. A copy starts with a small request, which a
// slow link finishes in well under a second (16 KiB take 0.26 s at 0.5 Mbit/s), and grows
// the requests while they finish quickly: each takes about half a second at the rate the last
// one went, at most four times the size of the last. Fast links reach large requests within a
// few round trips, so few round trips are spent per megabyte.

#include <QtGlobal>

namespace filecopy {

constexpr qint64 kFirstWriteBytes = 16 << 10;
constexpr qint64 kMaxWriteBytes = 8 << 20;
constexpr double kWriteSeconds = 0.5;
constexpr int kWriteGrowth = 4;

// The next request after one of `size` bytes that took `seconds` (0 or less: too quick to
// tell).
constexpr qint64 nextWriteSize(qint64 size, double seconds)
{
    const qint64 grown = size * kWriteGrowth;
    qint64 next = grown;
    if (seconds > 0) {
        const double byTime = double(size) / seconds * kWriteSeconds;
        if (byTime < double(grown))
            next = qint64(byTime);
    }
    if (next > kMaxWriteBytes)
        return kMaxWriteBytes;
    return next < kFirstWriteBytes ? kFirstWriteBytes : next;
}

} // namespace filecopy
