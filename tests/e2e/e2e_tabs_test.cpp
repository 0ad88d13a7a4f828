// The installed program keeps pinging while the operator looks at the other tabs: continuous
// pinging with the log on, a visit to the Analyse and the copy tab, back to Ping. The ping log
// beside the program must have a line for every tick, also for the ticks while another tab was
// shown, and the Ping tab shows them when it is back.
//
// Driven as in e2e_test.cpp: the installed program on a virtual display inside the network
// test bed, mouse clicks and key presses through desktop.h, controls found by their place in
// the main window's description (resources/TForm1.ui).

#include "desktop.h"
#include "net/netbed.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTime>

#include <gtest/gtest.h>

#include <iostream>
#include <memory>
#include <unistd.h>

using desktop::Window;

namespace {

const QString kClass = QStringLiteral("tallowmere");
const QString kHost = QString::fromLatin1(netbed::Target);
const QSize kFormClient(655, 513);
const QRect kComboBox1(4, 22, 250, 21);
const QRect kDoExit(496, 10, 122, 25);
const QSize kPanel1(329, 129);
const QRect kCheckBox2(168, 101, -1, -1); // "Log schreiben" of the Ping tab
const QRect kDoPing1(8, 136, 81, 25);
const QRect kContinuous(121, 136, 120, 25); // "Dauerpingen" and "Pingen beenden", stacked
const QRect kButton3(520, 304, 97, 25);     // "Analyse starten"
const QRect kButton5(8, 144, 115, 25);      // "Einmal kopieren"
const QRect kTabMarker[] = {kDoPing1, kButton3, kButton5};
constexpr int kIntervalS = 5; // continuous pinging's interval as the program starts

QStringList readLines(const QString& file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QStringList lines = QString::fromUtf8(f.readAll()).split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

class PingingWhileOtherTabsShow : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (::geteuid() != 0)
            GTEST_SKIP() << "needs root: the program runs inside the network test bed";
        ASSERT_TRUE(QFileInfo::exists(QStringLiteral("/run/netns/%1").arg(netbed::DatagramClient)))
            << "the network test bed is not up (fixture tmn_netbed)";
        ASSERT_TRUE(m_prefix.isValid() && m_home.isValid());
        const desktop::ToolResult install =
            desktop::run(QStringLiteral(TM_E2E_CMAKE),
                         {QStringLiteral("--install"), QStringLiteral(TM_E2E_BUILD_DIR),
                          QStringLiteral("--prefix"), m_prefix.path()},
                         120000);
        ASSERT_EQ(install.exitCode, 0) << (install.out + install.err).toStdString();
        QString reason;
        ASSERT_TRUE(m_display.start(&reason)) << reason.toStdString();
        m_screen = std::make_unique<desktop::Screen>(m_display.name());
    }

    void TearDown() override
    {
        if (m_program.state() != QProcess::NotRunning) {
            if (auto exit = widget(kDoExit, kFormClient, 2000))
                m_screen->click(exit->screenRect().center());
            if (!m_program.waitForFinished(20000)) {
                ADD_FAILURE() << "the program did not end within 20 s of \"Beenden\"";
                m_program.kill();
                m_program.waitForFinished(5000);
            }
        }
        m_screen.reset();
        m_display.stop();
    }

    QString programDir() const { return m_prefix.path() + QStringLiteral("/lib/tallowmere/"); }
    QString outputFile(const QString& name) const
    {
        QDir().mkpath(QStringLiteral(TM_E2E_OUTPUT_DIR));
        return QStringLiteral(TM_E2E_OUTPUT_DIR "/") + name;
    }

    void startProgram()
    {
        const QString runtime = m_home.path() + QStringLiteral("/run");
        QDir().mkpath(runtime);
        QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                           QFileDevice::ExeOwner);
        QStringList args{QStringLiteral("netns"), QStringLiteral("exec"),
                         QString::fromLatin1(netbed::DatagramClient), QStringLiteral("env"),
                         QStringLiteral("-i")};
        args << QStringLiteral("PATH=/usr/local/bin:/usr/bin:/bin")
             << QStringLiteral("HOME=") + m_home.path()
             << QStringLiteral("XDG_RUNTIME_DIR=") + runtime << QStringLiteral("LANG=de_DE.UTF-8")
             << QStringLiteral("DISPLAY=") + m_display.name()
             << QStringLiteral("QT_QPA_PLATFORM=xcb") << QStringLiteral("QT_USE_NATIVE_WINDOWS=1");
        for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS", "TSAN_OPTIONS"}) {
            if (qEnvironmentVariableIsSet(name))
                args << QString::fromLatin1(name) + u'=' + qEnvironmentVariable(name);
        }
        args << m_prefix.path() + QStringLiteral("/bin/quillnet");
        m_program.setProcessChannelMode(QProcess::MergedChannels);
        m_program.setStandardOutputFile(outputFile(QStringLiteral("tabs-while-pinging.log")),
                                        QIODevice::Truncate);
        m_program.start(QStringLiteral("ip"), args);
        ASSERT_TRUE(m_program.waitForStarted(10000)) << m_program.errorString().toStdString();
        const bool shown = desktop::waitFor(
            [&] {
                for (const auto& t : m_screen->topLevels(kClass)) {
                    if (t.rect.width() == kFormClient.width())
                        m_main = t.id;
                }
                return m_main != 0 || m_program.state() == QProcess::NotRunning;
            },
            60000, 200);
        ASSERT_TRUE(shown && m_main) << "the main window did not appear; "
                                     << m_screen->describeTopLevels(kClass).toStdString();
        ASSERT_TRUE(widget(kComboBox1, kFormClient, 10000)) << "no host entry";
    }

    std::optional<Window> widget(const QRect& place, const QSize& parent = QSize(),
                                 int timeoutMs = 5000) const
    {
        std::optional<Window> found;
        desktop::waitFor(
            [&] {
                found = desktop::find(m_screen->tree(m_main, kClass), place, parent);
                return found.has_value();
            },
            timeoutMs, 150);
        return found;
    }

    void clickOn(const QRect& place, const QSize& parent, const char* what,
                 QPoint at = QPoint(-1, -1))
    {
        const auto w = widget(place, parent);
        ASSERT_TRUE(w) << "no " << what;
        m_screen->click(at.x() < 0 ? w->screenRect().center() : w->absolute + at);
    }

    // The tab bar lies at the top of the page control, which is as wide as the window.
    std::optional<Window> tabBar() const
    {
        const QList<Window> tree = m_screen->tree(m_main, kClass);
        for (const Window& w : tree) {
            if (w.viewable && w.parent >= 0 && w.rect.topLeft() == QPoint(0, 0) &&
                w.rect.height() < 40 && w.rect.width() < kFormClient.width() &&
                tree[w.parent].rect.width() == kFormClient.width() &&
                tree[w.parent].rect.height() >= 400)
                return w;
        }
        return std::nullopt;
    }

    // Clicks along the tab bar until the page with the tab's own button shows.
    void showTab(int index)
    {
        const auto bar = tabBar();
        ASSERT_TRUE(bar) << "no tab bar";
        const int width = bar->rect.width();
        QList<int> xs{index == 0 ? 8 : index == 2 ? width - 8 : width / 2};
        for (int x = 8; x < width - 4; x += 8)
            xs << x;
        for (int x : xs) {
            const auto now = tabBar();
            ASSERT_TRUE(now) << "the tab bar went away";
            m_screen->click(now->absolute + QPoint(x, now->rect.height() / 2));
            if (widget(kTabMarker[index], QSize(), x == xs.first() ? 5000 : 1000))
                return;
        }
        FAIL() << "tab " << index << " did not show";
    }

    QTemporaryDir m_prefix;
    QTemporaryDir m_home;
    desktop::Display m_display;
    std::unique_ptr<desktop::Screen> m_screen;
    QProcess m_program;
    quint32 m_main = 0;
};

