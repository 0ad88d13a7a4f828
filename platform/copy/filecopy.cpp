#include "platform/copy/filecopy.h"

#include <QByteArray>
#include <QFile>
#include <QStringList>
#include <QUrl>

#include <libsmbclient.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace filecopy {

namespace {

bool fail(QString* reason, const QString& text)
{
    if (reason)
        *reason = text;
    return false;
}

QString osText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

bool isUncSeparator(QChar c)
{
    return c == u'\\' || c == u'/';
}

bool startsWithSmbScheme(const QString& text)
{
    return text.startsWith(QLatin1String("smb://"), Qt::CaseInsensitive);
}

// Server, share and the path below it; fewer than three parts means something is missing.
QStringList uncParts(const QString& unc)
{
    if (!unc.startsWith(QLatin1String("\\\\")) || (unc.size() > 2 && isUncSeparator(unc[2])))
        return {};
    QStringList parts;
    QString part;
    for (qsizetype i = 2; i < unc.size(); ++i) {
        if (isUncSeparator(unc[i])) {
            if (!part.isEmpty())
                parts += part;
            part.clear();
        } else {
            part += unc[i];
        }
    }
    if (!part.isEmpty())
        parts += part;
    return parts;
}

// ---------------------------------------------------------------------------------------------
// Files and descriptors

class Fd
{
public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    ~Fd()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    void reset(int fd)
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }
    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    // Closing reports delayed write errors of some file systems, so its result counts.
    int release()
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }

private:
    int m_fd;
};

