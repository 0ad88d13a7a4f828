// Destinations, credentials and copies to local folders (a mounted share looks like one).

#include "platform/copy/filecopy.h"
#include "platform/posix.h"
#include "platform/textfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cerrno>

#include "support/filebytes.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

using namespace filecopy;

namespace {

void writeFile(const QString& path, const QByteArray& data)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    ASSERT_EQ(f.write(data), data.size());
}

QByteArray pattern(qsizetype size)
{
    QByteArray data(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        data[i] = char((i * 131 + i / 7) & 0xff);
    return data;
}

// A folder that not even root may write into: immutable for root, no write bits otherwise.
class ReadOnlyFolder
{
public:
    explicit ReadOnlyFolder(const QString& path) : m_path(path)
    {
        if (::geteuid() != 0) {
            m_ok = QFile::setPermissions(path, QFile::ReadOwner | QFile::ExeOwner);
            return;
        }
        m_fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        int flags = 0;
        if (m_fd >= 0 && ::ioctl(m_fd, FS_IOC_GETFLAGS, &flags) == 0) {
            flags |= FS_IMMUTABLE_FL;
            m_ok = ::ioctl(m_fd, FS_IOC_SETFLAGS, &flags) == 0;
        }
    }
    ~ReadOnlyFolder()
    {
        if (m_fd >= 0) {
            int flags = 0;
            if (::ioctl(m_fd, FS_IOC_GETFLAGS, &flags) == 0) {
                flags &= ~FS_IMMUTABLE_FL;
                ::ioctl(m_fd, FS_IOC_SETFLAGS, &flags);
            }
            ::close(m_fd);
        } else {
            QFile::setPermissions(m_path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
    }
    bool ok() const { return m_ok; }

private:
    QString m_path;
    int m_fd = -1;
    bool m_ok = false;
};

} // namespace

TEST(Destination, UncNeedsServerShareAndFile)
{
    struct Case
    {
        const char* text;
        DestinationKind kind;
        const char* reasonPart;
    };
    const Case cases[] = {
        {"", DestinationKind::Invalid, "No destination"},
        {"\\\\", DestinationKind::Invalid, "no server"},
        {"\\\\\\server\\share\\f", DestinationKind::Invalid, "no server"},
        {"\\\\server", DestinationKind::Invalid, "no share"},
        {"\\\\server\\", DestinationKind::Invalid, "no share"},
        {"\\\\server\\share", DestinationKind::Invalid, "no file"},
        {"\\\\server\\share\\", DestinationKind::Invalid, "no file"},
        {"\\\\server\\share\\f.txt", DestinationKind::Unc, ""},
        {"\\single\\f.txt", DestinationKind::Invalid, "neither"},
        {"relative/f.txt", DestinationKind::Invalid, "neither"},
        {"C:\\temp\\f.txt", DestinationKind::Invalid, "neither"},
        {"smb://server/share/f.txt", DestinationKind::SmbUrl, ""},
        {"SMB://server/share/f.txt", DestinationKind::SmbUrl, ""},
        {"/mnt/share/f.txt", DestinationKind::Posix, ""},
        // Forward slashes make a UNC path as well; three of them begin a POSIX path.
        {"//server/share/f.txt", DestinationKind::Unc, ""},
        {"/\\server\\share\\f.txt", DestinationKind::Unc, ""},
        {"\\\\server/share/f.txt", DestinationKind::Unc, ""},
        {"//", DestinationKind::Invalid, "no server"},
        {"//server", DestinationKind::Invalid, "no share"},
        {"//server/share/", DestinationKind::Invalid, "no file"},
        {"///mnt/share/f.txt", DestinationKind::Posix, ""},
    };
    for (const Case& c : cases) {
        const Destination d = classifyDestination(QString::fromUtf8(c.text));
        EXPECT_EQ(d.kind, c.kind) << c.text;
        EXPECT_TRUE(d.reason.contains(QLatin1String(c.reasonPart)))
            << c.text << ": " << d.reason.toStdString();
        if (c.kind == DestinationKind::Invalid) {
            EXPECT_FALSE(d.reason.isEmpty()) << c.text;
        }
    }
    // URLs and POSIX paths go on unchanged.
    EXPECT_EQ(classifyDestination(QStringLiteral("smb://u@s/sh/a%20b")).target,
              QStringLiteral("smb://u@s/sh/a%20b"));
    EXPECT_EQ(classifyDestination(QStringLiteral("/mnt/a b")).target, QStringLiteral("/mnt/a b"));
    EXPECT_EQ(classifyDestination(QStringLiteral("//srv/my share/dir/f")).target,
              QStringLiteral("smb://srv/my%20share/dir/f"));
}

TEST(Destination, UncBecomesAnEncodedSmbUrl)
{
    EXPECT_EQ(uncToSmbUrl(QStringLiteral("\\\\srv\\share\\dir\\file.txt")),
              QStringLiteral("smb://srv/share/dir/file.txt"));
    EXPECT_EQ(classifyDestination(QStringLiteral("\\\\srv\\share\\f")).target,
              QStringLiteral("smb://srv/share/f"));
    // Characters that libsmbclient would read as URL syntax, blanks and non-ASCII letters.
    EXPECT_EQ(uncToSmbUrl(QString::fromUtf8("\\\\srv\\my share\\a%b?c#d@e;f:g\\\xc3\xbc.txt")),
              QStringLiteral("smb://srv/my%20share/a%25b%3Fc%23d%40e%3Bf%3Ag/%C3%BC.txt"));
    // Forward slashes separate too; doubled separators do not make empty parts.
    EXPECT_EQ(uncToSmbUrl(QStringLiteral("\\\\srv/share\\\\dir//f")),
              QStringLiteral("smb://srv/share/dir/f"));
    EXPECT_EQ(uncToSmbUrl(QStringLiteral("\\\\srv\\share")), QString());
    EXPECT_EQ(uncToSmbUrl(QStringLiteral("/srv/share/f")), QString());
}

TEST(Destination, TrailingSeparatorFitsTheKind)
{
    EXPECT_EQ(withTrailingSeparator(QString()), QStringLiteral("\\"));
    EXPECT_EQ(withTrailingSeparator(QStringLiteral("\\\\")), QStringLiteral("\\\\"));
    EXPECT_EQ(withTrailingSeparator(QStringLiteral("\\\\srv\\share")),
              QStringLiteral("\\\\srv\\share\\"));
    EXPECT_EQ(withTrailingSeparator(QStringLiteral("\\\\srv\\share\\")),
              QStringLiteral("\\\\srv\\share\\"));
    EXPECT_EQ(withTrailingSeparator(QStringLiteral("/mnt/share")), QStringLiteral("/mnt/share/"));
    EXPECT_EQ(withTrailingSeparator(QStringLiteral("/mnt/share/")), QStringLiteral("/mnt/share/"));
    EXPECT_EQ(withTrailingSeparator(QStringLiteral("smb://srv/share")),
              QStringLiteral("smb://srv/share/"));
    EXPECT_EQ(withTrailingSeparator(QStringLiteral("//srv/share")), QStringLiteral("//srv/share/"));
}

TEST(Credentials, TakenFromUserAndPasswd)
{
    auto check = [](const char* user, const char* passwd, const char* wg, const char* u,
                    const char* pw) {
        const SmbCredentials c =
            credentialsFromEnvironment(QString::fromUtf8(user), QString::fromUtf8(passwd));
        EXPECT_EQ(c.workgroup, QString::fromUtf8(wg)) << user;
        EXPECT_EQ(c.user, QString::fromUtf8(u)) << user;
        EXPECT_EQ(c.password, QString::fromUtf8(pw)) << user;
    };
    check("alice", "", "", "alice", "");
    check("alice%s3cret", "", "", "alice", "s3cret");
    check("alice%pa%ss", "", "", "alice", "pa%ss"); // only the first % splits
    check("alice%inside", "outside", "", "alice", "outside");
    check("alice", "outside", "", "alice", "outside");
    check("OFFICE\\alice%pw", "", "OFFICE", "alice", "pw");
    check("OFFICE/alice", "", "OFFICE", "alice", "");
    check("alice@EXAMPLE.ORG", "", "", "alice@EXAMPLE.ORG", "");
    // No user: a guest or anonymous session, whatever PASSWD says.
    check("", "pw", "", "", "");
    check("%pw", "", "", "", "");
}

TEST(LocalCopy, CopiesAndReplaces)
{
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("source.bin"));
    const QByteArray data = pattern(3 * 1024 * 1024 + 17);
    writeFile(source, data);
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("share")));
    const QString target = dir.filePath(QStringLiteral("share/copy.bin"));

    // A longer file of the same name must not leave its tail behind.
    writeFile(target, pattern(5 * 1024 * 1024));
    QString reason;
    ASSERT_TRUE(copyToDestination(source, target, &reason)) << reason.toStdString();
    EXPECT_EQ(testapp::fileBytes(target), data);

    writeFile(source, QByteArray());
    ASSERT_TRUE(copyToDestination(source, target, &reason)) << reason.toStdString();
    EXPECT_EQ(QFileInfo(target).size(), 0);

    ASSERT_TRUE(deleteDestination(target, &reason)) << reason.toStdString();
    EXPECT_FALSE(QFileInfo::exists(target));
    EXPECT_FALSE(deleteDestination(target, &reason));
    EXPECT_TRUE(reason.contains(posix::errorText(ENOENT))) << reason.toStdString();
}

