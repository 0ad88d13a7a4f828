// The SMB client's own rules that need no server: request sizes and the server of a URL.

#include "platform/copy/smbsession.h"
#include "platform/copy/writesize.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace filecopy;

TEST(WriteSize, FollowsTheLinkWithinItsBounds)
{
    constexpr qint64 KiB = 1024;
    struct Case
    {
        qint64 size;
        double seconds;
        qint64 next;
    };
    const Case cases[] = {
        {16 * KiB, 0.001, 64 * KiB},             // quick: grows, but four times at most
        {16 * KiB, 0.0, 64 * KiB},               // too quick for the clock
        {64 * KiB, 0.25, 128 * KiB},             // half a second's worth at the rate it went
        {64 * KiB, 1.0, 32 * KiB},               // slower than wanted: shrinks at once
        {16 * KiB, 2.0, 16 * KiB},               // never below the first size
        {4 * 1024 * KiB, 0.001, 8 * 1024 * KiB}, // never above the largest
        {8 * 1024 * KiB, 0.1, 8 * 1024 * KiB},
    };
    for (const Case& c : cases)
        EXPECT_EQ(nextWriteSize(c.size, c.seconds), c.next) << c.size << " in " << c.seconds;
}

// A copy of 5 MiB over links of fixed speed: on every link from 80 kB/s up, no request after
// the first takes more than half a second, and a fast link needs only a few requests.
TEST(WriteSize, NoRequestOutlastsTheLinkOnAnySpeed)
{
    struct Case
    {
        double bytesPerSecond;
        int maxRequests;
    };
    const Case cases[] = {
        {80e3, 200}, {0.5e6 / 8, 200}, {2e6 / 8, 100}, {100e6 / 8, 12}, {1e9 / 8, 8},
    };
    for (const Case& c : cases) {
        qint64 left = 5 * 1024 * 1024;
        qint64 request = kFirstWriteBytes;
        double longest = 0;
        int requests = 0;
        while (left > 0) {
            const qint64 n = std::min(request, left);
            const double seconds = double(n) / c.bytesPerSecond;
            if (requests == 0)
                EXPECT_LT(seconds, 0.3) << c.bytesPerSecond << ": the first request";
            else
                longest = std::max(longest, seconds);
            left -= n;
            ++requests;
            request = nextWriteSize(n, seconds);
        }
        EXPECT_LE(longest, kWriteSeconds * 1.0001) << c.bytesPerSecond;
        EXPECT_LE(requests, c.maxRequests) << c.bytesPerSecond;
    }
}

TEST(SmbUrl, ServerAndPort)
{
    struct Case
    {
        const char* url;
        const char* server;
        int port;
    };
    const Case cases[] = {
        {"smb://Server/share/f", "server", 0},
        {"SMB://server:4455/share/f", "server:4455", 4455},
        {"smb://DOM;user:pa:ss@host/share/f", "host", 0},
        {"smb://user@host:139/share", "host:139", 139},
        {"smb://[fd00::1]/share/f", "[fd00::1]", 0},
        {"smb://[fd00::1]:445/share/f", "[fd00::1]:445", 445},
        {"smb://host:notaport/share", "host:notaport", 0},
        {"/mnt/share/f", "", 0},
    };
    for (const Case& c : cases) {
        const QString url = QString::fromUtf8(c.url);
        EXPECT_EQ(serverOfUrl(url), QString::fromUtf8(c.server)) << c.url;
        EXPECT_EQ(smbPort(url), c.port) << c.url;
    }
}
