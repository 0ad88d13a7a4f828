// The headless prober copying to the Samba test bed: a stop signal during a copy lets the copy
// finish, records it with a whole log line and ends cleanly.

#include "prober/proberprocess.h"
#include "prober/smbenv.h"
#include "smbbed.h"

#include <QFileInfo>
#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {

TEST(ProberSmb, AStopSignalDuringACopyWaitsForItAndLogsItWhole)
{
    TM_REQUIRE_SMBBED();
    const smbenv::Description bed = smbenv::read();
    ASSERT_TRUE(bed.problem.isEmpty()) << bed.problem.toStdString();
    // 5 MB at 10 Mbit/s: about four seconds on the wire.
    smbenv::Shaped shaped(bed, QStringLiteral("10mbit"));
    ASSERT_TRUE(shaped.ok()) << shaped.output().toStdString();

    ProberProcess prober;
    QString unc = bed.uncFolder();
    ASSERT_TRUE(prober.start(QStringLiteral("[copy]\ndestinations=%1\nsize=5MB\ninterval=3600\n"
                                            "log=true\n[files]\nfolder=@FOLDER@\n")
                                 .arg(unc.replace(u'\\', QStringLiteral("\\\\")))
                                 .toUtf8()));
    ASSERT_TRUE(prober.waitUntilRunning()) << prober.stderrText().constData();
    const QString arriving = bed.value("WRITABLE_DIR") + QStringLiteral("/5Mbyte.txt");
    ASSERT_TRUE(prober.waitFor([&] { return QFileInfo(arriving).size() > 0; }, 20000))
        << "the copy did not start: " << prober.stderrText().constData();
    const qint64 seenBeforeSignal = QFileInfo(arriving).size();
    prober.signal(SIGTERM);
    ASSERT_TRUE(prober.waitForExit(30000));
    EXPECT_TRUE(prober.normalExit());
    EXPECT_EQ(prober.exitCode(), 0) << prober.stderrText().constData();
    EXPECT_LT(seenBeforeSignal, 5242880) << "the copy had ended before the signal: no test";

    bool complete = false;
    const QStringList lines = prober.logLines(QStringLiteral("vamtcopy.txt"), &complete);
    EXPECT_TRUE(complete) << prober.fileBytes(QStringLiteral("vamtcopy.txt")).constData();
    ASSERT_EQ(lines.size(), 1) << lines.join(u'|').toStdString();
    // Copied in full and removed again: no "failed" in the line.
    const QRegularExpression copied(
        QStringLiteral("^[A-Z][a-z]{2}\\d{2}, \\d{2}:\\d{2}:\\d{2}, (\\d+)ms, [0-9.]+ MBit/s$"));
    const QRegularExpressionMatch m = copied.match(lines.first());
    ASSERT_TRUE(m.hasMatch()) << lines.first().toStdString();
    EXPECT_GT(m.captured(1).toInt(), 1000) << "5 MB at 10 Mbit/s cannot take under a second";
    EXPECT_FALSE(QFileInfo::exists(arriving)) << "the copy was left on the share";
}

} // namespace
