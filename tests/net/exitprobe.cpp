// A program that leaves its message loop while ping workers still wait, as the real program
// does when the operator quits mid-echo. Prints "completion" for any completion handler that
// runs; the bed test expects none, and an end long before the waits would be over.
//
//   tm_exitprobe             20 workers waiting for replies on nine-second time-outs
//   tm_exitprobe --lookups   20 workers in name look-ups that never end (run it in the bed's
//                            client whose name server never answers): 10 forward look-ups of
//                            an unknown name, 10 reverse look-ups of a replying address

#include "net/PingThrd.h"
#include "net/netbed.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    const bool lookups = argc > 1 && std::strcmp(argv[1], "--lookups") == 0;
    QElapsedTimer sinceQuit;
    {
        QCoreApplication app(argc, argv);
        for (int i = 0; i < 20; ++i) {
            auto* w = new TPingThread;
            appendWorkerId(w->ThreadID());
            w->FreeOnTerminate = true;
            w->OnTerminate = [](QObject*) { std::puts("completion"); };
            w->TimeOutMs = 9000;
            if (!lookups) {
                w->HostText = QString::fromLatin1(i % 2 ? netbed::Blackhole : netbed::Drop.address);
            } else if (i % 2) {
                w->HostText = QString::fromLatin1(netbed::UnknownName);
            } else {
                w->HostText = QString::fromLatin1(netbed::ResponderNoName.address);
                w->ResolveName = true;
            }
            w->Resume();
        }
        QTimer::singleShot(300, &app, [&sinceQuit] {
            std::printf("quitting with %d workers in flight\n", workersInFlight());
            std::fflush(stdout);
            sinceQuit.start();
            QCoreApplication::quit();
        });
        app.exec();
    } // the application object's end stops and joins the workers
    std::printf("after the application: %d in flight, %lld ids listed, %lld ms after the quit\n",
                workersInFlight(), static_cast<long long>(workerIds().size()),
                static_cast<long long>(sinceQuit.elapsed()));
    return 0;
}
