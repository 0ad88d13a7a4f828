// The echo session's target: a dotted IPv4 address, an IPv6 literal, or a name that the
// resolver turns into an IPv4 address, or into an IPv6 one when it has none.

#include "net/Icmp.h"

#include "net/NetLookup.h"

#include <arpa/inet.h>
#include <net/if.h>
#include <netdb.h>

#include <cstring>

namespace {

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

QString ipv6Text(const in6_addr& address, uint32_t scopeId)
{
    char text[INET6_ADDRSTRLEN] = {};
    inet_ntop(AF_INET6, &address, text, sizeof text);
    QString result = QString::fromLatin1(text);
    if (scopeId != 0) {
        char name[IF_NAMESIZE] = {};
        result += u'%' + (if_indextoname(scopeId, name) ? QString::fromLocal8Bit(name)
                                                        : QString::number(scopeId));
    }
    return result;
}

QString ipv4Text(uint32_t address)
{
    char text[INET_ADDRSTRLEN] = {};
    in_addr a{address};
    inet_ntop(AF_INET, &a, text, sizeof text);
    return QString::fromLatin1(text);
}

} // namespace

bool TICMP::usableTarget() const
{
    if (AddressFamily == AF_INET6)
        // A link-local address means nothing without the link it belongs to.
        return Resolved && !(IN6_IS_ADDR_LINKLOCAL(&TargetAddress6) && TargetScopeId == 0);
    return TargetAddress != INADDR_NONE;
}

void TICMP::ResolveTarget()
{
    AddressFamily = AF_INET;
    TargetAddress = icmpwire::parseDottedAddress(m_targetHost);
    in6_addr six{};
    uint32_t scope = 0;
    if (TargetAddress != INADDR_NONE) {
        TargetName = m_targetHost;
    } else if (icmpwire::parseIpv6Literal(m_targetHost, six, scope)) {
        TargetName = m_targetHost;
        if (IN6_IS_ADDR_V4MAPPED(&six)) {
            // An IPv4 host written the IPv6 way: IPv6 sockets refuse it, IPv4 ones reach it.
            std::memcpy(&TargetAddress, six.s6_addr + 12, 4);
        } else {
            AddressFamily = AF_INET6;
            TargetAddress = 0;
            TargetAddress6 = six;
            TargetScopeId = scope;
        }
    } else {
        const QByteArray name = m_targetHost.toUtf8();
        // No name holds a colon: such text is a broken literal, not worth a look-up.
        if (name.isEmpty() || name.contains('\0') || name.contains(':')) {
            LastError = lookupError(EAI_NONAME);
            return;
        }
        if (!lookUpName(name))
            return;
    }
    TargetAddressText = AddressFamily == AF_INET6 ? ipv6Text(TargetAddress6, TargetScopeId)
                                                  : ipv4Text(TargetAddress);
    Resolved = true;
}

bool TICMP::lookUpName(const QByteArray& name)
{
    netlookup::Address found;
    if (!netlookup::resolve(name, m_wakeFd, found)) {
        Interrupted = true;
        return false;
    }
    if (found.rc != 0) {
        LastError = lookupError(found.rc);
        return false;
    }
    if (found.address.ss_family == AF_INET6) {
        const auto* a = reinterpret_cast<const sockaddr_in6*>(&found.address);
        AddressFamily = AF_INET6;
        TargetAddress = 0;
        TargetAddress6 = a->sin6_addr;
        TargetScopeId = a->sin6_scope_id;
    } else {
        TargetAddress = reinterpret_cast<const sockaddr_in*>(&found.address)->sin_addr.s_addr;
    }
    TargetName = found.canonicalName.isEmpty() ? m_targetHost : found.canonicalName;
    return true;
}

QString TICMP::LastReplyAddressText() const
{
    if (AddressFamily == AF_INET6)
        return IN6_IS_ADDR_UNSPECIFIED(&LastReplyAddress6)
                   ? QString()
                   : ipv6Text(LastReplyAddress6, LastReplyScopeId);
    return LastReply.Address == 0 ? QString() : ipv4Text(LastReply.Address);
}
