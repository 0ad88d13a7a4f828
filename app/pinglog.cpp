#include "app/pinglog.h"

#include "platform/conv.h"
#include "platform/rounding.h"

#include <QLocale>

namespace pinglog {

QChar timeSeparator()
{
    // The locale's short time format, e.g. "HH:mm", names its separator.
    const QString format = QLocale::system().timeFormat(QLocale::ShortFormat);
    for (const QChar c : format) {
        if (!c.isLetter() && !c.isSpace() && c != u'\'')
            return c;
    }
    return u':';
}

QString timeStamp(const QDateTime& when)
{
    const QChar sep = timeSeparator();
    const QTime t = when.time();
    const QDate d = when.date();
    return QStringLiteral("%1.%2.%3, %4%7%5%7%6")
        .arg(d.day(), 2, 10, QChar(u'0'))
        .arg(d.month(), 2, 10, QChar(u'0'))
        .arg(d.year(), 4, 10, QChar(u'0'))
        .arg(t.hour(), 2, 10, QChar(u'0'))
        .arg(t.minute(), 2, 10, QChar(u'0'))
        .arg(t.second(), 2, 10, QChar(u'0'))
        .arg(sep);
}

QString successLine(const QString& stamp, const QString& host, int dataSize, uint32_t roundTripMs)
{
    return stamp + QStringLiteral(", ") + host + QStringLiteral(", %1 bytes, %2ms").arg(dataSize).arg(roundTripMs);
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

Scale scaleFor(int32_t maxVal)
{
    const long double m = maxVal;
    return {maxVal, Round(m / 4 * 3), Round(m / 2), Round(m / 4), Round(m / 8)};
}

std::optional<int32_t> runningAverage(const QStringList& values)
{
    int64_t sum = 0;
    for (const QString& v : values)
        sum += StrToInt(v);
    if (values.size() <= 2 || sum <= 0)
        return std::nullopt;
    return int32_t(static_cast<long double>(sum) / values.size() + 0.5L);
}

} // namespace pinglog
