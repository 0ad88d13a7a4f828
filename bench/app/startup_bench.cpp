// Time from process start to the main window shown (offscreen), and resident memory once
// shown. The parent starts this same program as a child several times; each child shows the
// real main window and reports when it is exposed.

#include "app/vamtp.h"
#include "benchsupport.h"
#include "platform/application.h"
#include "platform/programdir.h"

#include <QProcess>
#include <QTest>

#include <cstdio>
#include <ctime>

namespace {

double monotonicMs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

int child(int argc, char** argv)
{
    TApplication app(argc, argv);
    app.setTitle(QStringLiteral("Tallowmere"));
    benchsupport::Window window;
    if (!window.open())
        return 1;
    std::printf("%.3f %ld\n", monotonicMs(), benchsupport::residentKiB());
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && QByteArray(argv[1]) == "--child")
        return child(argc, argv);
    const int runs = argc > 1 ? std::atoi(argv[1]) : 15;
    std::vector<double> times;
    std::vector<double> memory;
    for (int i = 0; i < runs; ++i) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        p.setProcessEnvironment(env);
        const double start = monotonicMs();
        p.start(QString::fromLocal8Bit(argv[0]), {QStringLiteral("--child")});
        if (!p.waitForFinished(30000) || p.exitCode() != 0) {
            std::fprintf(stderr, "child failed: %s\n", p.readAllStandardError().constData());
            return 1;
        }
        const QList<QByteArray> parts = p.readAllStandardOutput().trimmed().split(' ');
        times.push_back(parts.value(0).toDouble() - start);
        memory.push_back(parts.value(1).toDouble() / 1024);
    }
    const double t = benchsupport::median(times);
    const double m = benchsupport::median(memory);
    std::printf(
        "Start-up to main window shown (offscreen), median of %d: %.1f ms (target < 300 ms)\n",
        runs, t);
    std::printf("Resident memory once shown, median: %.1f MiB (target < 80 MiB)\n", m);
    std::printf("targets: %s\n", t < 300 && m < 80 ? "met" : "NOT met");
    return 0;
}
