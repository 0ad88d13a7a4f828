// The installed program, as a user meets it: installed with cmake --install into a fresh
// prefix, started through the link in bin/ on a virtual display inside the network test bed's
// client namespace, under a German and an English locale, driven with mouse clicks and key
// presses. The checks are the files a user would look at afterwards.
//
// Places of the controls are those of the main window's description (resources/TForm1.ui);
// every widget is a native X window (QT_USE_NATIVE_WINDOWS=1), so a control is found by its
// place in its parent.

#include "desktop.h"
#include "net/netbed.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QImage>
#include <QLocale>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <iostream>
#include <memory>
#include <unistd.h>

using desktop::Window;

namespace {

namespace place = desktop::place;

const QString kHost = QString::fromLatin1(netbed::Target);
// Answers after 150 ms, so times and scales show numbers of several digits.
const QString kSlowHost = QString::fromLatin1(netbed::Delay150.address);

// The page that shows each tab, found by a button of its own.
const QRect kTabMarker[] = {place::DoPing1, place::Button3, place::Button5};
const char* const kTabName[] = {"ping", "analyse", "vamtkopie"};

QString buildDir()
{
    return QStringLiteral(TM_E2E_BUILD_DIR);
}

QString outputDir()
{
    const QString dir = QStringLiteral(TM_E2E_OUTPUT_DIR);
    QDir().mkpath(dir);
    return dir;
}

bool matches(const QString& pattern, const QString& text)
{
    return QRegularExpression(QStringLiteral("^") + pattern + QStringLiteral("$"))
        .match(text)
        .hasMatch();
}

// "dd.mm.yyyy" of today: the stamp of the Ping and Analyse lines, in every locale.
QString todayStamp()
{
    return QDate::currentDate().toString(QStringLiteral("dd.MM.yyyy"));
}

// A reply line of the Ping and Analyse tabs for a host, of today.
QString replyLine(int dataSize, const QString& host = kHost)
{
    return todayStamp() + QStringLiteral(", [0-9]{2}:[0-9]{2}:[0-9]{2}, ") +
           QRegularExpression::escape(host) + QStringLiteral(", %1 bytes, [0-9]+ms").arg(dataSize);
}

// The round trip of a reply line, in ms.
int roundTrip(const QString& line)
{
    const auto m = QRegularExpression(QStringLiteral(", ([0-9]+)ms$")).match(line);
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

// The caption of the main window in each locale of the run: the described one, nothing added.
QString mainCaption(const QString& tag)
{
    return tag.startsWith(QLatin1String("de")) ? QStringLiteral("Tallowmere von Vornhart")
                                               : QStringLiteral("Tallowmere by Vornhart");
}

// The Samba test bed as its start script described it (tests/smb/smbbed.sh).
struct SmbBed
{
    QString envFile;
    QHash<QString, QString> values;
    QString problem; // empty when the bed is up
    QString value(const char* key) const { return values.value(QString::fromLatin1(key)); }
    QString uncFolder() const
    {
        return QStringLiteral("\\\\%1\\%2\\").arg(value("SERVER_ADDR"), value("WRITABLE_SHARE"));
    }
};

SmbBed readSmbBed()
{
    SmbBed bed;
    bed.envFile = qEnvironmentVariable("TM_SMBBED_ENV");
    if (bed.envFile.isEmpty()) {
        bed.problem = QStringLiteral("TM_SMBBED_ENV is not set: run through ctest");
        return bed;
    }
    for (const QString& line : desktop::readLines(bed.envFile).join(u'\n').split(u'\n')) {
        const qsizetype eq = line.indexOf(u'=');
        if (eq <= 0)
            continue;
        QString v = line.mid(eq + 1);
        if (v.size() >= 2 && v.startsWith(u'\'') && v.endsWith(u'\''))
            v = v.mid(1, v.size() - 2);
        bed.values.insert(line.left(eq), v);
    }
    if (bed.values.isEmpty())
        bed.problem = QStringLiteral("the Samba bed's description %1 is missing").arg(bed.envFile);
    else if (!bed.value("UNAVAILABLE").isEmpty())
        bed.problem = bed.value("UNAVAILABLE");
    return bed;
}

// The link between the network bed's client and the Samba bed, for one test.
class SmbBridge
{
public:
    explicit SmbBridge(const SmbBed& bed) : m_bed(bed) {}
    ~SmbBridge()
    {
        if (m_up)
            desktop::run(QStringLiteral(TM_E2E_BRIDGE),
                         {QStringLiteral("down"), m_bed.envFile,
                          QString::fromLatin1(netbed::DatagramClient)});
    }
    QString up()
    {
        const desktop::ToolResult r = desktop::run(
            QStringLiteral(TM_E2E_BRIDGE),
            {QStringLiteral("up"), m_bed.envFile, QString::fromLatin1(netbed::DatagramClient)},
            20000);
        m_up = r.exitCode == 0;
        return m_up ? QString() : r.out + r.err;
    }

private:
    const SmbBed& m_bed;
    bool m_up = false;
};

class InstalledProgram : public ::testing::TestWithParam<const char*>
{
protected:
    void SetUp() override
    {
        if (::geteuid() != 0)
            GTEST_SKIP() << "needs root: the program runs inside the network test bed's "
                            "namespaces";
        const QString unavailable = desktop::Program::unavailableReason();
        ASSERT_TRUE(unavailable.isEmpty()) << unavailable.toStdString();
        m_smb = readSmbBed();
        ASSERT_TRUE(m_smb.problem.isEmpty()) << m_smb.problem.toStdString();
        ASSERT_TRUE(m_cwd.isValid());

        // The install itself is part of what is tested.
        QString output;
        ASSERT_TRUE(m_program.install(&output)) << output.toStdString();
        const QFileInfo link(m_program.prefix() + QStringLiteral("/bin/quillnet"));
        ASSERT_TRUE(link.isSymLink()) << "bin/quillnet is no link";
        char target[256] = {};
        ASSERT_GT(
            ::readlink(QFile::encodeName(link.filePath()).constData(), target, sizeof target - 1),
            0);
        EXPECT_STREQ(target, "../lib/tallowmere/quillnet") << "the link is relative";
        ASSERT_TRUE(QFileInfo(programDir() + QStringLiteral("quillnet")).isExecutable());
        // The language module lies beside the installed program whenever the build made it.
        const QString builtModule = buildDir() + QStringLiteral("/app/quillnet.enu");
        if (QFileInfo::exists(builtModule)) {
            EXPECT_TRUE(QFileInfo::exists(programDir() + QStringLiteral("quillnet.enu")))
                << "the build made " << builtModule.toStdString()
                << " but the install put no quillnet.enu beside the program";
        }

        QString reason;
        ASSERT_TRUE(m_program.startDisplay(&reason)) << reason.toStdString();
    }

    void TearDown() override
    {
        QProcess& process = m_program.process();
        if (process.state() == QProcess::NotRunning)
            return;
        if (HasFailure() && m_program.mainWindow()) {
            // What the window showed when the test went wrong.
            const QString file = outputDir() + QStringLiteral("/failure-") + testName() + u'-' +
                                 tag() + QStringLiteral(".png");
            QString reason;
            if (m_program.screen().screenshot(m_program.mainWindow(), file, &reason))
                std::cout << "failure screenshot: " << file.toStdString() << std::endl;
        }
        // Ends as a user ends it; the exit status tells whether it ended cleanly.
        const bool ended = m_program.quit();
        EXPECT_TRUE(ended) << "the program did not end within 20 s of \"Beenden\"";
        if (ended) {
            EXPECT_EQ(process.exitStatus(), QProcess::NormalExit) << logTail();
            EXPECT_EQ(process.exitCode(), 0) << logTail();
        }
    }

    QString tag() const { return QString::fromLatin1(GetParam()).section(u'.', 0, 0); }
    QString programDir() const { return m_program.programDir(); }
    static QString testName()
    {
        return QString::fromLatin1(::testing::UnitTest::GetInstance()->current_test_info()->name())
            .section(u'/', 0, 0);
    }
    QString logFile() const
    {
        return outputDir() + u'/' + testName() + u'-' + tag() + QStringLiteral(".log");
    }
    std::string logTail() const
    {
        QFile f(logFile());
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return "program output:\n" + f.readAll().right(4000).toStdString();
    }
    std::string describe() const { return m_program.describe().toStdString(); }

    // Starts the installed program through its link, in the network bed's datagram client;
    // asUser runs it as the unprivileged user "nobody", for whom the installed tree is read-only.
    void startProgram(bool asUser = false)
    {
        desktop::Program::Options options;
        options.lang = QString::fromLatin1(GetParam());
        options.logFile = logFile();
        options.workingDir = m_cwd.path();
        options.env << QStringLiteral("XDG_DATA_HOME=") + m_program.home() +
                           QStringLiteral("/data");
        options.asUser = asUser;
        QString reason;
        ASSERT_TRUE(m_program.start(options, &reason)) << reason.toStdString() << "\n" << logTail();
        std::cout << "main window \"" << m_program.title().toStdString()
                  << "\" under LANG=" << GetParam() << std::endl;
    }

    void clickOn(const QRect& place, const QSize& parent = QSize(), const char* what = "")
    {
        ASSERT_TRUE(m_program.clickOn(place, parent))
            << "no " << what << " at " << place.x() << "," << place.y() << "; " << describe();
    }

    // A check box is clicked on its box, at the left end of the control.
    void clickCheckBox(const QRect& place, const QSize& parent, const char* what)
    {
        const auto w = m_program.widget(place, parent);
        ASSERT_TRUE(w) << "no check box " << what;
        m_program.screen().click(w->absolute + QPoint(7, w->rect.height() / 2));
    }

    void showTab(int index)
    {
        QString reason;
        ASSERT_TRUE(m_program.showTab(index, kTabMarker[index], &reason))
            << kTabName[index] << ": " << reason.toStdString();
    }

    void typeInto(const QRect& place, const QSize& parent, const QString& text, const char* what)
    {
        ASSERT_TRUE(m_program.typeInto(place, parent, text)) << "no " << what;
    }

    void screenshot(const QString& what, quint32 window = 0)
    {
        const QString file = outputDir() + QStringLiteral("/screenshot-%1-%2.png").arg(tag(), what);
        QString reason;
        ASSERT_TRUE(
            m_program.screen().screenshot(window ? window : m_program.mainWindow(), file, &reason))
            << reason.toStdString();
        const QImage shot(file);
        EXPECT_GE(shot.width(), 200);
        std::cout << "screenshot: " << file.toStdString() << std::endl;
    }

    // Waits until file holds at least count lines.
    QStringList waitForLines(const QString& file, int count, int timeoutMs)
    {
        QStringList lines;
        desktop::waitFor(
            [&] {
                lines = desktop::readLines(file);
                return lines.size() >= count || m_program.process().state() == QProcess::NotRunning;
            },
            timeoutMs, 250);
        return lines;
    }

    QTemporaryDir m_cwd;
    SmbBed m_smb;
    desktop::Program m_program;
};

TEST_P(InstalledProgram, PingWithTypedSizeAndKeyedTtlWritesItsLinesBesideTheProgram)
{
    ASSERT_NO_FATAL_FAILURE(startProgram());
    EXPECT_EQ(m_program.title(), mainCaption(tag()));
    ASSERT_NO_FATAL_FAILURE(typeInto(place::ComboBox1, place::FormClient, kSlowHost, "host entry"));
    ASSERT_NO_FATAL_FAILURE(
        typeInto(place::Edit1, place::Panel1, QStringLiteral("1234"), "data size"));
    // A time-to-live of 1 by keys: Home, then one step to the right. The router answers.
    ASSERT_NO_FATAL_FAILURE(clickOn(place::TrackBar1, place::Panel1, "TTL slider"));
    m_program.screen().key(QStringLiteral("Home"));
    m_program.screen().key(QStringLiteral("Right"));
    ASSERT_NO_FATAL_FAILURE(clickCheckBox(place::CheckBox2, place::Panel1, "\"Log schreiben\""));
    ASSERT_NO_FATAL_FAILURE(clickOn(place::DoPing1, QSize(), "\"Ein Ping\""));

    const QString log = programDir() + QStringLiteral("quillnet_%1.txt").arg(kSlowHost);
    QStringList lines = waitForLines(log, 1, 20000);
    ASSERT_EQ(lines.size(), 1) << log.toStdString() << ": " << lines.join(u'|').toStdString()
                               << "\n"
                               << describe();
    EXPECT_TRUE(matches(
        todayStamp() + QStringLiteral(", [0-9:]{8}, [0-9.]+, TTL expired in transit"), lines[0]))
        << lines[0].toStdString();

    // Back to the largest time-to-live by the End key; three echoes of the typed size.
    ASSERT_NO_FATAL_FAILURE(clickOn(place::TrackBar1, place::Panel1, "TTL slider"));
    m_program.screen().key(QStringLiteral("End"));
    for (int i = 0; i < 3; ++i) {
        ASSERT_NO_FATAL_FAILURE(clickOn(place::DoPing1, QSize(), "\"Ein Ping\""));
        lines = waitForLines(log, 2 + i, 20000);
        ASSERT_EQ(lines.size(), 2 + i) << lines.join(u'|').toStdString();
        EXPECT_TRUE(matches(replyLine(1234, kSlowHost), lines.last()))
            << lines.last().toStdString();
        EXPECT_GE(roundTrip(lines.last()), 150) << lines.last().toStdString();
    }
    bool crlf = false;
    desktop::readLines(log, &crlf);
    EXPECT_TRUE(crlf) << "lines end with CR LF";

    // The host history lies beside the program too, the new host first; nothing went into
    // the user's data folder.
    const QStringList history = desktop::readLines(programDir() + QStringLiteral("hostfile.txt"));
    ASSERT_FALSE(history.isEmpty()) << "no hostfile.txt beside the program";
    EXPECT_EQ(history.first(), kSlowHost);
    EXPECT_FALSE(QFileInfo::exists(m_program.home() + QStringLiteral("/data/tallowmere")));

    ASSERT_NO_FATAL_FAILURE(screenshot(QString::fromLatin1(kTabName[0])));
}

TEST_P(InstalledProgram, SystemInstallRunByAUserWritesIntoTheUsersDataFolder)
{
    ASSERT_NO_FATAL_FAILURE(startProgram(true));
    ASSERT_NO_FATAL_FAILURE(typeInto(place::ComboBox1, place::FormClient, kHost, "host entry"));
    ASSERT_NO_FATAL_FAILURE(clickCheckBox(place::CheckBox2, place::Panel1, "\"Log schreiben\""));
    ASSERT_NO_FATAL_FAILURE(clickOn(place::DoPing1, QSize(), "\"Ein Ping\""));

    // $XDG_DATA_HOME/tallowmere, made by the program; nothing beside the program file.
    const QString data = m_program.home() + QStringLiteral("/data/tallowmere/");
    const QStringList lines =
        waitForLines(data + QStringLiteral("quillnet_%1.txt").arg(kHost), 1, 20000);
    ASSERT_EQ(lines.size(), 1) << "no ping log in " << data.toStdString() << "\n"
                               << describe() << "\n"
                               << logTail();
    EXPECT_TRUE(matches(replyLine(32), lines[0])) << lines[0].toStdString();
    EXPECT_EQ(desktop::readLines(data + QStringLiteral("hostfile.txt")).value(0), kHost);
    EXPECT_EQ(QFileInfo(data).ownerId(), desktop::Nobody);
    EXPECT_EQ(QDir(programDir()).entryList(QDir::Files),
              QStringList{QStringLiteral("quillnet")} +
                  (QFileInfo::exists(programDir() + QStringLiteral("quillnet.enu"))
                       ? QStringList{QStringLiteral("quillnet.enu")}
                       : QStringList{}));
}

TEST_P(InstalledProgram, AnalysisRunWritesSeventyLines)
{
    ASSERT_NO_FATAL_FAILURE(startProgram());
    ASSERT_NO_FATAL_FAILURE(typeInto(place::ComboBox1, place::FormClient, kSlowHost, "host entry"));
    ASSERT_NO_FATAL_FAILURE(showTab(1));
    ASSERT_NO_FATAL_FAILURE(clickOn(place::Button3, QSize(), "\"Analyse starten\""));

    // Seven steps a second apart, then the interpretation 5 s later writes the file.
    const QString file = programDir() + QStringLiteral("quillnet_analysis_%1.txt").arg(kSlowHost);
    QStringList lines = waitForLines(file, 70, 120000);
    ASSERT_EQ(lines.size(), 70) << file.toStdString() << "\n" << describe() << "\n" << logTail();
    // Ten replies for each data size, each line a complete reply line.
    const QRegularExpression line(todayStamp() + QStringLiteral(", [0-9]{2}:[0-9]{2}:[0-9]{2}, ") +
                                  QRegularExpression::escape(kSlowHost) +
                                  QStringLiteral(", ([0-9]+) bytes, ([0-9]+)ms$"));
    QHash<int, int> perSize;
    for (const QString& l : lines) {
        const auto m = line.match(l);
        EXPECT_TRUE(m.hasMatch()) << l.toStdString();
        if (m.hasMatch()) {
            ++perSize[m.captured(1).toInt()];
            EXPECT_GE(m.captured(2).toInt(), 150) << l.toStdString();
        }
    }
    for (int size : {10, 100, 500, 1024, 10240, 51200, 64000})
        EXPECT_EQ(perSize.value(size), 10) << size << " bytes";

    ASSERT_NO_FATAL_FAILURE(screenshot(QString::fromLatin1(kTabName[1])));
    // One run, one set of lines: nothing is appended later.
    EXPECT_EQ(desktop::readLines(file).size(), 70);
}

TEST_P(InstalledProgram, CopyToTheShareWithLogWritesVamtcopy)
{
    SmbBridge bridge(m_smb);
    const QString bridgeProblem = bridge.up();
    ASSERT_TRUE(bridgeProblem.isEmpty()) << bridgeProblem.toStdString();
    ASSERT_NO_FATAL_FAILURE(startProgram());
    ASSERT_NO_FATAL_FAILURE(showTab(2));
    ASSERT_NO_FATAL_FAILURE(typeInto(place::Edit5, QSize(), m_smb.uncFolder(), "\"Ziel UNC\""));
    ASSERT_NO_FATAL_FAILURE(clickCheckBox(place::CheckBox8, QSize(), "\"Log schreiben\""));
    ASSERT_NO_FATAL_FAILURE(clickOn(place::Button5, QSize(), "\"Einmal kopieren\""));

    const QString log = programDir() + QStringLiteral("vamtcopy.txt");
    const QStringList lines = waitForLines(log, 1, 30000);
    ASSERT_EQ(lines.size(), 1) << log.toStdString() << "\n" << describe() << "\n" << logTail();
    // "Dez08, 14:03:27, 95ms, 88,3 MBit/s": the month and the decimal separator are the locale's.
    const QLocale locale(QString::fromLatin1(GetParam()).section(u'.', 0, 0));
    const QDate today = QDate::currentDate();
    const QString stamp = locale.standaloneMonthName(today.month(), QLocale::ShortFormat) +
                          today.toString(QStringLiteral("dd"));
    const QString separator = QRegularExpression::escape(locale.decimalPoint());
    EXPECT_TRUE(matches(
        QRegularExpression::escape(stamp) +
            QStringLiteral(", [0-9]{2}:[0-9]{2}:[0-9]{2}, [0-9]+ms, [0-9]+(%1[0-9]+)? MBit/s")
                .arg(separator),
        lines[0]))
        << lines[0].toStdString();

    // The 1 MB test file was made beside the program; the copy on the share was deleted again.
    EXPECT_EQ(QFileInfo(programDir() + QStringLiteral("1Mbyte.txt")).size(), 1048576);
    EXPECT_FALSE(QFileInfo::exists(m_smb.value("WRITABLE_DIR") + QStringLiteral("/1Mbyte.txt")));

    ASSERT_NO_FATAL_FAILURE(screenshot(QString::fromLatin1(kTabName[2])));
}

TEST_P(InstalledProgram, AboutWindowOpensFromTheHelpMenu)
{
    ASSERT_NO_FATAL_FAILURE(startProgram());
    // The help menu by its key, then "&About...".
    ASSERT_NO_FATAL_FAILURE(clickOn(place::ComboBox1, place::FormClient, "host entry"));
    m_program.screen().key(QStringLiteral("alt+h"));
    m_program.screen().key(QStringLiteral("a"));

    quint32 about = 0;
    desktop::waitFor(
        [&] {
            for (const auto& t : m_program.screen().topLevels(desktop::Program::WindowClass)) {
                // The described caption and nothing after it.
                if (t.title.startsWith(QStringLiteral("About")))
                    about = t.id;
            }
            return about != 0;
        },
        5000, 150);
    if (!about) {
#if TM_E2E_ABOUT_WINDOW
        FAIL() << "\"&About...\" showed no About window; " << describe();
#else
        GTEST_SKIP() << "the About window is not in this tree yet (no app/Unit2.cpp): "
                        "\"&About...\" does nothing; "
                     << describe();
#endif
    }
    for (const auto& t : m_program.screen().topLevels(desktop::Program::WindowClass)) {
        if (t.id == about) {
            EXPECT_EQ(t.rect.size(), place::AboutClient);
            EXPECT_EQ(t.title, QStringLiteral("About"));
        }
    }
    ASSERT_NO_FATAL_FAILURE(screenshot(QStringLiteral("about"), about));
    // "&Close" hides it again; the main window stays.
    const auto close = m_program.widget(place::AboutClose, QSize(), 5000, about);
    ASSERT_TRUE(close) << "the About window has no \"&Close\" button";
    m_program.screen().click(close->screenRect().center());
    EXPECT_TRUE(desktop::waitFor(
        [&] {
            for (const auto& t : m_program.screen().topLevels(desktop::Program::WindowClass)) {
                if (t.id == about)
                    return false;
            }
            return true;
        },
        5000))
        << "the About window is still shown after \"&Close\"";
}

INSTANTIATE_TEST_SUITE_P(Locales, InstalledProgram, ::testing::Values("de_DE.UTF-8", "en_US.UTF-8"),
                         [](const ::testing::TestParamInfo<const char*>& testCase) {
                             return std::string(testCase.param).substr(0, 5);
                         });

} // namespace
