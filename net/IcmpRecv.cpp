// The echo session's receiving side: which reply or error is the answer to our request. Only
// an exact match counts: identifier, sequence, source and payload of a reply; the quoted
// request of an error.

#include "net/Icmp.h"

#include "net/IcmpInternal.h"
#include "platform/logging.h"
#include "platform/textfile.h"

#include <cerrno>
#include <cstring>
#include <linux/errqueue.h>
#include <netinet/icmp6.h>
#include <netinet/in.h>
#include <netinet/ip_icmp.h>
#include <sys/socket.h>

using icmpimpl::kIcmpHeader;
using icmpimpl::readWord;

namespace {

constexpr size_t kIp6Header = 40;
constexpr uint8_t kFragmentHeader = 44;
constexpr uint8_t kNextIcmp6 = 58;

uint32_t readAddress(const uint8_t* p)
{
    uint32_t a;
    std::memcpy(&a, p, 4);
    return a;
}

struct Received
{
    const timespec* kernelTime = nullptr;
    timespec stamp{};
    int ttl = -1;
    int tos = -1;
};

void parseControl(msghdr& msg, Received& rx)
{
    for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
        if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_TIMESTAMPNS) {
            std::memcpy(&rx.stamp, CMSG_DATA(c), sizeof rx.stamp);
            rx.kernelTime = &rx.stamp;
        } else if (c->cmsg_level == SOL_IP && c->cmsg_type == IP_TTL) {
            std::memcpy(&rx.ttl, CMSG_DATA(c), sizeof rx.ttl);
        } else if (c->cmsg_level == SOL_IP && c->cmsg_type == IP_TOS) {
            rx.tos = *reinterpret_cast<const uint8_t*>(CMSG_DATA(c));
        } else if (c->cmsg_level == SOL_IPV6 && c->cmsg_type == IPV6_HOPLIMIT) {
            std::memcpy(&rx.ttl, CMSG_DATA(c), sizeof rx.ttl);
        } else if (c->cmsg_level == SOL_IPV6 && c->cmsg_type == IPV6_TCLASS) {
            std::memcpy(&rx.tos, CMSG_DATA(c), sizeof rx.tos);
        }
    }
}

msghdr messageFor(iovec& iov, sockaddr_storage& from, char* control, size_t controlSize)
{
    msghdr msg{};
    msg.msg_name = &from;
    msg.msg_namelen = sizeof from;
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = controlSize;
    return msg;
}

sockaddr_storage fromIpv4(uint32_t address)
{
    sockaddr_storage s{};
    auto* a = reinterpret_cast<sockaddr_in*>(&s);
    a->sin_family = AF_INET;
    a->sin_addr.s_addr = address;
    return s;
}

} // namespace

bool TICMP::fromTarget(const sockaddr_storage& from) const
{
    if (AddressFamily == AF_INET6) {
        if (from.ss_family != AF_INET6)
            return false;
        const auto* a = reinterpret_cast<const sockaddr_in6*>(&from);
        return std::memcmp(&a->sin6_addr, &TargetAddress6, sizeof TargetAddress6) == 0 &&
               (TargetScopeId == 0 || a->sin6_scope_id == 0 || a->sin6_scope_id == TargetScopeId);
    }
    return from.ss_family == AF_INET &&
           reinterpret_cast<const sockaddr_in*>(&from)->sin_addr.s_addr == TargetAddress;
}

void TICMP::storeSource(const sockaddr_storage& from)
{
    if (from.ss_family == AF_INET6) {
        const auto* a = reinterpret_cast<const sockaddr_in6*>(&from);
        LastReplyAddress6 = a->sin6_addr;
        LastReplyScopeId = a->sin6_scope_id;
    } else if (from.ss_family == AF_INET) {
        LastReply.Address = reinterpret_cast<const sockaddr_in*>(&from)->sin_addr.s_addr;
    }
}

void TICMP::storeError(uint32_t status, const sockaddr_storage& from, int64_t roundTripNs)
{
    LastError = status;
    LastReply.Status = status;
    storeSource(from);
    LastReply.RoundTripTime = uint32_t(roundTripNs / 1000000);
}

void TICMP::drainQueues(const Channel& ch)
{
    uint8_t scrap[256];
    for (int i = 0; i < 4096; ++i) {
        const ssize_t n = ::recv(ch.fd, scrap, sizeof scrap, MSG_DONTWAIT | MSG_TRUNC);
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
    }
    if (ch.kind != SocketKind::Datagram)
        return;
    for (int i = 0; i < 4096; ++i) {
        char control[512];
        iovec iov{scrap, sizeof scrap};
        msghdr msg{};
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        msg.msg_control = control;
        msg.msg_controllen = sizeof control;
        if (::recvmsg(ch.fd, &msg, MSG_ERRQUEUE | MSG_DONTWAIT) < 0 && errno != EINTR)
            break;
    }
}

