// The parts of the echo session that need no socket: payload, status codes and texts,
// address parsing, checksum.

#include "net/Icmp.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <net/if.h>
#include <netinet/icmp6.h>
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

uint32_t statusForIcmp6(uint8_t type, uint8_t code)
{
    switch (type) {
    case ICMP6_DST_UNREACH:
        switch (code) {
        case ICMP6_DST_UNREACH_NOROUTE:
        case ICMP6_DST_UNREACH_BEYONDSCOPE:
            return IpStatus::DestNetUnreachable;
        case ICMP6_DST_UNREACH_ADMIN:
        case 5: // source address failed ingress/egress policy
        case 6: // reject route to destination
            return IpStatus::DestProtUnreachable;
        case ICMP6_DST_UNREACH_NOPORT:
            return IpStatus::DestPortUnreachable;
        case 7: // error in the source routing header
            return IpStatus::BadRoute;
        default: // address unreachable and unknown codes
            return IpStatus::DestHostUnreachable;
        }
    case ICMP6_PACKET_TOO_BIG: // IPv6 routers never fragment: the request was dropped
        return IpStatus::PacketTooBig;
    case ICMP6_TIME_EXCEEDED:
        return code == ICMP6_TIME_EXCEED_REASSEMBLY ? IpStatus::TtlExpiredReassem
                                                    : IpStatus::TtlExpiredTransit;
    case ICMP6_PARAM_PROB:
        return IpStatus::ParamProblem;
    default: // replies, requests, redirects and neighbour discovery are no errors
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

bool parseIpv6Literal(const QString& text, in6_addr& address, uint32_t& scopeId)
{
    QString literal = text;
    if (literal.startsWith(u'[') && literal.endsWith(u']'))
        literal = literal.mid(1, literal.size() - 2);
    if (!literal.contains(u':') || literal.size() > INET6_ADDRSTRLEN + IF_NAMESIZE)
        return false;
    const qsizetype percent = literal.indexOf(u'%');
    const QString zone = percent < 0 ? QString() : literal.mid(percent + 1);
    if (percent >= 0)
        literal.truncate(percent);
    for (const QChar c : literal) {
        const char16_t u = c.unicode();
        const bool ok = (u >= '0' && u <= '9') || (u >= 'a' && u <= 'f') ||
                        (u >= 'A' && u <= 'F') || u == ':' || u == '.';
        if (!ok)
            return false;
    }
    in6_addr parsed{};
    if (inet_pton(AF_INET6, literal.toLatin1().constData(), &parsed) != 1)
        return false;
    uint32_t scope = 0;
    if (percent >= 0) {
        bool numeric = false;
        scope = zone.toUInt(&numeric);
        if (!numeric) {
            const QByteArray name = zone.toLocal8Bit();
            scope = name.isEmpty() || name.contains('\0') ? 0 : if_nametoindex(name.constData());
        }
        char name[IF_NAMESIZE];
        if (scope == 0 || !if_indextoname(scope, name))
            return false;
    }
    address = parsed;
    scopeId = scope;
    return true;
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
