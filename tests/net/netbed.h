#pragma once
// The network test bed that tests/net/netbed.sh builds (root only), as constants.
//
//   tmn-cdg  (datagram client)  10.201.1.2  --+                +-- 10.201.10.2  tmn-tgt (kernel)
//   tmn-craw (raw client)       10.201.2.2  --+-- tmn-rtr -----+-- 10.201.11.2  tmn-tgt, MTU 1000
//   tmn-cdns (datagram client,  10.201.3.2  --+                +-- 10.201.12.2  tmn-tgt, MTU 1280
//             silent DNS)                                      +-- 10.201.20.x  tmn-rsp (responder,
//                                                                    linked through 10.201.19.0/24)
//
// IPv6 runs beside IPv4 on every link: the twin of 10.201.X.Y is fd10:201:X::Y (v6() below),
// except on the MTU-1000 link, which IPv6 cannot use (its minimum is 1280); the MTU-1280 link
// serves it instead. The router's end of each client link also has the link-local fe80::1.
//
// Test programs run inside one of the two client namespaces (tm_add_netbed_tests() in
// NetBed.cmake). In tmn-cdg net.ipv4.ping_group_range is open, so the engine gets a datagram
// socket; in tmn-craw it is closed and the engine falls back to a raw socket. The clients route
// only 10.201.0.0/16 (through the router); an address outside it fails locally with ENETUNREACH,
// (IPv6: fd10:201::/32), so nothing ever leaves the bed. The clients' resolver knows the names
// below from their own hosts file and sends DNS queries only to their own loopback, where
// nothing answers: unknown names fail at once. In tmn-cdns the DNS server never answers, so any
// look-up of a name or address the hosts file does not know hangs for 30 s.
//
// Every responder address (10.201.20.0/24) is answered by tests/net/responder.cpp with the
// behaviour of the table below, chosen by the destination address; addresses missing from the
// table get a plain immediate reply. The kernel of tmn-rsp does not answer echoes itself.
//
// Include as "net/netbed.h" from a program registered with tm_add_netbed_tests(); start every
// test that needs the bed with TM_REQUIRE_NETBED().

#include <cstdint>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <unistd.h>

