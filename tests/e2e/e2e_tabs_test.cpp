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
#include <QRegularExpression>
#include <QTime>

#include <gtest/gtest.h>

#include <functional>
#include <iostream>
#include <unistd.h>

namespace {

namespace place = desktop::place;

const QString kHost = QString::fromLatin1(netbed::Target);
const QRect kTabMarker[] = {place::DoPing1, place::Button3, place::Button5};
constexpr int kIntervalS = 5; // continuous pinging's interval as the program starts

// The times of the log's reply lines; lines of another form go to malformed.
QList<QTime> ticksOf(const QStringList& lines, QStringList* malformed = nullptr)
{
    static const QRegularExpression line(
        QStringLiteral("^\\d\\d\\.\\d\\d\\.\\d{4}, (\\d\\d:\\d\\d:\\d\\d), %1, 32 "
                       "bytes, \\d+ms$")
            .arg(QRegularExpression::escape(kHost)));
    QList<QTime> ticks;
    for (const QString& l : lines) {
        const auto m = line.match(l);
        if (m.hasMatch())
            ticks << QTime::fromString(m.captured(1), QStringLiteral("HH:mm:ss"));
        else if (malformed)
            malformed->append(l);
    }
    return ticks;
}

// Ticks from one time to another, both included (the log has whole seconds).
int ticksBetween(const QList<QTime>& ticks, const QTime& from, const QTime& to)
{
    int during = 0;
    for (const QTime& t : ticks)
        during += from.secsTo(t) >= 0 && t.secsTo(to) >= 0;
    return during;
}

class PingingWhileOtherTabsShow : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (::geteuid() != 0)
            GTEST_SKIP() << "needs root: the program runs inside the network test bed";
        const QString unavailable = desktop::Program::unavailableReason();
        ASSERT_TRUE(unavailable.isEmpty()) << unavailable.toStdString();
        QString output;
        ASSERT_TRUE(m_program.install(&output)) << output.toStdString();
        ASSERT_TRUE(m_program.startDisplay(&output)) << output.toStdString();
    }

    void TearDown() override
    {
        if (!m_program.quit())
            ADD_FAILURE() << "the program did not end within 20 s of \"Beenden\"";
    }

    QString outputFile(const QString& name) const
    {
        QDir().mkpath(QStringLiteral(TM_E2E_OUTPUT_DIR));
        return QStringLiteral(TM_E2E_OUTPUT_DIR "/") + name;
    }

    void startProgram()
    {
        desktop::Program::Options options;
        options.logFile = outputFile(QStringLiteral("tabs-while-pinging.log"));
        QString reason;
        ASSERT_TRUE(m_program.start(options, &reason)) << reason.toStdString();
    }

    void clickOn(const QRect& at, const QSize& parent, const char* what,
                 QPoint inside = QPoint(-1, -1))
    {
        ASSERT_TRUE(m_program.clickOn(at, parent, inside)) << "no " << what;
    }

    void showTab(int index)
    {
        QString reason;
        ASSERT_TRUE(m_program.showTab(index, kTabMarker[index], &reason)) << reason.toStdString();
    }

    // Waits until the log has a line for the condition; the bound only ends a failing test.
    QStringList waitForLog(const QString& log, const std::function<bool(const QStringList&)>& cond,
                           int timeoutMs)
    {
        QStringList lines;
        desktop::waitFor(
            [&] {
                lines = desktop::readLines(log);
                return cond(lines);
            },
            timeoutMs, 200);
        return lines;
    }

    desktop::Program m_program;
};

TEST_F(PingingWhileOtherTabsShow, TheLogHasALineForEveryTick)
{
    ASSERT_NO_FATAL_FAILURE(startProgram());
    ASSERT_TRUE(m_program.typeInto(place::ComboBox1, place::FormClient, kHost));
    ASSERT_NO_FATAL_FAILURE(
        clickOn(place::CheckBox2, place::Panel1, "\"Log schreiben\"", QPoint(7, 8)));
    ASSERT_NO_FATAL_FAILURE(clickOn(place::Continuous, QSize(), "\"Dauerpingen\""));
    const QTime started = QTime::currentTime();
    const QString log = m_program.programDir() + QStringLiteral("quillnet_%1.txt").arg(kHost);

    // Each of the other tabs stays shown until the log has two ticks of its own, then back to
    // Ping. The bound of four intervals only ends a test whose pinging stopped.
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
        waitForLog(
            log,
            [&](const QStringList& lines) {
                return ticksBetween(ticksOf(lines), from, QTime::currentTime()) >= 2;
            },
            4 * kIntervalS * 1000);
        visits.append({tab, from, QTime::currentTime()});
    }
    ASSERT_NO_FATAL_FAILURE(clickOn(place::Continuous, QSize(), "\"Pingen beenden\""));
    const QTime stopped = QTime::currentTime();
    ASSERT_NO_FATAL_FAILURE(showTab(0));

    // One line at the start, then one per interval until the stop. The file is written at each
    // reply, so the last one may still be on its way.
    const int expected = started.secsTo(stopped) / kIntervalS + 1;
    const QStringList lines = waitForLog(
        log, [&](const QStringList& l) { return l.size() >= expected - 1; }, 10000);
    QStringList malformed;
    const QList<QTime> ticks = ticksOf(lines, &malformed);
    EXPECT_TRUE(malformed.isEmpty()) << malformed.join(u'\n').toStdString();
    EXPECT_GE(ticks.size(), expected - 1) << lines.join(u'\n').toStdString();
    EXPECT_LE(ticks.size(), expected + 1) << lines.join(u'\n').toStdString();
    for (int i = 1; i < ticks.size(); ++i)
        EXPECT_LE(ticks[i - 1].secsTo(ticks[i]), kIntervalS + 1)
            << "a gap in the log between " << lines[i - 1].toStdString() << " and "
            << lines[i].toStdString();
    // Every visit, the other tabs' included, has its own lines.
    for (const Visit& v : visits) {
        EXPECT_GE(ticksBetween(ticks, v.from, v.to), 2)
            << "tab " << v.tab << " shown from " << v.from.toString().toStdString() << " to "
            << v.to.toString().toStdString() << ":\n"
            << lines.join(u'\n').toStdString();
    }

    QString reason;
    const QString picture = outputFile(QStringLiteral("screenshot-tabs-while-pinging.png"));
    ASSERT_TRUE(m_program.screen().screenshot(m_program.mainWindow(), picture, &reason))
        << reason.toStdString();
    std::cout << "screenshot: " << picture.toStdString() << std::endl;
}

} // namespace
