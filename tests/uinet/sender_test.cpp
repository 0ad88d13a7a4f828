// Results land where they were sent from, whichever tab is shown; each tab keeps its own
// average; a data size outside 1 to 64000 is refused with a word and sends nothing.

#include "tabdriver.h"

#include "copytab.h"
#include "net/PingThrd.h"
#include "net/netbed.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTimer>

using namespace tabdriver;

class SenderTest : public FormTest
{
};

TEST_F(SenderTest, PingResultsAreRecordedWhicheverTabIsShown)
{
    TM_REQUIRE_NETBED();
    TForm1& f = form();
    typeHost(f, QString::fromLatin1(netbed::Delay150.address));
    f.CheckBox2->click();
    const QString logFile = QStringLiteral("quillnet_10.201.20.150.txt");
    const struct
    {
        const char* name;
        QWidget* page;
    } pages[] = {{"Analyse", f.TabSheet2}, {"VamtKopie", f.TabSheet3}, {"Ping", f.TabSheet1}};
    int results = 0;
    for (const auto& p : pages) {
        SCOPED_TRACE(p.name);
        // The reply takes 150 ms: the other tab is in front long before it arrives.
        QTest::mouseClick(f.doPing1, Qt::LeftButton);
        showTab(f, p.page);
        ASSERT_EQ(f.PageControl1->currentWidget(), p.page);
        ASSERT_TRUE(waitForLines(f.LogWindow, ++results));
        EXPECT_EQ(f.PageControl1->currentWidget(), p.page);
        EXPECT_TRUE(last(f.LogWindow).contains(QStringLiteral(", 10.201.20.150, 32 bytes, ")))
            << last(f.LogWindow).toStdString();
        EXPECT_EQ(f.pingTimes().size(), results);
        EXPECT_EQ(newest(f.VexTrend2), f.pingTimes().last());
        EXPECT_GE(newest(f.VexTrend2), 150);
        EXPECT_EQ(f.Label11->text(), QString::number(f.VexTrend2->MaxVal()));
        EXPECT_EQ(
            fileBytes(logFile),
            (f.LogWindow->lines().join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8());
        // The analysis keeps only its own polls.
        EXPECT_EQ(f.Memo1->Count(), 0);
        EXPECT_EQ(f.Memo2->Count(), 0);
        // Back on the Ping tab the log shows what came while it was hidden.
        showTab(f, f.TabSheet1);
        EXPECT_EQ(f.LogWindow->toPlainText(), f.LogWindow->lines().join(u'\n'));
    }
}

TEST_F(SenderTest, EachTabKeepsItsOwnAverageAndFailuresStayOutOfIt)
{
    TM_REQUIRE_NETBED();
    TForm1& f = form();
    QTemporaryDir share;
    f.CheckBox5->click();
    f.TrackBar2->setValue(1); // a lost echo times out after a second
    // Replies of about 150 ms, a lost echo, a copy of a few milliseconds in between.
    const struct
    {
        const char* host; // nullptr: a copy on the copy tab
        bool answered;
    } steps[] = {
        {netbed::Delay150.address, true}, {netbed::Drop.address, false},
        {netbed::Delay150.address, true}, {nullptr, true},
        {netbed::Drop.address, false},    {netbed::Delay150.address, true},
    };
    QList<int64_t> answered;
    for (const auto& s : steps) {
        SCOPED_TRACE(s.host ? s.host : "copy");
        if (!s.host) {
            showTab(f, f.TabSheet3);
            copytab::setDestination(f, share.path());
            copytab::copyOnce(f);
            ASSERT_EQ(f.Memo4->Count(), 1);
            showTab(f, f.TabSheet1);
            continue;
        }
        const int lines = f.LogWindow->Count();
        typeHost(f, QString::fromLatin1(s.host));
        QTest::mouseClick(f.doPing1, Qt::LeftButton);
        ASSERT_TRUE(waitForLines(f.LogWindow, lines + 1));
        if (s.answered)
            answered += newest(f.VexTrend2);
        else
            EXPECT_EQ(newest(f.VexTrend2), 0); // the outage still shows on the graph
    }
    // Only the answered echoes make the Ping tab's average.
    EXPECT_EQ(f.pingTimes(), answered);
    int64_t sum = 0;
    for (int64_t v : answered)
        sum += v;
    EXPECT_EQ(newestTwin(f.VexTrend2), int(sum / 3.0 + 0.5));
    EXPECT_GE(newestTwin(f.VexTrend2), 150);
    // The copy tab's list holds its one copy: too few values for an average.
    EXPECT_EQ(f.Memo3->Count(), 1);
    EXPECT_EQ(newestTwin(f.VexTrend3), 0);
}

TEST_F(SenderTest, InvalidDataSizeIsRefusedWithOneMessageInEveryMode)
{
    TM_REQUIRE_NETBED();
    TForm1& f = form();
    typeHost(f, QString::fromLatin1(netbed::Target));
    const QString message =
        QStringLiteral("Die Datengröße '%1' ist ungültig: erlaubt sind 1 bis 64000 Bytes.");
    enum Mode
    {
        Single,      // "Ein Ping"
        Start,       // "Dauerpingen"
        WhileRunning // typed while continuous pinging runs; the next tick finds it
    };
    const struct
    {
        const char* size;
        Mode mode;
    } cases[] = {
        {"0", Single},      {"64001", Single}, {"-5", Single},
        {"100000", Single}, {"0", Start},      {"64001", Start},
        {"-5", Start},      {"100000", Start}, {"64001", WhileRunning},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(
            QStringLiteral("%1 in mode %2").arg(QLatin1String(c.size)).arg(c.mode).toStdString());
        testapp::clearRecorded();
        if (c.mode == WhileRunning) {
            typeInto(f.Edit1, QStringLiteral("32"));
            const int lines = f.LogWindow->Count();
            QTest::mouseClick(f.Button1, Qt::LeftButton);
            ASSERT_TRUE(f.Timer1->isActive());
            ASSERT_TRUE(waitForLines(f.LogWindow, lines + 1)); // the first ping goes out at once
        }
        typeInto(f.Edit1, QString::fromLatin1(c.size));
        const int lines = f.LogWindow->Count();
        const qsizetype workers = workerIds().size();
        switch (c.mode) {
        case Single:
            QTest::mouseClick(f.doPing1, Qt::LeftButton);
            break;
        case Start:
            QTest::mouseClick(f.Button1, Qt::LeftButton);
            break;
        case WhileRunning:
            // The next tick comes one interval (5 s) after the first ping.
            ASSERT_TRUE(waitUntil([] { return !testapp::recorded().isEmpty(); }, 8000));
            break;
        }
        // The message may be shown later; a second one would be queued behind it.
        ASSERT_TRUE(testapp::waitForRecorded(1));
        testapp::deliverPosted();
        ASSERT_EQ(testapp::recorded().size(), 1)
            << testapp::recordedTexts().join(u'\n').toStdString();
        EXPECT_EQ(testapp::recorded()[0].text, message.arg(QLatin1String(c.size)));
        // Nothing is sent, and continuous pinging does not look as if it ran.
        EXPECT_EQ(workerIds().size(), workers);
        EXPECT_FALSE(f.CheckBox1->isChecked());
        EXPECT_FALSE(f.Timer1->isActive());
        EXPECT_TRUE(inFrontOf(f.Button1, f.Button2));
        // Nothing else changes: the typed text stays for the operator to mend.
        EXPECT_EQ(f.Edit1->text(), QLatin1String(c.size));
        // No worker was started (above), so no line can come; what is queued is delivered.
        testapp::deliverPosted();
        EXPECT_EQ(f.LogWindow->Count(), lines);
    }
    // A size in the range pings again.
    typeInto(f.Edit1, QStringLiteral("64000"));
    const int before = f.LogWindow->Count();
    QTest::mouseClick(f.doPing1, Qt::LeftButton);
    ASSERT_TRUE(waitForLines(f.LogWindow, before + 1));
    EXPECT_TRUE(last(f.LogWindow).contains(QStringLiteral(", 64000 bytes, ")))
        << last(f.LogWindow).toStdString();
}
