#pragma once
// One ICMP echo session: host text in, one echo request out, the first matching reply or the
// IP status code of the failure back, over IPv4 or IPv6 (ICMPv6) as the host text says.
// Network failures are data; only a session that cannot open its IPv4 socket throws.

#include "platform/errors.h"

#include <QByteArray>
#include <QString>

#include <netinet/in.h>

#include <sys/socket.h>

#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

static_assert(std::endian::native == std::endian::little,
              "the reply record is laid out little-endian");

// IP option information as the reply record carries it (8 bytes).
struct TIpOptionInformation
{
    uint8_t Ttl = 0;
    uint8_t Tos = 0;
    uint8_t Flags = 0;
    uint8_t OptionsSize = 0;
    uint32_t OptionsData = 0; // never points anywhere: options are not passed through
};

// The 28-byte echo reply record of 32-bit processes.
struct TEchoReply
{
    uint32_t Address = 0;       // source of the reply, network byte order
    uint32_t Status = 0;        // IP status code, 0 = success
    uint32_t RoundTripTime = 0; // whole milliseconds
    uint16_t DataSize = 0;      // echoed payload bytes
    uint16_t Reserved = 0;
    uint32_t Data = 0; // the reply buffer does not outlive the call, so this stays 0
    TIpOptionInformation Options;
};
static_assert(sizeof(TIpOptionInformation) == 8);
static_assert(sizeof(TEchoReply) == 28);
static_assert(offsetof(TEchoReply, Status) == 4 && offsetof(TEchoReply, RoundTripTime) == 8 &&
              offsetof(TEchoReply, DataSize) == 12 && offsetof(TEchoReply, Data) == 16 &&
              offsetof(TEchoReply, Options) == 20);

class TICMPException : public TmError
{
public:
    using TmError::TmError;
};

// IP status codes the session reports.
namespace IpStatus {
constexpr uint32_t Success = 0;
constexpr uint32_t BufTooSmall = 11001;
constexpr uint32_t DestNetUnreachable = 11002;
constexpr uint32_t DestHostUnreachable = 11003;
constexpr uint32_t DestProtUnreachable = 11004;
constexpr uint32_t DestPortUnreachable = 11005;
constexpr uint32_t NoResources = 11006;
constexpr uint32_t BadOption = 11007;
constexpr uint32_t HwError = 11008;
constexpr uint32_t PacketTooBig = 11009;
constexpr uint32_t ReqTimedOut = 11010;
constexpr uint32_t BadReq = 11011;
constexpr uint32_t BadRoute = 11012;
constexpr uint32_t TtlExpiredTransit = 11013;
constexpr uint32_t TtlExpiredReassem = 11014;
constexpr uint32_t ParamProblem = 11015;
constexpr uint32_t SourceQuench = 11016;
constexpr uint32_t OptionTooBig = 11017;
constexpr uint32_t BadDestination = 11018;
constexpr uint32_t GeneralFailure = 11050;
} // namespace IpStatus

class TICMP
{
public:
    enum class SocketKind
    {
        Datagram,
        Raw
    };

    TICMP(); // throws TICMPException; the message names the cure
    ~TICMP();
    TICMP(const TICMP&) = delete;
    TICMP& operator=(const TICMP&) = delete;

    void SetTargetHost(const QString& host);
    QString TargetHost() const { return m_targetHost; }

    TEchoReply LastReply; // over IPv6 its Address stays 0: see LastReplyAddress6
    QString TargetName;
    QString TargetAddressText;  // dotted, or IPv6 text with "%zone" for a link-local address
    uint32_t TargetAddress = 0; // network byte order; 0xFFFFFFFF = no usable address
    // AF_INET, or AF_INET6 once the target resolved to an IPv6 address (TargetAddress then 0).
    int AddressFamily = AF_INET;
    in6_addr TargetAddress6{};
    uint32_t TargetScopeId = 0; // interface index of a link-local target's zone
    int32_t DataSize = 56;
    int32_t TimeOutMs = 4000;
    int32_t TimeToLive = 64; // low byte sent; a low byte of 0 keeps the system default
    int32_t IpFlags = 0;     // IpFlagDontFragment sets DF, nothing else is honoured
    uint32_t LastError = 0;
    bool Resolved = false;

