// The copy tab with destinations that need no server: the default text, local folders, and a
// program folder where the test files cannot be written.

#include "copytab.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSlider>
#include <QTabWidget>
#include <QTimer>

using namespace copytab;

TEST_F(FormTest, DefaultDestinationFailsAndRecordsZeros)
{
    TForm1& f = form();
    f.PageControl1->setCurrentWidget(f.TabSheet3);
    f.VexTrend3->AddValue(40);
    f.VexTrend4->AddValue(40);
    copyOnce(f);
    EXPECT_EQ(f.Edit5->text(), QStringLiteral("\\\\"));
    ASSERT_EQ(f.Memo4->Count(), 1);
    EXPECT_TRUE(f.Memo4->Strings(0).endsWith(QStringLiteral(", copy process has failed")))
        << f.Memo4->Strings(0).toStdString();
    EXPECT_EQ(newest(f.VexTrend3), 0);
    EXPECT_EQ(newest(f.VexTrend4), 0);
    EXPECT_EQ(f.Memo3->Count() + f.Memo5->Count(), 0); // a failure stays out of the averages
    EXPECT_EQ(f.Label47->text(), QStringLiteral("0"));
    // The first measurement wrote the three test files, exactly.
    EXPECT_EQ(QFileInfo(path(QStringLiteral("100kbyte.txt"))).size(), 102400);
    EXPECT_EQ(QFileInfo(path(QStringLiteral("1Mbyte.txt"))).size(), 1048576);
    EXPECT_EQ(QFileInfo(path(QStringLiteral("5Mbyte.txt"))).size(), 5242880);
    EXPECT_TRUE(testapp::recorded().isEmpty());
}

TEST_F(FormTest, CopyToALocalFolderTimesItAndCleansUp)
{
    TForm1& f = form();
    QTemporaryDir share;
    f.PageControl1->setCurrentWidget(f.TabSheet3);
    setDestination(f, share.path());
    f.RadioButton3->click();
    copyOnce(f);
    // A folder path gets the separator of its kind.
    EXPECT_EQ(f.Edit5->text(), share.path() + u'/');
    ASSERT_EQ(f.Memo4->Count(), 1);
    const QString line = f.Memo4->Strings(0);
    static const QRegularExpression format(
        QStringLiteral("^\\S+\\d\\d, \\d\\d.\\d\\d.\\d\\d, (\\d+)ms, ([\\d.,]+) MBit/s$"));
    const auto m = format.match(line);
    ASSERT_TRUE(m.hasMatch()) << line.toStdString();
    const int elapsed = m.captured(1).toInt();
    EXPECT_EQ(newest(f.VexTrend3), elapsed);
    // The speed comes from the time in microseconds, which rounds to the logged milliseconds.
    ASSERT_GT(newest(f.VexTrend4), 0);
    EXPECT_NEAR(double(5242880.0L * 800000.0L / 1048576.0L / newest(f.VexTrend4)), elapsed, 0.51);
    EXPECT_EQ(f.Label47->text(), QString::number(newest(f.VexTrend4)));
    EXPECT_FALSE(QFile::exists(share.filePath(QStringLiteral("5Mbyte.txt"))));
}

TEST_F(FormTest, MissingLocalFolderFails)
{
    TForm1& f = form();
    setDestination(f, m_dir.filePath(QStringLiteral("no/such/folder")));
    copyOnce(f);
    EXPECT_TRUE(lastLine(f.Memo4).endsWith(QStringLiteral(", copy process has failed")));
}

TEST_F(FormTest, TestFilesThatCannotBeWrittenRecordNothing)
{
    TForm1& f = form();
    // The chosen file is missing, and the first of the three cannot be created.
    QDir(m_dir.path()).mkdir(QStringLiteral("100kbyte.txt"));
    QTemporaryDir share;
    setDestination(f, share.path());
    copyOnce(f);
    // The message is shown once the click has returned.
    ASSERT_TRUE(testapp::waitForRecorded(1));
    testapp::deliverPosted();
    ASSERT_EQ(testapp::recorded().size(), 1);
    EXPECT_TRUE(testapp::recorded()[0].text.contains(path(QStringLiteral("100kbyte.txt"))))
        << testapp::recorded()[0].text.toStdString();
    EXPECT_EQ(f.Memo4->Count(), 0);
    EXPECT_EQ(f.Memo3->Count(), 0);
    EXPECT_EQ(newest(f.VexTrend3), 0);
}

TEST_F(FormTest, CopyLogFileIsAppendedAndAReadOnlyOneIsReported)
{
    TForm1& f = form();
    QTemporaryDir share;
    setDestination(f, share.path());
    f.CheckBox8->click();
    copyOnce(f);
    copyOnce(f);
    EXPECT_EQ(fileBytes(QStringLiteral("vamtcopy.txt")),
              (f.Memo4->Strings(0) + QStringLiteral("\r\n") + f.Memo4->Strings(1) +
               QStringLiteral("\r\n"))
                  .toUtf8());
    // Without write permission the file is left alone and the operator is told.
    ASSERT_TRUE(QFile(path(QStringLiteral("vamtcopy.txt"))).setPermissions(QFileDevice::ReadOwner));
    copyOnce(f);
    ASSERT_TRUE(testapp::waitForRecorded(1));
    testapp::deliverPosted();
    EXPECT_EQ(f.Memo4->Count(), 3);
    ASSERT_EQ(testapp::recorded().size(), 1);
    EXPECT_TRUE(testapp::recorded()[0].text.contains(path(QStringLiteral("vamtcopy.txt"))));
    QFile(path(QStringLiteral("vamtcopy.txt")))
        .setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    EXPECT_EQ(fileBytes(QStringLiteral("vamtcopy.txt")).count('\n'), 2);
}

