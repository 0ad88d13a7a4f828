#include "app/pinglog.h"

#include "platform/locale.h"

#include <QLocale>

namespace pinglog {

QString timeStamp(const QDateTime& when)
{
    // The locale is read once; looking it up for every line costs more than the line itself.
    static const QChar sep = userlocale::timeSeparator(QLocale::system());
    const QTime t = when.time();
    const QDate d = when.date();
    auto two = [](int v) { return QStringLiteral("%1").arg(v, 2, 10, QChar(u'0')); };
    return two(d.day()) + u'.' + two(d.month()) + u'.' +
           QStringLiteral("%1").arg(d.year(), 4, 10, QChar(u'0')) + QStringLiteral(", ") +
           two(t.hour()) + sep + two(t.minute()) + sep + two(t.second());
}

QString successLine(const QString& stamp, const QString& host, int dataSize, uint32_t roundTripMs)
{
    return stamp + QStringLiteral(", ") + host +
           QStringLiteral(", %1 bytes, %2ms").arg(dataSize).arg(roundTripMs);
}

QString failureText(const QString& host, const QString& reason)
{
    return host + QStringLiteral(", ") + reason;
}

QString failureLine(const QString& stamp, const QString& host, const QString& reason)
{
    return stamp + QStringLiteral(", ") + failureText(host, reason);
}

QString fileNamePart(const QString& hostText)
{
    QString part = hostText;
    for (QChar& c : part) {
        if (c == u'/' || c.unicode() < 0x20 || c.unicode() == 0x7f)
            c = u'_';
    }
    return part;
}

QString pingLogName(const QString& hostText)
{
    return QStringLiteral("quillnet_") + fileNamePart(hostText) + QStringLiteral(".txt");
}

QString analysisLogName(const QString& hostText)
{
    return QStringLiteral("quillnet_analysis_") + fileNamePart(hostText) + QStringLiteral(".txt");
}

} // namespace pinglog
