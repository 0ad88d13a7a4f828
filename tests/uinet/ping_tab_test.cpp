// The Ping tab driven as an operator would, against the hosts of the network test bed.

#include "tabdriver.h"

#include "controls/VexTrend.h"
#include "net/netbed.h"
#include "platform/memo.h"
#include "platform/rounding.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSlider>
#include <QTabWidget>
#include <QTimer>

using namespace tabdriver;

class PingTab : public FormTest
{
};

TEST_F(PingTab, SinglePingLogsGraphsAndNamesTheHost)
{
    TM_REQUIRE_NETBED();
    TForm1& f = form();
    typeHost(f, QString::fromLatin1(netbed::Target));
    f.CheckBox6->click();
    QTest::mouseClick(f.doPing1, Qt::LeftButton);
    ASSERT_TRUE(waitForLines(f.LogWindow, 1));
    const QString line = last(f.LogWindow);
    static const QRegularExpression format(QStringLiteral(
        "^\\d\\d\\.\\d\\d\\.\\d{4}, \\d\\d:\\d\\d:\\d\\d, 10\\.201\\.10\\.2, 32 bytes, \\d+ms$"));
    EXPECT_TRUE(format.match(line).hasMatch()) << line.toStdString();
    EXPECT_EQ(f.Edit4->text(), QStringLiteral("%1, %2").arg(QLatin1String(netbed::TargetName),
                                                            QLatin1String(netbed::Target)));
    ASSERT_EQ(f.pingTimes().size(), 1);
    EXPECT_EQ(newest(f.VexTrend2), f.pingTimes()[0]);
    EXPECT_EQ(f.Label11->text(), QString::number(f.VexTrend2->MaxVal()));
    EXPECT_TRUE(f.doPing1->isEnabled());
    // The host went into the history.
    EXPECT_EQ(f.ComboBox1->itemText(0), QString::fromLatin1(netbed::Target));
    EXPECT_EQ(fileBytes(QStringLiteral("hostfile.txt")), QByteArray("10.201.10.2\r\n"));
    // Without name resolution the result field is emptied.
    f.CheckBox6->click();
    QTest::mouseClick(f.doPing1, Qt::LeftButton);
    ASSERT_TRUE(waitForLines(f.LogWindow, 2));
    EXPECT_EQ(f.Edit4->text(), QString());
}

TEST_F(PingTab, DelayedRepliesSetTheScaleAndTheAverage)
{
    TM_REQUIRE_NETBED();
    TForm1& f = form();
    typeHost(f, QString::fromLatin1(netbed::Delay150.address));
    f.CheckBox5->click();
    EXPECT_TRUE(f.VexTrend2->Options() & TVexTrend::toTwin);
    int64_t sum = 0;
    for (int i = 1; i <= 3; ++i) {
        QTest::mouseClick(f.doPing1, Qt::LeftButton);
        ASSERT_TRUE(waitForLines(f.LogWindow, i));
        sum += newest(f.VexTrend2);
    }
    const int rtt = newest(f.VexTrend2);
    EXPECT_GE(rtt, 150);
    EXPECT_LE(rtt, 250); // a busy machine may add some, never a unit
    EXPECT_EQ(f.Label11->text(), QString::number(f.VexTrend2->MaxVal()));
    EXPECT_EQ(f.Label13->text(), QString::number(roundHalfEven(f.VexTrend2->MaxVal() / 2.0L)));
    EXPECT_EQ(f.VexTrend2->GridYstep(), roundHalfEven(f.VexTrend2->MaxVal() / 8.0L));
    // The average from the third value on, halves up; nothing before it.
    EXPECT_EQ(f.VexTrend2->TwinValues()[99], int(sum / 3.0 + 0.5));
    EXPECT_EQ(f.VexTrend2->TwinValues()[98], 0);
}

TEST_F(PingTab, ContinuousPingingStartsAtOnceAndStops)
{
    TM_REQUIRE_NETBED();
    TForm1& f = form();
    typeHost(f, QString::fromLatin1(netbed::Target));
    QTest::mouseClick(f.Button1, Qt::LeftButton);
    EXPECT_TRUE(f.CheckBox1->isChecked());
    EXPECT_TRUE(f.Timer1->isActive());
    EXPECT_EQ(f.Timer1->interval(), 5000);
    EXPECT_TRUE(inFrontOf(f.Button2, f.Button1));
    ASSERT_TRUE(waitForLines(f.LogWindow, 1, 3000)); // the first ping goes out at once
    // An extra single ping leaves continuous pinging on.
    QTest::mouseClick(f.doPing1, Qt::LeftButton);
    ASSERT_TRUE(waitForLines(f.LogWindow, 2, 3000));
    EXPECT_TRUE(f.Timer1->isActive());
    QTest::mouseClick(f.Button2, Qt::LeftButton);
    EXPECT_FALSE(f.CheckBox1->isChecked());
    EXPECT_FALSE(f.Timer1->isActive());
    EXPECT_TRUE(inFrontOf(f.Button1, f.Button2));
}

