// The echo session against the kernel-answered target and the router of the test bed.

#include "bedhelpers.h"

#include <gtest/gtest.h>

#include <thread>

using namespace bed;

namespace {

TEST(IcmpSocket, KindFollowsTheNamespacesPingGroupRange)
{
    TM_REQUIRE_NETBED();
    TICMP s;
    EXPECT_EQ(s.Kind(), netbed::rawClient() ? TICMP::SocketKind::Raw : TICMP::SocketKind::Datagram);
}

TEST(IcmpSocket, NeitherSocketGivesTheCureInTheMessage)
{
    TM_REQUIRE_NETBED();
    if (!netbed::rawClient())
        GTEST_SKIP() << "ping_group_range is open here, so a session always opens; "
                        "the raw client namespace runs this case";
    QString message;
    bool thrown = false;
    // Without CAP_NET_RAW in this thread only: the other tests keep it.
    std::thread([&] {
        ASSERT_TRUE(setNetRawEffective(false));
        try {
            TICMP s;
        } catch (const TICMPException& e) {
            thrown = true;
            message = e.text();
        }
    }).join();
    ASSERT_TRUE(thrown);
    EXPECT_TRUE(message.startsWith(QStringLiteral("Unable to get ping handle: ")))
        << qPrintable(message);
    EXPECT_TRUE(message.contains(QStringLiteral("net.ipv4.ping_group_range (now \"1 0\")")))
        << qPrintable(message);
    EXPECT_TRUE(message.contains(QStringLiteral("CAP_NET_RAW"))) << qPrintable(message);
    EXPECT_TRUE(message.contains(QStringLiteral("setcap cap_net_raw+ep /"))) << qPrintable(message);
}

TEST(IcmpEcho, KernelTargetAnswersWithAFullRecord)
{
    TM_REQUIRE_NETBED();
    auto s = session(netbed::Target);
    ASSERT_EQ(s->SendEchoRequest(), 1u) << qPrintable(s->DescribeLastError());
    EXPECT_EQ(s->LastError, 0u);
    EXPECT_TRUE(s->Resolved);
    EXPECT_EQ(s->TargetName, text(netbed::Target)); // dotted text: no look-up
    EXPECT_EQ(s->TargetAddressText, text(netbed::Target));
    EXPECT_EQ(s->TargetAddress, addr(netbed::Target));
    EXPECT_EQ(s->LastReply.Address, addr(netbed::Target));
    EXPECT_EQ(s->LastReply.Status, 0u);
    EXPECT_EQ(s->LastReply.DataSize, 56);
    EXPECT_LT(s->LastReply.RoundTripTime, 2000u); // inside the wait
    EXPECT_GT(s->LastRoundTripUs, 0);
    EXPECT_EQ(s->LastReply.Options.Ttl, 63); // the kernel's 64, one router hop
}

TEST(IcmpEcho, OneSessionEchoesRepeatedly)
{
    TM_REQUIRE_NETBED();
    auto s = session(netbed::Target);
    for (int i = 0; i < 5; ++i)
        ASSERT_EQ(s->SendEchoRequest(), 1u) << i << qPrintable(s->DescribeLastError());
}

TEST(IcmpEcho, LoopbackAnswers)
{
    TM_REQUIRE_NETBED();
    auto s = session("127.0.0.1");
    ASSERT_EQ(s->SendEchoRequest(), 1u) << qPrintable(s->DescribeLastError());
    EXPECT_EQ(s->LastReply.Address, addr("127.0.0.1"));
}

TEST(IcmpEcho, PayloadSizesFromOneTo64000)
{
    TM_REQUIRE_NETBED();
    for (int size : {1, 45, 1472, 1473, 8000, 64000}) {
        auto s = session(netbed::Target);
        s->DataSize = size;
        ASSERT_EQ(s->SendEchoRequest(), 1u) << size << qPrintable(s->DescribeLastError());
        EXPECT_EQ(s->LastReply.DataSize, size);
    }
}

TEST(IcmpEcho, EmptyPayloadIsAllowed)
{
    TM_REQUIRE_NETBED();
    auto s = session(netbed::Target);
    s->DataSize = 0;
    ASSERT_EQ(s->SendEchoRequest(), 1u) << qPrintable(s->DescribeLastError());
    EXPECT_EQ(s->LastReply.DataSize, 0);
}

TEST(IcmpEcho, SizesTheSocketCannotCarryAreRefused)
{
    TM_REQUIRE_NETBED();
    auto s = session(netbed::Target);
    s->DataSize = -1;
    EXPECT_EQ(s->SendEchoRequest(), 0u);
    EXPECT_EQ(s->LastError, IpStatus::BadReq);
    s->DataSize = 65508;
    EXPECT_EQ(s->SendEchoRequest(), 0u);
    EXPECT_EQ(s->LastError, IpStatus::PacketTooBig);
    s->DataSize = 65507;
    EXPECT_EQ(s->SendEchoRequest(), 1u) << qPrintable(s->DescribeLastError());
}

TEST(IcmpEcho, BigPayloadCrossesTheSmallMtuLinkInFragments)
{
    TM_REQUIRE_NETBED();
    auto s = session(netbed::SmallMtuTarget);
    s->DataSize = 64000;
    ASSERT_EQ(s->SendEchoRequest(), 1u) << qPrintable(s->DescribeLastError());
    EXPECT_EQ(s->LastReply.DataSize, 64000);
}

TEST(IcmpEcho, DontFragmentOverTheSmallMtuIsPacketTooBig)
{
    TM_REQUIRE_NETBED();
    auto s = session(netbed::SmallMtuTarget);
    s->DataSize = 1400;
    s->IpFlags = TICMP::IpFlagDontFragment;
    // The first reply is the router's "fragmentation needed", later ones the kernel's own
    // refusal: both are the same status.
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(s->SendEchoRequest(), 0u);
        EXPECT_EQ(s->LastError, IpStatus::PacketTooBig) << i;
    }
    s->DataSize = 900;
    EXPECT_EQ(s->SendEchoRequest(), 1u) << qPrintable(s->DescribeLastError());
}

