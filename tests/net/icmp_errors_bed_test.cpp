// The echo session against the bed's own responder: delays, lost, late, duplicated and forged
// replies, and ICMP errors of every kind, on whichever socket the namespace allows.

#include "bedhelpers.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

using namespace bed;
using netbed::ResponderHost;

namespace {

std::string octetName(const ResponderHost& h)
{
    std::string a = h.address;
    return "host" + a.substr(a.rfind('.') + 1);
}

TEST(Responder, DelayedRepliesTakeTheirDelay)
{
    TM_REQUIRE_NETBED();
    for (const ResponderHost& h : {netbed::Delay20, netbed::Delay150}) {
        auto s = session(h.address);
        ASSERT_EQ(s->SendEchoRequest(), 1u) << h.address << qPrintable(s->DescribeLastError());
        // Which reply was taken shows in the time: never before the responder sent it.
        EXPECT_GE(s->LastReply.RoundTripTime, uint32_t(h.delayMs)) << h.address;
        EXPECT_EQ(s->LastReply.Address, addr(h.address));
    }
}

TEST(Responder, DroppedReplyTimesOut)
{
    TM_REQUIRE_NETBED();
    auto s = session(netbed::Drop.address, 300);
    EXPECT_EQ(s->SendEchoRequest(), 0u);
    EXPECT_EQ(s->LastError, IpStatus::ReqTimedOut);
    EXPECT_EQ(s->DescribeLastError(), QStringLiteral("Request timed out"));
    EXPECT_EQ(s->LastReply.Address, 0u);
}

TEST(Responder, LateReplyNeverCountsForTheNextEcho)
{
    TM_REQUIRE_NETBED();
    auto s = session(netbed::Late.address, 200);
    EXPECT_EQ(s->SendEchoRequest(), 0u);
    EXPECT_EQ(s->LastError, IpStatus::ReqTimedOut);
    // The first reply comes about 400 ms into this echo; its own about 600 ms in.
    s->TimeOutMs = 2000;
    ASSERT_EQ(s->SendEchoRequest(), 1u) << qPrintable(s->DescribeLastError());
    EXPECT_GE(s->LastReply.RoundTripTime, uint32_t(netbed::Late.delayMs));
}

TEST(Responder, DuplicateIsOneReplyAndNotTheNextEchosReply)
{
    TM_REQUIRE_NETBED();
    auto s = session(netbed::Duplicate.address);
    EXPECT_EQ(s->SendEchoRequest(), 1u) << qPrintable(s->DescribeLastError());
    // The copy arrives 300 ms later, during an echo to a host that never answers.
    s->SetTargetHost(text(netbed::Drop.address));
    s->TimeOutMs = 600;
    EXPECT_EQ(s->SendEchoRequest(), 0u);
    EXPECT_EQ(s->LastError, IpStatus::ReqTimedOut);
}

class ForgedReply : public ::testing::TestWithParam<ResponderHost>
{
};

TEST_P(ForgedReply, NeverCounts)
{
    TM_REQUIRE_NETBED();
    for (int size : {56, 1, 2000}) {
        auto s = session(GetParam().address, 300);
        s->DataSize = size;
        EXPECT_EQ(s->SendEchoRequest(), 0u) << size;
        EXPECT_EQ(s->LastError, IpStatus::ReqTimedOut) << size;
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, ForgedReply,
                         ::testing::Values(netbed::WrongIdent, netbed::WrongSequence,
                                           netbed::WrongPayload, netbed::ShortPayload,
                                           netbed::WrongSource, netbed::BadChecksum),
                         [](const auto& testCase) { return octetName(testCase.param); });

TEST(Responder, GenuineReplyAfterForgeriesCounts)
{
    TM_REQUIRE_NETBED();
    auto s = session(netbed::ForgedThenGenuine.address);
    ASSERT_EQ(s->SendEchoRequest(), 1u) << qPrintable(s->DescribeLastError());
    EXPECT_GE(s->LastReply.RoundTripTime, uint32_t(netbed::ForgedThenGenuine.delayMs));
    EXPECT_EQ(s->LastReply.DataSize, 56);
}

TEST(Responder, RedirectIsNoError)
{
    TM_REQUIRE_NETBED();
    auto s = session(netbed::RedirectThenGenuine.address);
    ASSERT_EQ(s->SendEchoRequest(), 1u) << qPrintable(s->DescribeLastError());
    EXPECT_GE(s->LastReply.RoundTripTime, uint32_t(netbed::RedirectThenGenuine.delayMs));
}

TEST(Responder, ErrorsQuotingSomeoneElsesRequestAreIgnored)
{
    TM_REQUIRE_NETBED();
    auto s = session(netbed::ForgedErrorThenGenuine.address);
    ASSERT_EQ(s->SendEchoRequest(), 1u) << qPrintable(s->DescribeLastError());
    EXPECT_GE(s->LastReply.RoundTripTime, uint32_t(netbed::ForgedErrorThenGenuine.delayMs));
}

struct ErrorCase
{
    int octet;
    uint32_t status;
};

void PrintTo(const ErrorCase& c, std::ostream* os)
{
    *os << "10.201.20." << c.octet << "=" << c.status;
}

class IcmpErrorFromTarget : public ::testing::TestWithParam<ErrorCase>
{
};

TEST_P(IcmpErrorFromTarget, BecomesItsStatus)
{
    TM_REQUIRE_NETBED();
    const ErrorCase c = GetParam();
    const std::string host = "10.201.20." + std::to_string(c.octet);
    auto s = session(host.c_str(), 1000);
    EXPECT_EQ(s->SendEchoRequest(), 0u);
    EXPECT_EQ(s->LastError, c.status) << host;
    EXPECT_EQ(s->LastReply.Address, addr(host.c_str())) << host;
}

constexpr int U = netbed::UnreachableBase;
INSTANTIATE_TEST_SUITE_P(
    Kinds, IcmpErrorFromTarget,
    ::testing::Values(ErrorCase{U + 0, 11002}, ErrorCase{U + 1, 11003}, ErrorCase{U + 2, 11004},
                      ErrorCase{U + 3, 11005}, ErrorCase{U + 5, 11012}, ErrorCase{U + 6, 11002},
                      ErrorCase{U + 7, 11003}, ErrorCase{U + 8, 11003}, ErrorCase{U + 9, 11004},
                      ErrorCase{U + 10, 11004}, ErrorCase{U + 11, 11002}, ErrorCase{U + 12, 11003},
                      ErrorCase{U + 13, 11004}, ErrorCase{U + 14, 11003}, ErrorCase{U + 15, 11003},
                      ErrorCase{70, 11013}, ErrorCase{72, 11015}, ErrorCase{73, 11016}),
    [](const auto& testCase) { return "host" + std::to_string(testCase.param.octet); });

TEST(IcmpErrorFromTarget, ReassemblyTimeExceeded)
{
    TM_REQUIRE_NETBED();
    auto s = session(netbed::TimeExceededReassembly.address, 500);
    EXPECT_EQ(s->SendEchoRequest(), 0u);
    if (!netbed::rawClient()) {
        // The kernel drops "fragment reassembly time exceeded" before any datagram socket
        // sees it; only raw sockets get it.
        EXPECT_EQ(s->LastError, IpStatus::ReqTimedOut);
        return;
    }
    EXPECT_EQ(s->LastError, IpStatus::TtlExpiredReassem);
}

TEST(IcmpErrorFromTarget, FragmentationNeededCountsOnlyWithDontFragment)
{
    TM_REQUIRE_NETBED();
    const std::string host = "10.201.20." + std::to_string(U + 4);
    auto s = session(host.c_str(), 300);
    EXPECT_EQ(s->SendEchoRequest(), 0u);
    EXPECT_EQ(s->LastError, IpStatus::ReqTimedOut); // a request without DF cannot cause it
    s->IpFlags = TICMP::IpFlagDontFragment;
    EXPECT_EQ(s->SendEchoRequest(), 0u);
    EXPECT_EQ(s->LastError, IpStatus::PacketTooBig);
}

// Many sessions on many threads at once, mixed targets, sizes and families: each gets its own
// answer.
TEST(IcmpParallel, SessionsNeverSeeEachOthersReplies)
{
    TM_REQUIRE_NETBED();
    struct Job
    {
        std::string host;
        int delay = 0; // -1: never answers
        int size = 0;
        uint32_t count = 0;
        uint32_t error = 0;
        TEchoReply reply;
        QString source;
    };
    const std::pair<const char*, int> hosts[] = {
        {netbed::Delay20.address, 20},      {netbed::Delay150.address, 150},
        {netbed::Drop.address, -1},         {netbed::Target, 0},
        {netbed::ResponderEcho.address, 0}, {netbed::Duplicate.address, 0},
    };
    std::vector<Job> jobs;
    for (int i = 0; i < 96; ++i) {
        const auto& [host, delay] = hosts[i % 6];
        Job job;
        job.host = i % 12 < 6 ? std::string(host) : netbed::v6(host);
        job.delay = delay;
        job.size = 10 + 97 * i;
        jobs.push_back(job);
    }
    std::atomic<int> ready{0};
    std::vector<std::thread> threads;
    for (Job& job : jobs) {
        threads.emplace_back([&job, &ready, n = int(jobs.size())] {
            auto s = session(job.host.c_str(), 1000);
            s->DataSize = job.size;
            ++ready;
            while (ready.load() < n)
                std::this_thread::yield();
            job.count = s->SendEchoRequest();
            job.error = s->LastError;
            job.reply = s->LastReply;
            job.source = s->LastReplyAddressText();
        });
    }
    for (std::thread& t : threads)
        t.join();
    for (const Job& job : jobs) {
        SCOPED_TRACE(job.host + " size " + std::to_string(job.size));
        if (job.delay < 0) {
            EXPECT_EQ(job.count, 0u);
            EXPECT_EQ(job.error, IpStatus::ReqTimedOut);
            continue;
        }
        ASSERT_EQ(job.count, 1u) << TICMP::describe(job.error).toStdString();
        EXPECT_EQ(job.source, QString::fromStdString(job.host));
        EXPECT_EQ(job.reply.DataSize, job.size);
        EXPECT_GE(job.reply.RoundTripTime, uint32_t(job.delay));
    }
}

} // namespace
