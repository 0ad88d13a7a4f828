// The echo session: its sockets and one echo from request to answer. Receiving and matching
// are in IcmpRecv.cpp, the target's resolution in IcmpResolve.cpp.

#include "net/Icmp.h"

#include "net/IcmpInternal.h"
#include "platform/logging.h"
#include "platform/posix.h"

#include <QFile>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <linux/filter.h>
#include <netinet/icmp6.h>
#include <netinet/in.h>
#include <netinet/ip_icmp.h>
#include <poll.h>
#include <sys/random.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>

using icmpimpl::kIcmpHeader;
using icmpimpl::kMaxIpHeader;
using icmpimpl::nowNs;

namespace {

constexpr int kMaxPayload = 65507; // 65535 minus the IPv4 and ICMP headers; IPv6 the same
constexpr int kIcmpFilter = 1;     // ICMP_FILTER of <linux/icmp.h>, which clashes with netinet's

uint16_t randomWord()
{
    uint16_t value = 0;
    if (getrandom(&value, sizeof value, GRND_NONBLOCK) != sizeof value)
        value = uint16_t(nowNs(CLOCK_MONOTONIC) ^ getpid());
    return value;
}

// Raw sockets have no identifier of their own: every session of the process takes the next
// one, so sessions that run at the same time never share it.
uint16_t nextRawIdent()
{
    static std::atomic<uint16_t> next{randomWord()};
    return next.fetch_add(1, std::memory_order_relaxed);
}

QString pingGroupRange()
{
    QFile file(QStringLiteral("/proc/sys/net/ipv4/ping_group_range"));
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("unknown");
    return QString::fromLatin1(file.readAll()).simplified();
}

QString programPath()
{
    char path[4096];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0)
        return QStringLiteral("<program>");
    return QString::fromLocal8Bit(path, n);
}

[[noreturn]] void failOpen(const QString& why)
{
    throw TICMPException(QStringLiteral("Unable to get ping handle: ") + why);
}

// A raw socket receives every ICMP packet of the host; keep only replies with our identifier
// and errors that quote it, so a thousand sessions do not wake each other on every packet.
std::atomic<int> g_liveRawSessions[2] = {0, 0}; // IPv4, IPv6

std::atomic<int>& liveRawSessions(int family)
{
    return g_liveRawSessions[family == AF_INET6 ? 1 : 0];
}

bool attachFilter(int fd, sock_filter* code, size_t length)
{
    sock_fprog program{static_cast<unsigned short>(length), code};
    return setsockopt(fd, SOL_SOCKET, SO_ATTACH_FILTER, &program, sizeof program) == 0;
}

bool attachIdentFilter(int fd, uint16_t ident)
{
    sock_filter code[] = {
        BPF_STMT(BPF_LDX | BPF_B | BPF_MSH, 0),                        // 0: X = IP header length
        BPF_STMT(BPF_LD | BPF_B | BPF_IND, 0),                         // 1: ICMP type
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, ICMP_ECHOREPLY, 0, 2),     // 2
        BPF_STMT(BPF_LD | BPF_H | BPF_IND, 4),                         // 3: identifier
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, ident, 11, 12),            // 4
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, ICMP_DEST_UNREACH, 3, 0),  // 5
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, ICMP_SOURCE_QUENCH, 2, 0), // 6
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, ICMP_TIME_EXCEEDED, 1, 0), // 7
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, ICMP_PARAMETERPROB, 0, 8), // 8
        BPF_STMT(BPF_LD | BPF_B | BPF_IND, 8),                         // 9: quoted IP header
        BPF_STMT(BPF_ALU | BPF_AND | BPF_K, 0x0f),                     // 10
        BPF_STMT(BPF_ALU | BPF_LSH | BPF_K, 2),                        // 11
        BPF_STMT(BPF_ALU | BPF_ADD | BPF_X, 0),                        // 12
        BPF_STMT(BPF_MISC | BPF_TAX, 0),                               // 13
        BPF_STMT(BPF_LD | BPF_H | BPF_IND, 12),                        // 14: quoted identifier
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, ident, 0, 1),              // 15
        BPF_STMT(BPF_RET | BPF_K, 0x40000),                            // 16: keep
        BPF_STMT(BPF_RET | BPF_K, 0),                                  // 17: drop
    };
    return attachFilter(fd, code, sizeof code / sizeof code[0]);
}