TEST(IcmpTimeToLive, OneExpiresAtTheRouter)
{
    TM_REQUIRE_NETBED();
    auto s = session(netbed::Target);
    s->TimeToLive = 1;
    EXPECT_EQ(s->SendEchoRequest(), 0u);
    EXPECT_EQ(s->LastError, IpStatus::TtlExpiredTransit);
    EXPECT_EQ(s->DescribeLastError(), QStringLiteral("TTL expired in transit"));
    EXPECT_EQ(s->LastReply.Address, addr(netbed::router()));
    s->TimeToLive = 2;
    EXPECT_EQ(s->SendEchoRequest(), 1u) << qPrintable(s->DescribeLastError());
}

TEST(IcmpTimeToLive, OnlyTheLowByteIsSent)
{
    TM_REQUIRE_NETBED();
    // The mirror answers with the time-to-live it received; the router lies in between both
    // ways.
    const std::pair<int, int> cases[] = {{64, 62}, {300, 42}, {255, 253}, {3, 1}};
    for (auto [sent, seen] : cases) {
        auto s = session(netbed::MirrorTtl.address);
        s->TimeToLive = sent;
        ASSERT_EQ(s->SendEchoRequest(), 1u) << sent << qPrintable(s->DescribeLastError());
        EXPECT_EQ(s->LastReply.Options.Ttl, seen) << sent;
    }
    // 2 arrives as 1 and the reply dies at the router.
    auto s = session(netbed::MirrorTtl.address, 300);
    s->TimeToLive = 2;
    EXPECT_EQ(s->SendEchoRequest(), 0u);
    EXPECT_EQ(s->LastError, IpStatus::ReqTimedOut);
}

TEST(IcmpTimeToLive, LowByteZeroMeansTheSystemDefault)
{
    TM_REQUIRE_NETBED();
    auto s = session(netbed::MirrorTtl.address);
    s->TimeToLive = 256;
    ASSERT_EQ(s->SendEchoRequest(), 1u) << qPrintable(s->DescribeLastError());
    EXPECT_EQ(s->LastReply.Options.Ttl, 62); // default 64
}

struct RouterCase
{
    const char* host;
    uint32_t status;
    const char* text;
    bool fromRouter; // false: a time-out, or refused by the client itself
};

void PrintTo(const RouterCase& c, std::ostream* os)
{
    *os << c.host << "=" << c.status;
}

class IcmpRouter : public ::testing::TestWithParam<RouterCase>
{
};

