#pragma once
// Whether what a window shows can be read in full: every label that the operator sees shows
// its whole text, inside its parent and not partly covered by another control.

#include "net/PingStats.h"

#include <QStringList>

class QWidget;
class TForm1;

namespace labelfit {

// One line per label shown that does not fit, naming it and why; empty when all fit.
QStringList unreadableLabels(const QWidget* window);

// Puts the largest values the main window shows into its value labels, as its handlers write
// them: the time-outs and intervals at their ends, 9000 ms on the Ping and Analyse scales,
// 4551111.11 KBit/s on the copy tab's speed scale, a copy time of 99999 ms, the longest
// unit captions, a 64000-byte data size, and the Ping tab's statistics of a week below.
void showLargestValues(TForm1& form);

// Statistics of a week of pinging with round trips of 1 to 9 s and hour-long outages, the
// last one going on.
PingStatistics::Snapshot largestPingStatistics();

} // namespace labelfit
