#include "platform/copy/smbsession.h"

#include "platform/copy/filecopy.h"
#include "platform/logging.h"

#include <QByteArray>
#include <QDir>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace filecopy {

namespace {

std::atomic<int> g_debugLevel{-1};

int debugLevel()
{
    int level = g_debugLevel.load();
    if (level < 0) {
        bool ok = false;
        level = qEnvironmentVariableIntValue("TALLOWMERE_SMB_DEBUG", &ok);
        if (!ok || level < 0)
            level = 0;
    }
    return level;
}

void copyInto(char* buffer, int size, const QString& text)
{
    if (size <= 0)
        return;
    const QByteArray bytes = text.toUtf8();
    const int n = std::min<int>(int(bytes.size()), size - 1);
    std::memcpy(buffer, bytes.constData(), size_t(n));
    buffer[n] = '\0';
}

// Called by libsmbclient whenever it connects to a server; the environment is read anew each
// time, so a changed USER applies to the next new connection.
void authenticate(SMBCCTX*, const char*, const char*, char* workgroup, int workgroupSize,
                  char* user, int userSize, char* password, int passwordSize)
{
    const SmbCredentials credentials =
        credentialsFromEnvironment(qEnvironmentVariable("USER"), qEnvironmentVariable("PASSWD"));
    if (!credentials.workgroup.isEmpty())
        copyInto(workgroup, workgroupSize, credentials.workgroup);
    copyInto(user, userSize, credentials.user);
    copyInto(password, passwordSize, credentials.password);
}

bool fail(QString* reason, const QString& text)
{
    if (reason)
        *reason = text;
    return false;
}

int peerPort(int fd)
{
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (::getpeername(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return 0;
    if (address.ss_family == AF_INET)
        return ntohs(reinterpret_cast<const sockaddr_in*>(&address)->sin_port);
    if (address.ss_family == AF_INET6)
        return ntohs(reinterpret_cast<const sockaddr_in6*>(&address)->sin6_port);
    return 0;
}

} // namespace

bool isNoAnswer(int error)
{
    switch (error) {
    case ETIMEDOUT:
    case ECONNREFUSED:
    case ECONNRESET:
    case ECONNABORTED:
    case ENOTCONN:
    case EPIPE:
    case EHOSTUNREACH:
    case EHOSTDOWN:
    case ENETUNREACH:
    case ENETDOWN:
    case ENETRESET:
        return true;
    default:
        return false;
    }
}

QString serverOfUrl(const QString& url)
{
    if (!url.startsWith(QLatin1String("smb://"), Qt::CaseInsensitive))
        return {};
    QString authority = url.mid(6).section(u'/', 0, 0);
    const qsizetype at = authority.lastIndexOf(u'@');
    if (at >= 0)
        authority = authority.mid(at + 1);
    return authority.toLower();
}

int smbPort(const QString& url)
{
    const QString server = serverOfUrl(url);
    // The port follows the last colon, after the closing bracket of an IPv6 address.
    const qsizetype colon = server.lastIndexOf(u':');
    if (colon < 0 || colon < server.lastIndexOf(u']'))
        return 0;
    bool ok = false;
    const int port = server.mid(colon + 1).toInt(&ok);
    return ok && port > 0 && port < 65536 ? port : 0;
}

int shutDownSmbSockets(int port)
{
    // Only the SMB client of this process talks to these ports, so every such socket is one of
    // its connections. Another thread may close and reuse a descriptor meanwhile; the peer
    // port check keeps that from touching anything but an SMB connection.
    int count = 0;
    const QStringList fds =
        QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System);
    for (const QString& name : fds) {
        bool ok = false;
        const int fd = name.toInt(&ok);
        struct stat st
        {
        };
        if (!ok || fd <= 2 || ::fstat(fd, &st) != 0 || !S_ISSOCK(st.st_mode))
            continue;
        int type = 0;
        socklen_t length = sizeof type;
        if (::getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &length) != 0 || type != SOCK_STREAM)
            continue;
        const int peer = peerPort(fd);
        if ((port != 0 && peer == port) || (port == 0 && (peer == 445 || peer == 139))) {
            ::shutdown(fd, SHUT_RDWR);
            ++count;
        }
    }
    return count;
}