TEST_P(IcmpRouter, ErrorBecomesItsStatus)
{
    TM_REQUIRE_NETBED();
    const RouterCase c = GetParam();
    auto s = session(c.host, 500);
    EXPECT_EQ(s->SendEchoRequest(), 0u);
    EXPECT_EQ(s->LastError, c.status);
    EXPECT_EQ(s->DescribeLastError(), text(c.text));
    EXPECT_EQ(s->LastReply.Status, c.status);
    EXPECT_EQ(s->LastReply.Address, c.fromRouter ? addr(netbed::router()) : 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Routes, IcmpRouter,
    ::testing::Values(
        RouterCase{netbed::Unreachable, 11003, "Destination host unreachable", true},
        RouterCase{netbed::Prohibited, 11004, "Destination protocol unreachable", true},
        RouterCase{netbed::Blackhole, 11010, "Request timed out", false},
        RouterCase{netbed::NoRoute, 11002, "Destination network unreachable", true},
        RouterCase{netbed::ClientNoRoute, 11002, "Destination network unreachable", false}),
    [](const auto& testCase) { return std::to_string(testCase.index); });

TEST(IcmpRouter, SubnetBroadcastIsRefusedByTheClient)
{
    TM_REQUIRE_NETBED();
    auto s = session(netbed::rawClient() ? "10.201.2.255" : "10.201.1.255", 300);
    EXPECT_EQ(s->SendEchoRequest(), 0u);
    EXPECT_EQ(s->LastError, IpStatus::BadDestination);
}

TEST(IcmpResolve, NamesComeFromTheLookUp)
{
    TM_REQUIRE_NETBED();
    auto s = session(netbed::TargetAlias);
    ASSERT_EQ(s->SendEchoRequest(), 1u) << qPrintable(s->DescribeLastError());
    EXPECT_EQ(s->TargetName, text(netbed::TargetName));
    EXPECT_EQ(s->TargetAddressText, text(netbed::Target));
    EXPECT_EQ(s->TargetHost(), text(netbed::TargetAlias));
}

TEST(IcmpResolve, SameTextKeepsTheResolutionOtherTextDropsIt)
{
    TM_REQUIRE_NETBED();
    TICMP s;
    s.SetTargetHost(text(netbed::TargetAlias));
    s.ResolveTarget();
    ASSERT_TRUE(s.Resolved);
    s.SetTargetHost(text(netbed::TargetAlias));
    EXPECT_TRUE(s.Resolved);
    s.SetTargetHost(QStringLiteral("TMN-TARGET")); // the comparison is case-sensitive
    EXPECT_FALSE(s.Resolved);
    EXPECT_EQ(s.TargetHost(), QStringLiteral("TMN-TARGET"));
}

TEST(IcmpResolve, FailedLookUpKeepsTheOldAddressText)
{
    TM_REQUIRE_NETBED();
    TICMP s;
    s.SetTargetHost(text(netbed::Target));
    s.ResolveTarget();
    s.SetTargetHost(text(netbed::UnknownName));
    s.ResolveTarget();
    EXPECT_FALSE(s.Resolved);
    EXPECT_NE(s.LastError, 0u);
    EXPECT_EQ(s.TargetAddress, 0xFFFFFFFFu);
    EXPECT_EQ(s.TargetAddressText, text(netbed::Target));
    // The echo replaces the resolver's code by "Bad Destination".
    EXPECT_EQ(s.SendEchoRequest(), 0u);
    EXPECT_EQ(s.LastError, IpStatus::BadDestination);
    EXPECT_EQ(s.DescribeLastError(), QStringLiteral("Bad Destination"));
}

TEST(IcmpResolve, BroadcastFromTheLookUpIsNoTarget)
{
    TM_REQUIRE_NETBED();
    auto s = session(netbed::BroadcastName);
    EXPECT_EQ(s->SendEchoRequest(), 0u);
    EXPECT_EQ(s->LastError, IpStatus::BadDestination);
    EXPECT_TRUE(s->Resolved);
    EXPECT_EQ(s->TargetAddress, 0xFFFFFFFFu);
    EXPECT_EQ(s->TargetAddressText, QStringLiteral("255.255.255.255"));
}

TEST(IcmpResolve, DottedAbcFormIsAnAddress)
{
    TM_REQUIRE_NETBED();
    auto s = session("1.2.3");
    // 1.2.0.3 lies outside the bed: the client has no route and nothing leaves it.
    EXPECT_EQ(s->SendEchoRequest(), 0u);
    EXPECT_EQ(s->TargetName, QStringLiteral("1.2.3"));
    EXPECT_EQ(s->TargetAddressText, QStringLiteral("1.2.0.3"));
    EXPECT_EQ(s->LastError, IpStatus::DestNetUnreachable);
}

class IcmpBadHost : public ::testing::TestWithParam<QString>
{
};

TEST_P(IcmpBadHost, IsBadDestinationAndSendsNothing)
{
    TM_REQUIRE_NETBED();
    auto s = session(netbed::Target);
    ASSERT_EQ(s->SendEchoRequest(), 1u);
    s->SetTargetHost(GetParam());
    EXPECT_EQ(s->SendEchoRequest(), 0u);
    EXPECT_EQ(s->LastError, IpStatus::BadDestination);
    EXPECT_EQ(s->DescribeLastError(), QStringLiteral("Bad Destination"));
    // Nothing was sent: the record still holds the previous reply.
    EXPECT_EQ(s->LastReply.Address, addr(netbed::Target));
    EXPECT_EQ(s->LastReply.Status, 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, IcmpBadHost,
    ::testing::Values(QString(), QStringLiteral("   "), QStringLiteral(" 127.0.0.1 "),
                      QStringLiteral("255.255.255.255"), QStringLiteral("999.1.1.1"),
                      QString(300, QLatin1Char('a')), QStringLiteral("tmn target"),
                      QStringLiteral("h\u00f6st.tmn.test"), QStringLiteral("nosuchhost.tmn.test"),
                      QStringLiteral("10.201.10.2") + QChar(0)),
    [](const auto& testCase) { return std::to_string(testCase.index); });

} // namespace
