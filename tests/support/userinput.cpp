#include "support/userinput.h"

#include <QApplication>
#include <QGuiApplication>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QWidget>
#include <QWindow>

#include <gtest/gtest.h>

namespace userinput {

namespace {

QWindow* keyWindow()
{
    if (QWidget* w = QApplication::focusWidget())
        return w->window()->windowHandle();
    return QGuiApplication::focusWindow();
}

QString describe(const QWidget* w)
{
    if (!w)
        return QStringLiteral("nothing");
    return QStringLiteral("%1 '%2'").arg(QString::fromLatin1(w->metaObject()->className()),
                                         w->objectName());
}

} // namespace

bool activate(QWidget* w)
{
    QWidget* top = w->window();
    top->activateWindow();
    return QTest::qWaitForWindowActive(top);
}

QWidget* focused()
{
    return QApplication::focusWidget();
}

void click(QWidget* control, QPoint at, Qt::MouseButton button)
{
    QWidget* top = control->window();
    QWindow* window = top->windowHandle();
    ASSERT_NE(window, nullptr) << "the window of " << describe(control).toStdString()
                               << " is not shown";
    const QPoint place = control->mapTo(top, at);
    QWidget* there = top->childAt(place);
    ASSERT_TRUE(there == control || control->isAncestorOf(there))
        << "a click meant for " << describe(control).toStdString() << " would reach "
        << describe(there).toStdString();
    QTest::mouseClick(window, button, Qt::NoModifier, place);
}

void click(QWidget* control)
{
    click(control, control->rect().center());
}

void clickTab(QTabWidget* tabs, int index)
{
    QTabBar* bar = tabs->tabBar();
    click(bar, bar->tabRect(index).center());
}

void press(Qt::Key key, Qt::KeyboardModifiers modifiers)
{
    QWindow* window = keyWindow();
    ASSERT_NE(window, nullptr) << "no window has the keyboard focus";
    QTest::keyClick(window, key, modifiers);
}

void type(const QString& text)
{
    QWindow* window = keyWindow();
    ASSERT_NE(window, nullptr) << "no window has the keyboard focus";
    for (const QChar c : text) {
        ASSERT_LT(c.unicode(), 128) << "only ASCII can be typed";
        QTest::keyClick(window, char(c.unicode()));
    }
}

void retype(const QString& text)
{
    press(Qt::Key_A, Qt::ControlModifier);
    type(text);
}

} // namespace userinput
