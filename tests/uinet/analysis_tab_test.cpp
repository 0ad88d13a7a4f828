// The Analyse tab driven as an operator would, against the hosts of the network test bed.
// Every run takes its real time: seven steps a second apart and the five-second wait.

#include "tabdriver.h"

#include "app/analysis.h"
#include "controls/VexTrend.h"
#include "net/netbed.h"
#include "platform/memo.h"
#include "platform/rounding.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QToolTip>

using namespace tabdriver;

namespace {

QString cell(TForm1& f, int col, int row)
{
    const QTableWidgetItem* item = f.StringGrid1->item(row, col);
    return item ? item->text() : QString();
}

QString tip(TForm1& f, int col, int row)
{
    const QTableWidgetItem* item = f.StringGrid1->item(row, col);
    return item ? item->toolTip() : QString();
}

// Starts a run and waits until the interpretation has given the cursor back.
void runAnalysis(TForm1& f, bool checkLocked = true)
{
    QTest::mouseClick(f.Button3, Qt::LeftButton);
    if (checkLocked) {
        EXPECT_FALSE(f.PageControl1->isEnabled());
        EXPECT_TRUE(TApplication::instance()->busyCursor());
        EXPECT_FALSE(f.doPing1->isEnabled());
    }
    waitUntil(
        [&f] {
            return !TApplication::instance()->busyCursor() && !f.Timer2->isActive() &&
                   !f.Timer3->isActive();
        },
        60000);
    EXPECT_FALSE(TApplication::instance()->busyCursor());
    EXPECT_TRUE(f.PageControl1->isEnabled());
    EXPECT_TRUE(f.doPing1->isEnabled());
    EXPECT_EQ(f.Edit2->text(), QStringLiteral("z"));
}

QByteArrayList fileLines(const QByteArray& data)
{
    QByteArrayList lines = data.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

} // namespace

class AnalysisTab : public FormTest
{
protected:
    void SetUp() override
    {
        FormTest::SetUp();
        form().PageControl1->setCurrentWidget(form().TabSheet2);
    }
};

TEST_F(AnalysisTab, FullRunFillsGridBarsAndFile)
{
    TM_REQUIRE_NETBED();
    TForm1& f = form();
    typeHost(f, QString::fromLatin1(netbed::Delay20.address));
    runAnalysis(f);
    EXPECT_EQ(f.Memo2->Count(), 70);
    EXPECT_EQ(f.Memo1->Count(), 0);
    for (int c = 1; c <= 7; ++c) {
        SCOPED_TRACE(c);
        int64_t total = 0;
        for (int r = 1; r <= 10; ++r) {
            bool ok = false;
            const int v = cell(f, c, r).toInt(&ok);
            EXPECT_TRUE(ok) << cell(f, c, r).toStdString();
            // The responder's delay is the floor; load and sanitizers stretch the rest, so the
            // ceiling only tells a real reply from a late one.
            EXPECT_GE(v, 20);
            EXPECT_LT(v, 1000);
            total += v;
        }
        EXPECT_EQ(cell(f, c, 11), QString::number(total));
        const int average = cell(f, c, 12).toInt();
        EXPECT_NEAR(average, total / 10.0, 0.5);
        EXPECT_EQ(f.VexTrend1->Values()[c - 1], average);
    }
    EXPECT_EQ(f.Label26->text(), QString::number(f.VexTrend1->MaxVal()));
    const QByteArray file = fileBytes(QStringLiteral("quillnet_analysis_10.201.20.20.txt"));
    const QByteArrayList lines = fileLines(file);
    ASSERT_EQ(lines.size(), 70);
    for (const QByteArray& l : lines)
        EXPECT_TRUE(l.endsWith("ms\r")) << l.toStdString();
    EXPECT_TRUE(lines[0].contains(", 10.201.20.20, 10 bytes, "));
    EXPECT_TRUE(lines[69].contains(", 10.201.20.20, 64000 bytes, "));
    // The log shows over the grid on request.
    f.CheckBox3->click();
    EXPECT_TRUE(f.Memo2->isVisible());
    f.CheckBox3->click();
    EXPECT_FALSE(f.Memo2->isVisible());

    // A second run for the same host appends.
    runAnalysis(f, false);
    EXPECT_EQ(fileLines(fileBytes(QStringLiteral("quillnet_analysis_10.201.20.20.txt"))).size(),
              140);
}

TEST_F(AnalysisTab, UnresolvableHostGivesZerosAndBadDestinationLines)
{
    TM_REQUIRE_NETBED();
    TForm1& f = form();
    typeHost(f, QString::fromLatin1(netbed::UnknownName));
    runAnalysis(f);
    // No poll has a time: every cell is empty and names its failure; total and average are 0.
    for (int c = 1; c <= 7; ++c) {
        for (int r = 1; r <= 10; ++r) {
            EXPECT_EQ(cell(f, c, r), QString()) << c << "," << r;
            EXPECT_EQ(tip(f, c, r), QStringLiteral("nosuchhost.tmn.test, Bad Destination"));
        }
        EXPECT_EQ(cell(f, c, 11), QStringLiteral("0"));
        EXPECT_EQ(cell(f, c, 12), QStringLiteral("0"));
        EXPECT_EQ(tip(f, c, 0), QStringLiteral("10 of 10 polls failed"));
    }
    EXPECT_EQ(f.Label26->text(), QStringLiteral("1"));
    EXPECT_EQ(f.Label27->text(), QStringLiteral("0"));
    const QByteArrayList lines =
        fileLines(fileBytes(QStringLiteral("quillnet_analysis_nosuchhost.tmn.test.txt")));
    ASSERT_EQ(lines.size(), 70);
    EXPECT_TRUE(lines[0].endsWith(", nosuchhost.tmn.test, Bad Destination\r"));
}

TEST_F(AnalysisTab, OtherFailuresShowAsFailedAndTheRunCompletes)
{
    TM_REQUIRE_NETBED();
    TForm1& f = form();
    // Answered with "host unreachable" by the bed's responder.
    typeHost(f, QStringLiteral("10.201.20.%1").arg(netbed::UnreachableBase + 1));
    runAnalysis(f);
    EXPECT_EQ(cell(f, 7, 1), QString());
    EXPECT_EQ(tip(f, 7, 1), QStringLiteral("10.201.20.51, Destination host unreachable"));
    EXPECT_EQ(cell(f, 7, 12), QStringLiteral("0"));
    EXPECT_EQ(f.Label26->text(), QStringLiteral("1"));
    EXPECT_TRUE(f.Memo2->Strings(0).endsWith(QStringLiteral("Destination host unreachable")))
        << f.Memo2->Strings(0).toStdString();
    EXPECT_EQ(fileLines(fileBytes(QStringLiteral("quillnet_analysis_10.201.20.51.txt"))).size(),
              70);
    EXPECT_TRUE(testapp::recorded().isEmpty())
        << testapp::recordedTexts().join(u'\n').toStdString();
}

TEST_F(AnalysisTab, PingOfThePingTabStillOutAtTheStartStaysWithThePingTab)
{
    TM_REQUIRE_NETBED();
    TForm1& f = form();
    // A ping of the Ping tab that is still out when the run starts.
    f.PageControl1->setCurrentWidget(f.TabSheet1);
    typeHost(f, QString::fromLatin1(netbed::Late.address));
    QTest::mouseClick(f.doPing1, Qt::LeftButton);
    f.PageControl1->setCurrentWidget(f.TabSheet2);
    typeHost(f, QString::fromLatin1(netbed::Target));
    runAnalysis(f);
    ASSERT_EQ(f.LogWindow->Count(), 1);
    EXPECT_TRUE(f.LogWindow->Strings(0).contains(QStringLiteral(", 10.201.20.31, 32 bytes, ")));
    EXPECT_EQ(f.pingTimes().size(), 1);
    // The analysis's log and file hold its own seventy polls only.
    EXPECT_EQ(f.Memo2->Count(), 70);
    for (const QString& l : f.Memo2->lines())
        EXPECT_FALSE(l.contains(QStringLiteral("10.201.20.31"))) << l.toStdString();
    EXPECT_EQ(fileLines(fileBytes(QStringLiteral("quillnet_analysis_10.201.10.2.txt"))).size(), 70);
    // Every cell holds a reply of the kernel target, answered in a few milliseconds, not 600.
    for (int c = 1; c <= 7; ++c)
        for (int r = 1; r <= 10; ++r)
            EXPECT_LT(cell(f, c, r).toInt(), 100)
                << c << "," << r << " " << cell(f, c, r).toStdString();
}

TEST_F(AnalysisTab, PollsArrivingWhileThePingTabIsShownStayWithTheRun)
{
    TM_REQUIRE_NETBED();
    TForm1& f = form();
    // Replies after 600 ms: the last size's polls are still out when the tabs unlock.
    typeHost(f, QString::fromLatin1(netbed::Late.address));
    QTest::mouseClick(f.Button3, Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return f.PageControl1->isEnabled(); }, 20000));
    showTab(f, f.TabSheet1);
    ASSERT_EQ(f.PageControl1->currentWidget(), f.TabSheet1);
    ASSERT_TRUE(waitUntil([&] { return !TApplication::instance()->busyCursor(); }, 20000));
    EXPECT_EQ(f.PageControl1->currentWidget(), f.TabSheet1);
    // Nothing went to the Ping tab; the grid and the file have all seventy.
    EXPECT_EQ(f.LogWindow->Count(), 0);
    EXPECT_EQ(newest(f.VexTrend2), 0);
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("quillnet_10.201.20.31.txt"))));
    EXPECT_EQ(f.Memo2->Count(), 70);
    for (int c = 1; c <= 7; ++c) {
        for (int r = 1; r <= 10; ++r)
            EXPECT_GE(cell(f, c, r).toInt(), 600)
                << c << "," << r << " " << cell(f, c, r).toStdString();
        EXPECT_EQ(tip(f, c, 0), QStringLiteral("All 10 polls answered"));
    }
    EXPECT_EQ(fileLines(fileBytes(QStringLiteral("quillnet_analysis_10.201.20.31.txt"))).size(),
              70);
}

