#include "net/Icmp.h"

#include "platform/textfile.h"

#include <QFile>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <linux/errqueue.h>
#include <linux/filter.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/ip_icmp.h>
#include <poll.h>
#include <sys/random.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <vector>

namespace {

constexpr int kMaxPayload = 65507; // 65535 minus the IP and ICMP headers
constexpr size_t kMaxIpHeader = 60;
constexpr size_t kIcmpHeader = 8;
constexpr int kIcmpFilter = 1; // ICMP_FILTER of <linux/icmp.h>, which clashes with netinet's

int64_t nowNs(clockid_t clock)
{
    timespec ts{};
    clock_gettime(clock, &ts);
    return int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

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

[[noreturn]] void failOpen(int fd, const QString& why)
{
    if (fd >= 0)
        ::close(fd);
    throw TICMPException(QStringLiteral("Unable to get ping handle: ") + why);
}

// A raw socket receives every ICMP packet of the host; keep only replies with our identifier
// and errors that quote it, so a thousand sessions do not wake each other on every packet.
std::atomic<int> g_liveRawSessions{0};

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
    sock_fprog program{static_cast<unsigned short>(sizeof code / sizeof code[0]), code};
    return setsockopt(fd, SOL_SOCKET, SO_ATTACH_FILTER, &program, sizeof program) == 0;
}

// The resolver's failures as the classic socket library numbered them; an echo replaces
// them by 11018 anyway, but ResolveTarget on its own keeps them.
uint32_t lookupError(int rc)
{
    switch (rc) {
    case EAI_NONAME:
        return 11001; // host not found
    case EAI_AGAIN:
        return 11002; // try again
    case EAI_NODATA:
    case EAI_ADDRFAMILY:
        return 11004; // no address of this family
    default:
        return 11003; // no recovery
    }
}

uint16_t readWord(const uint8_t* p)
{
    return uint16_t(p[0] << 8 | p[1]);
}

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
        }
    }
}

} // namespace

// ---------------------------------------------------------------------------------------------

struct TICMP::Sent
{
    uint16_t sequence = 0;
    const QByteArray* payload = nullptr;
    int64_t mono = 0;
    int64_t real = 0;
    bool dontFragment = false;

    // Kernel receive times are CLOCK_REALTIME; use them only when they agree with the
    // monotonic clock, so a clock step never shows as a round trip.
    int64_t roundTripNs(const timespec* kernelTime) const
    {
        const int64_t mono = nowNs(CLOCK_MONOTONIC) - this->mono;
        if (kernelTime) {
            const int64_t k = int64_t(kernelTime->tv_sec) * 1000000000 + kernelTime->tv_nsec - real;
            if (k >= 0 && k <= mono)
                return k;
        }
        return mono;
    }
};

