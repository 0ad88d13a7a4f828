// Copies to a real Samba server of the test bed (smbbed.h).

#include "app/testfiles.h"
#include "copyfixture.h"
#include "platform/copy/filecopy.h"
#include "platform/posix.h"
#include "platform/textfile.h"
#include "smbbed.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cerrno>

#include "support/filebytes.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

using namespace filecopy;
using smbbed::bed;
using smbbed::uncFolder;

namespace {

// Sets or clears environment variables for one test, and restores them after it.
class EnvGuard
{
public:
    void set(const char* name, const QString& value)
    {
        remember(name);
        qputenv(name, value.toUtf8());
    }
    void unset(const char* name)
    {
        remember(name);
        qunsetenv(name);
    }
    ~EnvGuard()
    {
        for (const auto& [name, value] : m_saved) {
            if (value.isNull())
                qunsetenv(name.constData());
            else
                qputenv(name.constData(), value);
        }
        resetSmbSession();
    }

private:
    void remember(const char* name)
    {
        for (const auto& saved : m_saved) {
            if (saved.first == name)
                return;
        }
        m_saved.append(
            {QByteArray(name), qEnvironmentVariableIsSet(name) ? qgetenv(name) : QByteArray()});
    }
    QList<std::pair<QByteArray, QByteArray>> m_saved;
};

} // namespace

TEST_F(SmbCopy, AllThreeSizesArriveIntactAndAreRemoved)
{
    for (int i = 0; i < 3; ++i) {
        const QString name = QString::fromLatin1(testfiles::kTestFiles[size_t(i)].name);
        const QString destination = uncFolder(bed().writableShare) + name;
        QString reason;
        ASSERT_TRUE(copyToDestination(source(i), destination, &reason)) << reason.toStdString();
        EXPECT_EQ(QFileInfo(shared(name)).size(), testfiles::kTestFiles[size_t(i)].sizeBytes);
        EXPECT_EQ(testapp::fileBytes(shared(name)), testapp::fileBytes(source(i)))
            << name.toStdString();
        ASSERT_TRUE(deleteDestination(destination, &reason)) << reason.toStdString();
        EXPECT_FALSE(QFileInfo::exists(shared(name)));
    }
}

TEST_F(SmbCopy, ReplacesALongerFile)
{
    const QString destination = uncFolder(bed().writableShare) + QStringLiteral("again.txt");
    ASSERT_TRUE(copyToDestination(source(2), destination));
    QString reason;
    ASSERT_TRUE(copyToDestination(source(0), destination, &reason)) << reason.toStdString();
    EXPECT_EQ(testapp::fileBytes(shared(QStringLiteral("again.txt"))),
              testapp::fileBytes(source(0)));
    EXPECT_TRUE(deleteDestination(destination));
}

TEST_F(SmbCopy, UrlsAndFoldersWithAwkwardNames)
{
    const QString folder = QString::fromUtf8("sub dir #1 %\xc3\xbc");
    ASSERT_TRUE(QDir(bed().writableDir).mkdir(folder));
    QFile::setPermissions(bed().writableDir + u'/' + folder, QFileDevice::Permissions(0x7777));
    const QString unc = uncFolder(bed().writableShare) + folder + QStringLiteral("\\a%3Fb;c.txt");
    QString reason;
    ASSERT_TRUE(copyToDestination(source(0), unc, &reason)) << reason.toStdString();
    EXPECT_EQ(testapp::fileBytes(shared(folder + QStringLiteral("/a%3Fb;c.txt"))),
              testapp::fileBytes(source(0)));
    EXPECT_TRUE(deleteDestination(unc, &reason)) << reason.toStdString();

    const QString url =
        QStringLiteral("smb://%1/%2/plain.txt").arg(bed().serverAddress, bed().writableShare);
    ASSERT_TRUE(copyToDestination(source(1), url, &reason)) << reason.toStdString();
    EXPECT_EQ(testapp::fileBytes(shared(QStringLiteral("plain.txt"))),
              testapp::fileBytes(source(1)));
    EXPECT_TRUE(deleteDestination(url, &reason)) << reason.toStdString();
    EXPECT_FALSE(QFileInfo::exists(shared(QStringLiteral("plain.txt"))));
}

