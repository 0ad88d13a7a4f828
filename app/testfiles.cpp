#include "app/testfiles.h"

#include "platform/errors.h"
#include "platform/textfile.h"

#include <QByteArray>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace testfiles {

namespace {

static_assert(sizeof kContentLine - 1 == 88);

constexpr bool sizesAddUp()
{
    for (const TestFile& f : kTestFiles) {
        if (f.lineCount * int64_t(sizeof kContentLine - 1 + 2) + f.fillerLength + 2 != f.sizeBytes)
            return false;
    }
    return true;
}
static_assert(sizesAddUp());

[[noreturn]] void fail(const char* what, const QString& path, int error)
{
    throw EInOutError(QStringLiteral("%1 '%2': %3")
                          .arg(QString::fromLatin1(what), path, textfile::osReason(error)),
                      error);
}

QByteArray content(const TestFile& file)
{
    QByteArray data;
    data.reserve(file.sizeBytes);
    for (int i = 0; i < file.lineCount; ++i) {
        data += kContentLine;
        data += "\r\n";
    }
    data += QByteArray(file.fillerLength, 'X');
    data += "\r\n";
    return data;
}

void writeFile(const QString& path, const QByteArray& data)
{
    int fd;
    do {
        fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC,
                    0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        fail("Cannot create", path, errno);
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.constData() + done, size_t(data.size() - done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const int error = errno;
            ::close(fd);
            fail("Cannot write to", path, error);
        }
        done += n;
    }
    if (::close(fd) != 0 && errno != EINTR)
        fail("Cannot close", path, errno);
}

} // namespace

void writeTestFiles(const QString& folder)
{
    QString prefix = folder;
    if (!prefix.isEmpty() && !prefix.endsWith(u'/'))
        prefix += u'/';
    for (const TestFile& file : kTestFiles)
        writeFile(prefix + QString::fromLatin1(file.name), content(file));
}

} // namespace testfiles
