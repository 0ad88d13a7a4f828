#pragma once
// Input as an operator gives it: mouse clicks at a place of a window, which go to whatever
// control lies there, and keys, which go to whatever has the keyboard focus (with Alt and
// Ctrl combinations seen by the window's shortcuts first). Nothing is set on a control
// directly.

#include <QPoint>
#include <QString>
#include <Qt>

class QTabWidget;
class QWidget;

namespace userinput {

// Makes the window of w the active one, as a click on its title bar would; false when it
// does not become active.
bool activate(QWidget* w);

// The control that has the keyboard focus now.
QWidget* focused();

// A click at a point of control (its centre when at is left out), delivered to its window at
// that place. Fails the test when another control lies there.
void click(QWidget* control, QPoint at, Qt::MouseButton button = Qt::LeftButton);
void click(QWidget* control);
// A click on a tab of the tab widget's bar.
void clickTab(QTabWidget* tabs, int index);

// A key pressed and released, with modifiers held, in the window that has the focus.
void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
// Keys for each character of text (ASCII).
void type(const QString& text);
// Selects all text of the focused control and types text over it.
void retype(const QString& text);

} // namespace userinput
