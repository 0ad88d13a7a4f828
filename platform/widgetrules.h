#pragma once
// What the stored controls do beyond Qt's defaults, so that each behaves for the operator as
// its window description says: focus on a click also for controls that Tab skips, slider
// steps and keys, a host box that never completes by itself, a fixed item height for a
// drop-down list, labels that size themselves to their caption, panels docked at the bottom
// of their parent. The form reader applies these; nothing else needs to call them.

class QComboBox;
class QRect;
class QLabel;
class QSlider;
class QTableWidget;
class QWidget;

namespace widgetrules {

// Starting settings of a slider made from a description: one step per arrow key, a page of
// 2 for a click beside the handle and for Page Up / Page Down, a tick at every step. Up, Page
// Up and the wheel turned away move towards the minimum, as Left does.
void prepareSlider(QSlider* slider);

// An editable drop-down list whose text is exactly what was typed: no completion from the
// items, and Enter adds no item (the program keeps the list itself).
void prepareComboBox(QComboBox* box);

// A grid that leaves Tab and Ctrl+Tab to the window (to the next control, the next sheet);
// arrow keys move between its cells.
void prepareGrid(QTableWidget* grid);

// Height of every item in the open list of the box.
void setItemHeight(QComboBox* box, int height);

// Not a tab stop: Tab skips the control, a click still focuses it when it takes focus at all.
// A tab stop: Tab reaches it as well.
void setTabStop(QWidget* w, bool tabStop);

// A label that sizes itself to its caption whenever caption, font or alignment change,
// keeping its left edge, or its right edge when it is right-aligned. On by default for every
// label the reader makes.
void setAutoSize(QLabel* label, bool on);
bool autoSize(const QLabel* label);
// While held, a label is not sized by a change of its caption, font or alignment: its
// description is being read, and its stored place counts, not a half-read state.
void holdFit(QLabel* label, bool hold);
// The place the description stores for the label: opaque auto-sized labels stored in the same
// place are stacked, and each takes the width of the widest, so the one in front hides the rest.
void rememberPlace(QLabel* label, const QRect& place);
// Sizes an auto-sized label to its caption now; keepLeft keeps the left edge whatever the
// alignment (a label stored with its place only, whose size is that of its stored caption).
void fitLabel(QLabel* label, bool keepLeft = false);

// Alt and the letter after "&" in the caption of a button or of a menu bar's entry clicks
// the first button of its window, in the window's order, that shows that letter, is enabled
// and is not covered by a stacked twin; only when no button takes it, the menu bar opens the
// menu with that letter. Two controls sharing a letter are not ambiguous then.
void routeMnemonics(QWidget* buttonOrMenuBar);

// Keeps w docked at the bottom edge of its parent, full width, its own height.
void alignBottom(QWidget* w);

} // namespace widgetrules
