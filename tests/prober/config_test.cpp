// The prober's configuration file: what a good file gives, and the message for each bad value.

#include "platform/programdir.h"
#include "prober/config.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QString writeIni(const QTemporaryDir& dir, const QByteArray& text)
{
    const QString path = dir.filePath(QStringLiteral("prober.ini"));
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text);
    return path;
}

// The message of a file that is refused, or "" when it is taken.
QString errorOf(const QString& path)
{
    try {
        prober::readConfig(path);
        return {};
    } catch (const prober::ConfigError& e) {
        return e.text();
    }
}

TEST(ProberConfig, FullFileIsReadWithEveryValue)
{
    QTemporaryDir dir;
    const QString path = writeIni(dir, "[metrics]\nlisten = 0.0.0.0:9464\n"
                                       "[ping]\nhosts = 10.0.0.1, host.example ,a-b\n"
                                       "interval = 3600\ntimeout = 9\nttl = 255\nsize = 64000\n"
                                       "log = yes\n"
                                       "[copy]\ndestinations = \\\\\\\\srv\\\\share\\\\dir, "
                                       "smb://srv/share/x, /mnt/share\n"
                                       "interval = 10\nsize = 5mb\nlog = false\n"
                                       "[files]\nfolder = /var/lib/tallowmere/\n");
    const prober::Config c = prober::readConfig(path);
    ASSERT_TRUE(c.listen);
    EXPECT_EQ(c.listen->text(), QStringLiteral("0.0.0.0:9464"));
    EXPECT_EQ(c.ping.hosts, (QStringList{QStringLiteral("10.0.0.1"), QStringLiteral("host.example"),
                                         QStringLiteral("a-b")}));
    EXPECT_EQ(c.ping.intervalS, 3600);
    EXPECT_EQ(c.ping.timeOutS, 9);
    EXPECT_EQ(c.ping.ttl, 255);
    EXPECT_EQ(c.ping.dataSize, 64000);
    EXPECT_TRUE(c.ping.log);
    EXPECT_EQ(c.copy.destinations,
              (QStringList{QStringLiteral("\\\\srv\\share\\dir"),
                           QStringLiteral("smb://srv/share/x"), QStringLiteral("/mnt/share")}));
    EXPECT_EQ(c.copy.intervalS, 10);
    EXPECT_EQ(c.copy.file().sizeBytes, 5242880);
    EXPECT_FALSE(c.copy.log);
    EXPECT_EQ(c.folder, QStringLiteral("/var/lib/tallowmere/"));
}

TEST(ProberConfig, LeftOutValuesTakeTheWindowsDefaults)
{
    QTemporaryDir dir;
    QTemporaryDir data;
    programdir::setDataFolderOverride(data.path() + u'/');
    const prober::Config c =
        prober::readConfig(writeIni(dir, "[ping]\nhosts = h\n[copy]\ndestinations = /mnt/s\n"));
    programdir::setDataFolderOverride(QString());
    EXPECT_FALSE(c.listen);
    EXPECT_EQ(c.ping.hosts, QStringList{QStringLiteral("h")});
    EXPECT_EQ(c.ping.intervalS, 5);
    EXPECT_EQ(c.ping.timeOutS, 4);
    EXPECT_EQ(c.ping.ttl, 32);
    EXPECT_EQ(c.ping.dataSize, 32);
    EXPECT_FALSE(c.ping.log);
    EXPECT_EQ(c.copy.intervalS, 10);
    EXPECT_EQ(c.copy.file().sizeBytes, 1048576);
    EXPECT_EQ(c.folder, data.path() + u'/');
}

struct BadCase
{
    const char* name;
    const char* ini;
    const char* message; // must appear in the error
};

void PrintTo(const BadCase& c, std::ostream* os)
{
    *os << c.name;
}

class BadValue : public ::testing::TestWithParam<BadCase>
{
};

