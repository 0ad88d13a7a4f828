// The built program on the command line: refusals end with one line and status 2 before any
// measurement; the prober runs without a display, serves its metrics and ends cleanly on a
// signal. Copies go to a local folder here, so no test bed is needed.

#include "prober/proberprocess.h"
#include "prober/scrape.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>

namespace {

struct ProgramRun
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

ProgramRun runProgram(const QStringList& args)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(TM_QUILLNET), args);
    ProgramRun r;
    if (!p.waitForFinished(20000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

TEST(ProberCommandLine, HelpAndVersionNeedNoDisplay)
{
    const ProgramRun help = runProgram({QStringLiteral("--help")});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.contains("--headless")) << help.out.constData();
    EXPECT_TRUE(help.out.contains("--metrics-listen")) << help.out.constData();
    const ProgramRun version = runProgram({QStringLiteral("--version")});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_TRUE(version.out.startsWith("quillnet ")) << version.out.constData();
}

struct RefusalCase
{
    const char* name;
    QStringList args;  // "@FOLDER@" stands for a fresh temporary folder
    const char* ini;   // written to @FOLDER@/p.ini when not null
    const char* names; // what the message must name
};

void PrintTo(const RefusalCase& c, std::ostream* os)
{
    *os << c.name;
}

class Refusal : public ::testing::TestWithParam<RefusalCase>
{
};

TEST_P(Refusal, EndsWithOneLineAndStatusTwoBeforeAnythingRuns)
{
    QTemporaryDir dir;
    const QString folder = dir.path() + u'/';
    const RefusalCase& c = GetParam();
    if (c.ini) {
        QFile f(folder + QStringLiteral("p.ini"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(c.ini).replace("@FOLDER@", folder.toUtf8()));
    }
    QStringList args;
    for (QString a : c.args)
        args << a.replace(QStringLiteral("@FOLDER@"), folder);
    const ProgramRun r = runProgram(args);
    EXPECT_EQ(r.exitCode, 2) << r.err.constData();
    EXPECT_TRUE(r.err.startsWith("quillnet: ")) << r.err.constData();
    EXPECT_EQ(r.err.count('\n'), 1) << r.err.constData();
    EXPECT_TRUE(r.err.contains(c.names)) << r.err.constData();
    // Nothing was measured or written: no test files, no logs.
    const QStringList left = QDir(folder).entryList(QDir::Files | QDir::NoDotAndDotDot);
    EXPECT_TRUE(left.isEmpty() || left == QStringList{QStringLiteral("p.ini")})
        << left.join(u' ').toStdString();
}

const auto S = [](const char* s) { return QString::fromUtf8(s); };

INSTANTIATE_TEST_SUITE_P(
    Prober, Refusal,
    ::testing::Values(RefusalCase{"UnknownOption", {S("--bogus")}, nullptr, "bogus"},
                      RefusalCase{
                          "BadListen", {S("--metrics-listen"), S("0")}, nullptr, "1 to 65535"},
                      RefusalCase{"MissingFile",
                                  {S("--headless"), S("--config"), S("@FOLDER@none.ini")},
                                  nullptr,
                                  "none.ini: no such file"},
                      RefusalCase{"FolderAsFile",
                                  {S("--headless"), S("--config"), S("@FOLDER@")},
                                  nullptr,
                                  "is a folder"},
                      RefusalCase{"Malformed",
                                  {S("--headless"), S("--config"), S("@FOLDER@p.ini")},
                                  "[ping\nhosts=a\n",
                                  "no valid INI file"},
                      RefusalCase{"BadValue",
                                  {S("--headless"), S("--config"), S("@FOLDER@p.ini")},
                                  "[ping]\nhosts=a\ntimeout=12\n[files]\nfolder=@FOLDER@\n",
                                  "[ping] timeout = 12: allowed 1 to 9 seconds"},
                      RefusalCase{"UnusableFolder",
                                  {S("--headless"), S("--config"), S("@FOLDER@p.ini")},
                                  "[copy]\ndestinations=/tmp\n[files]\nfolder=@FOLDER@p.ini/sub\n",
                                  "Cannot create the folder"}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

// A listening socket of our own holds the port.
class HeldPort
{
public:
    HeldPort()
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof sa;
        if (::bind(m_fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0 &&
            ::listen(m_fd, 1) == 0 &&
            ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&sa), &len) == 0)
            m_port = ntohs(sa.sin_port);
    }
    ~HeldPort() { ::close(m_fd); }
    uint16_t port() const { return m_port; }

private:
    int m_fd = -1;
    uint16_t m_port = 0;
};

TEST(ProberCommandLine, APortInUseIsRefusedInEitherMode)
{
    HeldPort held;
    ASSERT_NE(held.port(), 0);
    const QString where = QStringLiteral("127.0.0.1:%1").arg(held.port());
    // The window's endpoint is bound before the window exists: no display is needed to be told.
    const ProgramRun window = runProgram({QStringLiteral("--metrics-listen"), where});
    EXPECT_EQ(window.exitCode, 2) << window.err.constData();
    EXPECT_TRUE(window.err.contains(where.toUtf8())) << window.err.constData();
    EXPECT_TRUE(window.err.contains("Address already in use")) << window.err.constData();

    ProberProcess prober;
    ASSERT_TRUE(prober.start("[copy]\ndestinations=@FOLDER@dest\n[files]\nfolder=@FOLDER@\n",
                             {QStringLiteral("--metrics-listen"), where}));
    ASSERT_TRUE(prober.waitForExit(20000));
    EXPECT_EQ(prober.exitCode(), 2);
    EXPECT_TRUE(prober.stderrText().contains(where.toUtf8())) << prober.stderrText().constData();
    EXPECT_TRUE(prober.fileBytes(QStringLiteral("1Mbyte.txt")).isEmpty())
        << "the test files were written although the prober could not start";
}

struct StopCase
{
    const char* name;
    int signal;
    const char* said;
};

void PrintTo(const StopCase& c, std::ostream* os)
{
    *os << c.name;
}

class ProberStop : public ::testing::TestWithParam<StopCase>
{
};

TEST_P(ProberStop, RunsWithoutADisplayServesMetricsAndEndsCleanly)
{
    const uint16_t port = scrape::freePort();
    ASSERT_NE(port, 0);
    ProberProcess prober;
    ASSERT_TRUE(QDir().mkpath(prober.folder() + QStringLiteral("dest")));
    ASSERT_TRUE(prober.start(QStringLiteral("[metrics]\nlisten=%1\n"
                                            "[copy]\ndestinations=@FOLDER@dest\nsize=100KB\n"
                                            "log=true\n[files]\nfolder=@FOLDER@\n")
                                 .arg(port)
                                 .toUtf8()));
    ASSERT_TRUE(prober.waitUntilRunning()) << prober.stderrText().constData();
    const QString series =
        QStringLiteral(
            "tallowmere_copy_duration_seconds_count{destination=\"%1dest\",size=\"100KB\"}")
            .arg(prober.folder());
    QMap<QString, double> s;
    EXPECT_TRUE(prober.waitFor(
        [&] {
            s = scrape::samples(scrape::get(port, "/metrics").body);
            return s.value(series) >= 1;
        },
        20000))
        << "no copy in the metrics: " << prober.stderrText().constData();
    EXPECT_EQ(s.value(QStringLiteral("tallowmere_build_info{version=\"%1\"}")
                          .arg(QStringLiteral(TM_VERSION))),
              1);

    prober.signal(GetParam().signal);
    ASSERT_TRUE(prober.waitForExit(10000));
    EXPECT_TRUE(prober.normalExit());
    EXPECT_EQ(prober.exitCode(), 0);
    EXPECT_TRUE(prober.stderrText().contains(GetParam().said)) << prober.stderrText().constData();
    bool complete = false;
    const QStringList lines = prober.logLines(QStringLiteral("vamtcopy.txt"), &complete);
    EXPECT_TRUE(complete);
    ASSERT_FALSE(lines.isEmpty());
    const QRegularExpression copied(
        QStringLiteral("^[A-Z][a-z]{2}\\d{2}, \\d{2}:\\d{2}:\\d{2}, \\d+ms, [0-9.]+ MBit/s$"));
    for (const QString& line : lines)
        EXPECT_TRUE(copied.match(line).hasMatch()) << line.toStdString();
    // Each copy is removed from the destination again.
    EXPECT_FALSE(QFile::exists(prober.folder() + QStringLiteral("dest/100kbyte.txt")));
}

INSTANTIATE_TEST_SUITE_P(Prober, ProberStop,
                         ::testing::Values(StopCase{"Term", SIGTERM, "stopped on SIGTERM"},
                                           StopCase{"Int", SIGINT, "stopped on SIGINT"}),
                         [](const auto& testCase) { return std::string(testCase.param.name); });

} // namespace