// Raw ICMPv6 sockets get the message without the IPv6 header. Errors, already narrowed to
// their types by ICMP6_FILTER, all pass: they are rare, and an extension header could move
// the quoted identifier.
bool attachIdentFilter6(int fd, uint16_t ident)
{
    sock_filter code[] = {
        BPF_STMT(BPF_LD | BPF_B | BPF_ABS, 0),                       // 0: ICMPv6 type
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, ICMP6_ECHO_REPLY, 0, 3), // 1
        BPF_STMT(BPF_LD | BPF_H | BPF_ABS, 4),                       // 2: identifier
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, ident, 1, 0),            // 3
        BPF_STMT(BPF_RET | BPF_K, 0),                                // 4: drop
        BPF_STMT(BPF_RET | BPF_K, 0x40000),                          // 5: keep
    };
    return attachFilter(fd, code, sizeof code / sizeof code[0]);
}

// The datagram socket's failure, as a reason for the operator; empty when a raw socket would
// fail the same way, so the datagram error is the one to report.
QString datagramRefusal(int error)
{
    switch (error) {
    case EACCES: // none of our groups is inside net.ipv4.ping_group_range (root included)
        return QStringLiteral("the groups of this process are outside "
                              "net.ipv4.ping_group_range (now \"%1\")")
            .arg(pingGroupRange());
    case EPERM: // refused by a security module or a seccomp filter
        return QStringLiteral("ICMP datagram sockets are refused by a security policy");
    case EPROTONOSUPPORT: // a kernel built without ping sockets (or without IPv6)
    case ESOCKTNOSUPPORT:
    case EAFNOSUPPORT:
        return QStringLiteral("this kernel offers no ICMP datagram sockets");
    default: // EMFILE, ENFILE, ENOBUFS, ENOMEM
        return {};
    }
}

// Receive times from the kernel; without them the monotonic clock alone serves. Hop limit
// and traffic class of replies for the record; not having them costs nothing else.
void askForReceiveDetails(int fd, bool six)
{
    const int on = 1;
    const int level = six ? int(SOL_IPV6) : int(SOL_IP);
    const struct
    {
        int level;
        int name;
        const char* what;
    } options[] = {
        {SOL_SOCKET, SO_TIMESTAMPNS, "receive times"},
        {level, six ? IPV6_RECVHOPLIMIT : IP_RECVTTL, "the hop limit of replies"},
        {level, six ? IPV6_RECVTCLASS : IP_RECVTOS, "the traffic class of replies"},
    };
    for (const auto& option : options) {
        if (setsockopt(fd, option.level, option.name, &on, sizeof on) != 0) {
            const int error = errno;
            qCWarning(lcNet).noquote()
                << "the kernel gives no" << option.what << "for ICMP:" << posix::errorText(error);
        }
    }
}

// Returns the identifier the kernel picked for the datagram socket; on failure its owner closes it.
uint16_t bindDatagram(int fd, int family)
{
    const bool six = family == AF_INET6;
    const int on = 1;
    // ICMP errors reach a datagram socket only through its error queue.
    if (setsockopt(fd, six ? int(SOL_IPV6) : int(SOL_IP), six ? IPV6_RECVERR : IP_RECVERR, &on,
                   sizeof on) != 0)
        failOpen(QStringLiteral("cannot receive ICMP errors: ") + posix::errorText(errno));
    // Binding picks the identifier now, so replies can be checked against it.
    sockaddr_storage any{};
    any.ss_family = sa_family_t(family);
    socklen_t len = six ? sizeof(sockaddr_in6) : sizeof(sockaddr_in);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&any), len) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&any), &len) != 0)
        failOpen(QStringLiteral("cannot bind the ICMP socket: ") + posix::errorText(errno));
    return ntohs(six ? reinterpret_cast<sockaddr_in6*>(&any)->sin6_port
                     : reinterpret_cast<sockaddr_in*>(&any)->sin_port);
}

