// The echo session over IPv6: literals and names, the kernel target, the router's errors and
// the responder's delays, forgeries and ICMPv6 errors, on whichever socket the namespace
// allows (the same ping_group_range rule as for IPv4).

#include "bedhelpers.h"

#include <net/if.h>

#include <gtest/gtest.h>

#include <string>

using namespace bed;
using netbed::ResponderHost;

namespace {

QString twin(const char* v4)
{
    return QString::fromStdString(netbed::v6(v4));
}

std::unique_ptr<TICMP> session6(const char* v4Twin, int timeOutMs = 2000)
{
    return session(netbed::v6(v4Twin).c_str(), timeOutMs);
}

struct LiteralCase
{
    QString typed;
    int family;
    QString addressText; // TargetAddressText and the reply's source
};

void PrintTo(const LiteralCase& c, std::ostream* os)
{
    *os << c.typed.toStdString();
}

class Icmp6Literal : public ::testing::TestWithParam<LiteralCase>
{
};

TEST_P(Icmp6Literal, IsEchoedOverItsFamily)
{
    TM_REQUIRE_NETBED();
    const LiteralCase c = GetParam();
    TICMP s;
    s.SetTargetHost(c.typed);
    ASSERT_EQ(s.SendEchoRequest(), 1u) << qPrintable(s.DescribeLastError());
    EXPECT_EQ(s.AddressFamily, c.family);
    EXPECT_EQ(s.TargetName, c.typed); // a literal needs no look-up
    EXPECT_EQ(s.TargetAddressText, c.addressText);
    EXPECT_EQ(s.LastReplyAddressText(), c.addressText);
    EXPECT_EQ(s.LastReply.Address, c.family == AF_INET ? s.TargetAddress : 0u);
    EXPECT_EQ(s.Kind(), netbed::rawClient() ? TICMP::SocketKind::Raw : TICMP::SocketKind::Datagram);
}

QString numericZone()
{
    return QStringLiteral("fe80::1%") + QString::number(if_nametoindex("eth0"));
}

INSTANTIATE_TEST_SUITE_P(
    Forms, Icmp6Literal,
    ::testing::Values(
        LiteralCase{QStringLiteral("::1"), AF_INET6, QStringLiteral("::1")},
        LiteralCase{QStringLiteral("[::1]"), AF_INET6, QStringLiteral("::1")},
        LiteralCase{QStringLiteral("fd10:201:10::2"), AF_INET6, QStringLiteral("fd10:201:10::2")},
        LiteralCase{QStringLiteral("[FD10:0201:0010:0:0:0:0:2]"), AF_INET6,
                    QStringLiteral("fd10:201:10::2")},
        LiteralCase{QStringLiteral("fe80::1%eth0"), AF_INET6, QStringLiteral("fe80::1%eth0")},
        LiteralCase{QStringLiteral("[fe80::1%eth0]"), AF_INET6, QStringLiteral("fe80::1%eth0")},
        LiteralCase{numericZone(), AF_INET6, QStringLiteral("fe80::1%eth0")},
        // An IPv4 host written the IPv6 way goes over IPv4.
        LiteralCase{QStringLiteral("::ffff:10.201.10.2"), AF_INET, QStringLiteral("10.201.10.2")}),
    [](const auto& testCase) { return std::to_string(testCase.index); });

class Icmp6BadLiteral : public ::testing::TestWithParam<QString>
{
};

TEST_P(Icmp6BadLiteral, IsBadDestinationAndSendsNothing)
{
    TM_REQUIRE_NETBED();
    auto s = session(netbed::Target6);
    ASSERT_EQ(s->SendEchoRequest(), 1u);
    s->SetTargetHost(GetParam());
    EXPECT_EQ(s->SendEchoRequest(), 0u);
    EXPECT_EQ(s->LastError, IpStatus::BadDestination);
    // Nothing was sent: the record still holds the previous reply.
    EXPECT_EQ(s->LastReply.Status, 0u);
    EXPECT_EQ(s->LastReply.DataSize, 56);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, Icmp6BadLiteral,
    ::testing::Values(QStringLiteral("fe80::1"), // link-local without its link
                      QStringLiteral("fe80::1%nosuchif"), QStringLiteral("fe80::1%"),
                      QStringLiteral("fe80::1%999999"), QStringLiteral("fd10::1::2"),
                      QStringLiteral("[fd10:201:10::2"), QStringLiteral("fd10:201:10::2]"),
                      QStringLiteral("[::1]:80"), QStringLiteral(":::"),
                      QStringLiteral("fd10:201:10::2 "), QStringLiteral("::ffff:255.255.255.255"),
                      QStringLiteral("fd10:201:10::g")),
    [](const auto& testCase) { return std::to_string(testCase.index); });

struct NameCase
{
    const char* name;
    int family;
    const char* address;
    const char* official;
};

void PrintTo(const NameCase& c, std::ostream* os)
{
    *os << c.name;
}

class Icmp6Name : public ::testing::TestWithParam<NameCase>
{
};

TEST_P(Icmp6Name, ResolvesToIpv4FirstAndToIpv6WithoutIt)
{
    TM_REQUIRE_NETBED();
    const NameCase c = GetParam();
    auto s = session(c.name);
    ASSERT_EQ(s->SendEchoRequest(), 1u) << qPrintable(s->DescribeLastError());
    EXPECT_EQ(s->AddressFamily, c.family);
    EXPECT_EQ(s->TargetAddressText, text(c.address));
    EXPECT_EQ(s->LastReplyAddressText(), text(c.address));
    EXPECT_EQ(s->TargetName, text(c.official));
}

INSTANTIATE_TEST_SUITE_P(
    Names, Icmp6Name,
    ::testing::Values(NameCase{netbed::TargetAlias, AF_INET, netbed::Target, netbed::TargetName},
                      NameCase{netbed::TargetName, AF_INET, netbed::Target, netbed::TargetName},
                      NameCase{netbed::Target6Name, AF_INET6, netbed::Target6, netbed::Target6Name},
                      NameCase{netbed::Target6Alias, AF_INET6, netbed::Target6,
                               netbed::Target6Name},
                      NameCase{netbed::ResponderName6, AF_INET, netbed::ResponderEcho.address,
                               netbed::ResponderName6}),
    [](const auto& testCase) { return std::to_string(testCase.index); });

TEST(Icmp6Echo, KernelTargetAnswersWithAFullRecord)
{
    TM_REQUIRE_NETBED();
    auto s = session(netbed::Target6);
    ASSERT_EQ(s->SendEchoRequest(), 1u) << qPrintable(s->DescribeLastError());
    EXPECT_EQ(s->LastError, 0u);
    EXPECT_EQ(s->LastReply.Status, 0u);
    EXPECT_EQ(s->LastReply.DataSize, 56);
    EXPECT_EQ(s->LastReply.Options.Ttl, 63); // hop limit 64, one router
    EXPECT_GT(s->LastRoundTripUs, 0);
    EXPECT_EQ(s->LastReply.RoundTripTime, uint32_t(s->LastRoundTripUs / 1000));
}

TEST(Icmp6Echo, PayloadSizesFromZeroTo64000)
{
    TM_REQUIRE_NETBED();
    for (int size : {0, 1, 45, 1232, 1452, 1453, 8000, 64000, 65507}) {
        auto s = session(netbed::Target6);
        s->DataSize = size;
        ASSERT_EQ(s->SendEchoRequest(), 1u) << size << qPrintable(s->DescribeLastError());
        EXPECT_EQ(s->LastReply.DataSize, size);
    }
}

TEST(Icmp6Echo, BigPayloadOverTheSmallMtuLinkFollowsThePathMtu)
{
    TM_REQUIRE_NETBED();
    // The first echo over the link may meet "packet too big" (IPv6 routers never fragment);
    // after it the kernel fragments to the path MTU.
    auto s = session(netbed::SmallMtuTarget6);
    s->DataSize = 64000;
    uint32_t count = s->SendEchoRequest();
    if (count == 0) {
        EXPECT_EQ(s->LastError, IpStatus::PacketTooBig);
        count = s->SendEchoRequest();
    }
    ASSERT_EQ(count, 1u) << qPrintable(s->DescribeLastError());
    EXPECT_EQ(s->LastReply.DataSize, 64000);
}

TEST(Icmp6Echo, DontFragmentOverTheSmallMtuIsPacketTooBig)
{
    TM_REQUIRE_NETBED();
    auto s = session(netbed::SmallMtuTarget6);
    s->DataSize = 1400;
    s->IpFlags = TICMP::IpFlagDontFragment;
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(s->SendEchoRequest(), 0u);
        EXPECT_EQ(s->LastError, IpStatus::PacketTooBig) << i;
    }
    s->DataSize = netbed::SmallMtu6 - 48;
    EXPECT_EQ(s->SendEchoRequest(), 1u) << qPrintable(s->DescribeLastError());
}

