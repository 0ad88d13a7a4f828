#pragma once
// Arithmetic and texts of the copy-throughput tab: elapsed time, speed, scale labels, the log
// line and the running average. Pure functions; the window's handlers only move their results
// into controls.

#include <QDateTime>
#include <QList>
#include <QLocale>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

namespace copymath {

// Milliseconds from start to end, whole hours included. A clock that went backwards gives 0,
// a span beyond the 32-bit range its largest value.
int32_t elapsedMs(const QDateTime& start, const QDateTime& end);

// A copy's time in microseconds as the whole milliseconds the log and the time graph show,
// halves to even.
int32_t wholeMilliseconds(int64_t elapsedUs);

// Speed in hundredths of the unit: Round(size * 800000000 / (elapsed * divisor)) with the time
// in microseconds (8 bits per byte, 1000000 us per second, 100 hundredths), halves to even.
// 0 when elapsed or divisor is not positive; a result above the 32-bit range is its largest
// value.
int32_t speedHundredthsUs(int64_t sizeBytes, int64_t elapsedUs, int64_t unitDivisor);
// The same from whole milliseconds.
int32_t speedHundredths(int64_t sizeBytes, int32_t elapsedMs, int64_t unitDivisor);

// The shortest general text of value with up to 15 significant digits, with the locale's
// decimal separator and no grouping: 25.64 -> "25.64" (or "25,64"), 12 -> "12".
QString shortestFloatText(long double value, const QLocale& locale);

// Texts of the four scale labels beside a graph, top first, and the grid step to set.
struct ScaleLabels
{
    QString top;
    QString threeQuarter;
    QString half;
    QString quarter;
    int32_t gridStep = 0;
};
// Time graph (milliseconds): M, Round(M / 4 * 3), Round(M / 2), Round(M / 4); step Round(M / 8).
ScaleLabels timeScaleLabels(int32_t maxVal);
// Speed graph (hundredths): M / 100 as shortest float text, then whole units Round(M / 400 * 3),
// Round(M / 200), Round(M / 400); step Round(M / 8).
ScaleLabels speedScaleLabels(int32_t maxVal, const QLocale& locale);

// "mmmdd, hh:nn:ss": the locale's abbreviated month name, two-digit day, 24-hour time.
QString copyTimestamp(const QDateTime& start, const QLocale& locale);

// One line of the copy log:
//   failed copy:                  "<stamp>, copy process has failed"
//   copied and deleted:           "<stamp>, <ms>ms, <speed> <unit>"
//   copied, deletion failed:      "<stamp>, <ms>ms, <speed> <unit>, delete process has failed"
// speedHundredths is shown divided by 100.
QString copyLogLine(const QDateTime& start, bool copied, bool deleted, int32_t elapsedMs,
                    int32_t speedHundredths, const QString& unitText, const QLocale& locale);

// Running average of a list: with more than 2 values and a sum above 0, Trunc(sum / count +
// 0.5) (halves up); otherwise nothing, and the twin series does not advance. The sum is 64-bit.
std::optional<int32_t> listAverage(const QList<int64_t>& values);
// The same over a hidden list's lines; a line that is not a decimal integer raises
// EConvertError.
std::optional<int32_t> listAverage(const QStringList& lines);

} // namespace copymath