SmbSession& SmbSession::instance()
{
    static SmbSession session;
    return session;
}

SMBCCTX* SmbSession::context(QString* reason)
{
    if (!onOwnerThread(reason))
        return nullptr;
    if (m_context)
        return m_context;
    // No smbc_thread_posix(): this libsmbclient no longer exports it, and a single owning
    // thread needs no locking by the library anyway.
    SMBCCTX* context = smbc_new_context();
    if (!context) {
        fail(reason, QStringLiteral("Cannot create an SMB client: %1")
                         .arg(QString::fromLocal8Bit(std::strerror(errno))));
        return nullptr;
    }
    // Set before initialising: the library's messages never reach stdout.
    smbc_setOptionDebugToStderr(context, 1);
    smbc_setDebug(context, debugLevel());
    smbc_setTimeout(context, kSmbTimeoutMs);
    smbc_setFunctionAuthDataWithContext(context, authenticate);
    smbc_setOptionUseKerberos(context, kerberosTicketPresent());
    smbc_setOptionFallbackAfterKerberos(context, 1);
    if (!smbc_init_context(context)) {
        const int error = errno;
        smbc_free_context(context, 0);
        fail(reason, QStringLiteral("Cannot start the SMB client: %1")
                         .arg(QString::fromLocal8Bit(std::strerror(error))));
        return nullptr;
    }
    m_context = context;
    return m_context;
}

bool SmbSession::reset(QString* reason)
{
    if (!onOwnerThread(reason))
        return false;
    if (m_context) {
        // Forced: the context goes whatever it still holds open.
        if (smbc_free_context(m_context, 1) != 0) {
            const int error = errno;
            qCWarning(lcCopy).noquote() << "the SMB client did not close cleanly:"
                                        << QString::fromLocal8Bit(std::strerror(error));
        }
        m_context = nullptr;
    }
    return true;
}

void SmbSession::abandon(int port)
{
    QString reason;
    if (!onOwnerThread(&reason)) {
        qCWarning(lcCopy).noquote() << "cannot drop the connections of the SMB client:" << reason;
        return;
    }
    shutDownSmbSockets(port);
    reset(nullptr);
}

void SmbSession::applyDebugLevel(int level)
{
    if (m_context && m_owner.load() == std::this_thread::get_id())
        smbc_setDebug(m_context, level);
}

void SmbSession::markUnanswered(const QString& server)
{
    m_unanswered.insert(server);
}

void SmbSession::clearUnanswered(const QString& server)
{
    m_unanswered.remove(server);
}

bool SmbSession::takeUnanswered(const QString& server)
{
    return m_unanswered.remove(server);
}

void SmbSession::addPartial(const QString& url, qint64 bytes)
{
    forgetPartial(url);
    m_partials.append({url, serverOfUrl(url), bytes});
}

void SmbSession::forgetPartial(const QString& url)
{
    m_partials.removeIf([&](const Partial& p) { return p.url == url; });
}

bool SmbSession::hasPartial(const QString& url) const
{
    return std::any_of(m_partials.begin(), m_partials.end(),
                       [&](const Partial& p) { return p.url == url; });
}

QList<SmbSession::Partial> SmbSession::partialsOn(const QString& server) const
{
    QList<Partial> result;
    for (const Partial& p : m_partials) {
        if (p.server == server)
            result.append(p);
    }
    return result;
}

bool SmbSession::onOwnerThread(QString* reason)
{
    const std::thread::id self = std::this_thread::get_id();
    std::thread::id expected{};
    if (m_owner.compare_exchange_strong(expected, self) || expected == self)
        return true;
    return fail(reason, QStringLiteral("The SMB client belongs to another thread; "
                                       "libsmbclient cannot be shared between threads"));
}

void setSmbDebugLevel(int level)
{
    g_debugLevel.store(std::max(level, 0));
    SmbSession::instance().applyDebugLevel(std::max(level, 0));
}

bool resetSmbSession()
{
    return SmbSession::instance().reset(nullptr);
}

} // namespace filecopy
