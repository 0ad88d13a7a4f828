#pragma once
// What every test program shares: the application object, the recorder that takes the texts
// of message boxes, and temporary folders.

#include "platform/application.h"
#include "support/filebytes.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace testapp {

// Texts the application's error handler and message box received, oldest first.
struct Recorded
{
    QString kind; // "error" or "message"
    QString text;
};
const QList<Recorded>& recorded();
void clearRecorded();
QStringList recordedTexts();

} // namespace testapp
