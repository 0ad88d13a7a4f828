// The test bed's own echo responder. It runs in tmn-rsp, where the kernel does not answer
// echoes, reads every echo request to 10.201.20.0/24 and fd10:201:20::/64 from raw sockets and
// answers it as the table in netbed.h says for the destination address: exact delays, drops,
// duplicates, forgeries and ICMP or ICMPv6 errors. netem does not exist in this kernel, so
// delays are made here.
//
//   responder --ready FILE   writes its PID to FILE once it listens

#include "net/Icmp.h"
#include "net/netbed.h"

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <netinet/icmp6.h>
#include <netinet/in.h>
#include <netinet/ip_icmp.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <queue>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;
using netbed::Behaviour;

constexpr size_t kIp6Header = 40;
// An ICMPv6 error quotes as much of the request as fits into IPv6's minimum MTU.
constexpr size_t kIcmp6ErrorMax = 1280 - kIp6Header;

int64_t nowNs(clockid_t clock)
{
    timespec ts{};
    clock_gettime(clock, &ts);
    return int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

struct Address
{
    int family = AF_INET;
    uint8_t bytes[16] = {};

    static Address v4(uint32_t a)
    {
        Address r;
        std::memcpy(r.bytes, &a, 4);
        return r;
    }
    static Address v6(const in6_addr& a)
    {
        Address r;
        r.family = AF_INET6;
        std::memcpy(r.bytes, &a, 16);
        return r;
    }
    static Address parse(int family, const std::string& text)
    {
        Address r;
        r.family = family;
        inet_pton(family, text.c_str(), r.bytes);
        return r;
    }
    uint32_t v4() const
    {
        uint32_t a;
        std::memcpy(&a, bytes, 4);
        return a;
    }
    bool operator==(const Address& o) const
    {
        return family == o.family && std::memcmp(bytes, o.bytes, 16) == 0;
    }
};

bool isV6(const Address& a)
{
    return a.family == AF_INET6;
}

uint8_t echoReplyType(const Address& a)
{
    return isV6(a) ? ICMP6_ECHO_REPLY : ICMP_ECHOREPLY;
}

// The IPv4 sum; ICMPv6 sums are left to the kernel (it always fills them for raw sockets).
void setChecksum(Bytes& icmp)
{
    icmp[2] = icmp[3] = 0;
    const uint16_t sum = icmpwire::checksum(icmp.data(), icmp.size());
    icmp[2] = uint8_t(sum >> 8);
    icmp[3] = uint8_t(sum);
}

void addToWord(Bytes& data, size_t at, int delta)
{
    const uint16_t v = uint16_t((data[at] << 8 | data[at + 1]) + delta);
    data[at] = uint8_t(v >> 8);
    data[at + 1] = uint8_t(v);
}

void putWord32(Bytes& data, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        data[at + size_t(i)] = uint8_t(v >> (24 - 8 * i));
}

msghdr message(void* name, socklen_t nameLength, iovec& iov, char* control, size_t controlSize)
{
    msghdr msg{};
    msg.msg_name = name;
    msg.msg_namelen = nameLength;
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = controlSize;
    return msg;
}

// The IPv6 header a request came with, rebuilt (raw ICMPv6 sockets do not pass it on).
Bytes ip6Header(const Address& from, const Address& to, size_t payload, int hopLimit,
                uint8_t next = IPPROTO_ICMPV6)
{
    Bytes h(kIp6Header, 0);
    h[0] = 0x60;
    h[4] = uint8_t(payload >> 8);
    h[5] = uint8_t(payload);
    h[6] = next;
    h[7] = uint8_t(hopLimit);
    std::memcpy(h.data() + 8, from.bytes, 16);
    std::memcpy(h.data() + 24, to.bytes, 16);
    return h;
}

// A request too big for one packet on the client's link came in fragments; an error about it
// quotes the first one, fragment header and all, as a router would.
Bytes quotedIp6Header(const Address& from, const Address& to, size_t payload, int hopLimit)
{
    constexpr size_t kFirstFragment = 1448; // a multiple of 8 that fits 1500 with both headers
    if (kIp6Header + payload <= 1500)
        return ip6Header(from, to, payload, hopLimit);
    Bytes h = ip6Header(from, to, 8 + kFirstFragment, hopLimit, IPPROTO_FRAGMENT);
    const Bytes fragment{IPPROTO_ICMPV6, 0, 0, 1, 0x12, 0x34, 0x56, 0x78}; // offset 0, more
    h.insert(h.end(), fragment.begin(), fragment.end());
    return h;
}

// An echo request as read: the ICMP message, and the network header that an error quotes.
struct Request
{
    Address from;
    Address to;
    Bytes header;
    Bytes icmp;
    int hopLimit = 64;
    int64_t arrival = 0;

    Bytes quoted() const
    {
        Bytes q = header;
        q.insert(q.end(), icmp.begin(), icmp.end());
        return q;
    }
};

struct Pending
{
    int64_t due; // CLOCK_MONOTONIC
    Address from;
    Address to;
    Bytes icmp;
    int ttl;          // -1: the system default
    bool badChecksum; // IPv6: sent with its own header, a wrong sum in it
    bool operator>(const Pending& other) const { return due > other.due; }
};

struct Sockets
{
    int v4 = -1;
    int v6 = -1;
    int v6Header = -1; // IPv6 with the header written here, for sums the kernel must not fix
};

class Responder
{
public:
    explicit Responder(Sockets s) : m_s(s) {}

    void handle(const Request& r)
    {
        const netbed::ResponderHost host = lookup(r.to);
        Bytes reply = r.icmp;
        reply[0] = echoReplyType(r.to);
        if (!isV6(r.to))
            setChecksum(reply);
        const int64_t later = r.arrival + int64_t(host.delayMs) * 1000000;

        switch (host.behaviour) {
        case Behaviour::Echo:
            queue(r.arrival, r.to, r.from, reply);
            break;
        case Behaviour::MirrorTtl:
            queue(r.arrival, r.to, r.from, reply, r.hopLimit);
            break;
        case Behaviour::Delay:
            queue(later, r.to, r.from, reply);
            break;
        case Behaviour::Drop:
            break;
        case Behaviour::Duplicate:
            queue(r.arrival, r.to, r.from, reply);
            queue(later, r.to, r.from, reply);
            break;
        case Behaviour::ForgedThenGenuine:
            for (Behaviour forgery :
                 {Behaviour::WrongIdent, Behaviour::WrongSequence, Behaviour::WrongPayload,
                  Behaviour::ShortPayload, Behaviour::WrongSource, Behaviour::BadChecksum})
                forge(forgery, r.arrival, r.to, r.from, reply);
            queue(later, r.to, r.from, reply);
            break;
        case Behaviour::IcmpError:
            queue(r.arrival, r.to, r.from, error(host.type, host.code, r.to, r.quoted()));
            break;
        case Behaviour::RedirectThenGenuine:
            queue(r.arrival, r.to, r.from, redirect(r));
            queue(later, r.to, r.from, reply);
            break;
        case Behaviour::ForgedErrorThenGenuine:
            forgedErrors(r);
            queue(later, r.to, r.from, reply);
            break;
        default:
            forge(host.behaviour, r.arrival, r.to, r.from, reply);
            break;
        }
    }

    int64_t nextDue() const { return m_pending.empty() ? -1 : m_pending.top().due; }

    void sendDue(int64_t now)
    {
        while (!m_pending.empty() && m_pending.top().due <= now) {
            send(m_pending.top());
            m_pending.pop();
        }
    }

private:
    static netbed::ResponderHost lookup(const Address& to)
    {
        if (isV6(to))
            return lookup6(to);
        const uint32_t dst = to.v4();
        const uint8_t octet = uint8_t(ntohl(dst) & 0xff);
        if (octet >= netbed::UnreachableBase && octet <= netbed::UnreachableBase + 15)
            return {"", Behaviour::IcmpError, 0, ICMP_DEST_UNREACH,
                    uint8_t(octet - netbed::UnreachableBase)};
        for (const netbed::ResponderHost& h : netbed::Behaviours) {
            if (inet_addr(h.address) == dst)
                return h;
        }
        return netbed::ResponderEcho;
    }

    // fd10:201:20::N is the twin of 10.201.20.N, N written in decimal digits.
    static netbed::ResponderHost lookup6(const Address& to)
    {
        const Address prefix = Address::parse(AF_INET6, "fd10:201:20::");
        if (std::memcmp(to.bytes, prefix.bytes, 14) != 0)
            return netbed::ResponderEcho;
        char digits[8];
        std::snprintf(digits, sizeof digits, "%x", unsigned(to.bytes[14] << 8 | to.bytes[15]));
        const std::string twin = "10.201.20." + std::string(digits);
        const int octet = std::atoi(digits);
        if (octet >= netbed::Unreachable6Base && octet <= netbed::Unreachable6Base + 7)
            return {"", Behaviour::IcmpError, 0, ICMP6_DST_UNREACH,
                    uint8_t(octet - netbed::Unreachable6Base)};
        for (const netbed::ResponderHost& h : netbed::Icmp6Errors) {
            if (twin == h.address)
                return h;
        }
        for (const netbed::ResponderHost& h : netbed::Behaviours) {
            if (twin == h.address)
                return h.behaviour == Behaviour::IcmpError ? netbed::ResponderEcho : h;
        }
        return netbed::ResponderEcho;
    }

    void forge(Behaviour kind, int64_t when, Address from, const Address& to, Bytes reply)
    {
        switch (kind) {
        case Behaviour::WrongIdent:
            addToWord(reply, 4, 1);
            break;
        case Behaviour::WrongSequence:
            addToWord(reply, 6, 1);
            break;
        case Behaviour::WrongPayload:
            if (reply.size() > 8)
                reply[reply.size() / 2 + 4] ^= 0x01;
            else
                reply.push_back('E');
            break;
        case Behaviour::ShortPayload:
            if (reply.size() > 8)
                reply.pop_back();
            else
                reply.push_back(' ');
            break;
        case Behaviour::WrongSource:
            from = isV6(from) ? Address::parse(AF_INET6, netbed::v6(netbed::ResponderEcho.address))
                              : Address::v4(inet_addr(netbed::ResponderEcho.address));
            break;
        case Behaviour::BadChecksum:
            if (isV6(from)) {
                m_pending.push(Pending{when, from, to, std::move(reply), -1, true});
                return;
            }
            addToWord(reply, 2, 1);
            queue(when, from, to, reply);
            return;
        default:
            return;
        }
        if (!isV6(from))
            setChecksum(reply);
        queue(when, from, to, reply);
    }

    // An ICMP or ICMPv6 error quoting the request (IPv4: its header and 8 bytes after it).
    static Bytes error(uint8_t type, uint8_t code, const Address& about, const Bytes& quoted)
    {
        Bytes msg(8, 0);
        msg[0] = type;
        msg[1] = code;
        if (isV6(about)) {
            if (type == ICMP6_PACKET_TOO_BIG)
                putWord32(msg, 4, netbed::PacketTooBig6Mtu);
            else if (type == ICMP6_PARAM_PROB)
                putWord32(msg, 4, 6); // points at the next-header field
            msg.insert(msg.end(), quoted.begin(),
                       quoted.begin() + long(std::min(quoted.size(), kIcmp6ErrorMax - 8)));
            return msg;
        }
        if (type == ICMP_DEST_UNREACH && code == ICMP_FRAG_NEEDED) {
            msg[6] = uint8_t(netbed::FragNeededMtu >> 8);
            msg[7] = uint8_t(netbed::FragNeededMtu);
        } else if (type == ICMP_PARAMETERPROB) {
            msg[4] = 1; // points at the type-of-service byte
        }
        const size_t ihl = size_t(quoted[0] & 0x0f) * 4;
        msg.insert(msg.end(), quoted.begin(), quoted.begin() + long(ihl + 8));
        setChecksum(msg);
        return msg;
    }

    static Bytes redirect(const Request& r)
    {
        const Bytes quoted = r.quoted();
        if (!isV6(r.to)) {
            Bytes msg = error(ICMP_REDIRECT, ICMP_REDIR_HOST, r.to, quoted);
            const uint32_t gateway = inet_addr(netbed::ResponderEcho.address);
            std::memcpy(msg.data() + 4, &gateway, 4);
            setChecksum(msg);
            return msg;
        }
        // Target, destination, then the redirected-header option with the request.
        Bytes msg(8, 0);
        msg[0] = ND_REDIRECT;
        const Address gateway = Address::parse(AF_INET6, netbed::v6(netbed::ResponderEcho.address));
        msg.insert(msg.end(), gateway.bytes, gateway.bytes + 16);
        msg.insert(msg.end(), r.to.bytes, r.to.bytes + 16);
        const size_t body = std::min(quoted.size(), size_t(1000)) / 8 * 8;
        Bytes option(8, 0);
        option[0] = ND_OPT_REDIRECTED_HEADER;
        option[1] = uint8_t(1 + body / 8);
        msg.insert(msg.end(), option.begin(), option.end());
        msg.insert(msg.end(), quoted.begin(), quoted.begin() + long(body));
        return msg;
    }

    // "Host unreachable" quoting another sequence, identifier and destination.
    void forgedErrors(const Request& r)
    {
        const bool six = isV6(r.to);
        const size_t ihl = six ? r.header.size() : size_t(r.header[0] & 0x0f) * 4;
        const size_t lastDestByte = six ? 39 : 19;
        for (int variant = 0; variant < 3; ++variant) {
            Bytes quoted = r.quoted();
            if (variant == 0)
                addToWord(quoted, ihl + 6, 1);
            else if (variant == 1)
                addToWord(quoted, ihl + 4, 1);
            else
                quoted[lastDestByte] ^= 0x01;
            queue(r.arrival, r.to, r.from,
                  six ? error(ICMP6_DST_UNREACH, ICMP6_DST_UNREACH_ADDR, r.to, quoted)
                      : error(ICMP_DEST_UNREACH, ICMP_HOST_UNREACH, r.to, quoted));
        }
    }

    void queue(int64_t due, const Address& from, const Address& to, Bytes icmp, int ttl = -1)
    {
        m_pending.push(Pending{due, from, to, std::move(icmp), ttl, false});
    }

    void send(const Pending& p)
    {
        if (p.badChecksum)
            sendWithHeader(p);
        else if (isV6(p.to))
            send6(p);
        else
            send4(p);
    }

    // Sent from the address that was asked (every 10.201.20.x is local here): IP_PKTINFO
    // picks the source while the kernel still fragments large replies.
    void send4(const Pending& p)
    {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_addr.s_addr = p.to.v4();
        char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
        iovec iov{const_cast<uint8_t*>(p.icmp.data()), p.icmp.size()};
        msghdr msg = message(&to, sizeof to, iov, control, sizeof control);
        cmsghdr* c = CMSG_FIRSTHDR(&msg);
        c->cmsg_level = SOL_IP;
        c->cmsg_type = IP_PKTINFO;
        c->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
        in_pktinfo info{};
        info.ipi_spec_dst.s_addr = p.from.v4();
        std::memcpy(CMSG_DATA(c), &info, sizeof info);
        if (setsockopt(m_s.v4, SOL_IP, IP_TTL, &p.ttl, sizeof p.ttl) != 0)
            std::fprintf(stderr, "responder: IP_TTL %d: %s\n", p.ttl, std::strerror(errno));
        if (sendmsg(m_s.v4, &msg, 0) < 0)
            std::fprintf(stderr, "responder: sendmsg: %s\n", std::strerror(errno));
    }

    // The same for IPv6 (the whole prefix is local through a local route; the socket may use
    // any of it as its source).
    void send6(const Pending& p)
    {
        sockaddr_in6 to{};
        to.sin6_family = AF_INET6;
        std::memcpy(&to.sin6_addr, p.to.bytes, 16);
        char control[CMSG_SPACE(sizeof(in6_pktinfo)) + CMSG_SPACE(sizeof(int))] = {};
        iovec iov{const_cast<uint8_t*>(p.icmp.data()), p.icmp.size()};
        msghdr msg = message(&to, sizeof to, iov, control, sizeof control);
        cmsghdr* c = CMSG_FIRSTHDR(&msg);
        c->cmsg_level = SOL_IPV6;
        c->cmsg_type = IPV6_PKTINFO;
        c->cmsg_len = CMSG_LEN(sizeof(in6_pktinfo));
        in6_pktinfo info{};
        std::memcpy(&info.ipi6_addr, p.from.bytes, 16);
        std::memcpy(CMSG_DATA(c), &info, sizeof info);
        if (p.ttl >= 0) {
            c = CMSG_NXTHDR(&msg, c);
            c->cmsg_level = SOL_IPV6;
            c->cmsg_type = IPV6_HOPLIMIT;
            c->cmsg_len = CMSG_LEN(sizeof(int));
            std::memcpy(CMSG_DATA(c), &p.ttl, sizeof p.ttl);
        } else {
            msg.msg_controllen = CMSG_SPACE(sizeof(in6_pktinfo));
        }
        if (sendmsg(m_s.v6, &msg, 0) < 0)
            std::fprintf(stderr, "responder: sendmsg (IPv6): %s\n", std::strerror(errno));
    }

    // An ICMPv6 message with a sum that is off by one, behind a header written here.
    void sendWithHeader(const Pending& p)
    {
        Bytes icmp = p.icmp;
        icmp[2] = icmp[3] = 0;
        Bytes pseudo(p.from.bytes, p.from.bytes + 16);
        pseudo.insert(pseudo.end(), p.to.bytes, p.to.bytes + 16);
        const Bytes length{
            0, 0, uint8_t(icmp.size() >> 8), uint8_t(icmp.size()), 0, 0, 0, IPPROTO_ICMPV6};
        pseudo.insert(pseudo.end(), length.begin(), length.end());
        pseudo.insert(pseudo.end(), icmp.begin(), icmp.end());
        addToWord(icmp, 2, icmpwire::checksum(pseudo.data(), pseudo.size()) + 1);
        Bytes packet = ip6Header(p.from, p.to, icmp.size(), 64);
        packet.insert(packet.end(), icmp.begin(), icmp.end());
        sockaddr_in6 to{};
        to.sin6_family = AF_INET6;
        std::memcpy(&to.sin6_addr, p.to.bytes, 16);
        if (sendto(m_s.v6Header, packet.data(), packet.size(), 0, reinterpret_cast<sockaddr*>(&to),
                   sizeof to) < 0)
            std::fprintf(stderr, "responder: sendto (IPv6 header): %s\n", std::strerror(errno));
    }

    Sockets m_s;
    std::priority_queue<Pending, std::vector<Pending>, std::greater<>> m_pending;
};

volatile sig_atomic_t g_stop = 0;

void onSignal(int)
{
    g_stop = 1;
}

// Delays count from the moment the kernel received the request. The kernel's time is
// CLOCK_REALTIME: its age is read before the monotonic clock, so that a hold-up between the two
// readings makes a delay longer, never shorter than asked.
int64_t arrivalTime(msghdr& msg)
{
    const int64_t real = nowNs(CLOCK_REALTIME);
    const int64_t mono = nowNs(CLOCK_MONOTONIC);
    for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
        if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_TIMESTAMPNS) {
            timespec ts;
            std::memcpy(&ts, CMSG_DATA(c), sizeof ts);
            const int64_t age = real - (int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec);
            if (age >= 0 && age < 1000000000)
                return mono - age;
        }
    }
    return mono;
}

