#include "app/copymath.h"

#include "platform/conv.h"
#include "platform/locale.h"
#include "platform/rounding.h"

#include <cmath>
#include <limits>

namespace copymath {

namespace {

QString twoDigits(int value)
{
    return QStringLiteral("%1").arg(value, 2, 10, QChar(u'0'));
}

} // namespace

int32_t elapsedMs(const QDateTime& start, const QDateTime& end)
{
    const qint64 ms = start.msecsTo(end);
    if (ms <= 0)
        return 0;
    return ms > std::numeric_limits<int32_t>::max() ? std::numeric_limits<int32_t>::max()
                                                    : int32_t(ms);
}

int32_t wholeMilliseconds(int64_t elapsedUs)
{
    return roundHalfEven(static_cast<long double>(elapsedUs) / 1000);
}

int32_t speedHundredthsUs(int64_t sizeBytes, int64_t elapsedUs, int64_t unitDivisor)
{
    if (elapsedUs <= 0 || unitDivisor <= 0)
        return 0;
    // One division of two exact products: a speed that is exactly halfway stays so, and
    // rounds to the even neighbour.
    const long double bits = static_cast<long double>(sizeBytes) * 800000000.0L;
    return roundHalfEven(bits / (static_cast<long double>(elapsedUs) * unitDivisor));
}

int32_t speedHundredths(int64_t sizeBytes, int32_t elapsedMs, int64_t unitDivisor)
{
    return speedHundredthsUs(sizeBytes, int64_t(elapsedMs) * 1000, unitDivisor);
}

QString shortestFloatText(long double value, const QLocale& locale)
{
    // Qt's own conversion ignores the C library's locale, so the separator is swapped here.
    QString text = QString::number(static_cast<double>(value), 'g', 15);
    text.replace(u'.', locale.decimalPoint());
    return text;
}

ScaleLabels timeScaleLabels(int32_t maxVal)
{
    const long double m = maxVal;
    ScaleLabels labels;
    labels.top = QString::number(maxVal);
    labels.threeQuarter = QString::number(roundHalfEven(m / 4 * 3));
    labels.half = QString::number(roundHalfEven(m / 2));
    labels.quarter = QString::number(roundHalfEven(m / 4));
    labels.gridStep = roundHalfEven(m / 8);
    return labels;
}

ScaleLabels speedScaleLabels(int32_t maxVal, const QLocale& locale)
{
    const long double m = maxVal;
    ScaleLabels labels;
    labels.top = shortestFloatText(m / 100, locale);
    labels.threeQuarter = QString::number(roundHalfEven(m / 400 * 3));
    labels.half = QString::number(roundHalfEven(m / 200));
    labels.quarter = QString::number(roundHalfEven(m / 400));
    labels.gridStep = roundHalfEven(m / 8);
    return labels;
}

QString copyTimestamp(const QDateTime& start, const QLocale& locale)
{
    const QDate date = start.date();
    const QTime time = start.time();
    const QChar sep = userlocale::timeSeparator(locale);
    // The stand-alone form is the bare abbreviation ("Dez", not "Dez.") that a stamp needs.
    return locale.standaloneMonthName(date.month(), QLocale::ShortFormat) + twoDigits(date.day()) +
           QStringLiteral(", ") + twoDigits(time.hour()) + sep + twoDigits(time.minute()) + sep +
           twoDigits(time.second());
}

QString copyLogLine(const QDateTime& start, bool copied, bool deleted, int32_t elapsedMs,
                    int32_t speedHundredths, const QString& unitText, const QLocale& locale)
{
    const QString stamp = copyTimestamp(start, locale);
    if (!copied)
        return stamp + QStringLiteral(", copy process has failed");
    QString line = stamp + QStringLiteral(", ") + QString::number(elapsedMs) +
                   QStringLiteral("ms, ") +
                   shortestFloatText(static_cast<long double>(speedHundredths) / 100, locale) +
                   u' ' + unitText;
    if (!deleted)
        line += QStringLiteral(", delete process has failed");
    return line;
}

std::optional<int32_t> listAverage(const QList<int64_t>& values)
{
    int64_t sum = 0;
    for (int64_t v : values)
        sum += v;
    if (values.size() <= 2 || sum <= 0)
        return std::nullopt;
    const long double average = static_cast<long double>(sum) / values.size() + 0.5L;
    return static_cast<int32_t>(std::trunc(average));
}

std::optional<int32_t> listAverage(const QStringList& lines)
{
    QList<int64_t> values;
    values.reserve(lines.size());
    for (const QString& line : lines)
        values += StrToInt(line);
    return listAverage(values);
}

} // namespace copymath