TEST_F(PingTab, BadDestinationStopsContinuousPinging)
{
    TM_REQUIRE_NETBED();
    TForm1& f = form();
    typeHost(f, QString::fromLatin1(netbed::UnknownName));
    f.VexTrend2->AddValue(50);
    QTest::mouseClick(f.Button1, Qt::LeftButton);
    ASSERT_TRUE(waitForLines(f.LogWindow, 1));
    EXPECT_TRUE(
        last(f.LogWindow).endsWith(QStringLiteral(", nosuchhost.tmn.test, Bad Destination")))
        << last(f.LogWindow).toStdString();
    EXPECT_FALSE(f.CheckBox1->isChecked());
    EXPECT_FALSE(f.Timer1->isActive());
    EXPECT_EQ(newest(f.VexTrend2), 0);
    // A failure changes neither the scale labels nor the time list.
    EXPECT_EQ(f.Label11->text(), QStringLiteral("0"));
    EXPECT_TRUE(f.pingTimes().isEmpty());
}

TEST_F(PingTab, TimeToLiveOneExpiresInTransitAndSilenceTimesOut)
{
    TM_REQUIRE_NETBED();
    TForm1& f = form();
    typeHost(f, QString::fromLatin1(netbed::Target));
    f.TrackBar1->setValue(1);
    EXPECT_EQ(f.Label5->text(), QStringLiteral("1"));
    QTest::mouseClick(f.doPing1, Qt::LeftButton);
    ASSERT_TRUE(waitForLines(f.LogWindow, 1));
    EXPECT_TRUE(last(f.LogWindow).endsWith(QStringLiteral(", 10.201.10.2, TTL expired in transit")))
        << last(f.LogWindow).toStdString();

    f.TrackBar1->setValue(0); // 0 means the default of 64
    f.TrackBar2->setValue(1);
    EXPECT_EQ(f.Label17->text(), QStringLiteral("1"));
    typeHost(f, QString::fromLatin1(netbed::Blackhole));
    QTest::mouseClick(f.doPing1, Qt::LeftButton);
    ASSERT_TRUE(waitForLines(f.LogWindow, 2, 5000));
    EXPECT_TRUE(last(f.LogWindow).endsWith(QStringLiteral(", 10.201.42.1, Request timed out")))
        << last(f.LogWindow).toStdString();
    EXPECT_EQ(newest(f.VexTrend2), 0);
}

TEST_F(PingTab, LogFileHoldsTheLinesByteForByte)
{
    TM_REQUIRE_NETBED();
    TForm1& f = form();
    typeHost(f, QStringLiteral("10.201.10.2 "));
    f.CheckBox2->click();
    QTest::mouseClick(f.doPing1, Qt::LeftButton);
    ASSERT_TRUE(waitForLines(f.LogWindow, 1));
    typeHost(f, QString::fromLatin1(netbed::UnknownName));
    QTest::mouseClick(f.doPing1, Qt::LeftButton);
    ASSERT_TRUE(waitForLines(f.LogWindow, 2));
    // The trailing blank of the host stands in the file's name and in its line.
    EXPECT_EQ(fileBytes(QStringLiteral("quillnet_10.201.10.2 .txt")),
              (f.LogWindow->Strings(0) + QStringLiteral("\r\n")).toUtf8());
    EXPECT_EQ(fileBytes(QStringLiteral("quillnet_nosuchhost.tmn.test.txt")),
              (f.LogWindow->Strings(1) + QStringLiteral("\r\n")).toUtf8());
    EXPECT_TRUE(f.LogWindow->Strings(0).contains(QStringLiteral(", 10.201.10.2 , 32 bytes, ")));
}

TEST_F(PingTab, LogFileThatCannotBeWrittenIsReportedAndPingingGoesOn)
{
    TM_REQUIRE_NETBED();
    TForm1& f = form();
    typeHost(f, QString::fromLatin1(netbed::Target));
    // A folder in the file's place cannot be appended to, also by root.
    QDir(m_dir.path()).mkdir(QStringLiteral("quillnet_10.201.10.2.txt"));
    f.CheckBox2->click();
    QTest::mouseClick(f.doPing1, Qt::LeftButton);
    ASSERT_TRUE(waitForLines(f.LogWindow, 1));
    // The message may be shown later than the line; a second one would be queued behind it.
    ASSERT_TRUE(testapp::waitForRecorded(1));
    testapp::deliverPosted();
    ASSERT_EQ(testapp::recorded().size(), 1);
    EXPECT_TRUE(
        testapp::recorded()[0].text.contains(path(QStringLiteral("quillnet_10.201.10.2.txt"))))
        << testapp::recorded()[0].text.toStdString();
    EXPECT_EQ(f.pingTimes().size(), 1);
    EXPECT_TRUE(f.doPing1->isEnabled());
    QTest::mouseClick(f.doPing1, Qt::LeftButton);
    ASSERT_TRUE(waitForLines(f.LogWindow, 2));
}

TEST_F(PingTab, LogWindowNeverHoldsMoreThan1001Lines)
{
    TM_REQUIRE_NETBED();
    TForm1& f = form();
    typeHost(f, QString::fromLatin1(netbed::Target));
    for (int i = 0; i < 1000; ++i)
        f.LogWindow->Add(QStringLiteral("old %1").arg(i));
    QTest::mouseClick(f.doPing1, Qt::LeftButton);
    ASSERT_TRUE(waitForLines(f.LogWindow, 1001));
    EXPECT_EQ(f.LogWindow->Count(), 1001);
    QTest::mouseClick(f.doPing1, Qt::LeftButton);
    waitUntil([&f] { return f.LogWindow->Strings(0) != QStringLiteral("old 0"); });
    EXPECT_EQ(f.LogWindow->Count(), 1000);
    EXPECT_EQ(f.LogWindow->Strings(0), QStringLiteral("old 2"));
    EXPECT_EQ(f.LogWindow->document()->blockCount(), 1000);
}
