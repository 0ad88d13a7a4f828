// Look-ups that a wake descriptor cuts short, shown with jobs the test itself holds up.

#include "net/NetLookup.h"
#include "support/logcapture.h"

#include <sys/eventfd.h>
#include <sys/resource.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

namespace {

// An eventfd that closes itself.
struct Signal
{
    int fd = eventfd(0, EFD_CLOEXEC);
    ~Signal() { ::close(fd); }
    void raise() const
    {
        const uint64_t one = 1;
        ASSERT_EQ(::write(fd, &one, sizeof one), ssize_t(sizeof one));
    }
    void await() const
    {
        uint64_t value = 0;
        [[maybe_unused]] const ssize_t n = ::read(fd, &value, sizeof value);
    }
};

TEST(InterruptibleLookUp, WithoutWakeDescriptorRunsOnTheCallingThread)
{
    std::thread::id ranOn;
    EXPECT_TRUE(netlookup::runInterruptibly(-1, [&] { ranOn = std::this_thread::get_id(); }));
    EXPECT_EQ(ranOn, std::this_thread::get_id());
}

TEST(InterruptibleLookUp, WithWakeDescriptorRunsOnAThreadOfItsOwnAndHandsOver)
{
    Signal wake;
    for (int round = 0; round < 50; ++round) {
        auto result = std::make_shared<int>(0);
        std::thread::id ranOn;
        EXPECT_TRUE(netlookup::runInterruptibly(wake.fd, [result, &ranOn, round] {
            ranOn = std::this_thread::get_id();
            *result = round + 1;
        }));
        EXPECT_EQ(*result, round + 1);
        EXPECT_NE(ranOn, std::this_thread::get_id());
    }
}

TEST(InterruptibleLookUp, WakeEndsTheWaitAndTheJobFinishesAlone)
{
    Signal wake;
    Signal release;
    auto done = std::make_shared<std::atomic<bool>>(false);
    wake.raise(); // the stop came before the look-up even started
    const int releaseFd = release.fd;
    EXPECT_FALSE(netlookup::runInterruptibly(wake.fd, [done, releaseFd] {
        uint64_t value = 0;
        [[maybe_unused]] const ssize_t n = ::read(releaseFd, &value, sizeof value);
        done->store(true);
    }));
    EXPECT_FALSE(done->load()); // still held up by the test
    release.raise();
    for (int i = 0; i < 500 && !done->load(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(done->load());
    wake.await();
}

TEST(InterruptibleLookUp, WithoutADescriptorToSpareRunsHereAndSaysWhy)
{
    Signal wake;
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
    LogCapture log("tallowmere.net");
    std::thread::id ranOn;
    // No descriptor may be opened: the look-up's own eventfd cannot be made.
    rlimit none = saved;
    none.rlim_cur = 0;
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &none), 0);
    const bool finished =
        netlookup::runInterruptibly(wake.fd, [&] { ranOn = std::this_thread::get_id(); });
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &saved), 0);
    EXPECT_TRUE(finished);
    EXPECT_EQ(ranOn, std::this_thread::get_id());
    const QStringList warnings = log.warnings();
    ASSERT_EQ(warnings.size(), 1) << warnings.join(u'\n').toStdString();
    EXPECT_TRUE(warnings[0].contains(QLatin1String("cannot be cut short")))
        << warnings[0].toStdString();
    EXPECT_TRUE(warnings[0].contains(QLatin1String("open files"))) << warnings[0].toStdString();
}

TEST(InterruptibleLookUp, NumericLookUpsGiveTheirAddress)
{
    Signal wake;
    struct Case
    {
        const char* name;
        int family;
    };
    for (const Case& c : {Case{"127.0.0.1", AF_INET}, Case{"::1", AF_INET6}}) {
        for (int fd : {-1, wake.fd}) {
            netlookup::Address found;
            ASSERT_TRUE(netlookup::resolve(QByteArray(c.name), fd, found)) << c.name;
            EXPECT_EQ(found.rc, 0) << c.name;
            EXPECT_EQ(found.address.ss_family, c.family) << c.name;
        }
    }
}

} // namespace
