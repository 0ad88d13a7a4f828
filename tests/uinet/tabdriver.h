#pragma once
// What the tests of the main window's tabs do as an operator: type a host, switch tabs with a
// click on the tab bar, type into a field, and wait for results that come from the bed.

#include "formfixture.h"

#include "controls/VexTrend.h"
#include "platform/memo.h"
#include "support/userinput.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QTabBar>
#include <QTabWidget>

#include <functional>

namespace tabdriver {

inline void typeHost(TForm1& f, const QString& host)
{
    f.ComboBox1->lineEdit()->clear();
    QTest::keyClicks(f.ComboBox1->lineEdit(), host);
}

// Clicks into the field, selects everything in it and types text over it.
inline void typeInto(QLineEdit* edit, const QString& text)
{
    QTest::mouseClick(edit, Qt::LeftButton);
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(edit, text);
}

inline void showTab(TForm1& f, QWidget* page)
{
    QTabBar* bar = f.PageControl1->tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, {},
                      bar->tabRect(f.PageControl1->indexOf(page)).center());
}

// Runs the event loop until cond holds; the time-out only bounds a failing test.
inline bool waitUntil(const std::function<bool()>& cond, int timeoutMs = 12000)
{
    QElapsedTimer t;
    t.start();
    while (!cond() && t.elapsed() < timeoutMs)
        QTest::qWait(5);
    return cond();
}

inline bool waitForLines(TMemo* memo, int count, int timeoutMs = 12000)
{
    return waitUntil([&] { return memo->Count() >= count; }, timeoutMs);
}

inline QString last(const TMemo* memo)
{
    return memo->Strings(memo->Count() - 1);
}

inline int newest(const TVexTrend* graph)
{
    return graph->Values()[graph->Divisions() - 1];
}

inline int newestTwin(const TVexTrend* graph)
{
    return graph->TwinValues()[graph->Divisions() - 1];
}

// "Graphen zurücksetzen", the last entry of "&Optionen", by Alt+O and the arrow keys.
inline void resetGraphsFromTheMenu(TForm1& f)
{
    userinput::press(Qt::Key_O, Qt::AltModifier);
    auto* options = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(options, nullptr) << "the menu did not open";
    for (int i = 0; i < 3 && options->activeAction() != f.Resetgraph1; ++i)
        userinput::press(Qt::Key_Down);
    ASSERT_EQ(options->activeAction(), f.Resetgraph1);
    userinput::press(Qt::Key_Return);
    EXPECT_FALSE(options->isVisible());
}

// Writes a picture of the window, with a tool tip that is shown over it, into the test
// program's picture folder for a person to look at; returns the file, empty when not written.
inline QString savePicture(QWidget* window, const QString& name)
{
    QImage image = window->grab().toImage();
    QPainter painter(&image);
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->isVisible() && w->inherits("QTipLabel"))
            painter.drawImage(window->mapFromGlobal(w->pos()), w->grab().toImage());
    }
    painter.end();
    QDir().mkpath(QStringLiteral(TM_PICTURE_DIR));
    const QString file = QDir(QStringLiteral(TM_PICTURE_DIR)).filePath(name);
    return image.save(file) ? file : QString();
}

} // namespace tabdriver