// IPv4 raw sockets pass the IP header on.
bool read4(int fd, Bytes& buffer, Request& r)
{
    char control[256];
    iovec iov{buffer.data(), buffer.size()};
    msghdr msg = message(nullptr, 0, iov, control, sizeof control);
    const ssize_t n = recvmsg(fd, &msg, MSG_DONTWAIT);
    if (n < 0)
        return false;
    r = Request{};
    r.arrival = arrivalTime(msg);
    const uint8_t* packet = buffer.data();
    const size_t ihl = size_t(packet[0] & 0x0f) * 4;
    if (n < 20 || size_t(n) < ihl + 8 || packet[9] != IPPROTO_ICMP || packet[ihl] != ICMP_ECHO)
        return true; // read, nothing to answer
    uint32_t src, dst;
    std::memcpy(&src, packet + 12, 4);
    std::memcpy(&dst, packet + 16, 4);
    r.from = Address::v4(src);
    r.to = Address::v4(dst);
    r.hopLimit = packet[8];
    r.header.assign(packet, packet + ihl);
    r.icmp.assign(packet + ihl, packet + n);
    return true;
}

// IPv6 raw sockets do not: addresses and hop limit come as control messages.
bool read6(int fd, Bytes& buffer, Request& r)
{
    char control[512];
    sockaddr_in6 from{};
    iovec iov{buffer.data(), buffer.size()};
    msghdr msg = message(&from, sizeof from, iov, control, sizeof control);
    const ssize_t n = recvmsg(fd, &msg, MSG_DONTWAIT);
    if (n < 0)
        return false;
    r = Request{};
    r.arrival = arrivalTime(msg);
    bool haveDestination = false;
    for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
        if (c->cmsg_level == SOL_IPV6 && c->cmsg_type == IPV6_PKTINFO) {
            in6_pktinfo info;
            std::memcpy(&info, CMSG_DATA(c), sizeof info);
            r.to = Address::v6(info.ipi6_addr);
            haveDestination = true;
        } else if (c->cmsg_level == SOL_IPV6 && c->cmsg_type == IPV6_HOPLIMIT) {
            std::memcpy(&r.hopLimit, CMSG_DATA(c), sizeof r.hopLimit);
        }
    }
    if (n < 8 || buffer[0] != ICMP6_ECHO_REQUEST || !haveDestination)
        return true;
    r.from = Address::v6(from.sin6_addr);
    r.icmp.assign(buffer.begin(), buffer.begin() + n);
    r.header = quotedIp6Header(r.from, r.to, r.icmp.size(), r.hopLimit);
    return true;
}

