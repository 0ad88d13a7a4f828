// Soak of the Ping tab: many results through PingCompleted, from real workers pinging
// loopback as fast as they complete. Prints the time per result and the growth of resident
// memory once the log window and the lists have reached their bounds.

#include "app/vamtp.h"
#include "benchsupport.h"
#include "net/PingThrd.h"
#include "platform/application.h"
#include "platform/programdir.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTest>

#include <cstdio>

namespace {

// Starts workers as the Ping tab does, keeping a few in flight, until count results have
// been handled by the window.
void soak(TApplication& app, TForm1& form, int count, int inFlight)
{
    int started = 0;
    int handled = 0;
    while (handled < count) {
        while (started - handled < inFlight && started < count) {
            auto* worker = new TPingThread();
            appendWorkerId(worker->ThreadID());
            worker->FreeOnTerminate = true;
            worker->OnTerminate = [&form, &handled](QObject* sender) {
                form.PingCompleted(sender);
                ++handled;
            };
            worker->HostText = form.Edit3->text();
            worker->TimeOutMs = 4000;
            worker->TimeToLive = 32;
            worker->DataSize = 32;
            worker->Resume();
            ++started;
        }
        app.processEvents(QEventLoop::WaitForMoreEvents);
    }
}

} // namespace

int main(int argc, char** argv)
{
    benchsupport::chooseOffscreen();
    TApplication app(argc, argv);
    app.setTitle(QStringLiteral("Tallowmere"));
    const int total = argc > 1 ? std::atoi(argv[1]) : 100000;
    benchsupport::Window window;
    if (!window.open())
        return 1;
    TForm1& form = *window.form;
    form.Edit3->setText(QStringLiteral("127.0.0.1"));
    form.CheckBox5->setChecked(true);

    if (qEnvironmentVariableIsSet("TM_SOAK_HIDDEN"))
        form.hide();
    // Workers in flight at once: with few, the figure is the latency of starting a thread and
    // waking it on this machine; with more, it is the window's own cost per result.
    const int inFlight = qEnvironmentVariableIntValue("TM_SOAK_INFLIGHT") > 0
                             ? qEnvironmentVariableIntValue("TM_SOAK_INFLIGHT")
                             : 32;
    soak(app, form, 2000, inFlight); // the log window and the lists reach their bounds
    const long before = benchsupport::residentKiB();
    QElapsedTimer clock;
    clock.start();
    soak(app, form, total, inFlight);
    const double perResultMs = double(clock.nsecsElapsed()) / 1e6 / total;
    const long after = benchsupport::residentKiB();
    std::printf("%d results through PingCompleted from real workers (loopback), %d in flight\n",
                total, inFlight);
    std::printf("  time per result: %.3f ms (target < 0.2 ms)\n", perResultMs);
    std::printf(
        "  resident memory: %.1f MiB before, %.1f MiB after, growth %.2f MiB (target < 5 MiB)\n",
        before / 1024.0, after / 1024.0, (after - before) / 1024.0);
    std::printf("targets: %s\n",
                perResultMs < 0.2 && (after - before) < 5 * 1024 ? "met" : "NOT met");
    stopAllWorkers();
    return 0;
}
