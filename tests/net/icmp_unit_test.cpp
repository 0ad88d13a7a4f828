// The parts of the echo session that need no network: payload, status texts, the mapping of
// local failures, dotted-address parsing, trimming. The mapping of every ICMP error is shown
// end to end by the bed tests.

#include "net/Icmp.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>
#include <net/if.h>

namespace {

const QByteArray kText("Echo payload from the network latency monitor");

TEST(IcmpPayload, IsTheTextCutOrPaddedWithSpaces)
{
    ASSERT_EQ(kText.size(), 45);
    EXPECT_EQ(icmpwire::buildPayload(1), QByteArray("E"));
    EXPECT_EQ(icmpwire::buildPayload(32), kText.left(32));
    EXPECT_EQ(icmpwire::buildPayload(45), kText);
    EXPECT_EQ(icmpwire::buildPayload(1000), kText + QByteArray(955, ' '));
    const QByteArray big = icmpwire::buildPayload(64000);
    ASSERT_EQ(big.size(), 64000);
    EXPECT_TRUE(big.startsWith(kText));
    EXPECT_EQ(big.count(' '), 63955 + kText.count(' '));
    EXPECT_FALSE(big.contains('\0')); // no terminating zero anywhere
    EXPECT_TRUE(icmpwire::buildPayload(0).isEmpty());
    EXPECT_TRUE(icmpwire::buildPayload(-5).isEmpty());
}

TEST(IcmpStatusText, CodesTheProgramLooksForOrShows)
{
    EXPECT_EQ(TICMP::describe(0), QStringLiteral("No error"));
    EXPECT_EQ(TICMP::describe(11010), QStringLiteral("Request timed out"));
    // The Ping tab finds this one without regard to case; the capital D is the system's.
    EXPECT_EQ(TICMP::describe(11018), QStringLiteral("Bad Destination"));
    EXPECT_EQ(TICMP::describe(11020), QStringLiteral("Spec MTU change"));
    EXPECT_EQ(TICMP::describe(11050), QStringLiteral("General failure"));
    EXPECT_EQ(TICMP::describe(11255), QStringLiteral("Pending"));
}

TEST(IcmpStatusText, OtherCodesAreNumbered)
{
    EXPECT_EQ(TICMP::describe(1231), QStringLiteral("ICMP error #1231"));
    EXPECT_EQ(TICMP::describe(11022), QStringLiteral("ICMP error #11022"));
    EXPECT_EQ(TICMP::describe(4294967295u), QStringLiteral("ICMP error #4294967295"));
}

TEST(IcmpErrorMapping, OtherErrorsAndNonErrors)
{
    EXPECT_EQ(icmpwire::statusForIcmp(11, 0), 11013u);
    EXPECT_EQ(icmpwire::statusForIcmp(11, 1), 11014u);
    EXPECT_EQ(icmpwire::statusForIcmp(12, 0), 11015u);
    EXPECT_EQ(icmpwire::statusForIcmp(12, 2), 11015u);
    EXPECT_EQ(icmpwire::statusForIcmp(4, 0), 11016u);
    // Redirects, replies and requests are no errors.
    for (uint8_t type : {0, 5, 8, 13, 14})
        EXPECT_EQ(icmpwire::statusForIcmp(type, 0), 0u) << int(type);
    EXPECT_EQ(icmpwire::statusForIcmp(5, 1), 0u);
}

TEST(IcmpErrorMapping, Icmp6ByMeaning)
{
    struct Case
    {
        uint8_t type, code;
        uint32_t status;
    };
    const Case cases[] = {
        {1, 0, 11002},   // no route
        {1, 1, 11004},   // administratively prohibited, as for IPv4
        {1, 2, 11002},   // beyond the scope of the source
        {1, 3, 11003},   // address unreachable
        {1, 4, 11005},   // port unreachable
        {1, 5, 11004},   // source address failed policy
        {1, 6, 11004},   // reject route
        {1, 7, 11012},   // source routing header
        {1, 200, 11003}, // unknown code: the host's
        {2, 0, 11009},   // packet too big
        {3, 0, 11013},   // hop limit in transit
        {3, 1, 11014},   // reassembly
        {4, 0, 11015},
        {4, 1, 11015},
        {4, 2, 11015},
        // No errors: echo request and reply, redirect, neighbour discovery, unknown types.
        {128, 0, 0},
        {129, 0, 0},
        {137, 0, 0},
        {135, 0, 0},
        {136, 0, 0},
        {0, 0, 0},
        {5, 0, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(icmpwire::statusForIcmp6(c.type, c.code), c.status)
            << int(c.type) << "/" << int(c.code);
}

TEST(IcmpErrorMapping, LocalFailuresNeverLookLikeSuccess)
{
    EXPECT_EQ(icmpwire::statusForErrno(ENETUNREACH), 11002u);
    EXPECT_EQ(icmpwire::statusForErrno(EHOSTUNREACH), 11003u);
    EXPECT_EQ(icmpwire::statusForErrno(EMSGSIZE), 11009u);
    EXPECT_EQ(icmpwire::statusForErrno(EACCES), 11018u);
    EXPECT_EQ(icmpwire::statusForErrno(ENOBUFS), 11006u);
    EXPECT_EQ(icmpwire::statusForErrno(EPERM), 11004u);
    EXPECT_EQ(icmpwire::statusForErrno(EIO), 11050u);
    for (int e = 0; e < 140; ++e)
        EXPECT_NE(icmpwire::statusForErrno(e), 0u) << e;
}

uint32_t dotted(const char* text)
{
    return inet_addr(text);
}

TEST(DottedAddress, ClassicFormsParse)
{
    EXPECT_EQ(icmpwire::parseDottedAddress(QStringLiteral("192.168.1.1")), dotted("192.168.1.1"));
    EXPECT_EQ(icmpwire::parseDottedAddress(QStringLiteral("127.0.0.1")), dotted("127.0.0.1"));
    // a.b.c takes the last part as 16 bits, as the classic parser does
    EXPECT_EQ(icmpwire::parseDottedAddress(QStringLiteral("1.2.3")), dotted("1.2.0.3"));
    EXPECT_EQ(icmpwire::parseDottedAddress(QStringLiteral("0x7f.1")), dotted("127.0.0.1"));
    EXPECT_EQ(icmpwire::parseDottedAddress(QStringLiteral("0.0.0.0")), 0u);
}

TEST(DottedAddress, EverythingElseDoesNot)
{
    for (const char* text :
         {"", "255.255.255.255", "999.1.1.1", " 127.0.0.1 ", "127.0.0.1 x", "127.0.0.1\n",
          "1.2.3.4.5", "1..2", "::1", "[::1]", "host.example", "10.0.0.1/24", "-1.0.0.1"})
        EXPECT_EQ(icmpwire::parseDottedAddress(QString::fromLatin1(text)), 0xFFFFFFFFu) << text;
    EXPECT_EQ(icmpwire::parseDottedAddress(QStringLiteral("１.2.3.4")), 0xFFFFFFFFu);
    EXPECT_EQ(icmpwire::parseDottedAddress(QString(300, QLatin1Char('1'))), 0xFFFFFFFFu);
    EXPECT_EQ(
        icmpwire::parseDottedAddress(QStringLiteral("1.2.3.4") + QChar(0) + QStringLiteral("x")),
        0xFFFFFFFFu);
}

TEST(Ipv6Literal, FormsAnOperatorTypes)
{
    const uint32_t lo = if_nametoindex("lo");
    ASSERT_NE(lo, 0u);
    struct Case
    {
        QString text;
        const char* address;
        uint32_t scope;
    };
    const Case cases[] = {
        {QStringLiteral("::1"), "::1", 0},
        {QStringLiteral("[::1]"), "::1", 0},
        {QStringLiteral("2001:DB8::A"), "2001:db8::a", 0},
        {QStringLiteral("2001:db8:0:0:0:0:0:a"), "2001:db8::a", 0},
        {QStringLiteral("::ffff:192.0.2.1"), "::ffff:192.0.2.1", 0},
        {QStringLiteral("fe80::1%lo"), "fe80::1", lo},
        {QStringLiteral("[fe80::1%lo]"), "fe80::1", lo},
        {QStringLiteral("fe80::1%") + QString::number(lo), "fe80::1", lo},
    };
    for (const Case& c : cases) {
        in6_addr parsed{};
        uint32_t scope = 99;
        ASSERT_TRUE(icmpwire::parseIpv6Literal(c.text, parsed, scope)) << qPrintable(c.text);
        in6_addr expected{};
        ASSERT_EQ(inet_pton(AF_INET6, c.address, &expected), 1);
        EXPECT_EQ(std::memcmp(&parsed, &expected, sizeof parsed), 0) << qPrintable(c.text);
        EXPECT_EQ(scope, c.scope) << qPrintable(c.text);
    }
}

TEST(Ipv6Literal, EverythingElseIsNoLiteral)
{
    for (const char* text : {"",
                             "127.0.0.1",
                             "host.example",
                             "[::1",
                             "::1]",
                             "[[::1]]",
                             "[::1]:80",
                             "::1 ",
                             " ::1",
                             ":::",
                             "1::2::3",
                             "fe80::1%",
                             "fe80::1%nosuchif0",
                             "fe80::1%0",
                             "fe80::1%99999999",
                             "fe80::1%lo%lo",
                             "::g",
                             "[]",
                             "::1/128",
                             "1:2:3:4:5:6:7:8:9"}) {
        in6_addr parsed{};
        uint32_t scope = 0;
        EXPECT_FALSE(icmpwire::parseIpv6Literal(QString::fromLatin1(text), parsed, scope)) << text;
    }
    in6_addr parsed{};
    uint32_t scope = 0;
    EXPECT_FALSE(icmpwire::parseIpv6Literal(QStringLiteral("::\u0661"), parsed, scope));
    EXPECT_FALSE(icmpwire::parseIpv6Literal(QString(200, u':'), parsed, scope));
}

TEST(TrimControl, RemovesCodesUpTo32AtBothEndsOnly)
{
    EXPECT_EQ(icmpwire::trimControl(QStringLiteral("\t\x01 host name \r\n")),
              QStringLiteral("host name"));
    EXPECT_EQ(icmpwire::trimControl(QStringLiteral(" 127.0.0.1 ")), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(icmpwire::trimControl(QStringLiteral("   ")), QString());
    EXPECT_EQ(icmpwire::trimControl(QString()), QString());
    // a non-breaking space is above 32 and stays
    EXPECT_EQ(icmpwire::trimControl(QStringLiteral("\u00a0x ")), QStringLiteral("\u00a0x"));
}

TEST(InternetChecksum, KnownVectorsAndSelfCheck)
{
    const uint8_t rfc[] = {0x00, 0x01, 0xf2, 0x03, 0xf4, 0xf5, 0xf6, 0xf7};
    EXPECT_EQ(icmpwire::checksum(rfc, sizeof rfc), 0x220d);
    uint8_t odd[] = {0x08, 0x00, 0x00, 0x00, 0x12, 0x34, 0x00, 0x01, 'E'};
    const uint16_t sum = icmpwire::checksum(odd, sizeof odd);
    odd[2] = uint8_t(sum >> 8);
    odd[3] = uint8_t(sum);
    EXPECT_EQ(icmpwire::checksum(odd, sizeof odd), 0);
}

} // namespace