bool TICMP::matchReply(const Channel& ch, const uint8_t* data, size_t len,
                       const sockaddr_storage& from, const Sent& sent) const
{
    const QByteArray& payload = *sent.payload;
    const bool six = ch.family == AF_INET6;
    if (len != kIcmpHeader + size_t(payload.size()))
        return false;
    if (data[0] != (six ? ICMP6_ECHO_REPLY : ICMP_ECHOREPLY) || data[1] != 0)
        return false;
    if (readWord(data + 4) != ch.ident || readWord(data + 6) != sent.sequence)
        return false;
    if (!fromTarget(from))
        return false;
    // The kernel checks ICMPv6 sums, and ICMP sums before a datagram socket sees the packet;
    // raw IPv4 sockets get whatever came.
    if (ch.kind == SocketKind::Raw && !six && icmpwire::checksum(data, len) != 0)
        return false;
    return std::memcmp(data + kIcmpHeader, payload.constData(), size_t(payload.size())) == 0;
}

uint32_t TICMP::matchRawError(const uint8_t* icmpData, size_t len, const Sent& sent) const
{
    if (len < kIcmpHeader + 20 + kIcmpHeader)
        return 0;
    const uint8_t type = icmpData[0];
    const uint8_t code = icmpData[1];
    const uint32_t status = icmpwire::statusForIcmp(type, code);
    if (status == 0)
        return 0;
    // Without DF the request could be fragmented, so such a message is bogus.
    if (type == ICMP_DEST_UNREACH && code == ICMP_FRAG_NEEDED && !sent.dontFragment)
        return 0;
    if (icmpwire::checksum(icmpData, len) != 0)
        return 0;
    const uint8_t* quoted = icmpData + kIcmpHeader;
    const size_t ihl = size_t(quoted[0] & 0x0f) * 4;
    if ((quoted[0] >> 4) != 4 || ihl < 20 || len < kIcmpHeader + ihl + kIcmpHeader)
        return 0;
    if (quoted[9] != IPPROTO_ICMP || readAddress(quoted + 16) != TargetAddress)
        return 0;
    const uint8_t* echo = quoted + ihl;
    if (echo[0] != ICMP_ECHO || readWord(echo + 4) != m_v4.ident ||
        readWord(echo + 6) != sent.sequence)
        return 0;
    return status;
}

// The quoted request follows the IPv6 header, or the fragment header of a first fragment.
uint32_t TICMP::matchRawError6(const uint8_t* icmpData, size_t len, const Channel& ch,
                               const Sent& sent) const
{
    if (len < kIcmpHeader + kIp6Header + kIcmpHeader)
        return 0;
    const uint32_t status = icmpwire::statusForIcmp6(icmpData[0], icmpData[1]);
    if (status == 0)
        return 0;
    const uint8_t* quoted = icmpData + kIcmpHeader;
    if ((quoted[0] >> 4) != 6 || std::memcmp(quoted + 24, &TargetAddress6, 16) != 0)
        return 0;
    uint8_t next = quoted[6];
    size_t offset = kIp6Header;
    if (next == kFragmentHeader) {
        if (len < kIcmpHeader + kIp6Header + 8 + kIcmpHeader ||
            (readWord(quoted + kIp6Header + 2) & 0xfff8) != 0)
            return 0;
        next = quoted[kIp6Header];
        offset += 8;
    }
    const uint8_t* echo = quoted + offset;
    if (next != kNextIcmp6 || echo[0] != ICMP6_ECHO_REQUEST || readWord(echo + 4) != ch.ident ||
        readWord(echo + 6) != sent.sequence)
        return 0;
    return status;
}