// Replies and errors only; requests and redirects never reach a raw socket then. Without the
// filter they are read and dropped one by one.
void keepRepliesAndErrors(int fd, bool six)
{
    int rc;
    if (six) {
        icmp6_filter filter;
        ICMP6_FILTER_SETBLOCKALL(&filter);
        for (int type : {ICMP6_ECHO_REPLY, ICMP6_DST_UNREACH, ICMP6_PACKET_TOO_BIG,
                         ICMP6_TIME_EXCEEDED, ICMP6_PARAM_PROB})
            ICMP6_FILTER_SETPASS(type, &filter);
        rc = setsockopt(fd, IPPROTO_ICMPV6, ICMP6_FILTER, &filter, sizeof filter);
    } else {
        const uint32_t keep = (1u << ICMP_ECHOREPLY) | (1u << ICMP_DEST_UNREACH) |
                              (1u << ICMP_SOURCE_QUENCH) | (1u << ICMP_TIME_EXCEEDED) |
                              (1u << ICMP_PARAMETERPROB);
        const uint32_t drop = ~keep;
        rc = setsockopt(fd, SOL_RAW, kIcmpFilter, &drop, sizeof drop);
    }
    if (rc != 0) {
        const int error = errno;
        qCWarning(lcNet).noquote()
            << "no ICMP type filter on a raw socket:" << posix::errorText(error);
    }
}

// The kernel sums ICMPv6 itself, and ICMP for datagram sockets; a datagram socket's kernel
// also puts in its own identifier.
std::vector<uint8_t> echoRequest(bool six, bool raw, uint16_t ident, uint16_t sequence,
                                 const QByteArray& payload)
{
    std::vector<uint8_t> request(kIcmpHeader + size_t(payload.size()));
    request[0] = six ? ICMP6_ECHO_REQUEST : ICMP_ECHO;
    request[4] = uint8_t(ident >> 8);
    request[5] = uint8_t(ident);
    request[6] = uint8_t(sequence >> 8);
    request[7] = uint8_t(sequence);
    std::memcpy(request.data() + kIcmpHeader, payload.constData(), size_t(payload.size()));
    if (raw && !six) {
        const uint16_t sum = icmpwire::checksum(request.data(), request.size());
        request[2] = uint8_t(sum >> 8);
        request[3] = uint8_t(sum);
    }
    return request;
}

} // namespace

// ---------------------------------------------------------------------------------------------

TICMP::TICMP()
{
    m_v4 = openChannel(AF_INET);
    m_sequence = randomWord();
}

TICMP::~TICMP()
{
    closeChannel(m_v4);
    closeChannel(m_v6);
}

