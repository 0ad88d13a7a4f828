#include "app/testfiles.h"
#include "platform/errors.h"
#include "platform/posix.h"
#include "platform/textfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cerrno>

#include "support/filebytes.h"

#include <gtest/gtest.h>

using testfiles::kTestFiles;

namespace {

// Checks the file's layout line by line, independently of how it was produced.
void expectStandardContent(const QString& path, const testfiles::TestFile& expected)
{
    const QByteArray data = testapp::fileBytes(path);
    ASSERT_EQ(data.size(), expected.sizeBytes) << path.toStdString();
    ASSERT_TRUE(data.endsWith("\r\n"));
    QList<QByteArray> lines = data.split('\n');
    ASSERT_TRUE(lines.last().isEmpty());
    lines.removeLast();
    ASSERT_EQ(lines.size(), expected.lineCount + 1);
    for (int i = 0; i < expected.lineCount; ++i)
        ASSERT_EQ(lines[i], QByteArray(testfiles::kContentLine) + '\r') << "line " << i;
    EXPECT_EQ(lines.last(), QByteArray(expected.fillerLength, 'X') + '\r');
}

} // namespace

TEST(TestFiles, ExactSizesAndContent)
{
    EXPECT_EQ(qstrlen(testfiles::kContentLine), 88u);
    EXPECT_EQ(kTestFiles[0].sizeBytes, 102400);
    EXPECT_EQ(kTestFiles[1].sizeBytes, 1048576);
    EXPECT_EQ(kTestFiles[2].sizeBytes, 5242880);
    QTemporaryDir dir;
    testfiles::writeTestFiles(dir.path()); // no trailing slash
    for (const auto& expected : kTestFiles)
        expectStandardContent(dir.filePath(QString::fromLatin1(expected.name)), expected);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 3);
}

TEST(TestFiles, ReplacesEveryFileEvenWhenOnlyOneIsMissing)
{
    QTemporaryDir dir;
    const QString folder = dir.path() + u'/';
    // A longer file must come out truncated, a shorter one filled.
    QFile big(folder + QStringLiteral("100kbyte.txt"));
    ASSERT_TRUE(big.open(QIODevice::WriteOnly));
    big.write(QByteArray(300000, 'a'));
    big.close();
    QFile small(folder + QStringLiteral("1Mbyte.txt"));
    ASSERT_TRUE(small.open(QIODevice::WriteOnly));
    small.write("other");
    small.close();
    testfiles::writeTestFiles(folder);
    for (const auto& expected : kTestFiles)
        expectStandardContent(folder + QString::fromLatin1(expected.name), expected);
}

TEST(TestFiles, FirstFailureNamesTheFileAndStops)
{
    QTemporaryDir dir;
    const QString missing = dir.filePath(QStringLiteral("no/such/folder"));
    try {
        testfiles::writeTestFiles(missing);
        FAIL() << "no error for a missing folder";
    } catch (const EInOutError& e) {
        EXPECT_TRUE(e.text().contains(QStringLiteral("100kbyte.txt"))) << e.what();
        EXPECT_TRUE(e.text().contains(posix::errorText(ENOENT))) << e.what();
        EXPECT_EQ(e.osError(), ENOENT);
    }

    // The second file cannot be created: the first stays complete, the third is not begun.
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("1Mbyte.txt")));
    try {
        testfiles::writeTestFiles(dir.path());
        FAIL() << "no error for a folder in the way";
    } catch (const EInOutError& e) {
        EXPECT_TRUE(e.text().contains(QStringLiteral("1Mbyte.txt"))) << e.what();
        EXPECT_EQ(e.osError(), EISDIR);
    }
    expectStandardContent(dir.filePath(QStringLiteral("100kbyte.txt")), kTestFiles[0]);
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("5Mbyte.txt"))));
}