TEST_P(BadValue, IsRefusedWithGroupKeyAndRange)
{
    QTemporaryDir dir;
    const QString path = writeIni(dir, GetParam().ini);
    const QString error = errorOf(path);
    ASSERT_FALSE(error.isEmpty()) << "taken: " << GetParam().ini;
    EXPECT_TRUE(error.startsWith(path + QStringLiteral(": "))) << error.toStdString();
    EXPECT_TRUE(error.contains(QString::fromUtf8(GetParam().message))) << error.toStdString();
    EXPECT_FALSE(error.contains(u'\n')) << error.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Prober, BadValue,
    ::testing::Values(
        BadCase{"Empty", "", "nothing to measure"},
        BadCase{"OnlyMetrics", "[metrics]\nlisten=9000\n", "nothing to measure"},
        BadCase{"NotIni", "[ping\nhosts=a\n", "no valid INI file"},
        BadCase{"KeyOutsideGroup", "hosts=a\n[ping]\nhosts=a\n", "'hosts' stands outside"},
        BadCase{"UnknownGroup", "[pings]\nhosts=a\n", "unknown group [pings]"},
        BadCase{"UnknownKey", "[ping]\nhost=a\n", "[ping] has no key 'host'"},
        BadCase{"HostsMissing", "[ping]\ninterval=5\n", "[ping] hosts is missing"},
        BadCase{"EmptyHost", "[ping]\nhosts=a,,b\n", "[ping] hosts = a,,b: an empty entry"},
        BadCase{"TrailingComma", "[ping]\nhosts=a,\n", "an empty entry"},
        BadCase{"HostTwice", "[ping]\nhosts=a, b, a\n", "'a' is listed twice"},
        BadCase{"IntervalZero", "[ping]\nhosts=a\ninterval=0\n",
                "[ping] interval = 0: allowed 1 to 3600 seconds"},
        BadCase{"IntervalHigh", "[ping]\nhosts=a\ninterval=3601\n", "allowed 1 to 3600 seconds"},
        BadCase{"IntervalText", "[ping]\nhosts=a\ninterval=5s\n", "[ping] interval = 5s"},
        BadCase{"IntervalList", "[ping]\nhosts=a\ninterval=5,6\n", "one value expected"},
        BadCase{"TimeoutZero", "[ping]\nhosts=a\ntimeout=0\n",
                "[ping] timeout = 0: allowed 1 to 9 seconds"},
        BadCase{"TimeoutTen", "[ping]\nhosts=a\ntimeout=10\n", "allowed 1 to 9 seconds"},
        BadCase{"TtlZero", "[ping]\nhosts=a\nttl=0\n", "[ping] ttl = 0: allowed 1 to 255"},
        BadCase{"TtlHigh", "[ping]\nhosts=a\nttl=256\n", "allowed 1 to 255"},
        BadCase{"SizeZero", "[ping]\nhosts=a\nsize=0\n",
                "[ping] size = 0: allowed 1 to 64000 bytes"},
        BadCase{"SizeHigh", "[ping]\nhosts=a\nsize=64001\n", "allowed 1 to 64000 bytes"},
        BadCase{"LogWord", "[ping]\nhosts=a\nlog=sometimes\n",
                "[ping] log = sometimes: allowed true or false"},
        BadCase{"DestinationsMissing", "[copy]\nsize=1MB\n", "[copy] destinations is missing"},
        BadCase{"RelativeDestination", "[copy]\ndestinations=share/dir\n", "[copy] destinations"},
        BadCase{"SingleBackslashes", "[copy]\ndestinations=\\\\srv\\share\n",
                "write every backslash of a UNC path twice"},
        BadCase{"ServerWithoutShare", "[copy]\ndestinations=\\\\\\\\srv\n", "[copy] destinations"},
        BadCase{"CopyIntervalLow", "[copy]\ndestinations=/mnt/s\ninterval=9\n",
                "[copy] interval = 9: allowed 10 to 3600 seconds"},
        BadCase{"CopyIntervalHigh", "[copy]\ndestinations=/mnt/s\ninterval=3601\n",
                "allowed 10 to 3600 seconds"},
        BadCase{"CopySize", "[copy]\ndestinations=/mnt/s\nsize=2MB\n",
                "[copy] size = 2MB: allowed 100KB, 1MB or 5MB"},
        BadCase{"CopyLog", "[copy]\ndestinations=/mnt/s\nlog=2\n", "[copy] log = 2"},
        BadCase{"ListenPort", "[metrics]\nlisten=99999\n[ping]\nhosts=a\n",
                "[metrics] listen = 99999: the port must be 1 to 65535"},
        BadCase{"ListenHost", "[metrics]\nlisten=example.org:80\n[ping]\nhosts=a\n",
                "[metrics] listen = example.org:80"},
        BadCase{"RelativeFolder", "[ping]\nhosts=a\n[files]\nfolder=logs\n",
                "[files] folder = logs: an absolute path is needed"}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

TEST(ProberConfig, CredentialsOfARefusedDestinationStayOutOfTheMessage)
{
    QTemporaryDir dir;
    const QString error = errorOf(writeIni(dir, "[copy]\ndestinations=\\\\\\\\user%s3cret@srv\n"));
    ASSERT_FALSE(error.isEmpty());
    EXPECT_FALSE(error.contains(QStringLiteral("s3cret"))) << error.toStdString();
    EXPECT_TRUE(error.contains(QStringLiteral("\\\\srv"))) << error.toStdString();
}

TEST(ProberConfig, TheInstalledExampleIsTaken)
{
    const prober::Config c = prober::readConfig(QStringLiteral(TM_EXAMPLE_CONFIG));
    ASSERT_TRUE(c.listen);
    EXPECT_EQ(c.listen->address, QStringLiteral("127.0.0.1"));
    EXPECT_EQ(c.ping.hosts.size(), 2);
    ASSERT_EQ(c.copy.destinations.size(), 1);
    EXPECT_TRUE(c.copy.destinations.first().startsWith(QStringLiteral("\\\\fileserver")))
        << c.copy.destinations.first().toStdString();
    EXPECT_FALSE(c.copy.destinations.first().contains(QStringLiteral("\\\\\\")));
}

TEST(ProberConfig, MissingFileAndFolderAreNamed)
{
    QTemporaryDir dir;
    const QString missing = dir.filePath(QStringLiteral("none.ini"));
    EXPECT_EQ(errorOf(missing), missing + QStringLiteral(": no such file"));
    EXPECT_EQ(errorOf(dir.path()), dir.path() + QStringLiteral(": is a folder, not a file"));
}

} // namespace