TEST_F(AnalysisTab, FailedPollsShowAsSuchAndStayOutOfTotalsAndAverages)
{
    TM_REQUIRE_NETBED();
    TForm1& f = form();
    f.TrackBar2->setValue(1); // a lost echo times out after a second
    // The host is changed between the steps: the fourth size goes to a host that never
    // answers, all others to one that answers after 20 ms.
    typeHost(f, QString::fromLatin1(netbed::Delay20.address));
    QTest::mouseClick(f.Button3, Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return f.Edit2->text() == QStringLiteral("w"); }, 10000));
    typeHost(f, QString::fromLatin1(netbed::Drop.address));
    ASSERT_TRUE(waitUntil([&] { return f.Edit2->text() == QStringLiteral("v"); }, 10000));
    typeHost(f, QString::fromLatin1(netbed::Delay20.address));
    ASSERT_TRUE(waitUntil([&] { return !TApplication::instance()->busyCursor(); }, 30000));

    const QString timeout = QStringLiteral("10.201.20.30, Request timed out");
    for (int c = 1; c <= 7; ++c) {
        SCOPED_TRACE(c);
        const bool lost = c == 4;
        int64_t total = 0;
        for (int r = 1; r <= 10; ++r) {
            if (lost) {
                EXPECT_EQ(cell(f, c, r), QString()) << r;
                EXPECT_EQ(tip(f, c, r), timeout) << r;
                continue;
            }
            const int v = cell(f, c, r).toInt();
            EXPECT_GE(v, 20) << r;
            EXPECT_EQ(tip(f, c, r), QString()) << r;
            total += v;
        }
        const QString summary = lost ? QStringLiteral("10 of 10 polls failed")
                                     : QStringLiteral("All 10 polls answered");
        EXPECT_EQ(tip(f, c, 0), summary);
        EXPECT_EQ(tip(f, c, 12), summary);
        EXPECT_EQ(cell(f, c, 11), QString::number(total));
        // A size without an answer shows 0 and draws no bar; the others average their answers.
        const int average = cell(f, c, 12).toInt();
        EXPECT_EQ(average, lost ? 0 : roundHalfEven(total / 10.0L)) << cell(f, c, 12).toStdString();
        EXPECT_EQ(f.VexTrend1->Values()[c - 1], average);
    }
    // Hovering a failed poll names its failure.
    const QRect failed = f.StringGrid1->visualItemRect(f.StringGrid1->item(3, 4));
    QHelpEvent hover(QEvent::ToolTip, failed.center(),
                     f.StringGrid1->viewport()->mapToGlobal(failed.center()));
    QApplication::sendEvent(f.StringGrid1->viewport(), &hover);
    EXPECT_EQ(QToolTip::text(), timeout);
    EXPECT_FALSE(savePicture(&f, QStringLiteral("analyse-failed-polls.png")).isEmpty());
    // The log and the file keep every poll's line, the failures among them.
    const QByteArrayList lines =
        fileLines(fileBytes(QStringLiteral("quillnet_analysis_10.201.20.20.txt")));
    ASSERT_EQ(lines.size(), 70);
    EXPECT_EQ(f.Memo2->Count(), 70);
    int timeouts = 0;
    for (const QByteArray& l : lines)
        timeouts += l.endsWith(", 10.201.20.30, Request timed out\r");
    EXPECT_EQ(timeouts, 10);
}

