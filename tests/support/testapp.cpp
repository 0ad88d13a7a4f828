#include "support/testapp.h"

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

void install(TApplication& app)
{
    app.setRecorder([](const QString& kind, const QString& text) { store().append({kind, text}); });
}

} // namespace testapp