bool TICMP::readErrorQueue(const Channel& ch, const Sent& sent)
{
    const bool six = ch.family == AF_INET6;
    for (int i = 0; i < 256; ++i) {
        uint8_t data[576];
        char control[512];
        sockaddr_storage dest{};
        iovec iov{data, sizeof data};
        msghdr msg = messageFor(iov, dest, control, sizeof control);
        const ssize_t n = ::recvmsg(ch.fd, &msg, MSG_ERRQUEUE | MSG_DONTWAIT);
        if (n < 0) {
            const int error = errno;
            if (error == EINTR)
                continue;
            if (error != EAGAIN && error != EWOULDBLOCK)
                qCWarning(lcNet).noquote()
                    << "cannot read the ICMP error queue:" << textfile::osReason(error);
            return false;
        }
        Received rx;
        const sock_extended_err* ee = nullptr;
        for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
            if ((c->cmsg_level == SOL_IP && c->cmsg_type == IP_RECVERR) ||
                (c->cmsg_level == SOL_IPV6 && c->cmsg_type == IPV6_RECVERR))
                ee = reinterpret_cast<const sock_extended_err*>(CMSG_DATA(c));
        }
        parseControl(msg, rx);
        // Local errors were returned by sendto already.
        if (!ee || ee->ee_origin != (six ? SO_EE_ORIGIN_ICMP6 : SO_EE_ORIGIN_ICMP))
            continue;
        const uint32_t status = six ? icmpwire::statusForIcmp6(ee->ee_type, ee->ee_code)
                                    : icmpwire::statusForIcmp(ee->ee_type, ee->ee_code);
        if (status == 0)
            continue;
        if (!six && ee->ee_type == ICMP_DEST_UNREACH && ee->ee_code == ICMP_FRAG_NEEDED &&
            !sent.dontFragment)
            continue;
        // The data is the quoted echo header; the kernel matched the identifier already.
        if (n < ssize_t(kIcmpHeader) || data[0] != (six ? ICMP6_ECHO_REQUEST : ICMP_ECHO) ||
            readWord(data + 6) != sent.sequence || readWord(data + 4) != ch.ident ||
            !fromTarget(dest))
            continue;
        sockaddr_storage offender{};
        const sockaddr* o = SO_EE_OFFENDER(ee);
        if (o->sa_family == AF_INET6)
            std::memcpy(&offender, o, sizeof(sockaddr_in6));
        else if (o->sa_family == AF_INET)
            std::memcpy(&offender, o, sizeof(sockaddr_in));
        storeError(status, offender, sent.roundTripNs(rx.kernelTime));
        return true;
    }
    return false;
}

bool TICMP::readNormalQueue(const Channel& ch, const Sent& sent, uint8_t* buffer, size_t size)
{
    const bool six = ch.family == AF_INET6;
    for (int i = 0; i < 4096; ++i) {
        char control[512];
        sockaddr_storage from{};
        iovec iov{buffer, size};
        msghdr msg = messageFor(iov, from, control, sizeof control);
        const ssize_t n = ::recvmsg(ch.fd, &msg, MSG_DONTWAIT | MSG_TRUNC);
        if (n < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                return false;
            // EINTR, or a pending socket error whose details wait in the error queue.
            continue;
        }
        if (size_t(n) > size)
            continue; // longer than any reply to our request
        Received rx;
        parseControl(msg, rx);
        const uint8_t* icmpData = buffer;
        size_t len = size_t(n);
        if (ch.kind == SocketKind::Raw && !six) {
            // Raw IPv4 sockets pass the IP header on.
            const size_t ihl = size_t(buffer[0] & 0x0f) * 4;
            if (len < 20 || ihl < 20 || len < ihl + kIcmpHeader || buffer[9] != IPPROTO_ICMP)
                continue;
            rx.ttl = buffer[8];
            rx.tos = buffer[1];
            from = fromIpv4(readAddress(buffer + 12));
            icmpData = buffer + ihl;
            len -= ihl;
        }
        if (len < kIcmpHeader)
            continue;
        if (ch.kind == SocketKind::Raw &&
            icmpData[0] != (six ? ICMP6_ECHO_REPLY : ICMP_ECHOREPLY)) {
            const uint32_t status =
                six ? matchRawError6(icmpData, len, ch, sent) : matchRawError(icmpData, len, sent);
            if (status != 0) {
                storeError(status, from, sent.roundTripNs(rx.kernelTime));
                return true;
            }
            continue;
        }
        if (!matchReply(ch, icmpData, len, from, sent))
            continue;
        const int64_t rtt = sent.roundTripNs(rx.kernelTime);
        LastRoundTripUs = rtt / 1000;
        storeSource(from);
        LastReply.Status = IpStatus::Success;
        LastReply.RoundTripTime = uint32_t(rtt / 1000000);
        LastReply.DataSize = uint16_t(len - kIcmpHeader);
        LastReply.Options.Ttl = rx.ttl >= 0 ? uint8_t(rx.ttl) : 0;
        LastReply.Options.Tos = rx.tos >= 0 ? uint8_t(rx.tos) : 0;
        LastError = 0;
        return true;
    }
    return false;
}
