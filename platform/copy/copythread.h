#pragma once
// The copies of the program run on one long-lived copy thread, which owns the SMB client; the
// caller waits for each, as the measurement requires, and a waiting GUI thread keeps painting
// the window (blockingcall.h).

#include <QString>
#include <QtGlobal>

namespace blockingcall {
class WorkThread;
}

namespace filecopy {

blockingcall::WorkThread& copyThread();

struct TimedCopy
{
    bool copied = false;
    // The copy call alone, timed on the copy thread with a monotonic clock: the hand-over
    // between the threads is not in it.
    qint64 nanoseconds = 0;
    QString reason;
};

// copyToDestination and deleteDestination on the copy thread.
TimedCopy copyTimed(const QString& localSource, const QString& destination);
bool deleteOnCopyThread(const QString& destination, QString* reason = nullptr);

} // namespace filecopy