TICMP::TICMP()
{
    // The unprivileged ICMP datagram socket first: the kernel keeps its identifier and hands
    // it only its own replies and errors.
    int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (fd >= 0) {
        m_kind = SocketKind::Datagram;
    } else {
        const int dgramError = errno;
        QString dgramReason;
        switch (dgramError) {
        case EACCES: // none of our groups is inside net.ipv4.ping_group_range (root included)
            dgramReason = QStringLiteral("the groups of this process are outside "
                                         "net.ipv4.ping_group_range (now \"%1\")")
                              .arg(pingGroupRange());
            break;
        case EPERM: // refused by a security module or a seccomp filter
            dgramReason = QStringLiteral("ICMP datagram sockets are refused by a security policy");
            break;
        case EPROTONOSUPPORT: // a kernel built without ping sockets
        case ESOCKTNOSUPPORT:
        case EAFNOSUPPORT:
            dgramReason = QStringLiteral("this kernel offers no ICMP datagram sockets");
            break;
        default: // EMFILE, ENFILE, ENOBUFS, ENOMEM: a raw socket would fail the same way
            failOpen(-1, textfile::osReason(dgramError));
        }
        // Raw socket: needs root or CAP_NET_RAW; sees every ICMP packet of the host.
        fd = ::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
        if (fd < 0) {
            const int rawError = errno;
            if (rawError != EPERM && rawError != EACCES)
                failOpen(-1, textfile::osReason(rawError));
            const QString cure = dgramError == EACCES
                                     ? QStringLiteral("Allow the group with sysctl -w "
                                                      "net.ipv4.ping_group_range=\"0 "
                                                      "2147483647\" or grant")
                                     : QStringLiteral("Grant");
            failOpen(-1, QStringLiteral("%1, and the program lacks CAP_NET_RAW for a raw socket. "
                                        "%2 the capability with setcap cap_net_raw+ep %3")
                             .arg(dgramReason, cure, programPath()));
        }
        m_kind = SocketKind::Raw;
    }

    const int on = 1;
    // Receive times from the kernel; without them the monotonic clock alone serves.
    setsockopt(fd, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);
    if (m_kind == SocketKind::Datagram) {
        // ICMP errors reach a datagram socket only through its error queue.
        if (setsockopt(fd, SOL_IP, IP_RECVERR, &on, sizeof on) != 0)
            failOpen(fd,
                     QStringLiteral("cannot receive ICMP errors: ") + textfile::osReason(errno));
        setsockopt(fd, SOL_IP, IP_RECVTTL, &on, sizeof on);
        setsockopt(fd, SOL_IP, IP_RECVTOS, &on, sizeof on);
        // Binding picks the identifier now, so replies can be checked against it.
        sockaddr_in any{};
        any.sin_family = AF_INET;
        socklen_t len = sizeof any;
        if (::bind(fd, reinterpret_cast<sockaddr*>(&any), sizeof any) != 0 ||
            getsockname(fd, reinterpret_cast<sockaddr*>(&any), &len) != 0)
            failOpen(fd,
                     QStringLiteral("cannot bind the ICMP socket: ") + textfile::osReason(errno));
        m_ident = ntohs(any.sin_port);
    } else {
        m_ident = nextRawIdent();
        // Replies and errors only; requests and redirects never reach us.
        const uint32_t keep = (1u << ICMP_ECHOREPLY) | (1u << ICMP_DEST_UNREACH) |
                              (1u << ICMP_SOURCE_QUENCH) | (1u << ICMP_TIME_EXCEEDED) |
                              (1u << ICMP_PARAMETERPROB);
        const uint32_t drop = ~keep;
        setsockopt(fd, SOL_RAW, kIcmpFilter, &drop, sizeof drop);
        // The identifier filter costs more than the rest of the echo (the kernel compiles it),
        // and only pays off when other raw sessions of this process share the traffic. Without
        // it every packet is still checked in full.
        if (g_liveRawSessions.fetch_add(1) > 0)
            attachIdentFilter(fd, m_ident);
    }
    m_fd = fd;
    m_sequence = randomWord();
}

TICMP::~TICMP()
{
    if (m_kind == SocketKind::Raw)
        g_liveRawSessions.fetch_sub(1);
    if (m_fd >= 0)
        ::close(m_fd);
}

void TICMP::SetTargetHost(const QString& host)
{
    if (host == m_targetHost)
        return;
    m_targetHost = host;
    Resolved = false;
}

void TICMP::ResolveTarget()
{
    TargetAddress = icmpwire::parseDottedAddress(m_targetHost);
    if (TargetAddress != INADDR_NONE) {
        TargetName = m_targetHost;
    } else {
        const QByteArray name = m_targetHost.toUtf8();
        if (name.isEmpty() || name.contains('\0')) {
            LastError = lookupError(EAI_NONAME);
            return;
        }
        addrinfo hints{};
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_DGRAM; // one entry per address
        hints.ai_flags = AI_CANONNAME;
        addrinfo* found = nullptr;
        const int rc = getaddrinfo(name.constData(), nullptr, &hints, &found);
        if (rc != 0 || !found) {
            LastError = lookupError(rc);
            if (found)
                freeaddrinfo(found);
            return;
        }
        TargetAddress = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr;
        TargetName = found->ai_canonname ? QString::fromUtf8(found->ai_canonname) : m_targetHost;
        freeaddrinfo(found);
    }
    char text[INET_ADDRSTRLEN] = {};
    in_addr a{TargetAddress};
    inet_ntop(AF_INET, &a, text, sizeof text);
    TargetAddressText = QString::fromLatin1(text);
    Resolved = true;
}