TEST_F(AnalysisTab, PollsStillOutAtTheEndShowAsFailedAndTheFileIsWritten)
{
    TM_REQUIRE_NETBED();
    TForm1& f = form();
    f.PageControl1->setCurrentWidget(f.TabSheet1);
    f.TrackBar2->setValue(9);
    f.PageControl1->setCurrentWidget(f.TabSheet2);
    typeHost(f, QString::fromLatin1(netbed::Drop.address));
    runAnalysis(f);
    for (int c = 1; c <= 7; ++c)
        EXPECT_EQ(cell(f, c, 12), QStringLiteral("0"));
    // The first size timed out 9 s after its polls went out, before the interpretation; the
    // last size's polls were still out then.
    EXPECT_EQ(tip(f, 1, 1), QStringLiteral("10.201.20.30, Request timed out"));
    EXPECT_EQ(cell(f, 7, 10), QString());
    EXPECT_EQ(tip(f, 7, 10), analysis::noAnswerText());
    EXPECT_EQ(f.Label26->text(), QStringLiteral("1"));
    EXPECT_TRUE(QFile::exists(path(QStringLiteral("quillnet_analysis_10.201.20.30.txt"))));
    EXPECT_TRUE(testapp::recorded().isEmpty())
        << testapp::recordedTexts().join(u'\n').toStdString();
}