TEST(LocalCopy, FailuresAreResults)
{
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("source.bin"));
    writeFile(source, pattern(1000));
    QString reason;

    EXPECT_FALSE(copyToDestination(dir.filePath(QStringLiteral("missing.bin")),
                                   dir.filePath(QStringLiteral("out.bin")), &reason));
    EXPECT_TRUE(reason.contains(QStringLiteral("missing.bin"))) << reason.toStdString();
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("out.bin"))));

    EXPECT_FALSE(
        copyToDestination(source, dir.filePath(QStringLiteral("no/folder/out.bin")), &reason));
    EXPECT_TRUE(reason.contains(posix::errorText(ENOENT))) << reason.toStdString();

    // A folder where the file should go, and the source itself as destination.
    EXPECT_FALSE(copyToDestination(source, dir.path(), &reason));
    EXPECT_FALSE(copyToDestination(source, source, &reason));
    EXPECT_TRUE(reason.contains(QStringLiteral("same file"))) << reason.toStdString();
    EXPECT_EQ(testapp::fileBytes(source), pattern(1000));

    // A full disk names the destination and the reason.
    if (QFileInfo::exists(QStringLiteral("/dev/full"))) {
        EXPECT_FALSE(copyToDestination(source, QStringLiteral("/dev/full"), &reason));
        EXPECT_TRUE(reason.contains(QStringLiteral("/dev/full")) &&
                    reason.contains(posix::errorText(ENOSPC)))
            << reason.toStdString();
    }

    for (const char* bad : {"\\\\", "\\\\server", "relative.bin", ""}) {
        EXPECT_FALSE(copyToDestination(source, QString::fromUtf8(bad), &reason)) << bad;
        EXPECT_FALSE(reason.isEmpty()) << bad;
        EXPECT_FALSE(deleteDestination(QString::fromUtf8(bad))) << bad;
    }
    // Callers that do not want the reason.
    EXPECT_FALSE(copyToDestination(source, QStringLiteral("\\\\")));
}

