#include "support/testapp.h"

#include <QCoreApplication>
#include <QTest>

namespace testapp {

namespace {
QList<Recorded>& store()
{
    static QList<Recorded> list;
    return list;
}
} // namespace

const QList<Recorded>& recorded()
{
    return store();
}

void clearRecorded()
{
    store().clear();
}

QStringList recordedTexts()
{
    QStringList texts;
    for (const Recorded& r : store())
        texts += r.text;
    return texts;
}

bool waitForRecorded(int count)
{
    return QTest::qWaitFor([count] { return store().size() >= count; }, 10000);
}

void deliverPosted()
{
    QCoreApplication::sendPostedEvents();
}

void install(TApplication& app)
{
    app.setRecorder([](const QString& kind, const QString& text) { store().append({kind, text}); });
}

} // namespace testapp
