#include "platform/copy/filecopy.h"

#include "platform/copy/smbsession.h"
#include "platform/copy/writesize.h"
#include "platform/logging.h"

#include <QByteArray>
#include <QFile>
#include <QStringList>
#include <QUrl>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/sendfile.h>
#include <sys/stat.h>
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

// Two separators and a server name after them: "\\\\server" or "//server". Three separators
// in a row begin no server; with forward slashes they are a POSIX path.
bool startsAsUnc(const QString& text)
{
    return text.size() >= 2 && isUncSeparator(text[0]) && isUncSeparator(text[1]) &&
           (text[0] == u'\\' || text.size() == 2 || !isUncSeparator(text[2]));
}

// Server, share and the path below it; fewer than three parts means something is missing.
QStringList uncParts(const QString& unc)
{
    if (!startsAsUnc(unc) || (unc.size() > 2 && isUncSeparator(unc[2])))
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

// Read-only as a file attribute: nobody may write it (no write bit at all), or this process
// may not. Root passes access() for every file, so for root the bits decide.
bool isReadOnlyFile(const QByteArray& name, const struct stat& st)
{
    return S_ISREG(st.st_mode) &&
           ((st.st_mode & 0222) == 0 || ::access(name.constData(), W_OK) != 0);
}

bool copyPosix(const QString& sourcePath, LocalSource& source, const QString& target,
               QString* reason)
{
    const QByteArray name = QFile::encodeName(target);
    struct stat existing
    {
    };
    if (::stat(name.constData(), &existing) == 0) {
        if (existing.st_dev == source.st.st_dev && existing.st_ino == source.st.st_ino)
            return fail(reason,
                        QStringLiteral("'%1' and '%2' are the same file").arg(sourcePath, target));
        // A read-only file is somebody's: it is not replaced, whoever may write it.
        if (isReadOnlyFile(name, existing))
            return fail(reason, QStringLiteral("Cannot replace '%1': the file is read-only: %2")
                                    .arg(target, osText(EACCES)));
    }

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

// The clean-up after a measurement never removes a read-only file: the copy did not write it.
bool deletePosix(const QString& target, QString* reason)
{
    const QByteArray name = QFile::encodeName(target);
    struct stat st
    {
    };
    if (::lstat(name.constData(), &st) == 0 && isReadOnlyFile(name, st))
        return fail(reason, QStringLiteral("Cannot delete '%1': the file is read-only: %2")
                                .arg(target, osText(EACCES)));
    if (::unlink(name.constData()) != 0)
        return fail(reason, QStringLiteral("Cannot delete '%1': %2").arg(target, osText(errno)));
    return true;
}

// ---------------------------------------------------------------------------------------------
// Copies through libsmbclient

QString partialNote(qint64 bytes)
{
    return QStringLiteral("; the server stopped answering, a partial file of %1 bytes is left "
                          "there until a later delete reaches the server")
        .arg(bytes);
}

// The copy failed with `error`. A server that did not answer loses its connections at once
// (the close and whatever else the library would send could each wait out the time-out) and
// the partial file, if one was begun, is remembered for a later delete.
bool failSmbCopy(SmbSession& session, const QString& url, const QString& what, int error,
                 qint64 begun, QString* reason)
{
    QString text = QStringLiteral("%1 '%2': %3").arg(what, url, osText(error));
    if (isNoAnswer(error)) {
        session.abandon(smbPort(url));
        session.markUnanswered(serverOfUrl(url));
        if (begun >= 0) {
            session.addPartial(url, begun);
            text += partialNote(begun);
        }
    }
    return fail(reason, text);
}

// The failure that ended the copy is what the operator is told; a close that fails as well
// is only logged.
void closeAfterFailure(SMBCCTX* context, SMBCFILE* file, const QString& url)
{
    if (smbc_getFunctionClose(context)(context, file) != 0) {
        const int error = errno;
        qCWarning(lcCopy).noquote()
            << "cannot close" << url << "after the failed copy:" << osText(error);
    }
}

bool copySmb(const QString& sourcePath, LocalSource& source, const QString& url, QString* reason)
{
    SmbSession& session = SmbSession::instance();
    SMBCCTX* context = session.context(reason);
    if (!context)
        return false;
    session.clearUnanswered(serverOfUrl(url));
    const QByteArray target = url.toUtf8();
    SMBCFILE* file = smbc_getFunctionOpen(context)(context, target.constData(),
                                                   O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (!file)
        return failSmbCopy(session, url, QStringLiteral("Cannot create"), errno, -1, reason);
    smbc_write_fn write = smbc_getFunctionWrite(context);

    const qint64 capacity = std::clamp<qint64>(source.st.st_size, 1, kMaxWriteBytes);
    std::unique_ptr<char[]> buffer(new char[size_t(capacity)]);
    qint64 request = std::min(kFirstWriteBytes, capacity);
    qint64 acknowledged = 0;
    for (;;) {
        const ssize_t n = readFull(source.fd.get(), buffer.get(), size_t(request));
        if (n < 0) {
            const int error = errno;
            closeAfterFailure(context, file, url);
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
                if (!isNoAnswer(error))
                    closeAfterFailure(context, file, url);
                return failSmbCopy(session, url, QStringLiteral("Cannot write"), error,
                                   acknowledged, reason);
            }
            done += w;
            acknowledged += w;
        }
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
        request = std::min(nextWriteSize(n, took.count()), capacity);
    }
    if (smbc_getFunctionClose(context)(context, file) != 0)
        return failSmbCopy(session, url, QStringLiteral("Cannot close"), errno, acknowledged,
                           reason);
    // Whole now: an earlier partial file of this name is the normal copy to delete.
    session.forgetPartial(url);
    return true;
}

// Removes what earlier copies to this server left half-written, now that it answers.
void removePartials(SmbSession& session, SMBCCTX* context, const QString& server)
{
    for (const SmbSession::Partial& partial : session.partialsOn(server)) {
        const bool removed =
            smbc_getFunctionUnlink(context)(context, partial.url.toUtf8().constData()) == 0;
        const int error = errno;
        if (removed || error == ENOENT) {
            session.forgetPartial(partial.url);
        } else if (isNoAnswer(error)) {
            qCWarning(lcCopy).noquote()
                << "cannot remove the partial file" << partial.url << "now:" << osText(error);
            session.abandon(smbPort(partial.url));
            return;
        } else {
            // Still open on the server from the cut connection, say: a later delete tries
            // again.
            qCWarning(lcCopy).noquote()
                << "cannot remove the partial file" << partial.url << "yet:" << osText(error);
        }
    }
}

bool deleteSmb(const QString& url, QString* reason)
{
    SmbSession& session = SmbSession::instance();
    const QString server = serverOfUrl(url);
    if (!session.ownedHere(reason))
        return false;
    if (session.takeUnanswered(server)) {
        QString text =
            QStringLiteral("Cannot delete '%1': the server did not answer the copy").arg(url);
        if (session.hasPartial(url))
            text += QStringLiteral("; its partial file is removed by a later delete once the "
                                   "server answers again");
        return fail(reason, text);
    }
    SMBCCTX* context = session.context(reason);
    if (!context)
        return false;
    if (smbc_getFunctionUnlink(context)(context, url.toUtf8().constData()) == 0) {
        session.forgetPartial(url);
        removePartials(session, context, server);
        return true;
    }
    const int error = errno;
    QString text = QStringLiteral("Cannot delete '%1': %2").arg(url, osText(error));
    if (isNoAnswer(error)) {
        session.abandon(smbPort(url));
    } else {
        if (error == ENOENT)
            session.forgetPartial(url);
        removePartials(session, context, server);
    }
    if (session.hasPartial(url))
        text += QStringLiteral("; a partial file of an earlier copy is left there");
    return fail(reason, text);
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
    } else if (destination.startsWith(u'/') && !startsAsUnc(destination)) {
        result.kind = DestinationKind::Posix;
        result.target = destination;
    } else if (startsAsUnc(destination)) {
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
    if (target.kind == DestinationKind::Posix)
        return deletePosix(target.target, reason);
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

} // namespace filecopy
