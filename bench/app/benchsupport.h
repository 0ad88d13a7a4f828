#pragma once
// Small helpers the window benchmarks share.

#include "app/vamtp.h"
#include "platform/programdir.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <memory>
#include <vector>

namespace benchsupport {

// The application object on the offscreen platform unless a display is there.
inline void chooseOffscreen()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

// The real main window, shown, with its files in a folder of its own. It runs as the built
// program would, so that outside a German locale it finds the English module and asks nothing.
struct Window
{
    QTemporaryDir dir;
    std::unique_ptr<TForm1> form;
    bool open()
    {
        programdir::setProgramFileOverride(QStringLiteral(TALLOWMERE_PROGRAM_FILE));
        programdir::setDataFolderOverride(dir.path());
        form = std::make_unique<TForm1>();
        form->show();
        return QTest::qWaitForWindowExposed(form.get());
    }
};

// Resident memory of this process in KiB.
inline long residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

inline double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

} // namespace benchsupport