TEST(Icmp6HopLimit, OneExpiresAtTheRouter)
{
    TM_REQUIRE_NETBED();
    auto s = session(netbed::Target6);
    s->TimeToLive = 1;
    EXPECT_EQ(s->SendEchoRequest(), 0u);
    EXPECT_EQ(s->LastError, IpStatus::TtlExpiredTransit);
    EXPECT_EQ(s->LastReplyAddressText(), twin(netbed::router()));
    s->TimeToLive = 2;
    EXPECT_EQ(s->SendEchoRequest(), 1u) << qPrintable(s->DescribeLastError());
}

TEST(Icmp6HopLimit, OnlyTheLowByteIsSentAndZeroMeansTheDefault)
{
    TM_REQUIRE_NETBED();
    const std::pair<int, int> cases[] = {{64, 62}, {300, 42}, {255, 253}, {3, 1}, {256, 62}};
    for (auto [sent, seen] : cases) {
        auto s = session6(netbed::MirrorTtl.address);
        s->TimeToLive = sent;
        ASSERT_EQ(s->SendEchoRequest(), 1u) << sent << qPrintable(s->DescribeLastError());
        EXPECT_EQ(s->LastReply.Options.Ttl, seen) << sent;
    }
}

struct RouteCase
{
    const char* host;
    uint32_t status;
    bool fromRouter;
};

