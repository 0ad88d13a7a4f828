#pragma once
// Text formats and arithmetic of the ping monitor and the analysis, kept apart from the window
// so that they can be checked directly.

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <cstdint>

namespace pinglog {

// The data sizes an echo request may carry.
constexpr int32_t kMinDataSize = 1;
constexpr int32_t kMaxDataSize = 64000;
constexpr bool validDataSize(int32_t size)
{
    return size >= kMinDataSize && size <= kMaxDataSize;
}

// "dd.mm.yyyy, hh:mm:ss" with the locale's time separator.
QString timeStamp(const QDateTime& when);

// "<stamp>, <host>, <n> bytes, <n>ms" and "<stamp>, <host>, <reason>".
QString successLine(const QString& stamp, const QString& host, int dataSize, uint32_t roundTripMs);
QString failureLine(const QString& stamp, const QString& host, const QString& reason);
// The same without the stamp, as the analysis keeps its raw polls.
QString failureText(const QString& host, const QString& reason);

// A host text as part of a file name in the program's folder: every character that cannot
// stand in a file name here ("/", NUL, control characters) becomes "_"; nothing else changes.
QString fileNamePart(const QString& hostText);
QString pingLogName(const QString& hostText);     // "quillnet_" + host + ".txt"
QString analysisLogName(const QString& hostText); // "quillnet_analysis_" + host + ".txt"

} // namespace pinglog
