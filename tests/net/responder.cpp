// The test bed's own echo responder. It runs in tmn-rsp, where the kernel does not answer
// echoes, reads every echo request to 10.201.20.0/24 from a raw socket and answers it as the
// table in netbed.h says for the destination address: exact delays, drops, duplicates,
// forgeries and ICMP errors. netem does not exist in this kernel, so delays are made here.
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

int64_t nowNs(clockid_t clock)
{
    timespec ts{};
    clock_gettime(clock, &ts);
    return int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

void setChecksum(Bytes& icmp)
{
    icmp[2] = icmp[3] = 0;
    const uint16_t sum = icmpwire::checksum(icmp.data(), icmp.size());
    icmp[2] = uint8_t(sum >> 8);
    icmp[3] = uint8_t(sum);
}

void addToWord(Bytes& icmp, size_t at, int delta)
{
    const uint16_t v = uint16_t((icmp[at] << 8 | icmp[at + 1]) + delta);
    icmp[at] = uint8_t(v >> 8);
    icmp[at + 1] = uint8_t(v);
}

uint32_t address(const char* text)
{
    in_addr a{};
    inet_pton(AF_INET, text, &a);
    return a.s_addr;
}

struct Pending
{
    int64_t due; // CLOCK_MONOTONIC
    uint32_t from;
    uint32_t to;
    Bytes icmp;
    int ttl; // -1: the system default
    bool operator>(const Pending& other) const { return due > other.due; }
};

class Responder
{
public:
    explicit Responder(int fd) : m_fd(fd) {}

    void handle(const uint8_t* packet, size_t len, int64_t arrival)
    {
        const size_t ihl = size_t(packet[0] & 0x0f) * 4;
        if (len < ihl + 8 || packet[9] != IPPROTO_ICMP || packet[ihl] != ICMP_ECHO)
            return;
        uint32_t src, dst;
        std::memcpy(&src, packet + 12, 4);
        std::memcpy(&dst, packet + 16, 4);
        const netbed::ResponderHost host = lookup(dst);
        const Bytes request(packet + ihl, packet + len);
        Bytes reply = request;
        reply[0] = ICMP_ECHOREPLY;
        setChecksum(reply);
        const int64_t later = arrival + int64_t(host.delayMs) * 1000000;

        switch (host.behaviour) {
        case Behaviour::Echo:
            queue(arrival, dst, src, reply);
            break;
        case Behaviour::MirrorTtl:
            queue(arrival, dst, src, reply, packet[8]);
            break;
        case Behaviour::Delay:
            queue(later, dst, src, reply);
            break;
        case Behaviour::Drop:
            break;
        case Behaviour::Duplicate:
            queue(arrival, dst, src, reply);
            queue(later, dst, src, reply);
            break;
        case Behaviour::ForgedThenGenuine:
            for (Behaviour forgery :
                 {Behaviour::WrongIdent, Behaviour::WrongSequence, Behaviour::WrongPayload,
                  Behaviour::ShortPayload, Behaviour::WrongSource, Behaviour::BadChecksum})
                forge(forgery, arrival, dst, src, reply);
            queue(later, dst, src, reply);
            break;
        case Behaviour::IcmpError:
            queue(arrival, dst, src, error(host.type, host.code, packet, ihl, 0));
            break;
        case Behaviour::RedirectThenGenuine:
            queue(arrival, dst, src,
                  error(ICMP_REDIRECT, ICMP_REDIR_HOST, packet, ihl,
                        address(netbed::ResponderEcho.address)));
            queue(later, dst, src, reply);
            break;
        case Behaviour::ForgedErrorThenGenuine:
            forgedErrors(arrival, dst, src, packet, ihl);
            queue(later, dst, src, reply);
            break;
        default:
            forge(host.behaviour, arrival, dst, src, reply);
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
    static netbed::ResponderHost lookup(uint32_t dst)
    {
        const uint8_t octet = uint8_t(ntohl(dst) & 0xff);
        if (octet >= netbed::UnreachableBase && octet <= netbed::UnreachableBase + 15)
            return {"", Behaviour::IcmpError, 0, ICMP_DEST_UNREACH,
                    uint8_t(octet - netbed::UnreachableBase)};
        for (const netbed::ResponderHost& h : netbed::Behaviours) {
            if (address(h.address) == dst)
                return h;
        }
        return netbed::ResponderEcho;
    }

    void forge(Behaviour kind, int64_t when, uint32_t from, uint32_t to, Bytes reply)
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
            from = address(netbed::ResponderEcho.address);
            break;
        case Behaviour::BadChecksum:
            addToWord(reply, 2, 1);
            queue(when, from, to, reply);
            return;
        default:
            return;
        }
        setChecksum(reply);
        queue(when, from, to, reply);
    }

    // ICMP error quoting the request's IP header and the first 8 bytes after it.
    static Bytes error(uint8_t type, uint8_t code, const uint8_t* packet, size_t ihl,
                       uint32_t gateway)
    {
        Bytes msg(8, 0);
        msg[0] = type;
        msg[1] = code;
        if (type == ICMP_DEST_UNREACH && code == ICMP_FRAG_NEEDED) {
            msg[6] = uint8_t(netbed::FragNeededMtu >> 8);
            msg[7] = uint8_t(netbed::FragNeededMtu);
        } else if (type == ICMP_PARAMETERPROB) {
            msg[4] = 1; // points at the type-of-service byte
        } else if (type == ICMP_REDIRECT) {
            std::memcpy(msg.data() + 4, &gateway, 4);
        }
        msg.insert(msg.end(), packet, packet + ihl + 8);
        setChecksum(msg);
        return msg;
    }

    void forgedErrors(int64_t when, uint32_t from, uint32_t to, const uint8_t* packet, size_t ihl)
    {
        for (int variant = 0; variant < 3; ++variant) {
            Bytes quoted(packet, packet + ihl + 8);
            if (variant == 0)
                addToWord(quoted, ihl + 6, 1); // sequence
            else if (variant == 1)
                addToWord(quoted, ihl + 4, 1); // identifier
            else
                quoted[19] ^= 0x01; // destination address
            queue(when, from, to,
                  error(ICMP_DEST_UNREACH, ICMP_HOST_UNREACH, quoted.data(), ihl, 0));
        }
    }

    void queue(int64_t due, uint32_t from, uint32_t to, Bytes icmp, int ttl = -1)
    {
        m_pending.push(Pending{due, from, to, std::move(icmp), ttl});
    }

    // Sent from the address that was asked (every 10.201.20.x is local here): IP_PKTINFO
    // picks the source while the kernel still fragments large replies.
    void send(const Pending& p)
    {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_addr.s_addr = p.to;
        char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
        iovec iov{const_cast<uint8_t*>(p.icmp.data()), p.icmp.size()};
        msghdr msg{};
        msg.msg_name = &to;
        msg.msg_namelen = sizeof to;
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        msg.msg_control = control;
        msg.msg_controllen = sizeof control;
        cmsghdr* c = CMSG_FIRSTHDR(&msg);
        c->cmsg_level = SOL_IP;
        c->cmsg_type = IP_PKTINFO;
        c->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
        in_pktinfo info{};
        info.ipi_spec_dst.s_addr = p.from;
        std::memcpy(CMSG_DATA(c), &info, sizeof info);
        if (setsockopt(m_fd, SOL_IP, IP_TTL, &p.ttl, sizeof p.ttl) != 0)
            std::fprintf(stderr, "responder: IP_TTL %d: %s\n", p.ttl, std::strerror(errno));
        if (sendmsg(m_fd, &msg, 0) < 0)
            std::fprintf(stderr, "responder: sendmsg: %s\n", std::strerror(errno));
    }

    int m_fd;
    std::priority_queue<Pending, std::vector<Pending>, std::greater<>> m_pending;
};

volatile sig_atomic_t g_stop = 0;

void onSignal(int)
{
    g_stop = 1;
}

} // namespace