void PrintTo(const RouteCase& c, std::ostream* os)
{
    *os << c.host << "=" << c.status;
}

class Icmp6Router : public ::testing::TestWithParam<RouteCase>
{
};

TEST_P(Icmp6Router, ErrorBecomesItsStatus)
{
    TM_REQUIRE_NETBED();
    const RouteCase c = GetParam();
    auto s = session(c.host, 500);
    EXPECT_EQ(s->SendEchoRequest(), 0u);
    EXPECT_EQ(s->LastError, c.status);
    EXPECT_EQ(s->LastReply.Status, c.status);
    EXPECT_EQ(s->LastReplyAddressText(), c.fromRouter ? twin(netbed::router()) : QString());
}

INSTANTIATE_TEST_SUITE_P(Routes, Icmp6Router,
                         ::testing::Values(RouteCase{netbed::Unreachable6, 11002, true},
                                           RouteCase{netbed::Prohibited6, 11004, true},
                                           RouteCase{netbed::Blackhole6, 11010, false},
                                           RouteCase{netbed::NoRoute6, 11002, true},
                                           RouteCase{netbed::ClientNoRoute6, 11002, false}),
                         [](const auto& testCase) { return std::to_string(testCase.index); });

struct ErrorCase
{
    int octet;
    uint32_t status;
};

void PrintTo(const ErrorCase& c, std::ostream* os)
{
    *os << "fd10:201:20::" << c.octet << "=" << c.status;
}

class Icmp6ErrorFromTarget : public ::testing::TestWithParam<ErrorCase>
{
};

TEST_P(Icmp6ErrorFromTarget, BecomesItsStatusByMeaning)
{
    TM_REQUIRE_NETBED();
    const ErrorCase c = GetParam();
    const std::string host = "fd10:201:20::" + std::to_string(c.octet);
    for (int size : {56, 3000}) { // a big request quotes its first fragment
        auto s = session(host.c_str(), 1000);
        s->DataSize = size;
        EXPECT_EQ(s->SendEchoRequest(), 0u) << size;
        EXPECT_EQ(s->LastError, c.status) << host << " size " << size;
        EXPECT_EQ(s->LastReplyAddressText(), QString::fromStdString(host)) << size;
    }
}