namespace netbed {

// Client namespaces and their own addresses.
inline constexpr const char* DatagramClient = "tmn-cdg";
inline constexpr const char* RawClient = "tmn-craw";
inline constexpr const char* HangingDnsClient = "tmn-cdns";
inline constexpr const char* DatagramClientAddress = "10.201.1.2";
inline constexpr const char* RawClientAddress = "10.201.2.2";

// The router as each client sees it: it sends "time exceeded" for a time-to-live of 1.
inline constexpr const char* DatagramClientRouter = "10.201.1.1";
inline constexpr const char* RawClientRouter = "10.201.2.1";

// Answered by the real kernel of tmn-tgt.
inline constexpr const char* Target = "10.201.10.2";
inline constexpr const char* TargetName = "target.tmn.test"; // official name, reverse look-up
inline constexpr const char* TargetAlias = "tmn-target";     // resolves to Target
// Behind a link of MTU 1000 from the router: a request with DF above 972 bytes of payload
// gets "fragmentation needed"; without DF any size up to 64000 comes back.
inline constexpr const char* SmallMtuTarget = "10.201.11.2";
inline constexpr int SmallMtu = 1000;

// Routes of the router. The router's kernel sends these three errors (unreachable, prohibit,
// no route) only five times in a burst per client address, then once a second (the global
// net.ipv4.route.error_burst / error_cost, which the bed leaves alone); a fresh bed starts with
// a full burst. Use them sparingly: the responder gives every error without a limit.
inline constexpr const char* Unreachable = "10.201.40.1"; // "unreachable" route: type 3 code 1
inline constexpr const char* Prohibited = "10.201.41.1";  // "prohibit" route: type 3 code 13
inline constexpr const char* Blackhole = "10.201.42.1";   // "blackhole": silence, a time-out
inline constexpr const char* NoRoute = "10.201.43.1";     // no route at the router: type 3 code 0
// No route in the client itself: sendto fails with ENETUNREACH, nothing is sent.
inline constexpr const char* ClientNoRoute = "198.51.100.1";

// IPv6 counterparts. The router's routes answer with ICMPv6 type 1 code 0 (unreachable),
// code 1 (prohibit), silence (blackhole) and code 0 (no route); its error limiter is off.
inline constexpr const char* Target6 = "fd10:201:10::2";
inline constexpr const char* SmallMtuTarget6 = "fd10:201:12::2"; // behind a link of MTU 1280
inline constexpr int SmallMtu6 = 1280;
inline constexpr const char* Unreachable6 = "fd10:201:40::1";
inline constexpr const char* Prohibited6 = "fd10:201:41::1";
inline constexpr const char* Blackhole6 = "fd10:201:42::1";
inline constexpr const char* NoRoute6 = "fd10:201:43::1";
inline constexpr const char* ClientNoRoute6 = "2001:db8::1";
inline constexpr const char* LinkLocalRouter = "fe80::1%eth0"; // the router, from any client

// Names of the clients' hosts file.
inline constexpr const char* ResponderName = "responder.tmn.test"; // ResponderEcho
inline constexpr const char* BroadcastName = "broadcast.tmn.test"; // 255.255.255.255
inline constexpr const char* UnknownName = "nosuchhost.tmn.test";  // no such name
// Target6 only: a name without an IPv4 address. TargetName and TargetAlias have both; the
// reverse look-up of Target6 gives TargetName.
inline constexpr const char* Target6Name = "target6.tmn.test";
inline constexpr const char* Target6Alias = "tmn-target6";
inline constexpr const char* ResponderName6 = "responder.tmn.test"; // also ResponderEcho's twin

// The IPv6 twin of a bed address: "10.201.X.Y" gives "fd10:201:X::Y".
inline std::string v6(std::string_view v4)
{
    const size_t third = v4.find('.', v4.find('.') + 1) + 1;
    const size_t fourth = v4.find('.', third) + 1;
    return "fd10:201:" + std::string(v4.substr(third, fourth - 1 - third)) +
           "::" + std::string(v4.substr(fourth));
}

// The responder's behaviours, by destination address, the same for an address and its IPv6
// twin. Over IPv6 the forgeries and the redirect are their ICMPv6 kinds (a redirect is type
// 137); IcmpError rows and the IPv4 error range answer IPv6 with a plain reply, and IPv6
// errors have their own rows (Icmp6Errors). A forged checksum never reaches an IPv6 socket:
// the client's kernel drops it.
enum class Behaviour
{
    Echo,                   // reply at once
    MirrorTtl,              // reply at once with the time-to-live the request arrived with, so
                            // the client sees the one it sent minus 2 (two router hops)
    Delay,                  // reply after delayMs, timed from the kernel's receive time
    Drop,                   // never reply
    Duplicate,              // reply at once and once more after delayMs
    WrongIdent,             // only a reply with another identifier
    WrongSequence,          // only a reply with another sequence number
    WrongPayload,           // only a reply with one payload byte changed (valid checksum)
    ShortPayload,           // only a reply one byte shorter (one longer for an empty payload)
    WrongSource,            // only a reply sent from ResponderEcho instead of the target
    BadChecksum,            // only a reply with a wrong ICMP checksum
    ForgedThenGenuine,      // every forgery above at once, the genuine reply after delayMs
    IcmpError,              // an ICMP error (type, code) quoting the request correctly
    RedirectThenGenuine,    // a redirect quoting the request, the genuine reply after delayMs
    ForgedErrorThenGenuine, // "host unreachable" quoting another sequence, identifier and
                            // destination, the genuine reply after delayMs
};

struct ResponderHost
{
    const char* address;
    Behaviour behaviour;
    int delayMs;
    uint8_t type; // IcmpError only
    uint8_t code;
};

inline constexpr ResponderHost ResponderEcho{"10.201.20.2", Behaviour::Echo, 0, 0, 0};
inline constexpr ResponderHost ResponderNoName{"10.201.20.3", Behaviour::Echo, 0, 0, 0}; // no
                                                                                         // name
inline constexpr ResponderHost MirrorTtl{"10.201.20.4", Behaviour::MirrorTtl, 0, 0, 0};
inline constexpr ResponderHost Delay20{"10.201.20.20", Behaviour::Delay, 20, 0, 0};
inline constexpr ResponderHost Delay150{"10.201.20.150", Behaviour::Delay, 150, 0, 0};
inline constexpr ResponderHost Drop{"10.201.20.30", Behaviour::Drop, 0, 0, 0};
inline constexpr ResponderHost Late{"10.201.20.31", Behaviour::Delay, 600, 0, 0};
inline constexpr ResponderHost Duplicate{"10.201.20.32", Behaviour::Duplicate, 300, 0, 0};
inline constexpr ResponderHost WrongIdent{"10.201.20.40", Behaviour::WrongIdent, 0, 0, 0};
inline constexpr ResponderHost WrongSequence{"10.201.20.41", Behaviour::WrongSequence, 0, 0, 0};
inline constexpr ResponderHost WrongPayload{"10.201.20.42", Behaviour::WrongPayload, 0, 0, 0};
inline constexpr ResponderHost ShortPayload{"10.201.20.43", Behaviour::ShortPayload, 0, 0, 0};
inline constexpr ResponderHost WrongSource{"10.201.20.45", Behaviour::WrongSource, 0, 0, 0};
inline constexpr ResponderHost BadChecksum{"10.201.20.46", Behaviour::BadChecksum, 0, 0, 0};
inline constexpr ResponderHost ForgedThenGenuine{"10.201.20.44", Behaviour::ForgedThenGenuine, 40,
                                                 0, 0};
inline constexpr ResponderHost RedirectThenGenuine{"10.201.20.74", Behaviour::RedirectThenGenuine,
                                                   30, 0, 0};
inline constexpr ResponderHost ForgedErrorThenGenuine{"10.201.20.75",
                                                      Behaviour::ForgedErrorThenGenuine, 40, 0, 0};

// ICMP errors: type 3 code c answers at 10.201.20.(50 + c) for c = 0..15; the others below.
inline constexpr int UnreachableBase = 50;
inline constexpr ResponderHost TimeExceededTransit{"10.201.20.70", Behaviour::IcmpError, 0, 11, 0};
inline constexpr ResponderHost TimeExceededReassembly{"10.201.20.71", Behaviour::IcmpError, 0, 11,
                                                      1};
inline constexpr ResponderHost ParameterProblem{"10.201.20.72", Behaviour::IcmpError, 0, 12, 0};
inline constexpr ResponderHost SourceQuench{"10.201.20.73", Behaviour::IcmpError, 0, 4, 0};
// The next-hop MTU that the "fragmentation needed" error (code 4) announces.
inline constexpr int FragNeededMtu = 1000;

// ICMPv6 errors, over IPv6 only (IPv4 gets a plain reply there): type 1 code c answers at
// fd10:201:20::(80 + c) for c = 0..7; the others below.
inline constexpr int Unreachable6Base = 80;
inline constexpr ResponderHost PacketTooBig6{"10.201.20.88", Behaviour::IcmpError, 0, 2, 0};
inline constexpr ResponderHost HopLimitExceeded6{"10.201.20.89", Behaviour::IcmpError, 0, 3, 0};
inline constexpr ResponderHost ReassemblyExceeded6{"10.201.20.90", Behaviour::IcmpError, 0, 3, 1};
inline constexpr ResponderHost HeaderFieldProblem6{"10.201.20.91", Behaviour::IcmpError, 0, 4, 0};
inline constexpr ResponderHost NextHeaderProblem6{"10.201.20.92", Behaviour::IcmpError, 0, 4, 1};
inline constexpr ResponderHost OptionProblem6{"10.201.20.93", Behaviour::IcmpError, 0, 4, 2};
// The MTU that PacketTooBig6 announces (IPv6's minimum: the client cannot be told less).
inline constexpr int PacketTooBig6Mtu = 1280;

inline constexpr ResponderHost Icmp6Errors[] = {
    PacketTooBig6,       HopLimitExceeded6,  ReassemblyExceeded6,
    HeaderFieldProblem6, NextHeaderProblem6, OptionProblem6,
};

inline constexpr ResponderHost Behaviours[] = {
    ResponderEcho,
    ResponderNoName,
    MirrorTtl,
    Delay20,
    Delay150,
    Drop,
    Late,
    Duplicate,
    WrongIdent,
    WrongSequence,
    WrongPayload,
    ShortPayload,
    WrongSource,
    BadChecksum,
    ForgedThenGenuine,
    RedirectThenGenuine,
    ForgedErrorThenGenuine,
    TimeExceededTransit,
    TimeExceededReassembly,
    ParameterProblem,
    SourceQuench,
};

// The client namespace this program runs in (DatagramClient or RawClient), or nullptr
// outside the bed. Set by tests/net/inbed.sh.
inline const char* client()
{
    return std::getenv("TM_NETBED_INSIDE");
}

// Why the bed cannot be used here, or nullptr when it can.
inline const char* unavailableReason()
{
    if (const char* reason = std::getenv("TM_NETBED_SKIP"))
        return reason;
    if (!client())
        return "not inside the network test bed: run it through ctest, or as root with "
               "tests/net/inbed.sh <program> after tests/net/netbed.sh up <responder>";
    return nullptr;
}

// The ICMP sockets (datagram or raw, IPv4 or IPv6) that a process has open, as its network
// namespace lists them: a session exists once its socket does, so this tells from outside
// whether a prober or the workers of this program are out with their echoes.
inline int echoSockets(pid_t pid)
{
    const std::string proc = "/proc/" + std::to_string(pid);
    std::set<std::string> open; // socket inodes of the process
    if (DIR* fds = ::opendir((proc + "/fd").c_str())) {
        while (const dirent* fd = ::readdir(fds)) {
            char target[64] = {};
            const std::string link = proc + "/fd/" + fd->d_name;
            const ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
            const std::string_view t(target, n > 0 ? size_t(n) : 0);
            if (t.substr(0, 8) == "socket:[" && t.back() == ']')
                open.insert(std::string(t.substr(8, t.size() - 9)));
        }
        ::closedir(fds);
    }
    int count = 0;
    for (const char* table : {"/net/icmp", "/net/icmp6", "/net/raw", "/net/raw6"}) {
        std::ifstream in(proc + table);
        std::string line;
        std::getline(in, line); // the heading
        while (std::getline(in, line)) {
            // sl local remote st tx:rx tr:when retrnsmt uid timeout inode ...
            std::istringstream fields(line);
            std::string field;
            int index = 0;
            while (fields >> field && index < 9)
                ++index;
            if (index == 9)
                count += open.count(field) > 0;
        }
    }
    return count;
}

inline bool rawClient()
{
    const char* c = client();
    return c && std::string_view(c) == RawClient;
}

inline const char* router()
{
    return rawClient() ? RawClientRouter : DatagramClientRouter;
}

} // namespace netbed

// Skips the test without root, where the bed cannot exist; as root (CI) a missing bed is a
// failure, so that a broken bed cannot pass as a run of skipped tests.
#define TM_REQUIRE_NETBED()                                                                        \
    do {                                                                                           \
        if (const char* tmReason = netbed::unavailableReason()) {                                  \
            if (::geteuid() == 0)                                                                  \
                FAIL() << tmReason;                                                                \
            GTEST_SKIP() << tmReason;                                                              \
        }                                                                                          \
    } while (0)