TEST_F(FormTest, UnitsAndGraphChoice)
{
    TForm1& f = form();
    QTemporaryDir share;
    setDestination(f, share.path());
    copyOnce(f);
    f.RadioButton6->click();
    EXPECT_EQ(f.Label42->text(), QStringLiteral("1024"));
    EXPECT_EQ(f.Label56->text(), QStringLiteral("KBit/s"));
    EXPECT_EQ(f.Label33->text(), QStringLiteral("Max. value (KBit/s)"));
    EXPECT_EQ(f.Label34->text(), QStringLiteral("Min. value (KBit/s)"));
    EXPECT_EQ(f.Memo3->Count(), 0);
    EXPECT_EQ(f.Memo5->Count(), 0);
    EXPECT_EQ(f.VexTrend4->MaxVal(), 1);
    for (QLabel* l : {f.Label49, f.Label50, f.Label51, f.Label52})
        EXPECT_EQ(l->text(), QStringLiteral("0"));
    EXPECT_EQ(f.Memo4->Count(), 1); // the log stays
    copyOnce(f);
    EXPECT_TRUE(lastLine(f.Memo4).endsWith(QStringLiteral(" KBit/s")) ||
                lastLine(f.Memo4).contains(QStringLiteral(", 0ms")))
        << lastLine(f.Memo4).toStdString();
    // The time graph hides the unit box and names milliseconds.
    f.RadioButton4->click();
    EXPECT_TRUE(f.GroupBox2->isHidden());
    EXPECT_EQ(f.Label33->text(), QStringLiteral("Max. value (ms)"));
    EXPECT_EQ(f.Label34->text(), QStringLiteral("Min. value (ms)"));
    EXPECT_TRUE(inFrontOf(f.VexTrend3, f.VexTrend4));
    EXPECT_TRUE(inFrontOf(f.Label35, f.Label49));
    // The pair's members are opaque, or the one behind would show through the one in front.
    for (QLabel* l :
         {f.Label35, f.Label36, f.Label37, f.Label38, f.Label49, f.Label50, f.Label51, f.Label52})
        EXPECT_TRUE(l->autoFillBackground()) << l->objectName().toStdString();
    f.RadioButton5->click();
    EXPECT_FALSE(f.GroupBox2->isHidden());
    EXPECT_EQ(f.Label33->text(), QStringLiteral("Max. value (KBit/s)"));
    EXPECT_TRUE(inFrontOf(f.VexTrend4, f.VexTrend3));
    f.CheckBox7->click();
    EXPECT_TRUE(f.VexTrend3->Options() & TVexTrend::toTwin);
    EXPECT_TRUE(f.VexTrend4->Options() & TVexTrend::toTwin);
    f.CheckBox7->click();
    EXPECT_FALSE(f.VexTrend3->Options() & TVexTrend::toTwin);
}

TEST_F(FormTest, PeriodicCopyingStartsAtOnceAndStops)
{
    TForm1& f = form();
    QTemporaryDir share;
    setDestination(f, share.path());
    f.Memo3->Add(QStringLiteral("5"));
    f.Memo4->Add(QStringLiteral("old"));
    f.Timer1->start();
    f.TrackBar5->setValue(20);
    EXPECT_EQ(f.Label55->text(), QStringLiteral("20"));
    QTest::mouseClick(f.Button7, Qt::LeftButton);
    EXPECT_TRUE(f.Timer4->isActive());
    EXPECT_EQ(f.Timer4->interval(), 20000);
    EXPECT_FALSE(f.Timer1->isActive());
    EXPECT_EQ(f.Memo4->Count(), 1); // emptied, then the first measurement
    EXPECT_EQ(f.Memo3->Count(), 1);
    EXPECT_TRUE(inFrontOf(f.Button8, f.Button7));
    QTest::mouseClick(f.Button8, Qt::LeftButton);
    EXPECT_FALSE(f.Timer4->isActive());
    EXPECT_EQ(f.Memo4->Count(), 1);
}

TEST_F(FormTest, AverageFromTheThirdValueAndListsStayBounded)
{
    TForm1& f = form();
    QTemporaryDir share;
    setDestination(f, share.path());
    copyOnce(f);
    copyOnce(f);
    EXPECT_EQ(newestTwin(f.VexTrend3), 0);
    for (int i = 0; i < 99; ++i)
        f.Memo5->Add(QStringLiteral("100"));
    copyOnce(f);
    EXPECT_EQ(f.Memo5->Count(), 100);
    EXPECT_GT(newestTwin(f.VexTrend4), 0);
    for (int i = 0; i < 1001; ++i)
        f.Memo4->Add(QStringLiteral("line"));
    copyOnce(f);
    EXPECT_EQ(f.Memo4->Count(), 1000);
}
