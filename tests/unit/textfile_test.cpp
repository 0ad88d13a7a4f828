#include "platform/errors.h"
#include "platform/posix.h"
#include "platform/textfile.h"

#include <QFile>
#include <QTemporaryDir>
#include <cerrno>

#include "support/filebytes.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

void writeRaw(const QString& path, const QByteArray& data)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(data);
}

} // namespace

TEST(TextFile, WritesCrLfAfterEveryLineAndAppends)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("a.txt"));
    textfile::rewriteLines(path, {QStringLiteral("one"), QStringLiteral("zwei ü")});
    EXPECT_EQ(testapp::fileBytes(path), QByteArray("one\r\nzwei \xc3\xbc\r\n"));
    textfile::appendLine(path, QStringLiteral("three"));
    EXPECT_EQ(testapp::fileBytes(path), QByteArray("one\r\nzwei \xc3\xbc\r\nthree\r\n"));
    textfile::rewriteLines(path, {});
    EXPECT_EQ(testapp::fileBytes(path), QByteArray());
    const QString fresh = dir.filePath(QStringLiteral("new.txt"));
    textfile::appendLine(fresh, QStringLiteral("x"));
    EXPECT_EQ(testapp::fileBytes(fresh), QByteArray("x\r\n"));
}

TEST(TextFile, ReadsAnyLineEndsAndBadBytes)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("h.txt"));
    writeRaw(path, QByteArray("a\r\nb\n\r\nc\xff\xfe\nlast"));
    const QStringList lines = textfile::readLines(path);
    ASSERT_EQ(lines.size(), 5);
    EXPECT_EQ(lines[0], QStringLiteral("a"));
    EXPECT_EQ(lines[1], QStringLiteral("b"));
    EXPECT_EQ(lines[2], QString());
    EXPECT_TRUE(lines[3].startsWith(u'c'));
    EXPECT_EQ(lines[4], QStringLiteral("last"));
    EXPECT_EQ(textfile::readFirstLines(path, 2),
              QStringList({QStringLiteral("a"), QStringLiteral("b")}));

    // A huge file is not read whole when only its head is wanted.
    QByteArray big;
    for (int i = 0; i < 200000; ++i)
        big += "host-" + QByteArray::number(i) + "\r\n";
    writeRaw(path, big);
    const QStringList head = textfile::readFirstLines(path, 10);
    ASSERT_EQ(head.size(), 10);
    EXPECT_EQ(head[9], QStringLiteral("host-9"));
}

TEST(TextFile, FailuresNameTheFileAndTheReason)
{
    QTemporaryDir dir;
    const QString missing = dir.filePath(QStringLiteral("no/such/dir/x.txt"));
    try {
        textfile::rewriteLines(missing, {QStringLiteral("x")});
        ADD_FAILURE() << "no error";
    } catch (const EInOutError& e) {
        EXPECT_TRUE(e.text().contains(missing)) << e.text().toStdString();
        EXPECT_TRUE(e.text().contains(posix::errorText(ENOENT))) << e.text().toStdString();
    }
    EXPECT_THROW(textfile::readLines(missing), EInOutError);

    // A file without write permission is read-only also for root, and is never appended to.
    const QString ro = dir.filePath(QStringLiteral("ro.txt"));
    textfile::rewriteLines(ro, {QStringLiteral("keep")});
    ASSERT_EQ(::chmod(QFile::encodeName(ro).constData(), 0444), 0);
    EXPECT_TRUE(textfile::isReadOnly(ro));
    EXPECT_THROW(textfile::appendLine(ro, QStringLiteral("lost?")), EInOutError);
    EXPECT_EQ(testapp::fileBytes(ro), QByteArray("keep\r\n"));
    EXPECT_TRUE(textfile::isReadOnly(dir.filePath(QStringLiteral("absent.txt"))));
    EXPECT_FALSE(textfile::isReadOnly(dir.filePath(QStringLiteral("new.txt"))) &&
                 textfile::exists(dir.filePath(QStringLiteral("new.txt"))));

    // A full disk reports itself instead of losing the line silently.
    if (QFile::exists(QStringLiteral("/dev/full"))) {
        EXPECT_THROW(textfile::appendLine(QStringLiteral("/dev/full"), QStringLiteral("x")),
                     EInOutError);
    }
}