int main(int argc, char** argv)
{
    std::string readyFile;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--ready") == 0 && i + 1 < argc)
            readyFile = argv[++i];
    }
    const int fd = socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (fd < 0) {
        std::fprintf(stderr, "responder: raw socket: %s\n", std::strerror(errno));
        return 1;
    }
    const int on = 1;
    const int buffer = 8 << 20;
    setsockopt(fd, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);
    setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &buffer, sizeof buffer);
    setsockopt(fd, SOL_SOCKET, SO_SNDBUFFORCE, &buffer, sizeof buffer);
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

    Responder responder(fd);
    std::vector<uint8_t> packet(70000);
    while (!g_stop) {
        const int64_t due = responder.nextDue();
        timespec wait{1, 0};
        if (due >= 0) {
            const int64_t left = std::max<int64_t>(0, due - nowNs(CLOCK_MONOTONIC));
            wait = {time_t(left / 1000000000), long(left % 1000000000)};
        }
        pollfd pfd{fd, POLLIN, 0};
        const int ready = ppoll(&pfd, 1, &wait, nullptr);
        if (ready < 0 && errno != EINTR) {
            std::fprintf(stderr, "responder: poll: %s\n", std::strerror(errno));
            return 1;
        }
        while (ready > 0) {
            char control[256];
            iovec iov{packet.data(), packet.size()};
            msghdr msg{};
            msg.msg_iov = &iov;
            msg.msg_iovlen = 1;
            msg.msg_control = control;
            msg.msg_controllen = sizeof control;
            const ssize_t n = recvmsg(fd, &msg, MSG_DONTWAIT);
            if (n < 0)
                break;
            // Delays count from the moment the kernel received the request.
            int64_t arrival = nowNs(CLOCK_MONOTONIC);
            for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
                if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_TIMESTAMPNS) {
                    timespec ts;
                    std::memcpy(&ts, CMSG_DATA(c), sizeof ts);
                    const int64_t age =
                        nowNs(CLOCK_REALTIME) - (int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec);
                    if (age >= 0 && age < 1000000000)
                        arrival -= age;
                }
            }
            if (n >= 20)
                responder.handle(packet.data(), size_t(n), arrival);
        }
        responder.sendDue(nowNs(CLOCK_MONOTONIC));
    }
    return 0;
}