uint32_t TICMP::SendEchoRequest()
{
    LastError = 0;
    Interrupted = false;
    if (!Resolved)
        ResolveTarget();
    if (TargetAddress == INADDR_NONE) {
        LastError = IpStatus::BadDestination;
        return 0;
    }
    LastReply = TEchoReply{};
    LastRoundTripUs = 0;
    if (DataSize < 0) {
        LastError = IpStatus::BadReq;
        return 0;
    }
    if (DataSize > kMaxPayload) {
        LastError = IpStatus::PacketTooBig;
        return 0;
    }

    const QByteArray payload = icmpwire::buildPayload(DataSize);
    Sent sent;
    sent.sequence = ++m_sequence;
    sent.payload = &payload;
    sent.dontFragment = (IpFlags & IpFlagDontFragment) != 0;

    std::vector<uint8_t> request(kIcmpHeader + size_t(payload.size()));
    request[0] = ICMP_ECHO;
    request[4] = uint8_t(m_ident >> 8); // the datagram kernel overwrites it with its own
    request[5] = uint8_t(m_ident);
    request[6] = uint8_t(sent.sequence >> 8);
    request[7] = uint8_t(sent.sequence);
    std::memcpy(request.data() + kIcmpHeader, payload.constData(), size_t(payload.size()));
    if (m_kind == SocketKind::Raw) {
        const uint16_t sum = icmpwire::checksum(request.data(), request.size());
        request[2] = uint8_t(sum >> 8);
        request[3] = uint8_t(sum);
    }

    // Linux refuses a time-to-live of 0; -1 restores the system default.
    const int ttl = (TimeToLive & 0xff) ? (TimeToLive & 0xff) : -1;
    const int pmtu = sent.dontFragment ? IP_PMTUDISC_DO : IP_PMTUDISC_DONT;
    if (setsockopt(m_fd, SOL_IP, IP_TTL, &ttl, sizeof ttl) != 0 ||
        setsockopt(m_fd, SOL_IP, IP_MTU_DISCOVER, &pmtu, sizeof pmtu) != 0) {
        LastError = icmpwire::statusForErrno(errno);
        LastReply.Status = LastError;
        return 0;
    }

    // Whatever is still queued belongs to earlier echoes.
    drainQueues();

    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = TargetAddress;
    sent.real = nowNs(CLOCK_REALTIME);
    sent.mono = nowNs(CLOCK_MONOTONIC);
    ssize_t n;
    do {
        n = ::sendto(m_fd, request.data(), request.size(), 0, reinterpret_cast<sockaddr*>(&to),
                     sizeof to);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        LastError = icmpwire::statusForErrno(errno);
        LastReply.Status = LastError;
        return 0;
    }

    // Room for the IP header of raw sockets and a little more than we sent, so that a longer
    // reply is seen as such.
    std::vector<uint8_t> buffer(kMaxIpHeader + request.size() + 64);
    const int64_t deadline = sent.mono + int64_t(std::max(TimeOutMs, 0)) * 1000000;
    for (;;) {
        const int64_t left = deadline - nowNs(CLOCK_MONOTONIC);
        const int waitMs = left > 0 ? int((left + 999999) / 1000000) : 0;
        pollfd fds[2] = {{m_fd, POLLIN, 0}, {m_wakeFd, POLLIN, 0}};
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
        if (ready > 0 && m_kind == SocketKind::Datagram && (fds[0].revents & POLLERR) &&
            readErrorQueue(sent))
            return 0;
        if (ready > 0 && (fds[0].revents & POLLIN) &&
            readNormalQueue(sent, buffer.data(), buffer.size()))
            return LastError == 0 ? 1 : 0;
        if (left <= 0) {
            LastError = IpStatus::ReqTimedOut;
            LastReply.Status = LastError;
            return 0;
        }
    }
}

void TICMP::drainQueues()
{
    uint8_t scrap[256];
    for (int i = 0; i < 4096; ++i) {
        const ssize_t n = ::recv(m_fd, scrap, sizeof scrap, MSG_DONTWAIT | MSG_TRUNC);
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
    }
    if (m_kind != SocketKind::Datagram)
        return;
    for (int i = 0; i < 4096; ++i) {
        char control[512];
        iovec iov{scrap, sizeof scrap};
        msghdr msg{};
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        msg.msg_control = control;
        msg.msg_controllen = sizeof control;
        if (::recvmsg(m_fd, &msg, MSG_ERRQUEUE | MSG_DONTWAIT) < 0 && errno != EINTR)
            break;
    }
}

