// The copy tab against the bed's real Samba server.

#include "copytab.h"
#include "smb/smbbed.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTimer>

using namespace copytab;

namespace {

QString shareWithoutSeparator(const QString& share)
{
    QString folder = smbbed::uncFolder(share);
    folder.chop(1);
    return folder;
}

} // namespace

class CopyTab : public FormTest
{
};

TEST_F(CopyTab, EachSizeReachesTheShareAndIsRemovedAgain)
{
    TM_REQUIRE_SMBBED();
    TForm1& f = form();
    setDestination(f, shareWithoutSeparator(smbbed::bed().writableShare));
    const struct
    {
        QRadioButton* button;
        qint64 size;
    } sizes[] = {{f.RadioButton1, 102400}, {f.RadioButton2, 1048576}, {f.RadioButton3, 5242880}};
    static const QRegularExpression format(
        QStringLiteral("^\\S+\\d\\d, \\d\\d.\\d\\d.\\d\\d, (\\d+)ms, ([\\d.,]+) MBit/s$"));
    for (const auto& s : sizes) {
        s.button->click();
        copyOnce(f);
        const QString line = lastLine(f.Memo4);
        const auto m = format.match(line);
        ASSERT_TRUE(m.hasMatch()) << line.toStdString();
        const int elapsed = m.captured(1).toInt();
        EXPECT_EQ(newest(f.VexTrend3), elapsed);
        // The speed comes from the time in microseconds, which rounds to the logged one.
        const long double us = s.size * 800000000.0L / 1048576 / newest(f.VexTrend4);
        EXPECT_NEAR(double(us / 1000), elapsed, 0.51) << line.toStdString();
    }
    // The separator was added once, for the operator to see.
    EXPECT_EQ(f.Edit5->text(), smbbed::uncFolder(smbbed::bed().writableShare));
    EXPECT_TRUE(QDir(smbbed::bed().writableDir).entryList(QDir::Files).isEmpty());
    EXPECT_EQ(f.Memo3->Count(), 3);
    EXPECT_EQ(f.Memo5->Count(), 3);
}

TEST_F(CopyTab, ReadOnlyShareAndUnknownShareFail)
{
    TM_REQUIRE_SMBBED();
    TForm1& f = form();
    setDestination(f, smbbed::uncFolder(smbbed::bed().readonlyShare));
    copyOnce(f);
    EXPECT_TRUE(lastLine(f.Memo4).endsWith(QStringLiteral(", copy process has failed")));
    setDestination(f, smbbed::uncFolder(QStringLiteral("nosuchshare")));
    copyOnce(f);
    EXPECT_TRUE(lastLine(f.Memo4).endsWith(QStringLiteral(", copy process has failed")));
    setDestination(f, QStringLiteral("\\\\") + smbbed::bed().serverAddress);
    copyOnce(f);
    EXPECT_TRUE(lastLine(f.Memo4).endsWith(QStringLiteral(", copy process has failed")));
    EXPECT_EQ(newest(f.VexTrend4), 0);
    EXPECT_TRUE(testapp::recorded().isEmpty());
}

TEST_F(CopyTab, ServerStoppedDuringPeriodicCopyingAndBack)
{
    TM_REQUIRE_SMBBED();
    TForm1& f = form();
    setDestination(f, smbbed::uncFolder(smbbed::bed().writableShare));
    f.CheckBox8->click();
    QTest::mouseClick(f.Button7, Qt::LeftButton);
    ASSERT_EQ(f.Memo4->Count(), 1);
    EXPECT_FALSE(lastLine(f.Memo4).contains(QStringLiteral("failed")));
    QString reason;
    ASSERT_TRUE(smbbed::stopServer(&reason)) << reason.toStdString();
    f.Timer4Timer(f.Timer4);
    EXPECT_TRUE(lastLine(f.Memo4).endsWith(QStringLiteral(", copy process has failed")));
    EXPECT_EQ(newest(f.VexTrend3), 0);
    ASSERT_TRUE(smbbed::startServer(&reason)) << reason.toStdString();
    f.Timer4Timer(f.Timer4);
    EXPECT_FALSE(lastLine(f.Memo4).contains(QStringLiteral("failed")))
        << lastLine(f.Memo4).toStdString();
    QTest::mouseClick(f.Button8, Qt::LeftButton);
    // Every line logged is in the file, the failure among them.
    EXPECT_EQ(fileBytes(QStringLiteral("vamtcopy.txt")),
              (f.Memo4->lines().join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8());
    EXPECT_EQ(f.Memo4->Count(), 3);
}

TEST_F(CopyTab, ServerThatDoesNotAnswerFailsWithinTheBound)
{
    TM_REQUIRE_SMBBED();
    TForm1& f = form();
    setDestination(f, QStringLiteral("\\\\%1\\share\\").arg(smbbed::bed().silentAddress));
    copyOnce(f);
    EXPECT_TRUE(lastLine(f.Memo4).endsWith(QStringLiteral(", copy process has failed")));
}
