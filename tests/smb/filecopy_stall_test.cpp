// Servers that do not answer, connections that stall or vanish in the middle of a copy, and
// the partial files they leave. How long each takes is the benchmark's business (bench/smb);
// these check the outcomes.

#include "copyfixture.h"
#include "platform/copy/filecopy.h"
#include "smbbed.h"

#include "support/filebytes.h"

#include <QFileInfo>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace filecopy;
using smbbed::bed;

TEST_F(SmbCopy, DeadServersFailAndTheDeleteDoesNotWaitAgain)
{
    struct Case
    {
        const char* what;
        QString address;
        bool freeze;
    };
    const Case cases[] = {
        {"nothing behind the address", bed().absentAddress, false},
        {"packets dropped on the way", bed().silentAddress, false},
        {"accepts and never answers", bed().muteAddress, false},
        {"smbd frozen", bed().serverAddress, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        smbbed::LinkScope link(QStringLiteral("off"));
        ASSERT_TRUE(link.ok()) << link.reason().toStdString();
        QString reason;
        if (c.freeze) {
            ASSERT_TRUE(smbbed::freezeServer(&reason)) << reason.toStdString();
        }
        const QString destination =
            QStringLiteral("\\\\%1\\%2\\dead.txt").arg(c.address, bed().writableShare);
        EXPECT_FALSE(copyToDestination(source(0), destination, &reason));
        EXPECT_FALSE(reason.isEmpty());
        EXPECT_FALSE(reason.contains(QStringLiteral("partial"))) << reason.toStdString();
        // The required delete gives up at once: it knows the server did not answer.
        EXPECT_FALSE(deleteDestination(destination, &reason));
        EXPECT_TRUE(reason.contains(QStringLiteral("did not answer"))) << reason.toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(shared(QStringLiteral("dead.txt"))));

    // Afterwards the live server is reached as before.
    QString reason;
    ASSERT_TRUE(copyToDestination(source(0), writable(QStringLiteral("alive.txt")), &reason))
        << reason.toStdString();
    EXPECT_TRUE(deleteDestination(writable(QStringLiteral("alive.txt")), &reason))
        << reason.toStdString();
}

TEST_F(SmbCopy, StalledCopyLeavesAPartialFileThatALaterDeleteRemoves)
{
    struct Case
    {
        const char* what;
        bool (*stall)(QString*);
    };
    const Case cases[] = {
        {"smbd frozen", smbbed::freezeServer},
        {"link drops everything", smbbed::stallLink},
    };
    const QString name = QStringLiteral("stalled.txt");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // 5 MB take about four seconds: time enough to stall it in the middle.
        smbbed::LinkScope link(QStringLiteral("10mbit"));
        ASSERT_TRUE(link.ok()) << link.reason().toStdString();
        std::atomic<bool> stalled{false};
        QString stallReason;
        std::thread trigger([&] {
            if (smbbed::eventually([&] { return QFileInfo(shared(name)).size() >= 256 * 1024; }))
                stalled = c.stall(&stallReason);
        });
        QString reason;
        const bool copied = copyToDestination(source(2), writable(name), &reason);
        trigger.join();
        ASSERT_TRUE(stalled) << "the copy was not stalled: " << stallReason.toStdString();
        EXPECT_FALSE(copied);
        EXPECT_TRUE(reason.contains(QStringLiteral("partial file"))) << reason.toStdString();

        // The delete of the failed measurement does not wait, and says what is left.
        EXPECT_FALSE(deleteDestination(writable(name), &reason));
        EXPECT_TRUE(reason.contains(QStringLiteral("did not answer")) &&
                    reason.contains(QStringLiteral("partial file")))
            << reason.toStdString();
        const qint64 left = QFileInfo(shared(name)).size();
        EXPECT_GT(left, 0);
        EXPECT_LT(left, sizeOf(2));

        // The server answers again: the delete steps of the next measurements remove it (the
        // server may hold the cut connection's handle open for a while).
        ASSERT_TRUE(smbbed::resume(&reason)) << reason.toStdString();
        const QString next = writable(QStringLiteral("next.txt"));
        EXPECT_TRUE(smbbed::eventually([&] {
            copyToDestination(source(0), next);
            deleteDestination(next);
            return !QFileInfo::exists(shared(name));
        })) << "the partial file is still there";
        EXPECT_FALSE(QFileInfo::exists(shared(QStringLiteral("next.txt"))));
    }
}

TEST_F(SmbCopy, ConnectionDroppedInTheMiddle)
{
    // smbd goes away while the copy runs: the copy fails, and once it is back the next delete
    // removes what was left.
    const QString name = QStringLiteral("dropped.txt");
    smbbed::LinkScope link(QStringLiteral("10mbit"));
    ASSERT_TRUE(link.ok()) << link.reason().toStdString();
    std::atomic<bool> stopped{false};
    std::thread trigger([&] {
        if (smbbed::eventually([&] { return QFileInfo(shared(name)).size() >= 256 * 1024; }))
            stopped = smbbed::stopServer();
    });
    QString reason;
    EXPECT_FALSE(copyToDestination(source(2), writable(name), &reason));
    trigger.join();
    ASSERT_TRUE(stopped);
    EXPECT_TRUE(reason.contains(QStringLiteral("partial file"))) << reason.toStdString();
    EXPECT_FALSE(deleteDestination(writable(name), &reason));
    EXPECT_TRUE(QFileInfo::exists(shared(name)));

    ASSERT_TRUE(smbbed::startServer(&reason)) << reason.toStdString();
    ASSERT_TRUE(copyToDestination(source(0), writable(QStringLiteral("after.txt")), &reason))
        << reason.toStdString();
    EXPECT_TRUE(deleteDestination(writable(QStringLiteral("after.txt")), &reason))
        << reason.toStdString();
    EXPECT_FALSE(QFileInfo::exists(shared(name)));
}