TICMP::Channel TICMP::openChannel(int family)
{
    const bool six = family == AF_INET6;
    const int protocol = six ? int(IPPROTO_ICMPV6) : int(IPPROTO_ICMP);
    Channel ch;
    ch.family = family;
    // The unprivileged ICMP datagram socket first: the kernel keeps its identifier and hands
    // it only its own replies and errors.
    posix::Fd sock(::socket(family, SOCK_DGRAM | SOCK_CLOEXEC, protocol));
    if (!sock.valid()) {
        const int dgramError = errno;
        const QString dgramReason = datagramRefusal(dgramError);
        if (dgramReason.isEmpty())
            failOpen(posix::errorText(dgramError));
        // Raw socket: needs root or CAP_NET_RAW; sees every ICMP packet of the host.
        sock.reset(::socket(family, SOCK_RAW | SOCK_CLOEXEC, protocol));
        if (!sock.valid()) {
            const int rawError = errno;
            if (rawError != EPERM && rawError != EACCES)
                failOpen(posix::errorText(rawError));
            const QString cure = dgramError == EACCES
                                     ? QStringLiteral("Allow the group with sysctl -w "
                                                      "net.ipv4.ping_group_range=\"0 "
                                                      "2147483647\" or grant")
                                     : QStringLiteral("Grant");
            failOpen(QStringLiteral("%1, and the program lacks CAP_NET_RAW for a raw socket. "
                                    "%2 the capability with setcap cap_net_raw+ep %3")
                         .arg(dgramReason, cure, programPath()));
        }
        ch.kind = SocketKind::Raw;
    }

    const int fd = sock.get();
    askForReceiveDetails(fd, six);
    if (ch.kind == SocketKind::Datagram) {
        ch.ident = bindDatagram(fd, family);
    } else {
        ch.ident = nextRawIdent();
        keepRepliesAndErrors(fd, six);
        // The identifier filter costs more than the rest of the echo (the kernel compiles it),
        // and only pays off when other raw sessions of this process share the traffic. Without
        // it every packet is still checked in full.
        if (liveRawSessions(family).fetch_add(1) > 0 &&
            !(six ? attachIdentFilter6(fd, ch.ident) : attachIdentFilter(fd, ch.ident))) {
            const int error = errno;
            qCWarning(lcNet).noquote()
                << "no identifier filter on a raw ICMP socket, every packet is checked in full:"
                << posix::errorText(error);
        }
    }
    ch.fd = sock.release();
    return ch;
}

void TICMP::closeChannel(Channel& ch)
{
    if (ch.fd < 0)
        return;
    if (ch.kind == SocketKind::Raw)
        liveRawSessions(ch.family).fetch_sub(1);
    ::close(ch.fd);
    ch.fd = -1;
}

void TICMP::SetTargetHost(const QString& host)
{
    if (host == m_targetHost)
        return;
    m_targetHost = host;
    Resolved = false;
}

uint32_t TICMP::SendEchoRequest()
{
    LastError = 0;
    Interrupted = false;
    if (!Resolved)
        ResolveTarget();
    if (Interrupted) {
        LastError = IpStatus::ReqTimedOut;
        return 0;
    }
    if (!usableTarget()) {
        LastError = IpStatus::BadDestination;
        return 0;
    }
    LastReply = TEchoReply{};
    LastRoundTripUs = 0;
    LastReplyAddress6 = in6_addr{};
    LastReplyScopeId = 0;
    if (DataSize < 0) {
        LastError = IpStatus::BadReq;
        return 0;
    }
    if (DataSize > kMaxPayload) {
        LastError = IpStatus::PacketTooBig;
        return 0;
    }
    const bool six = AddressFamily == AF_INET6;
    if (six && m_v6.fd < 0) {
        try {
            m_v6 = openChannel(AF_INET6);
        } catch (const TICMPException&) {
            // The IPv4 socket opened under the same rules, so this is a kernel without IPv6
            // or out of descriptors: no route to any IPv6 network from here.
            LastError = IpStatus::DestNetUnreachable;
            LastReply.Status = LastError;
            return 0;
        }
    }
    const Channel& ch = six ? m_v6 : m_v4;

    const QByteArray payload = icmpwire::buildPayload(DataSize);
    Sent sent;
    sent.sequence = ++m_sequence;
    sent.payload = &payload;
    sent.dontFragment = (IpFlags & IpFlagDontFragment) != 0;

    const std::vector<uint8_t> request =
        echoRequest(six, ch.kind == SocketKind::Raw, ch.ident, sent.sequence, payload);
    if (!setEchoOptions(ch, sent.dontFragment))
        return 0;
    // Whatever is still queued belongs to earlier echoes.
    drainQueues(ch);
    // The monotonic clock first: should the thread be held up between the two readings, the
    // monotonic bound only grows and still confirms the kernel's time. The other way round it
    // shrank by the hold-up and replaced that time with a round trip too short.
    sent.mono = nowNs(CLOCK_MONOTONIC);
    sent.real = nowNs(CLOCK_REALTIME);
    if (!sendRequest(ch, request))
        return 0;
    return waitForAnswer(ch, sent, request.size());
}