TEST(LocalCopy, ReadOnlyFolderRefuses)
{
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("source.bin"));
    writeFile(source, pattern(4096));
    const QString folder = dir.filePath(QStringLiteral("locked"));
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("locked")));
    const QString existing = folder + QStringLiteral("/old.bin");
    writeFile(existing, "old");
    {
        ReadOnlyFolder lock(folder);
        if (!lock.ok())
            GTEST_SKIP() << "this file system cannot make a folder read-only for root";
        QString reason;
        EXPECT_FALSE(copyToDestination(source, folder + QStringLiteral("/new.bin"), &reason));
        EXPECT_FALSE(reason.isEmpty());
        EXPECT_FALSE(deleteDestination(existing, &reason));
        EXPECT_TRUE(QFileInfo::exists(existing));
    }
    EXPECT_FALSE(QFileInfo::exists(folder + QStringLiteral("/new.bin")));
}

TEST(LocalCopy, ReadOnlyFileIsNeitherReplacedNorRemoved)
{
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("source.bin"));
    writeFile(source, pattern(2048));
    struct Case
    {
        const char* name;
        QFile::Permissions permissions;
        bool readOnly;
    };
    const Case cases[] = {
        {"all-read.bin", QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther, true},
        {"owner-read.bin", QFile::ReadOwner, true},
        {"owner-write.bin", QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther, false},
    };
    for (const Case& c : cases) {
        const QString target = dir.filePath(QString::fromLatin1(c.name));
        const QByteArray users = "the user's own file\n";
        writeFile(target, users);
        ASSERT_TRUE(QFile::setPermissions(target, c.permissions)) << c.name;
        QString reason;
        EXPECT_EQ(copyToDestination(source, target, &reason), !c.readOnly) << c.name;
        EXPECT_EQ(testapp::fileBytes(target), c.readOnly ? users : pattern(2048)) << c.name;
        if (c.readOnly) {
            EXPECT_TRUE(reason.contains(QStringLiteral("read-only"))) << reason.toStdString();
        }
        // The clean-up after the measurement.
        EXPECT_EQ(deleteDestination(target, &reason), !c.readOnly) << c.name;
        EXPECT_EQ(QFileInfo::exists(target), c.readOnly) << c.name;
        if (c.readOnly) {
            EXPECT_TRUE(reason.contains(QStringLiteral("read-only"))) << reason.toStdString();
        }
    }
}
