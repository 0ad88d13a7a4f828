// The parts of the echo session that need no socket: payload, status codes and texts,
// address parsing, checksum.

#include "net/Icmp.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <netinet/ip_icmp.h>

#include <algorithm>

namespace {
constexpr char kPayloadText[] = "Echo payload from the network latency monitor";
} // namespace

namespace icmpwire {

QByteArray buildPayload(int size)
{
    if (size <= 0)
        return {};
    QByteArray payload(size, ' ');
    const int text = std::min<int>(size, int(sizeof kPayloadText - 1));
    std::memcpy(payload.data(), kPayloadText, size_t(text));
    return payload;
}

uint32_t statusForIcmp(uint8_t type, uint8_t code)
{
    switch (type) {
    case ICMP_DEST_UNREACH:
        switch (code) {
        case ICMP_NET_UNREACH:
        case ICMP_NET_UNKNOWN:
        case ICMP_NET_UNR_TOS:
            return IpStatus::DestNetUnreachable;
        case ICMP_PROT_UNREACH:
        case ICMP_NET_ANO:  // network administratively prohibited
        case ICMP_HOST_ANO: // host administratively prohibited
        case ICMP_PKT_FILTERED:
            return IpStatus::DestProtUnreachable;
        case ICMP_PORT_UNREACH:
            return IpStatus::DestPortUnreachable;
        case ICMP_FRAG_NEEDED:
            return IpStatus::PacketTooBig;
        case ICMP_SR_FAILED:
            return IpStatus::BadRoute;
        default: // host, host unknown, source isolated, precedence and unknown codes
            return IpStatus::DestHostUnreachable;
        }
    case ICMP_SOURCE_QUENCH:
        return IpStatus::SourceQuench;
    case ICMP_TIME_EXCEEDED:
        return code == ICMP_EXC_FRAGTIME ? IpStatus::TtlExpiredReassem
                                         : IpStatus::TtlExpiredTransit;
    case ICMP_PARAMETERPROB:
        return IpStatus::ParamProblem;
    default: // replies, requests and redirects are no errors
        return 0;
    }
}

uint32_t statusForErrno(int error)
{
    switch (error) {
    case ENETUNREACH: // no route to the network
    case ENETDOWN:
        return IpStatus::DestNetUnreachable;
    case EHOSTUNREACH: // an unreachable route or failed neighbour resolution
    case EHOSTDOWN:
        return IpStatus::DestHostUnreachable;
    case EMSGSIZE: // DF set and the known path MTU is smaller
        return IpStatus::PacketTooBig;
    case EPERM: // a local packet filter refused it
        return IpStatus::DestProtUnreachable;
    case EACCES:        // a broadcast address
    case EADDRNOTAVAIL: // no source address for it
        return IpStatus::BadDestination;
    case ENOBUFS:
    case ENOMEM:
        return IpStatus::NoResources;
    case EINVAL:
        return IpStatus::BadReq;
    default:
        return IpStatus::GeneralFailure;
    }
}

uint32_t parseDottedAddress(const QString& text)
{
    if (text.isEmpty() || text.size() > 64)
        return INADDR_NONE;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        const bool ok = (u >= '0' && u <= '9') || (u >= 'a' && u <= 'f') ||
                        (u >= 'A' && u <= 'F') || u == 'x' || u == 'X' || u == '.';
        if (!ok)
            return INADDR_NONE;
    }
    in_addr a{};
    if (inet_aton(text.toLatin1().constData(), &a) == 0)
        return INADDR_NONE;
    return a.s_addr;
}

QString trimControl(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin).unicode() <= 32)
        ++begin;
    while (end > begin && text.at(end - 1).unicode() <= 32)
        --end;
    return text.mid(begin, end - begin);
}

uint16_t checksum(const uint8_t* data, size_t len)
{
    uint32_t sum = 0;
    for (; len > 1; data += 2, len -= 2)
        sum += uint32_t(data[0] << 8 | data[1]);
    if (len)
        sum += uint32_t(data[0] << 8);
    while (sum >> 16)
        sum = (sum & 0xffff) + (sum >> 16);
    return uint16_t(~sum);
}

} // namespace icmpwire

QString TICMP::describe(uint32_t code)
{
    switch (code) {
    case 0:
        return QStringLiteral("No error");
    case 11001:
        return QStringLiteral("Buffer too small");
    case 11002:
        return QStringLiteral("Destination network unreachable");
    case 11003:
        return QStringLiteral("Destination host unreachable");
    case 11004:
        return QStringLiteral("Destination protocol unreachable");
    case 11005:
        return QStringLiteral("Destination port unreachable");
    case 11006:
        return QStringLiteral("No resources");
    case 11007:
        return QStringLiteral("Bad option");
    case 11008:
        return QStringLiteral("Hardware error");
    case 11009:
        return QStringLiteral("Packet too big");
    case 11010:
        return QStringLiteral("Request timed out");
    case 11011:
        return QStringLiteral("Bad request");
    case 11012:
        return QStringLiteral("Bad route");
    case 11013:
        return QStringLiteral("TTL expired in transit");
    case 11014:
        return QStringLiteral("TTL expired in reassembly");
    case 11015:
        return QStringLiteral("Parameter problem");
    case 11016:
        return QStringLiteral("Source quench");
    case 11017:
        return QStringLiteral("Option too big");
    case 11018:
        return QStringLiteral("Bad Destination");
    case 11019:
        return QStringLiteral("Address deleted");
    case 11020:
        return QStringLiteral("Spec MTU change");
    case 11021:
        return QStringLiteral("MTU change");
    case 11050:
        return QStringLiteral("General failure");
    case 11255:
        return QStringLiteral("Pending");
    default:
        return QStringLiteral("ICMP error #") + QString::number(code);
    }
}
