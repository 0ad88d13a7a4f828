#pragma once
// The statistics row of the Ping tab: two labels below and above the graph, what was lost and
// how long the replies took, with the captions of the string table in use (German built in,
// English from the language module).

#include "net/PingStats.h"
#include "net/PingStatsText.h"

class QLabel;

namespace pingstatsrow {

pingstatstext::Captions captions();

// Both lines of a snapshot. A line wider than its label is drawn smaller, never below
// kMinPixelSize; the label's own font is the largest it gets.
void show(QLabel* lossLine, QLabel* roundTripLine, const PingStatistics::Snapshot& s);

constexpr int kMinPixelSize = 8;

// Sets text, in the label's described font or the largest smaller one in which it fits.
void showFitted(QLabel* label, const QString& text);

} // namespace pingstatsrow
