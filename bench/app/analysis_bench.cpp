// An analysis run with pause 0 to the kernel target of the network test bed: the time from
// "Analyse starten" to the default cursor. Run it through bench/app/run-app-bench.sh.

#include "app/vamtp.h"
#include "benchsupport.h"
#include "net/PingThrd.h"
#include "net/netbed.h"
#include "platform/application.h"
#include "platform/programdir.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <cstdio>

int main(int argc, char** argv)
{
    if (const char* reason = netbed::unavailableReason()) {
        std::printf("analysis bench skipped: %s\n", reason);
        return 0;
    }
    benchsupport::chooseOffscreen();
    TApplication app(argc, argv);
    app.setTitle(QStringLiteral("Tallowmere"));
    benchsupport::Window window;
    if (!window.open())
        return 1;
    TForm1& form = *window.form;
    form.PageControl1->setCurrentWidget(form.TabSheet2);
    form.Edit3->setText(QString::fromLatin1(netbed::Target));
    const int runs = argc > 1 ? std::atoi(argv[1]) : 3;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer clock;
        clock.start();
        QTest::mouseClick(form.Button3, Qt::LeftButton);
        while (app.busyCursor())
            QTest::qWait(1);
        std::printf("run %d: %.3f s from \"Analyse starten\" to the default cursor "
                    "(expected about 12 s: seven steps a second apart and the 5 s wait; target "
                    "within 0.5 s)\n",
                    i + 1, clock.nsecsElapsed() / 1e9);
    }
    stopAllWorkers();
    return 0;
}