TEST_F(SmbCopy, RefusalsAreResults)
{
    QString reason;
    const QString readOnly = uncFolder(bed().readonlyShare);
    EXPECT_FALSE(copyToDestination(source(0), readOnly + QStringLiteral("new.txt"), &reason));
    EXPECT_TRUE(reason.contains(posix::errorText(EACCES))) << reason.toStdString();
    EXPECT_FALSE(QFileInfo::exists(bed().readonlyDir + QStringLiteral("/new.txt")));
    EXPECT_FALSE(deleteDestination(readOnly + QStringLiteral("existing.txt"), &reason));
    EXPECT_TRUE(QFileInfo::exists(bed().readonlyDir + QStringLiteral("/existing.txt")));

    const QString server = QStringLiteral("\\\\") + bed().serverAddress;
    EXPECT_FALSE(
        copyToDestination(source(0), server + QStringLiteral("\\nosuchshare\\f.txt"), &reason));
    EXPECT_FALSE(reason.isEmpty());
    EXPECT_FALSE(copyToDestination(source(0), server, &reason));
    EXPECT_TRUE(reason.contains(QStringLiteral("no share"))) << reason.toStdString();
    EXPECT_FALSE(copyToDestination(source(0), server + u'\\', &reason));
    EXPECT_FALSE(copyToDestination(source(0), QStringLiteral("\\\\"), &reason));

    const QString writable = uncFolder(bed().writableShare);
    EXPECT_FALSE(copyToDestination(source(0), writable + QStringLiteral("nodir\\f.txt"), &reason));
    EXPECT_TRUE(reason.contains(posix::errorText(ENOENT))) << reason.toStdString();
    EXPECT_FALSE(deleteDestination(writable + QStringLiteral("never-there.txt"), &reason));
    EXPECT_TRUE(reason.contains(posix::errorText(ENOENT))) << reason.toStdString();

    // A missing local file is a failure too, and nothing reaches the share.
    EXPECT_FALSE(copyToDestination(m_dir.filePath(QStringLiteral("gone.txt")),
                                   writable + QStringLiteral("gone.txt"), &reason));
    EXPECT_TRUE(reason.contains(QStringLiteral("gone.txt"))) << reason.toStdString();
    EXPECT_FALSE(QFileInfo::exists(shared(QStringLiteral("gone.txt"))));
}

TEST_F(SmbCopy, ForwardSlashesMakeAUncPath)
{
    const QString folder = QStringLiteral("//%1/%2").arg(bed().serverAddress, bed().writableShare);
    ASSERT_TRUE(QDir(bed().writableDir).mkdir(QStringLiteral("sub")));
    QFile::setPermissions(bed().writableDir + QStringLiteral("/sub"),
                          QFileDevice::Permissions(0x7777));
    for (const QString& name : {QStringLiteral("/fwd.txt"), QStringLiteral("/sub/fwd.txt"),
                                QStringLiteral("\\sub\\mixed.txt")}) {
        const QString destination = folder + name;
        QString stored = name;
        stored.replace(u'\\', u'/');
        QString reason;
        ASSERT_TRUE(copyToDestination(source(0), destination, &reason))
            << destination.toStdString() << ": " << reason.toStdString();
        EXPECT_EQ(testapp::fileBytes(bed().writableDir + stored), testapp::fileBytes(source(0)));
        EXPECT_TRUE(deleteDestination(destination, &reason)) << reason.toStdString();
        EXPECT_FALSE(QFileInfo::exists(bed().writableDir + stored));
    }
}

TEST_F(SmbCopy, ServerStoppedInTheMiddle)
{
    const QString destination = uncFolder(bed().writableShare) + QStringLiteral("periodic.txt");
    QString reason;
    ASSERT_TRUE(copyToDestination(source(1), destination, &reason)) << reason.toStdString();
    ASSERT_TRUE(deleteDestination(destination, &reason)) << reason.toStdString();

    ASSERT_TRUE(smbbed::stopServer(&reason)) << reason.toStdString();
    EXPECT_FALSE(copyToDestination(source(1), destination, &reason));
    EXPECT_FALSE(reason.isEmpty());
    EXPECT_FALSE(deleteDestination(destination));
    EXPECT_FALSE(copyToDestination(source(1), destination));

    // The next measurement after the server is back reconnects by itself.
    ASSERT_TRUE(smbbed::startServer(&reason)) << reason.toStdString();
    ASSERT_TRUE(copyToDestination(source(1), destination, &reason)) << reason.toStdString();
    EXPECT_EQ(testapp::fileBytes(shared(QStringLiteral("periodic.txt"))),
              testapp::fileBytes(source(1)));
    EXPECT_TRUE(deleteDestination(destination, &reason)) << reason.toStdString();
}