bool TICMP::matchReply(const uint8_t* data, size_t len, uint32_t from, const Sent& sent) const
{
    const QByteArray& payload = *sent.payload;
    if (len != kIcmpHeader + size_t(payload.size()))
        return false;
    if (data[0] != ICMP_ECHOREPLY || data[1] != 0)
        return false;
    if (readWord(data + 4) != m_ident || readWord(data + 6) != sent.sequence)
        return false;
    if (from != TargetAddress)
        return false;
    // The kernel checks the sum before a datagram socket sees the packet, not for raw ones.
    if (m_kind == SocketKind::Raw && icmpwire::checksum(data, len) != 0)
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
    if (echo[0] != ICMP_ECHO || readWord(echo + 4) != m_ident ||
        readWord(echo + 6) != sent.sequence)
        return 0;
    return status;
}

void TICMP::storeError(uint32_t status, uint32_t from, int64_t roundTripNs)
{
    LastError = status;
    LastReply.Status = status;
    LastReply.Address = from;
    LastReply.RoundTripTime = uint32_t(roundTripNs / 1000000);
}

bool TICMP::readErrorQueue(const Sent& sent)
{
    for (int i = 0; i < 256; ++i) {
        uint8_t data[576];
        char control[512];
        sockaddr_in dest{};
        iovec iov{data, sizeof data};
        msghdr msg{};
        msg.msg_name = &dest;
        msg.msg_namelen = sizeof dest;
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        msg.msg_control = control;
        msg.msg_controllen = sizeof control;
        const ssize_t n = ::recvmsg(m_fd, &msg, MSG_ERRQUEUE | MSG_DONTWAIT);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        Received rx;
        const sock_extended_err* ee = nullptr;
        for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
            if (c->cmsg_level == SOL_IP && c->cmsg_type == IP_RECVERR)
                ee = reinterpret_cast<const sock_extended_err*>(CMSG_DATA(c));
        }
        parseControl(msg, rx);
        // Local errors were returned by sendto already.
        if (!ee || ee->ee_origin != SO_EE_ORIGIN_ICMP)
            continue;
        const uint32_t status = icmpwire::statusForIcmp(ee->ee_type, ee->ee_code);
        if (status == 0)
            continue;
        if (ee->ee_type == ICMP_DEST_UNREACH && ee->ee_code == ICMP_FRAG_NEEDED &&
            !sent.dontFragment)
            continue;
        // The data is the quoted echo header; the kernel matched the identifier already.
        if (n < ssize_t(kIcmpHeader) || data[0] != ICMP_ECHO ||
            readWord(data + 6) != sent.sequence || readWord(data + 4) != m_ident ||
            dest.sin_addr.s_addr != TargetAddress)
            continue;
        const auto* offender = reinterpret_cast<const sockaddr_in*>(SO_EE_OFFENDER(ee));
        storeError(status, offender->sin_family == AF_INET ? offender->sin_addr.s_addr : 0,
                   sent.roundTripNs(rx.kernelTime));
        return true;
    }
    return false;
}

bool TICMP::readNormalQueue(const Sent& sent, uint8_t* buffer, size_t size)
{
    for (int i = 0; i < 4096; ++i) {
        char control[512];
        sockaddr_in from{};
        iovec iov{buffer, size};
        msghdr msg{};
        msg.msg_name = &from;
        msg.msg_namelen = sizeof from;
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        msg.msg_control = control;
        msg.msg_controllen = sizeof control;
        const ssize_t n = ::recvmsg(m_fd, &msg, MSG_DONTWAIT | MSG_TRUNC);
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
        uint32_t source = from.sin_addr.s_addr;
        if (m_kind == SocketKind::Raw) {
            const size_t ihl = size_t(buffer[0] & 0x0f) * 4;
            if (len < 20 || ihl < 20 || len < ihl + kIcmpHeader || buffer[9] != IPPROTO_ICMP)
                continue;
            rx.ttl = buffer[8];
            rx.tos = buffer[1];
            source = readAddress(buffer + 12);
            icmpData = buffer + ihl;
            len -= ihl;
            if (icmpData[0] != ICMP_ECHOREPLY) {
                if (const uint32_t status = matchRawError(icmpData, len, sent)) {
                    storeError(status, source, sent.roundTripNs(rx.kernelTime));
                    return true;
                }
                continue;
            }
        }
        if (len < kIcmpHeader || !matchReply(icmpData, len, source, sent))
            continue;
        const int64_t rtt = sent.roundTripNs(rx.kernelTime);
        LastRoundTripUs = rtt / 1000;
        LastReply.Address = source;
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