constexpr int U6 = netbed::Unreachable6Base;
INSTANTIATE_TEST_SUITE_P(
    Kinds, Icmp6ErrorFromTarget,
    ::testing::Values(ErrorCase{U6 + 0, 11002}, // no route
                      ErrorCase{U6 + 1, 11004}, // administratively prohibited
                      ErrorCase{U6 + 2, 11002}, // beyond the scope of the source
                      ErrorCase{U6 + 3, 11003}, // address unreachable
                      ErrorCase{U6 + 4, 11005}, // port unreachable
                      ErrorCase{U6 + 5, 11004}, // source address failed policy
                      ErrorCase{U6 + 6, 11004}, // reject route
                      ErrorCase{U6 + 7, 11012}, // source routing header
                      ErrorCase{88, 11009}, ErrorCase{89, 11013}, ErrorCase{91, 11015},
                      ErrorCase{92, 11015}, ErrorCase{93, 11015}),
    [](const auto& testCase) { return "host" + std::to_string(testCase.param.octet); });

TEST(Icmp6ErrorFromTarget, ReassemblyTimeExceeded)
{
    TM_REQUIRE_NETBED();
    auto s = session6(netbed::ReassemblyExceeded6.address, 500);
    EXPECT_EQ(s->SendEchoRequest(), 0u);
    EXPECT_EQ(s->LastError, IpStatus::TtlExpiredReassem);
}

TEST(Icmp6Responder, DelaysDropsLateAndDuplicateReplies)
{
    TM_REQUIRE_NETBED();
    for (const ResponderHost& h : {netbed::Delay20, netbed::Delay150}) {
        auto s = session6(h.address);
        ASSERT_EQ(s->SendEchoRequest(), 1u) << h.address << qPrintable(s->DescribeLastError());
        EXPECT_GE(s->LastRoundTripUs, int64_t(h.delayMs) * 1000) << h.address;
        EXPECT_EQ(s->LastReply.RoundTripTime, uint32_t(s->LastRoundTripUs / 1000));
    }
    auto s = session6(netbed::Drop.address, 300);
    EXPECT_EQ(s->SendEchoRequest(), 0u);
    EXPECT_EQ(s->LastError, IpStatus::ReqTimedOut);
    EXPECT_TRUE(s->LastReplyAddressText().isEmpty());

    // The late reply of the first echo arrives during the second, which waits for its own.
    s = session6(netbed::Late.address, 200);
    EXPECT_EQ(s->SendEchoRequest(), 0u);
    s->TimeOutMs = 2000;
    ASSERT_EQ(s->SendEchoRequest(), 1u) << qPrintable(s->DescribeLastError());
    EXPECT_GE(s->LastReply.RoundTripTime, uint32_t(netbed::Late.delayMs));

    // The duplicate comes 300 ms later, during an echo to a host that never answers.
    s = session6(netbed::Duplicate.address);
    EXPECT_EQ(s->SendEchoRequest(), 1u) << qPrintable(s->DescribeLastError());
    s->SetTargetHost(twin(netbed::Drop.address));
    s->TimeOutMs = 600;
    EXPECT_EQ(s->SendEchoRequest(), 0u);
    EXPECT_EQ(s->LastError, IpStatus::ReqTimedOut);
}

class Icmp6ForgedReply : public ::testing::TestWithParam<ResponderHost>
{
};

TEST_P(Icmp6ForgedReply, NeverCounts)
{
    TM_REQUIRE_NETBED();
    for (int size : {56, 1, 2000}) {
        auto s = session6(GetParam().address, 300);
        s->DataSize = size;
        EXPECT_EQ(s->SendEchoRequest(), 0u) << size;
        EXPECT_EQ(s->LastError, IpStatus::ReqTimedOut) << size;
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, Icmp6ForgedReply,
                         ::testing::Values(netbed::WrongIdent, netbed::WrongSequence,
                                           netbed::WrongPayload, netbed::ShortPayload,
                                           netbed::WrongSource, netbed::BadChecksum),
                         [](const auto& testCase) {
                             const std::string a = testCase.param.address;
                             return "host" + a.substr(a.rfind('.') + 1);
                         });

TEST(Icmp6Responder, GenuineReplyAfterForgeriesRedirectsAndForeignErrorsCounts)
{
    TM_REQUIRE_NETBED();
    for (const ResponderHost& h :
         {netbed::ForgedThenGenuine, netbed::RedirectThenGenuine, netbed::ForgedErrorThenGenuine}) {
        auto s = session6(h.address);
        ASSERT_EQ(s->SendEchoRequest(), 1u) << h.address << qPrintable(s->DescribeLastError());
        EXPECT_GE(s->LastReply.RoundTripTime, uint32_t(h.delayMs)) << h.address;
        EXPECT_EQ(s->LastReply.DataSize, 56);
    }
}

} // namespace
