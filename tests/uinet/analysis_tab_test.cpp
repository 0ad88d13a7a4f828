// The Analyse tab driven as an operator would, against the hosts of the network test bed.
// Every run takes its real time: seven steps a second apart and the five-second wait.

#include "formfixture.h"

#include "controls/VexTrend.h"
#include "net/netbed.h"
#include "platform/memo.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>

namespace {

void typeHost(TForm1& f, const QString& host)
{
    f.ComboBox1->lineEdit()->clear();
    QTest::keyClicks(f.ComboBox1->lineEdit(), host);
}

QString cell(TForm1& f, int col, int row)
{
    const QTableWidgetItem* item = f.StringGrid1->item(row, col);
    return item ? item->text() : QString();
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
    QElapsedTimer t;
    t.start();
    while ((TApplication::instance()->busyCursor() || f.Timer2->isActive() || f.Timer3->isActive()) &&
           t.elapsed() < 60000)
        QTest::qWait(20);
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
            EXPECT_GE(v, 20);
            EXPECT_LE(v, 35);
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
    EXPECT_EQ(fileLines(fileBytes(QStringLiteral("quillnet_analysis_10.201.20.20.txt"))).size(), 140);
}

TEST_F(AnalysisTab, UnresolvableHostGivesZerosAndBadDestinationLines)
{
    TM_REQUIRE_NETBED();
    TForm1& f = form();
    typeHost(f, QString::fromLatin1(netbed::UnknownName));
    runAnalysis(f);
    for (int c = 1; c <= 7; ++c)
        for (int r = 1; r <= 12; ++r)
            EXPECT_EQ(cell(f, c, r), QStringLiteral("0")) << c << "," << r;
    EXPECT_EQ(f.Label26->text(), QStringLiteral("1"));
    EXPECT_EQ(f.Label27->text(), QStringLiteral("0"));
    const QByteArrayList lines = fileLines(fileBytes(QStringLiteral("quillnet_analysis_nosuchhost.tmn.test.txt")));
    ASSERT_EQ(lines.size(), 70);
    EXPECT_TRUE(lines[0].endsWith(", nosuchhost.tmn.test, Bad Destination\r"));
}

TEST_F(AnalysisTab, OtherFailuresCountAsZeroAndTheRunCompletes)
{
    TM_REQUIRE_NETBED();
    TForm1& f = form();
    // Answered with "host unreachable" by the bed's responder.
    typeHost(f, QStringLiteral("10.201.20.%1").arg(netbed::UnreachableBase + 1));
    runAnalysis(f);
    EXPECT_EQ(cell(f, 7, 12), QStringLiteral("0"));
    EXPECT_EQ(f.Label26->text(), QStringLiteral("1"));
    EXPECT_TRUE(f.Memo2->Strings(0).endsWith(QStringLiteral("Destination host unreachable")))
        << f.Memo2->Strings(0).toStdString();
    EXPECT_EQ(fileLines(fileBytes(QStringLiteral("quillnet_analysis_10.201.20.51.txt"))).size(), 70);
    EXPECT_TRUE(testapp::recorded().isEmpty()) << testapp::recordedTexts().join(u'\n').toStdString();
}

TEST_F(AnalysisTab, StrayReplyIsLoggedButNeverShiftsTheGrid)
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
    EXPECT_EQ(f.Memo2->Count(), 71);
    bool strayLogged = false;
    for (const QString& l : f.Memo2->lines())
        strayLogged |= l.contains(QStringLiteral(", 10.201.20.31, 32 bytes, "));
    EXPECT_TRUE(strayLogged);
    // Every cell holds a reply of the kernel target, answered in a few milliseconds, not 600.
    for (int c = 1; c <= 7; ++c)
        for (int r = 1; r <= 10; ++r)
            EXPECT_LT(cell(f, c, r).toInt(), 100) << c << "," << r << " " << cell(f, c, r).toStdString();
}

TEST_F(AnalysisTab, PollsStillOutAtTheEndCountAsZeroAndTheFileIsWritten)
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
    EXPECT_EQ(f.Label26->text(), QStringLiteral("1"));
    EXPECT_TRUE(QFile::exists(path(QStringLiteral("quillnet_analysis_10.201.20.30.txt"))));
    EXPECT_TRUE(testapp::recorded().isEmpty()) << testapp::recordedTexts().join(u'\n').toStdString();
}

TEST_F(AnalysisTab, HostChangedDuringTheRunAndAFileThatCannotBeWritten)
{
    TM_REQUIRE_NETBED();
    TForm1& f = form();
    typeHost(f, QString::fromLatin1(netbed::Target));
    // The new host's file cannot be appended to (a folder stands in its place, which stops root too).
    QDir(m_dir.path()).mkdir(QStringLiteral("quillnet_analysis_10.201.20.2.txt"));
    QTest::mouseClick(f.Button3, Qt::LeftButton);
    QTest::qWait(2500);
    // The host entry lies outside the page control and stays usable.
    EXPECT_TRUE(f.ComboBox1->isEnabled());
    typeHost(f, QString::fromLatin1(netbed::ResponderEcho.address));
    QElapsedTimer t;
    t.start();
    while (TApplication::instance()->busyCursor() && t.elapsed() < 60000)
        QTest::qWait(20);
    EXPECT_FALSE(TApplication::instance()->busyCursor());
    ASSERT_EQ(testapp::recorded().size(), 1);
    EXPECT_TRUE(testapp::recorded()[0].text.contains(path(QStringLiteral("quillnet_analysis_10.201.20.2.txt"))))
        << testapp::recorded()[0].text.toStdString();
    // Grid and bars are complete all the same; the requests after the change went to the new host.
    EXPECT_NE(cell(f, 7, 12), QString());
    EXPECT_TRUE(f.Memo2->Strings(0).contains(QStringLiteral(", 10.201.10.2, ")));
    EXPECT_TRUE(f.Memo2->Strings(69).contains(QStringLiteral(", 10.201.20.2, ")));
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("quillnet_analysis_10.201.10.2.txt"))));
}