    static constexpr int32_t IpFlagDontFragment = 0x02;

    // Number of replies stored (0 or 1); 0 means failure and LastError says why.
    uint32_t SendEchoRequest();
    void ResolveTarget();
    QString DescribeLastError() const { return describe(LastError); }
    static QString describe(uint32_t code);

    // Which socket the constructor could open (IPv6 follows the same rule, opened on first use).
    SocketKind Kind() const { return m_v4.kind; }
    // Round trip of the last successful echo in microseconds (the record keeps milliseconds).
    int64_t LastRoundTripUs = 0;
    // Source of the last reply or error over IPv6 (the record's Address holds only IPv4).
    in6_addr LastReplyAddress6{};
    uint32_t LastReplyScopeId = 0;
    // The last reply's or error's source as text in the target's family; empty when none.
    QString LastReplyAddressText() const;
    // A descriptor that, once readable, ends the wait for a reply or a name look-up at once
    // (-1: none). The echo then fails with 11010 and Interrupted is set.
    void SetWakeDescriptor(int fd) { m_wakeFd = fd; }
    bool Interrupted = false;

private:
    struct Sent;
    struct Channel
    {
        int fd = -1;
        int family = AF_INET;
        SocketKind kind = SocketKind::Datagram;
        uint16_t ident = 0;
    };
    static Channel openChannel(int family);
    static void closeChannel(Channel& channel);
    bool usableTarget() const;
    bool fromTarget(const sockaddr_storage& from) const;
    bool setEchoOptions(const Channel& ch, bool dontFragment);
    bool sendRequest(const Channel& ch, const std::vector<uint8_t>& request);
    uint32_t waitForAnswer(const Channel& ch, const Sent& sent, size_t requestSize);
    bool lookUpName(const QByteArray& name);
    bool matchReply(const Channel& ch, const uint8_t* data, size_t len,
                    const sockaddr_storage& from, const Sent& sent) const;
    uint32_t matchRawError(const uint8_t* icmp, size_t len, const Sent& sent) const;
    uint32_t matchRawError6(const uint8_t* icmp, size_t len, const Channel& ch,
                            const Sent& sent) const;
    void drainQueues(const Channel& ch);
    bool readErrorQueue(const Channel& ch, const Sent& sent);
    bool readNormalQueue(const Channel& ch, const Sent& sent, uint8_t* buffer, size_t size);
    void storeSource(const sockaddr_storage& from);
    void storeError(uint32_t status, const sockaddr_storage& from, int64_t roundTripNs);

    QString m_targetHost;
    Channel m_v4;
    Channel m_v6; // opened by the first echo to an IPv6 target
    int m_wakeFd = -1;
    uint16_t m_sequence = 0;
};

// The pieces of the session that need no socket, for the session itself and its tests.
namespace icmpwire {
// The request payload: spaces with the fixed text at the start, cut to size.
QByteArray buildPayload(int size);
// Status code for an ICMP error message; 0 when the message is no error (redirect, reply).
uint32_t statusForIcmp(uint8_t type, uint8_t code);
// The same for ICMPv6, by meaning: no route and beyond scope are the net's, prohibited (and the
// other policy codes) as for IPv4, address unreachable the host's.
uint32_t statusForIcmp6(uint8_t type, uint8_t code);
// Status code for a local send failure; never 0.
uint32_t statusForErrno(int error);
// Dotted IPv4 forms as the classic inet_addr reads them (a, a.b, a.b.c, a.b.c.d; decimal,
// octal, hex), nothing else: no blanks, no trailing text. 0xFFFFFFFF when it does not parse.
uint32_t parseDottedAddress(const QString& text);
// An IPv6 literal as an operator types it: with or without brackets, a link-local one with a
// zone ("%eth0" or "%2"). False for anything else, an unknown zone included.
bool parseIpv6Literal(const QString& text, in6_addr& address, uint32_t& scopeId);
// Removes leading and trailing characters with codes 0 to 32.
QString trimControl(const QString& text);
// Internet checksum over len bytes.
uint16_t checksum(const uint8_t* data, size_t len);
} // namespace icmpwire
