#include "platform/copy/copythread.h"

#include "platform/blockingcall.h"
#include "platform/copy/filecopy.h"

#include <QElapsedTimer>

namespace filecopy {

blockingcall::WorkThread& copyThread()
{
    static blockingcall::WorkThread thread(QStringLiteral("tm-copy"));
    return thread;
}

TimedCopy copyTimed(const QString& localSource, const QString& destination)
{
    return copyThread().call([&] {
        TimedCopy result;
        QElapsedTimer clock;
        clock.start();
        result.copied = copyToDestination(localSource, destination, &result.reason);
        result.nanoseconds = clock.nsecsElapsed();
        return result;
    });
}

bool deleteOnCopyThread(const QString& destination, QString* reason)
{
    return copyThread().call([&] { return deleteDestination(destination, reason); });
}

} // namespace filecopy