TEST_F(SmbCopy, CredentialsFromTheEnvironment)
{
    const QString destination = uncFolder(bed().authShare) + QStringLiteral("mine.txt");
    const QString stored = bed().authDir + QStringLiteral("/mine.txt");
    EnvGuard env;
    QString reason;

    env.unset("USER");
    env.unset("PASSWD");
    resetSmbSession();
    EXPECT_FALSE(copyToDestination(source(0), destination, &reason)) << "guest got in";

    env.set("USER", bed().authUser + u'%' + bed().authPassword);
    resetSmbSession();
    ASSERT_TRUE(copyToDestination(source(0), destination, &reason)) << reason.toStdString();
    EXPECT_EQ(testapp::fileBytes(stored), testapp::fileBytes(source(0)));
    EXPECT_TRUE(deleteDestination(destination, &reason)) << reason.toStdString();

    env.set("USER", bed().authUser);
    env.set("PASSWD", bed().authPassword);
    resetSmbSession();
    ASSERT_TRUE(copyToDestination(source(0), destination, &reason)) << reason.toStdString();
    EXPECT_TRUE(deleteDestination(destination, &reason)) << reason.toStdString();

    env.set("PASSWD", QStringLiteral("wrong"));
    resetSmbSession();
    EXPECT_FALSE(copyToDestination(source(0), destination, &reason));
    EXPECT_FALSE(QFileInfo::exists(stored));

    // An unknown user on a guest share is taken as the guest, as the server maps it.
    env.set("USER", QStringLiteral("nosuchuser"));
    env.unset("PASSWD");
    resetSmbSession();
    const QString open = uncFolder(bed().writableShare) + QStringLiteral("guest.txt");
    ASSERT_TRUE(copyToDestination(source(0), open, &reason)) << reason.toStdString();
    EXPECT_TRUE(deleteDestination(open));
}

TEST_F(SmbCopy, OnlyTheOwningThreadMayUseTheClient)
{
    const QString destination = uncFolder(bed().writableShare) + QStringLiteral("thread.txt");
    QString reason;
    ASSERT_TRUE(copyToDestination(source(0), destination, &reason)) << reason.toStdString();
    ASSERT_TRUE(deleteDestination(destination));

    bool copied = true;
    bool reset = true;
    QString otherReason;
    std::thread other([&] {
        copied = copyToDestination(source(0), destination, &otherReason);
        reset = resetSmbSession();
    });
    other.join();
    EXPECT_FALSE(copied);
    EXPECT_FALSE(reset);
    EXPECT_TRUE(otherReason.contains(QStringLiteral("thread"))) << otherReason.toStdString();
    EXPECT_FALSE(QFileInfo::exists(shared(QStringLiteral("thread.txt"))));
    // The owner goes on as before.
    EXPECT_TRUE(copyToDestination(source(0), destination, &reason)) << reason.toStdString();
    EXPECT_TRUE(deleteDestination(destination));
}

TEST_F(SmbCopy, LibraryMessagesGoToStderrOnly)
{
    QTemporaryDir dir;
    const QString outPath = dir.filePath(QStringLiteral("out"));
    const QString errPath = dir.filePath(QStringLiteral("err"));
    std::fflush(stdout);
    std::fflush(stderr);
    const int savedOut = ::dup(1);
    const int savedErr = ::dup(2);
    const int out = ::open(QFile::encodeName(outPath).constData(), O_WRONLY | O_CREAT, 0600);
    const int err = ::open(QFile::encodeName(errPath).constData(), O_WRONLY | O_CREAT, 0600);
    ASSERT_TRUE(savedOut >= 0 && savedErr >= 0 && out >= 0 && err >= 0);
    ::dup2(out, 1);
    ::dup2(err, 2);

    setSmbDebugLevel(3);
    resetSmbSession(); // a fresh context reads the configuration and logs it
    const bool copied = copyToDestination(
        source(0), QStringLiteral("\\\\%1\\nosuchshare\\f.txt").arg(bed().serverAddress));
    setSmbDebugLevel(0);
    resetSmbSession();

    std::fflush(stdout);
    std::fflush(stderr);
    ::dup2(savedOut, 1);
    ::dup2(savedErr, 2);
    ::close(savedOut);
    ::close(savedErr);
    ::close(out);
    ::close(err);
    EXPECT_FALSE(copied);
    EXPECT_EQ(testapp::fileBytes(outPath), QByteArray());
    EXPECT_FALSE(testapp::fileBytes(errPath).isEmpty());
}
