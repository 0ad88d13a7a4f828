// A program that leaves its message loop while ping workers still wait for replies on
// nine-second time-outs, as the real program does when the operator quits mid-echo. Prints
// "completion" for any completion handler that runs; the bed test expects none, and an end
// long before the time-outs.

#include "net/PingThrd.h"
#include "net/netbed.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>

int main(int argc, char** argv)
{
    {
        QCoreApplication app(argc, argv);
        for (int i = 0; i < 20; ++i) {
            auto* w = new TPingThread;
            appendWorkerId(w->ThreadID());
            w->FreeOnTerminate = true;
            w->OnTerminate = [](QObject*) { std::puts("completion"); };
            w->HostText = QString::fromLatin1(i % 2 ? netbed::Blackhole : netbed::Drop.address);
            w->TimeOutMs = 9000;
            w->Resume();
        }
        QTimer::singleShot(300, &app, [] {
            std::printf("quitting with %d workers in flight\n", workersInFlight());
            QCoreApplication::quit();
        });
        app.exec();
    } // the application object's end stops and joins the workers
    std::printf("after the application: %d in flight, %lld ids listed\n", workersInFlight(),
                static_cast<long long>(workerIds().size()));
    return 0;
}
