// The parts of the echo session that need no network: payload, status texts, the mapping of
// ICMP errors and local failures, dotted-address parsing, trimming.

#include "net/Icmp.h"

#include <arpa/inet.h>
#include <cerrno>
#include <gtest/gtest.h>

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

TEST(IcmpStatusText, ListedCodesHaveTheirTexts)
{
    const std::pair<uint32_t, const char*> table[] = {
        {0, "No error"},
        {11001, "Buffer too small"},
        {11002, "Destination network unreachable"},
        {11003, "Destination host unreachable"},
        {11004, "Destination protocol unreachable"},
        {11005, "Destination port unreachable"},
        {11006, "No resources"},
        {11007, "Bad option"},
        {11008, "Hardware error"},
        {11009, "Packet too big"},
        {11010, "Request timed out"},
        {11011, "Bad request"},
        {11012, "Bad route"},
        {11013, "TTL expired in transit"},
        {11014, "TTL expired in reassembly"},
        {11015, "Parameter problem"},
        {11016, "Source quench"},
        {11017, "Option too big"},
        {11018, "Bad Destination"},
        {11019, "Address deleted"},
        {11020, "Spec MTU change"},
        {11021, "MTU change"},
        {11050, "General failure"},
        {11255, "Pending"},
    };
    for (const auto& [code, text] : table)
        EXPECT_EQ(TICMP::describe(code), QString::fromLatin1(text)) << code;
}

TEST(IcmpStatusText, OtherCodesAreNumbered)
{
    EXPECT_EQ(TICMP::describe(1231), QStringLiteral("ICMP error #1231"));
    EXPECT_EQ(TICMP::describe(11022), QStringLiteral("ICMP error #11022"));
    EXPECT_EQ(TICMP::describe(4294967295u), QStringLiteral("ICMP error #4294967295"));
}

TEST(IcmpErrorMapping, DestinationUnreachableCodes)
{
    const uint32_t expected[16] = {
        11002, // 0 net
        11003, // 1 host
        11004, // 2 protocol
        11005, // 3 port
        11009, // 4 fragmentation needed
        11012, // 5 source route failed
        11002, // 6 net unknown
        11003, // 7 host unknown
        11003, // 8 source host isolated
        11004, // 9 net prohibited
        11004, // 10 host prohibited
        11002, // 11 net for type of service
        11003, // 12 host for type of service
        11004, // 13 communication prohibited
        11003, // 14 host precedence violation
        11003, // 15 precedence cut-off
    };
    for (uint8_t code = 0; code < 16; ++code)
        EXPECT_EQ(icmpwire::statusForIcmp(3, code), expected[code]) << int(code);
    EXPECT_EQ(icmpwire::statusForIcmp(3, 200), 11003u);
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

TEST(EchoReplyRecord, FieldsSitAtTheirOffsetsLittleEndian)
{
    TEchoReply r;
    r.Address = 0x04030201;
    r.Status = 11010;
    r.RoundTripTime = 0x0a0b0c0d;
    r.DataSize = 0x1122;
    r.Options.Ttl = 63;
    r.Options.Tos = 0x10;
    uint8_t bytes[28];
    std::memcpy(bytes, &r, sizeof bytes);
    EXPECT_EQ(bytes[0], 0x01);
    EXPECT_EQ(bytes[3], 0x04);
    EXPECT_EQ(bytes[4] | bytes[5] << 8, 11010);
    EXPECT_EQ(bytes[8], 0x0d);
    EXPECT_EQ(bytes[12], 0x22);
    EXPECT_EQ(bytes[13], 0x11);
    EXPECT_EQ(bytes[20], 63);
    EXPECT_EQ(bytes[21], 0x10);
}

} // namespace
