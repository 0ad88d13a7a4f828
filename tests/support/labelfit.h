#pragma once
// Whether what a window shows can be read in full: every label that the operator sees shows
// its whole text, inside its parent and not partly covered by another control.

#include <QStringList>

class QWidget;
class TForm1;

namespace labelfit {

// One line per label shown that does not fit, naming it and why; empty when all fit.
QStringList unreadableLabels(const QWidget* window);

// Puts the largest values the main window shows into its value labels, as its handlers write
// them: the time-outs and intervals at their ends, 9000 ms on the Ping and Analyse scales,
// 4551111.11 KBit/s on the copy tab's speed scale, a copy time of 99999 ms, the longest
// unit captions, a 64000-byte data size.
void showLargestValues(TForm1& form);

} // namespace labelfit