int openRetrying(const QByteArray& path, int flags, mode_t mode = 0)
{
    int fd;
    do {
        fd = ::open(path.constData(), flags | O_CLOEXEC, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

// Reads until the buffer is full or the file ends; -1 with errno on failure.
ssize_t readFull(int fd, char* buffer, size_t size)
{
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(fd, buffer + done, size - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (n == 0)
            break;
        done += size_t(n);
    }
    return ssize_t(done);
}

bool writeAll(int fd, const char* data, size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= size_t(n);
    }
    return true;
}

struct LocalSource
{
    Fd fd;
    struct stat st
    {
    };
};

bool openSource(const QString& path, LocalSource& source, QString* reason)
{
    source.fd.reset(openRetrying(QFile::encodeName(path), O_RDONLY));
    if (!source.fd.valid())
        return fail(reason, QStringLiteral("Cannot open source '%1': %2").arg(path, osText(errno)));
    if (::fstat(source.fd.get(), &source.st) != 0)
        return fail(reason, QStringLiteral("Cannot read source '%1': %2").arg(path, osText(errno)));
    if (S_ISDIR(source.st.st_mode))
        return fail(reason, QStringLiteral("Source '%1' is a folder").arg(path));
    return true;
}

// ---------------------------------------------------------------------------------------------
// Mounted shares and local folders

bool copyPosix(const QString& sourcePath, LocalSource& source, const QString& target,
               QString* reason)
{
    const QByteArray name = QFile::encodeName(target);
    struct stat existing
    {
    };
    if (::stat(name.constData(), &existing) == 0 && existing.st_dev == source.st.st_dev &&
        existing.st_ino == source.st.st_ino)
        return fail(reason,
                    QStringLiteral("'%1' and '%2' are the same file").arg(sourcePath, target));

    Fd out(openRetrying(name, O_WRONLY | O_CREAT | O_TRUNC, 0666));
    if (!out.valid())
        return fail(reason, QStringLiteral("Cannot create '%1': %2").arg(target, osText(errno)));

    // The kernel moves the data; file systems without sendfile support get plain writes.
    bool plainWrites = false;
    for (;;) {
        const ssize_t n = ::sendfile(out.get(), source.fd.get(), nullptr, 1 << 30);
        if (n > 0)
            continue;
        if (n == 0)
            break;
        if (errno == EINTR)
            continue;
        if (errno == EINVAL || errno == ENOSYS) {
            plainWrites = true;
            break;
        }
        return fail(reason, QStringLiteral("Cannot write '%1': %2").arg(target, osText(errno)));
    }
    if (plainWrites) {
        // Go on from where sendfile left the file offsets (usually the start).
        std::unique_ptr<char[]> buffer(new char[1 << 20]);
        for (;;) {
            const ssize_t n = readFull(source.fd.get(), buffer.get(), 1 << 20);
            if (n < 0)
                return fail(
                    reason,
                    QStringLiteral("Cannot read source '%1': %2").arg(sourcePath, osText(errno)));
            if (n == 0)
                break;
            if (!writeAll(out.get(), buffer.get(), size_t(n)))
                return fail(reason,
                            QStringLiteral("Cannot write '%1': %2").arg(target, osText(errno)));
        }
    }
    // The copy counts as done when the data is on the share, not in the local page cache.
    // Character devices and the like cannot be synced and need not be.
    if (::fsync(out.get()) != 0 && errno != EINVAL && errno != EROFS)
        return fail(reason, QStringLiteral("Cannot flush '%1': %2").arg(target, osText(errno)));
    if (::close(out.release()) != 0 && errno != EINTR)
        return fail(reason, QStringLiteral("Cannot close '%1': %2").arg(target, osText(errno)));
    return true;
}

// ---------------------------------------------------------------------------------------------
// The SMB session

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

// One context for the whole program, owned by the thread that first needs it. libsmbclient
// keeps process-wide state and is not thread-safe, so no other thread may ever use it; the
// owner is checked on every call instead of trusting callers.
class SmbSession
{
public:
    static SmbSession& instance()
    {
        static SmbSession session;
        return session;
    }

    SMBCCTX* context(QString* reason)
    {
        if (!onOwnerThread(reason))
            return nullptr;
        if (m_context)
            return m_context;
        // No smbc_thread_posix(): this libsmbclient no longer exports it, and a single
        // owning thread needs no locking by the library anyway.
        SMBCCTX* context = smbc_new_context();
        if (!context) {
            fail(reason, QStringLiteral("Cannot create an SMB client: %1").arg(osText(errno)));
            return nullptr;
        }
        // Set before initialising: the library's messages never reach stdout.
        smbc_setOptionDebugToStderr(context, 1);
        smbc_setDebug(context, debugLevel());
        smbc_setTimeout(context, kSmbTimeoutMs);
        smbc_setFunctionAuthDataWithContext(context, authenticate);
        const bool kerberos = kerberosTicketPresent(qEnvironmentVariable("KRB5CCNAME"), ::getuid());
        smbc_setOptionUseKerberos(context, kerberos);
        smbc_setOptionFallbackAfterKerberos(context, 1);
        if (!smbc_init_context(context)) {
            const int error = errno;
            smbc_free_context(context, 0);
            fail(reason, QStringLiteral("Cannot start the SMB client: %1").arg(osText(error)));
            return nullptr;
        }
        m_context = context;
        return m_context;
    }

    bool reset(QString* reason)
    {
        if (!onOwnerThread(reason))
            return false;
        if (m_context) {
            smbc_free_context(m_context, 1);
            m_context = nullptr;
        }
        return true;
    }

    void applyDebugLevel(int level)
    {
        if (m_context && m_owner.load() == std::this_thread::get_id())
            smbc_setDebug(m_context, level);
    }

private:
    bool onOwnerThread(QString* reason)
    {
        const std::thread::id self = std::this_thread::get_id();
        std::thread::id expected{};
        if (m_owner.compare_exchange_strong(expected, self) || expected == self)
            return true;
        return fail(reason, QStringLiteral("The SMB client belongs to another thread; "
                                           "libsmbclient cannot be shared between threads"));
    }

    std::atomic<std::thread::id> m_owner{};
    SMBCCTX* m_context = nullptr;
};

constexpr size_t kFirstBlock = 1 << 20;
constexpr size_t kMinBlock = 64 << 10;
constexpr size_t kMaxBlock = 8 << 20;

// Each write is one request that must finish within the time-out, so the block follows the
// speed of the link: about a second's worth, between 64 KiB and 8 MiB. Large blocks keep the
// number of round trips small on fast links.
size_t nextBlock(size_t written, std::chrono::steady_clock::duration took)
{
    const double seconds = std::chrono::duration<double>(took).count();
    if (seconds <= 0)
        return kMaxBlock;
    const double perSecond = double(written) / seconds;
    return size_t(std::clamp(perSecond, double(kMinBlock), double(kMaxBlock)));
}

bool copySmb(const QString& sourcePath, LocalSource& source, const QString& url, QString* reason)
{
    SMBCCTX* context = SmbSession::instance().context(reason);
    if (!context)
        return false;
    const QByteArray target = url.toUtf8();
    SMBCFILE* file = smbc_getFunctionOpen(context)(context, target.constData(),
                                                   O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (!file)
        return fail(reason, QStringLiteral("Cannot create '%1': %2").arg(url, osText(errno)));
    auto closeFile = [&] { return smbc_getFunctionClose(context)(context, file); };
    smbc_write_fn write = smbc_getFunctionWrite(context);

    const size_t capacity = size_t(std::clamp<off_t>(source.st.st_size, 1, kMaxBlock));
    std::unique_ptr<char[]> buffer(new char[capacity]);
    size_t block = std::min(kFirstBlock, capacity);
    for (;;) {
        const ssize_t n = readFull(source.fd.get(), buffer.get(), block);
        if (n < 0) {
            const int error = errno;
            closeFile();
            return fail(
                reason,
                QStringLiteral("Cannot read source '%1': %2").arg(sourcePath, osText(error)));
        }
        if (n == 0)
            break;
        const auto started = std::chrono::steady_clock::now();
        for (ssize_t done = 0; done < n;) {
            const ssize_t w = write(context, file, buffer.get() + done, size_t(n - done));
            if (w <= 0) {
                const int error = w < 0 ? errno : EIO;
                closeFile();
                return fail(reason,
                            QStringLiteral("Cannot write '%1': %2").arg(url, osText(error)));
            }
            done += w;
        }
        block =
            std::min(nextBlock(size_t(n), std::chrono::steady_clock::now() - started), capacity);
    }
    if (closeFile() != 0)
        return fail(reason, QStringLiteral("Cannot close '%1': %2").arg(url, osText(errno)));
    return true;
}

bool deleteSmb(const QString& url, QString* reason)
{
    SMBCCTX* context = SmbSession::instance().context(reason);
    if (!context)
        return false;
    if (smbc_getFunctionUnlink(context)(context, url.toUtf8().constData()) != 0)
        return fail(reason, QStringLiteral("Cannot delete '%1': %2").arg(url, osText(errno)));
    return true;
}

} // namespace

// ---------------------------------------------------------------------------------------------

QString uncToSmbUrl(const QString& unc)
{
    const QStringList parts = uncParts(unc);
    if (parts.size() < 3)
        return {};
    QString url = QStringLiteral("smb:/");
    for (const QString& part : parts) {
        url += u'/';
        url += QString::fromLatin1(QUrl::toPercentEncoding(part));
    }
    return url;
}

Destination classifyDestination(const QString& destination)
{
    Destination result;
    if (destination.isEmpty()) {
        result.reason = QStringLiteral("No destination given");
    } else if (startsWithSmbScheme(destination)) {
        result.kind = DestinationKind::SmbUrl;
        result.target = destination;
    } else if (destination.startsWith(u'/')) {
        result.kind = DestinationKind::Posix;
        result.target = destination;
    } else if (destination.startsWith(QLatin1String("\\\\"))) {
        const QStringList parts = uncParts(destination);
        if (parts.isEmpty())
            result.reason = QStringLiteral("'%1' names no server").arg(destination);
        else if (parts.size() == 1)
            result.reason = QStringLiteral("'%1' names no share").arg(destination);
        else if (parts.size() == 2)
            result.reason = QStringLiteral("'%1' names no file on the share").arg(destination);
        else {
            result.kind = DestinationKind::Unc;
            result.target = uncToSmbUrl(destination);
        }
    } else {
        result.reason =
            QStringLiteral("'%1' is neither a UNC path, an smb:// URL nor an absolute path")
                .arg(destination);
    }
    return result;
}

QString withTrailingSeparator(const QString& folder)
{
    const QChar separator =
        folder.startsWith(u'/') || startsWithSmbScheme(folder) ? QChar(u'/') : QChar(u'\\');
    if (folder.endsWith(separator))
        return folder;
    return folder + separator;
}

bool copyToDestination(const QString& localSource, const QString& destination, QString* reason)
{
    const Destination target = classifyDestination(destination);
    if (target.kind == DestinationKind::Invalid)
        return fail(reason, target.reason);
    LocalSource source;
    if (!openSource(localSource, source, reason))
        return false;
    if (target.kind == DestinationKind::Posix)
        return copyPosix(localSource, source, target.target, reason);
    return copySmb(localSource, source, target.target, reason);
}

bool deleteDestination(const QString& destination, QString* reason)
{
    const Destination target = classifyDestination(destination);
    if (target.kind == DestinationKind::Invalid)
        return fail(reason, target.reason);
    if (target.kind == DestinationKind::Posix) {
        if (::unlink(QFile::encodeName(target.target).constData()) != 0)
            return fail(reason,
                        QStringLiteral("Cannot delete '%1': %2").arg(target.target, osText(errno)));
        return true;
    }
    return deleteSmb(target.target, reason);
}

SmbCredentials credentialsFromEnvironment(const QString& userVariable,
                                          const QString& passwordVariable)
{
    SmbCredentials credentials;
    QString user = userVariable;
    const qsizetype percent = user.indexOf(u'%');
    if (percent >= 0) {
        credentials.password = user.mid(percent + 1);
        user.truncate(percent);
    }
    const qsizetype separator = std::max(user.indexOf(u'\\'), user.indexOf(u'/'));
    if (separator >= 0) {
        credentials.workgroup = user.left(separator);
        user = user.mid(separator + 1);
    }
    credentials.user = user;
    // PASSWD wins over a password inside USER, as with Samba's client.
    if (!passwordVariable.isEmpty())
        credentials.password = passwordVariable;
    if (credentials.user.isEmpty())
        credentials.password.clear();
    return credentials;
}

bool kerberosTicketPresent(const QString& ccacheVariable, unsigned uid)
{
    if (ccacheVariable.isEmpty())
        return QFile::exists(QStringLiteral("/tmp/krb5cc_%1").arg(uid));
    const qsizetype colon = ccacheVariable.indexOf(u':');
    if (colon < 0)
        return QFile::exists(ccacheVariable);
    const QString type = ccacheVariable.left(colon).toUpper();
    if (type == QLatin1String("FILE"))
        return QFile::exists(ccacheVariable.mid(colon + 1));
    // A memory cache of another process is never ours; other types cannot be checked cheaply.
    return type != QLatin1String("MEMORY");
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
