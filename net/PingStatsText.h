#pragma once
// The statistics of the host being pinged as the Ping tab shows them, in two lines that each
// fit the tab's width: what was lost, and how long the replies took, in milliseconds with three
// decimals (0.041) whatever the language. The captions come from the caller: the window takes
// them from its string table, German built in or English from the language module.

#include "net/PingStats.h"

#include <QString>

namespace pingstatstext {

struct Captions
{
    QString sentReceivedLost; // "Sent/received/lost"
    QString lossRun;          // the current run of losses
    QString longestRun;
    QString minAvgMax; // "min/avg/max"
    QString mdev;
    QString jitter;
    QString percentiles; // "P50/95/99"
};

// Microseconds as milliseconds with three decimals, rounded to the microsecond: 41 -> "0.041".
QString milliseconds(double us);

// "Sent/received/lost 120/118/2 (1.67 %)  lost in a row 0  longest 2 (10.0 s)"; a run going on
// shows its duration too.
QString lossLine(const PingStatistics::Snapshot& s, const Captions& c);

// "min/avg/max 0.041/0.052/0.310 ms  mdev 0.012  jitter 0.008  p50/95/99 0.050/0.090/0.200";
// before the first reply the figures read "-".
QString roundTripLine(const PingStatistics::Snapshot& s, const Captions& c);

} // namespace pingstatstext
