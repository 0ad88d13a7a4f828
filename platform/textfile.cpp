#include "platform/textfile.h"

#include "platform/errors.h"
#include "platform/posix.h"

#include <QByteArray>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace textfile {

namespace {

[[noreturn]] void fail(const QString& what, const QString& path, int error)
{
    throw EInOutError(QStringLiteral("%1 '%2': %3").arg(what, path, posix::errorText(error)),
                      error);
}

QByteArray encode(const QStringList& lines)
{
    QByteArray data;
    for (const QString& line : lines) {
        data += line.toLocal8Bit();
        data += "\r\n";
    }
    return data;
}

// An open file whose every failure raises EInOutError naming it.
class File
{
public:
    File(const QString& path, int flags, const char* what) : m_path(path)
    {
        int fd = -1;
        do {
            fd = ::open(QFile::encodeName(path).constData(), flags | O_CLOEXEC, 0666);
        } while (fd < 0 && errno == EINTR);
        if (fd < 0)
            fail(QString::fromLatin1(what), path, errno);
        m_fd.reset(fd);
    }

    void writeAll(const QByteArray& data)
    {
        qsizetype done = 0;
        while (done < data.size()) {
            const ssize_t n =
                ::write(m_fd.get(), data.constData() + done, size_t(data.size() - done));
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                fail(QStringLiteral("Cannot write to"), m_path, errno);
            }
            done += n;
        }
    }
    // Closing can report a delayed write failure (full disk on some file systems).
    void close()
    {
        if (::close(m_fd.release()) != 0 && errno != EINTR)
            fail(QStringLiteral("Cannot close"), m_path, errno);
    }
    int fd() const { return m_fd.get(); }

private:
    QString m_path;
    posix::Fd m_fd;
};

// Where the line that starts at start ends (its CR LF, LF or CR), or data.size(); next is
// where the following line starts.
qsizetype lineEnd(const QByteArray& data, qsizetype start, qsizetype* next)
{
    for (qsizetype i = start; i < data.size(); ++i) {
        if (data[i] == '\n') {
            *next = i + 1;
            return i;
        }
        if (data[i] == '\r') {
            *next = i + 1 < data.size() && data[i + 1] == '\n' ? i + 2 : i + 1;
            return i;
        }
    }
    *next = data.size();
    return data.size();
}

// Lines ended by CR LF, LF or a lone CR (a file edited by hand on any system).
QStringList splitLines(const QByteArray& data, int maxLines)
{
    QStringList lines;
    qsizetype start = 0;
    while (start < data.size() && (maxLines < 0 || lines.size() < maxLines)) {
        qsizetype next = 0;
        const qsizetype end = lineEnd(data, start, &next);
        lines += QString::fromLocal8Bit(data.constData() + start, end - start);
        start = next;
    }
    return lines;
}

} // namespace

QStringList readLines(const QString& path)
{
    return readFirstLines(path, -1);
}

QStringList readFirstLines(const QString& path, int maxLines)
{
    File file(path, O_RDONLY, "Cannot open");
    QByteArray data;
    qsizetype ends = 0;
    bool lastWasCr = false;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(file.fd(), buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            fail(QStringLiteral("Cannot read"), path, errno);
        }
        if (n == 0)
            break;
        data.append(buffer, n);
        // Line ends so far: CR LF counts once, a lone CR or LF once each.
        for (ssize_t i = 0; i < n; ++i) {
            if (buffer[i] == '\r' || (buffer[i] == '\n' && !lastWasCr))
                ++ends;
            lastWasCr = buffer[i] == '\r';
        }
        if (maxLines >= 0 && ends >= maxLines)
            break;
    }
    return splitLines(data, maxLines);
}

// Root may write files that carry no write permission; the operator meant them read-only.
static void refuseReadOnly(const char* what, const QString& path)
{
    if (exists(path) && isReadOnly(path))
        fail(QString::fromLatin1(what), path, EACCES);
}

void rewriteBytes(const QString& path, const QByteArray& data)
{
    refuseReadOnly("Cannot create", path);
    File file(path, O_WRONLY | O_CREAT | O_TRUNC, "Cannot create");
    file.writeAll(data);
    file.close();
}

void rewriteLines(const QString& path, const QStringList& lines)
{
    rewriteBytes(path, encode(lines));
}

void createIfMissing(const QString& path)
{
    File file(path, O_WRONLY | O_CREAT, "Cannot create");
    file.close();
}

void appendLines(const QString& path, const QStringList& lines)
{
    refuseReadOnly("Cannot append to", path);
    File file(path, O_WRONLY | O_CREAT | O_APPEND, "Cannot open");
    file.writeAll(encode(lines));
    file.close();
}

bool exists(const QString& path)
{
    struct stat st
    {
    };
    return ::stat(QFile::encodeName(path).constData(), &st) == 0;
}

bool isReadOnly(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat st
    {
    };
    if (::stat(name.constData(), &st) != 0)
        return true;
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        return true;
    return ::access(name.constData(), W_OK) != 0;
}

} // namespace textfile