bool TICMP::setEchoOptions(const Channel& ch, bool dontFragment)
{
    // Linux refuses a time-to-live of 0; -1 restores the system default.
    const int ttl = (TimeToLive & 0xff) ? (TimeToLive & 0xff) : -1;
    bool ok;
    if (ch.family == AF_INET6) {
        // IPv6 routers never fragment: without DF the kernel fragments to the path MTU.
        const int dontFrag = dontFragment ? 1 : 0;
        ok = setsockopt(ch.fd, SOL_IPV6, IPV6_UNICAST_HOPS, &ttl, sizeof ttl) == 0 &&
             setsockopt(ch.fd, SOL_IPV6, IPV6_DONTFRAG, &dontFrag, sizeof dontFrag) == 0;
    } else {
        const int pmtu = dontFragment ? IP_PMTUDISC_DO : IP_PMTUDISC_DONT;
        ok = setsockopt(ch.fd, SOL_IP, IP_TTL, &ttl, sizeof ttl) == 0 &&
             setsockopt(ch.fd, SOL_IP, IP_MTU_DISCOVER, &pmtu, sizeof pmtu) == 0;
    }
    if (!ok) {
        LastError = icmpwire::statusForErrno(errno);
        LastReply.Status = LastError;
    }
    return ok;
}

bool TICMP::sendRequest(const Channel& ch, const std::vector<uint8_t>& request)
{
    sockaddr_storage to{};
    socklen_t toLen;
    if (ch.family == AF_INET6) {
        auto* a = reinterpret_cast<sockaddr_in6*>(&to);
        a->sin6_family = AF_INET6;
        a->sin6_addr = TargetAddress6;
        a->sin6_scope_id = TargetScopeId;
        toLen = sizeof *a;
    } else {
        auto* a = reinterpret_cast<sockaddr_in*>(&to);
        a->sin_family = AF_INET;
        a->sin_addr.s_addr = TargetAddress;
        toLen = sizeof *a;
    }
    ssize_t n;
    do {
        n = ::sendto(ch.fd, request.data(), request.size(), 0, reinterpret_cast<sockaddr*>(&to),
                     toLen);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        LastError = icmpwire::statusForErrno(errno);
        LastReply.Status = LastError;
        return false;
    }
    return true;
}

uint32_t TICMP::waitForAnswer(const Channel& ch, const Sent& sent, size_t requestSize)
{
    // Room for the IP header of raw IPv4 sockets and a little more than we sent, so that a
    // longer reply is seen as such.
    std::vector<uint8_t> buffer(kMaxIpHeader + requestSize + 64);
    const int64_t deadline = sent.mono + int64_t(std::max(TimeOutMs, 0)) * 1000000;
    for (;;) {
        const int64_t left = deadline - nowNs(CLOCK_MONOTONIC);
        const int waitMs = left > 0 ? int((left + 999999) / 1000000) : 0;
        pollfd fds[2] = {{ch.fd, POLLIN, 0}, {m_wakeFd, POLLIN, 0}};
        const int ready = ::poll(fds, m_wakeFd >= 0 ? 2 : 1, waitMs);
        if (ready < 0 && errno != EINTR) {
            LastError = IpStatus::GeneralFailure;
            LastReply.Status = LastError;
            return 0;
        }
        if (m_wakeFd >= 0 && fds[1].revents) {
            Interrupted = true;
            LastError = IpStatus::ReqTimedOut;
            LastReply.Status = LastError;
            return 0;
        }
        if (ready > 0 && ch.kind == SocketKind::Datagram && (fds[0].revents & POLLERR) &&
            readErrorQueue(ch, sent))
            return 0;
        if (ready > 0 && (fds[0].revents & POLLIN) &&
            readNormalQueue(ch, sent, buffer.data(), buffer.size()))
            return LastError == 0 ? 1 : 0;
        if (left <= 0) {
            LastError = IpStatus::ReqTimedOut;
            LastReply.Status = LastError;
            return 0;
        }
    }
}