int openSockets(Sockets& s)
{
    s.v4 = socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
    s.v6 = socket(AF_INET6, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMPV6);
    s.v6Header = socket(AF_INET6, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_RAW);
    if (s.v4 < 0 || s.v6 < 0 || s.v6Header < 0) {
        std::fprintf(stderr, "responder: raw socket: %s\n", std::strerror(errno));
        return 1;
    }
    const int on = 1;
    const int buffer = 8 << 20;
    for (int fd : {s.v4, s.v6}) {
        setsockopt(fd, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);
        setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &buffer, sizeof buffer);
        setsockopt(fd, SOL_SOCKET, SO_SNDBUFFORCE, &buffer, sizeof buffer);
    }
    icmp6_filter filter;
    ICMP6_FILTER_SETBLOCKALL(&filter);
    ICMP6_FILTER_SETPASS(ICMP6_ECHO_REQUEST, &filter);
    if (setsockopt(s.v6, IPPROTO_ICMPV6, ICMP6_FILTER, &filter, sizeof filter) != 0 ||
        setsockopt(s.v6, SOL_IPV6, IPV6_RECVPKTINFO, &on, sizeof on) != 0 ||
        setsockopt(s.v6, SOL_IPV6, IPV6_RECVHOPLIMIT, &on, sizeof on) != 0 ||
        // Sources from the local route's prefix are no configured addresses.
        setsockopt(s.v6, SOL_IPV6, IPV6_FREEBIND, &on, sizeof on) != 0) {
        std::fprintf(stderr, "responder: IPv6 socket options: %s\n", std::strerror(errno));
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    std::string readyFile;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--ready") == 0 && i + 1 < argc)
            readyFile = argv[++i];
    }
    Sockets sockets;
    if (openSockets(sockets) != 0)
        return 1;
    // Sleep exactly as long as asked: the delays are what the benchmarks measure against.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);

    struct sigaction sa
    {
    };
    sa.sa_handler = onSignal;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);

    if (!readyFile.empty()) {
        FILE* f = std::fopen(readyFile.c_str(), "w");
        if (!f) {
            std::fprintf(stderr, "responder: %s: %s\n", readyFile.c_str(), std::strerror(errno));
            return 1;
        }
        std::fprintf(f, "%d\n", int(getpid()));
        std::fclose(f);
    }

    Responder responder(sockets);
    Bytes buffer(70000);
    Request request;
    while (!g_stop) {
        const int64_t due = responder.nextDue();
        timespec wait{1, 0};
        if (due >= 0) {
            const int64_t left = std::max<int64_t>(0, due - nowNs(CLOCK_MONOTONIC));
            wait = {time_t(left / 1000000000), long(left % 1000000000)};
        }
        pollfd fds[2] = {{sockets.v4, POLLIN, 0}, {sockets.v6, POLLIN, 0}};
        const int ready = ppoll(fds, 2, &wait, nullptr);
        if (ready < 0 && errno != EINTR) {
            std::fprintf(stderr, "responder: poll: %s\n", std::strerror(errno));
            return 1;
        }
        while (ready > 0 && read4(sockets.v4, buffer, request)) {
            if (!request.icmp.empty())
                responder.handle(request);
        }
        while (ready > 0 && read6(sockets.v6, buffer, request)) {
            if (!request.icmp.empty())
                responder.handle(request);
        }
        responder.sendDue(nowNs(CLOCK_MONOTONIC));
    }
    return 0;
}
