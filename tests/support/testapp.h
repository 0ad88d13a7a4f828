#pragma once
// What every test program shares: the application object, the recorder that takes the texts
// of message boxes, and temporary folders.

#include "platform/application.h"
#include "support/filebytes.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <ostream>

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
// Runs the event loop until at least count texts were recorded; the bound (10 s) only ends a
// failing test.
bool waitForRecorded(int count);

// Delivers what was queued for later on this thread (messages shown later, paint requests),
// without waiting for anything else.
void deliverPosted();

} // namespace testapp

// Texts in test names and failure messages instead of byte dumps.
inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}