TEST_F(AnalysisTab, HostChangedDuringTheRunAndAFileThatCannotBeWritten)
{
    TM_REQUIRE_NETBED();
    TForm1& f = form();
    typeHost(f, QString::fromLatin1(netbed::Target));
    // The new host's file cannot be appended to (a folder stands in its place, which stops root
    // too).
    QDir(m_dir.path()).mkdir(QStringLiteral("quillnet_analysis_10.201.20.2.txt"));
    QTest::mouseClick(f.Button3, Qt::LeftButton);
    // The run is under way: the first host has answered.
    ASSERT_TRUE(waitUntil([&f] { return f.Memo2->Count() > 0; }));
    // The host entry lies outside the page control and stays usable.
    EXPECT_TRUE(f.ComboBox1->isEnabled());
    typeHost(f, QString::fromLatin1(netbed::ResponderEcho.address));
    waitUntil([] { return !TApplication::instance()->busyCursor(); }, 60000);
    EXPECT_FALSE(TApplication::instance()->busyCursor());
    ASSERT_EQ(testapp::recorded().size(), 1);
    EXPECT_TRUE(testapp::recorded()[0].text.contains(
        path(QStringLiteral("quillnet_analysis_10.201.20.2.txt"))))
        << testapp::recorded()[0].text.toStdString();
    // Grid and bars are complete all the same; the requests after the change went to the new host.
    EXPECT_NE(cell(f, 7, 12), QString());
    EXPECT_TRUE(f.Memo2->Strings(0).contains(QStringLiteral(", 10.201.10.2, ")));
    EXPECT_TRUE(f.Memo2->Strings(69).contains(QStringLiteral(", 10.201.20.2, ")));
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("quillnet_analysis_10.201.10.2.txt"))));
}