TEST_F(PingingWhileOtherTabsShow, TheLogHasALineForEveryTick)
{
    ASSERT_NO_FATAL_FAILURE(startProgram());
    clickOn(kComboBox1, kFormClient, "host entry", QPoint(40, 10));
    m_screen->key(QStringLiteral("ctrl+a"));
    m_screen->type(kHost);
    ASSERT_NO_FATAL_FAILURE(clickOn(kCheckBox2, kPanel1, "\"Log schreiben\"", QPoint(7, 8)));
    ASSERT_NO_FATAL_FAILURE(clickOn(kContinuous, QSize(), "\"Dauerpingen\""));
    const QTime started = QTime::currentTime();

    // A little over two intervals on each of the other tabs, then back to Ping.
    struct Visit
    {
        int tab;
        QTime from;
        QTime to;
    };
    QList<Visit> visits;
    for (int tab : {1, 2, 0}) {
        ASSERT_NO_FATAL_FAILURE(showTab(tab));
        const QTime from = QTime::currentTime();
        ::sleep(2 * kIntervalS + 1);
        visits.append({tab, from, QTime::currentTime()});
    }
    ASSERT_NO_FATAL_FAILURE(clickOn(kContinuous, QSize(), "\"Pingen beenden\""));
    const QTime stopped = QTime::currentTime();
    ASSERT_NO_FATAL_FAILURE(showTab(0));

    // The file is written at each reply; the last one comes within a second of its tick.
    ::sleep(2);
    const QString log = programDir() + QStringLiteral("quillnet_%1.txt").arg(kHost);
    const QStringList lines = readLines(log);
    const QRegularExpression line(
        QStringLiteral("^\\d\\d\\.\\d\\d\\.\\d{4}, (\\d\\d:\\d\\d:\\d\\d), %1, 32 "
                       "bytes, \\d+ms$")
            .arg(QRegularExpression::escape(kHost)));
    QList<QTime> ticks;
    for (const QString& l : lines) {
        const auto m = line.match(l);
        EXPECT_TRUE(m.hasMatch()) << l.toStdString();
        if (m.hasMatch())
            ticks << QTime::fromString(m.captured(1), QStringLiteral("HH:mm:ss"));
    }
    // One line at the start, then one per interval until the stop.
    const int expected = started.secsTo(stopped) / kIntervalS + 1;
    EXPECT_GE(ticks.size(), expected - 1) << lines.join(u'\n').toStdString();
    EXPECT_LE(ticks.size(), expected + 1) << lines.join(u'\n').toStdString();
    for (int i = 1; i < ticks.size(); ++i)
        EXPECT_LE(ticks[i - 1].secsTo(ticks[i]), kIntervalS + 1)
            << "a gap in the log between " << lines[i - 1].toStdString() << " and "
            << lines[i].toStdString();
    // Every visit, the other tabs' included, has its own lines.
    for (const Visit& v : visits) {
        int during = 0;
        for (const QTime& t : ticks)
            during += v.from.secsTo(t) >= 0 && t.secsTo(v.to) >= 0;
        EXPECT_GE(during, 2) << "tab " << v.tab << " shown from " << v.from.toString().toStdString()
                             << " to " << v.to.toString().toStdString() << ":\n"
                             << lines.join(u'\n').toStdString();
    }

    QString reason;
    const QString picture = outputFile(QStringLiteral("screenshot-tabs-while-pinging.png"));
    ASSERT_TRUE(m_screen->screenshot(m_main, picture, &reason)) << reason.toStdString();
    std::cout << "screenshot: " << picture.toStdString() << std::endl;
}

} // namespace
