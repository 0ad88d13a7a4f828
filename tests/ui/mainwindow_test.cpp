// The main window as stored, its frame handlers and the host history.

#include "formdescription.h"
#include "formfixture.h"

#include "controls/VexTrend.h"
#include "platform/memo.h"

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSlider>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>

#include <iostream>
#include <sys/stat.h>

namespace {

// Where the start-up changes what the description stores. The page control is placed by the
// window, below the host band that the copy tab hides; the copy tab's scale captions name the
// unit chosen at the start; the ping graph's grid step is set at the start
// (StartUpPreparesTheTabs checks it).
const QStringList kPlacedByTheWindow{QStringLiteral("PageControl1")};
const QHash<QString, QString> kTextsOfTheStartUp{
    {QStringLiteral("Label33"), QStringLiteral("Max. value (MBit/s)")},
    {QStringLiteral("Label34"), QStringLiteral("Min. value (MBit/s)")}};
const QStringList kSettingsOfTheStartUp{QStringLiteral("VexTrend2.GridXstep")};
// The statistics row shows the figures of the host pinged (pingstatsrow_test.cpp checks it).
const QStringList kTextsOfTheStatistics{QStringLiteral("Label57"), QStringLiteral("Label58")};

QList<formdescription::Element> mainWindowDescription()
{
    QString error;
    const auto elements =
        formdescription::read(QStringLiteral(":/tallowmere/forms/TForm1.ui"), &error);
    EXPECT_TRUE(error.isEmpty()) << error.toStdString();
    return elements;
}

// The text a control shows and the property of the description that stores it; nothing for
// controls without a text.
QString textOf(QObject* o)
{
    if (auto* b = qobject_cast<QAbstractButton*>(o))
        return b->text();
    if (auto* l = qobject_cast<QLabel*>(o))
        return l->text();
    if (auto* e = qobject_cast<QLineEdit*>(o))
        return e->text();
    if (auto* c = qobject_cast<QComboBox*>(o))
        return c->currentText();
    if (auto* g = qobject_cast<QGroupBox*>(o))
        return g->title();
    if (auto* m = qobject_cast<TMemo*>(o))
        return m->lines().join(u'\n');
    return {};
}

const char* textProperty(QObject* o)
{
    if (qobject_cast<QAbstractButton*>(o) || qobject_cast<QLabel*>(o) ||
        qobject_cast<QLineEdit*>(o))
        return "text";
    if (qobject_cast<QComboBox*>(o))
        return "currentText";
    if (qobject_cast<QGroupBox*>(o))
        return "title";
    if (qobject_cast<TMemo*>(o))
        return "Lines";
    return nullptr;
}

// A control against its description: class, place and size, text and whether it is shown.
void expectAsDescribed(QWidget* w, const formdescription::Element& e)
{
    EXPECT_EQ(QString::fromLatin1(w->metaObject()->className()), e.cls);
    const bool sized = e.has("geometry");
    const QRect r = sized ? e.value("geometry").toRect() : QRect(e.value("pos").toPoint(), QSize());
    auto* label = qobject_cast<QLabel*>(w);
    const bool autoSize = !e.has("AutoSize") || e.value("AutoSize").toBool();
    if (label && sized && autoSize) {
        // A label sizes itself to its caption from the edge its alignment names.
        EXPECT_EQ(label->size(), label->sizeHint());
        if (label->alignment() & Qt::AlignRight)
            EXPECT_EQ(label->geometry().right(), r.right());
        else
            EXPECT_EQ(label->pos(), r.topLeft());
        EXPECT_EQ(label->y(), r.y());
    } else if (sized) {
        EXPECT_EQ(w->geometry(), r);
    } else {
        EXPECT_EQ(w->pos(), r.topLeft());
        EXPECT_GT(w->width(), 0);
    }
    const char* property = textProperty(w);
    if (property && !kTextsOfTheStatistics.contains(e.name)) {
        const QVariant stored = e.value(property);
        QString text = stored.typeId() == QMetaType::QStringList ? stored.toStringList().join(u'\n')
                                                                 : stored.toString();
        text = kTextsOfTheStartUp.value(e.name, text);
        EXPECT_EQ(textOf(w), text);
    }
    // Controls on other tab sheets are not visible now: compare what their sheet would show.
    EXPECT_EQ(!w->isHidden(), e.value("visible").toBool() || !e.has("visible"));
}

// The nearest enclosing object that the description can name: Qt puts the pages of a tab
// widget into a stack of its own, and the window's controls into its central widget.
QString describedParent(const QObject* o, const TForm1& f)
{
    for (const QObject* p = o->parent(); p; p = p->parent()) {
        if (p == f.centralWidget() || p == &f)
            return QString::fromLatin1(f.metaObject()->className());
        if (!p->objectName().isEmpty() && !p->objectName().startsWith(QLatin1String("qt_")))
            return p->objectName();
    }
    return QString();
}

// Numbers and switches of the description that are properties of the object as well; returns
// how many were compared.
int expectSettingsAsDescribed(QObject* o, const formdescription::Element& e)
{
    int compared = 0;
    for (auto it = e.properties.begin(); it != e.properties.end(); ++it) {
        const QByteArray name = it.key().toLatin1();
        const int type = it.value().typeId();
        if ((type != QMetaType::Int && type != QMetaType::Bool) || name == "visible" ||
            o->metaObject()->indexOfProperty(name.constData()) < 0 ||
            kSettingsOfTheStartUp.contains(e.name + u'.' + it.key()))
            continue;
        SCOPED_TRACE(name.constData());
        EXPECT_EQ(o->property(name.constData()).toInt(), it.value().toInt());
        ++compared;
    }
    return compared;
}

} // namespace

TEST_F(FormTest, EveryControlStandsWhereItIsStored)
{
    TForm1& f = form();
    const QList<formdescription::Element> described = mainWindowDescription();
    ASSERT_FALSE(described.isEmpty());
    const formdescription::Element& window = described.first();
    EXPECT_EQ(window.name, QStringLiteral("TForm1"));
    EXPECT_EQ(f.windowTitle(), window.value("windowTitle").toString());
    // No display name of the application is set: Qt would add it to every window's caption.
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), QCoreApplication::applicationName());
    int placed = 0;
    int settings = 0;
    for (const formdescription::Element& e : described) {
        SCOPED_TRACE(e.name.toStdString());
        QObject* o = f.findChild<QObject*>(e.name);
        if (e.tag == QLatin1String("action")) {
            ASSERT_NE(qobject_cast<QAction*>(o), nullptr);
            EXPECT_EQ(static_cast<QAction*>(o)->text(), e.value("text").toString());
        } else if (&e != &window) {
            ASSERT_NE(o, nullptr);
            EXPECT_EQ(describedParent(o, f), e.parent) << "its parent";
        }
        settings += expectSettingsAsDescribed(o ? o : &f, e);
        auto* w = qobject_cast<QWidget*>(o);
        if (!w || (!e.has("geometry") && !e.has("pos")) || e.has("align") ||
            kPlacedByTheWindow.contains(e.name))
            continue;
        expectAsDescribed(w, e);
        ++placed;
    }
    // The description was read through to its end: its controls and settings were seen.
    EXPECT_GE(placed, 100);
    EXPECT_GE(settings, 40);
    std::cout << placed << " controls placed, " << settings << " settings compared\n";
    // Stored settings that are no property of the same name.
    auto element = [&described](const char* name) {
        for (const formdescription::Element& e : described) {
            if (e.name == QLatin1String(name))
                return e;
        }
        ADD_FAILURE() << name << " is not described";
        return formdescription::Element{};
    };
    // Not a tab stop: Tab skips it, a click focuses it.
    ASSERT_FALSE(element("CheckBox6").value("tabStop").toBool());
    EXPECT_EQ(f.CheckBox6->focusPolicy(), Qt::ClickFocus);
    EXPECT_EQ(f.ComboBox1->completer(), nullptr);
    const QStringList widths = element("StringGrid1").value("colWidths").toStringList();
    ASSERT_EQ(widths.size(), f.StringGrid1->columnCount());
    for (int c = 0; c < widths.size(); ++c)
        EXPECT_EQ(f.StringGrid1->columnWidth(c), widths[c].toInt()) << "column " << c;
    // Stacked pairs: the member named first in the window is behind.
    EXPECT_TRUE(inFrontOf(f.Button1, f.Button2));
    EXPECT_TRUE(inFrontOf(f.Button7, f.Button8));
    EXPECT_TRUE(inFrontOf(f.VexTrend4, f.VexTrend3));
    EXPECT_TRUE(inFrontOf(f.Label49, f.Label35));
    // The sheets with their titles; the "Optionen" sheet exists but its tab cannot be chosen.
    QStringList sheets;
    for (const formdescription::Element& e : described) {
        if (e.parent == QLatin1String("PageControl1"))
            sheets << e.name;
    }
    ASSERT_EQ(f.PageControl1->count(), sheets.size());
    for (int i = 0; i < sheets.size(); ++i) {
        const formdescription::Element sheet = element(sheets[i].toLatin1().constData());
        EXPECT_EQ(f.PageControl1->widget(i)->objectName(), sheet.name);
        EXPECT_EQ(f.PageControl1->tabText(i), sheet.attributes.value(QStringLiteral("title")));
        const bool visible = sheet.attributes.value(QStringLiteral("tabVisible"), true).toBool();
        EXPECT_EQ(f.PageControl1->isTabVisible(i), visible) << sheets[i].toStdString();
        EXPECT_EQ(f.PageControl1->isTabEnabled(i), visible) << sheets[i].toStdString();
    }
    EXPECT_EQ(sheets.last(), QStringLiteral("TabSheet4"));
    EXPECT_FALSE(f.PageControl1->isTabVisible(3));
    for (QTimer* t : {f.Timer1, f.Timer2, f.Timer3, f.Timer4})
        EXPECT_FALSE(t->isActive());
}

TEST_F(FormTest, StartUpPreparesTheTabs)
{
    TForm1& f = form();
    EXPECT_EQ(f.centralWidget()->size(), QSize(655, 513));
    EXPECT_EQ(f.PageControl1->geometry(), QRect(0, 93, 655, 420));
    EXPECT_EQ(f.PageControl1->currentWidget(), f.TabSheet1);
    EXPECT_EQ(f.VexTrend2->Divisions(), 100);
    EXPECT_EQ(f.VexTrend2->GridXstep(), 6);
    EXPECT_EQ(f.StringGrid1->item(0, 1)->text(), QStringLiteral("10 Byte"));
    EXPECT_EQ(f.StringGrid1->item(0, 7)->text(), QStringLiteral("64 KB"));
    EXPECT_EQ(f.StringGrid1->item(1, 0)->text(), QStringLiteral("1. poll in ms"));
    EXPECT_EQ(f.StringGrid1->item(10, 0)->text(), QStringLiteral("10. poll in ms"));
    EXPECT_EQ(f.StringGrid1->item(11, 0)->text(), QStringLiteral("Total in ms"));
    EXPECT_EQ(f.StringGrid1->item(12, 0)->text(), QStringLiteral("Average in ms"));
    EXPECT_TRUE(f.StringGrid1->item(0, 0) == nullptr ||
                f.StringGrid1->item(0, 0)->text().isEmpty());
    EXPECT_EQ(f.Memo4->Count(), 0);
    // The panels hold the bottom of their sheets.
    for (const char* panel : {"Panel2", "Panel3"}) {
        auto* p = f.findChild<QWidget*>(QString::fromLatin1(panel));
        EXPECT_EQ(p->geometry().bottom(), p->parentWidget()->height() - 1) << panel;
        EXPECT_EQ(p->height(), 226) << panel;
    }
    EXPECT_TRUE(testapp::recorded().isEmpty())
        << testapp::recordedTexts().join(u'\n').toStdString();
}

TEST_F(FormTest, CopyTabHidesTheHostBandAndGivesThePagesItsRoom)
{
    TForm1& f = form();
    f.PageControl1->setCurrentWidget(f.TabSheet3);
    EXPECT_EQ(f.PageControl1->geometry(), QRect(0, 40, 655, 473));
    for (QWidget* w : {static_cast<QWidget*>(f.ComboBox1), static_cast<QWidget*>(f.Label20),
                       static_cast<QWidget*>(f.CheckBox6), static_cast<QWidget*>(f.Edit4)})
        EXPECT_TRUE(w->isHidden()) << w->objectName().toStdString();
    auto* panel3 = f.findChild<QWidget*>(QStringLiteral("Panel3"));
    // Docked at the bottom of its sheet; the sheet's height follows the tab bar of the style.
    EXPECT_NEAR(panel3->y(), 219, 3);
    EXPECT_EQ(panel3->height(), 226);
    EXPECT_EQ(panel3->width(), panel3->parentWidget()->width());
    f.PageControl1->setCurrentWidget(f.TabSheet2);
    EXPECT_EQ(f.PageControl1->geometry(), QRect(0, 93, 655, 420));
    EXPECT_FALSE(f.ComboBox1->isHidden());
    f.PageControl1->setCurrentWidget(f.TabSheet1);
    EXPECT_EQ(f.PageControl1->geometry(), QRect(0, 93, 655, 420));
    for (QWidget* w : {static_cast<QWidget*>(f.ComboBox1), static_cast<QWidget*>(f.Label20),
                       static_cast<QWidget*>(f.CheckBox6), static_cast<QWidget*>(f.Edit4)})
        EXPECT_FALSE(w->isHidden()) << w->objectName().toStdString();
    EXPECT_TRUE(f.Edit3->isHidden());
}

TEST_F(FormTest, WindowOpensCentredAndCannotBeResized)
{
    TForm1& f = form();
    const QPoint screenCentre = f.screen()->availableGeometry().center();
    EXPECT_LE((f.frameGeometry().center() - screenCentre).manhattanLength(), 2);
    EXPECT_EQ(f.minimumSize(), f.maximumSize());
    EXPECT_FALSE(f.windowFlags() & Qt::WindowMaximizeButtonHint);
}

TEST_F(FormTest, StayOnTopTogglesAndKeepsThePlace)
{
    TForm1& f = form();
    const QRect before = f.geometry();
    f.Alwaysontop1->trigger();
    EXPECT_TRUE(f.Alwaysontop1->isChecked());
    EXPECT_TRUE(f.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(f.isVisible());
    f.Alwaysontop1->trigger();
    EXPECT_FALSE(f.Alwaysontop1->isChecked());
    EXPECT_FALSE(f.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(f.geometry().size(), before.size());
    EXPECT_TRUE(f.isVisible());
}

TEST_F(FormTest, OpeningTheFileMenuDoesNotEndTheProgramItsEntryDoes)
{
    TForm1& f = form();
    auto* file = f.findChild<QMenu*>(QStringLiteral("File1"));
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->title(), QStringLiteral("&Datei"));
    file->popup(f.mapToGlobal(QPoint(0, 0)));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(file));
    EXPECT_FALSE(TApplication::instance()->Terminated());
    file->hide();
    f.findChild<QAction*>(QStringLiteral("Exit1"))->trigger();
    EXPECT_TRUE(TApplication::instance()->Terminated());
    TApplication::instance()->clearTerminated();
    QTest::mouseClick(f.doExit, Qt::LeftButton);
    EXPECT_TRUE(TApplication::instance()->Terminated());
}

TEST_F(FormTest, MenuEntriesCarryTheirCaptions)
{
    TForm1& f = form();
    auto text = [&f](const char* name) {
        return f.findChild<QAction*>(QString::fromLatin1(name))->text();
    };
    EXPECT_EQ(text("Exit1"), QStringLiteral("Be&enden"));
    EXPECT_EQ(text("Alwaysontop1"), QStringLiteral("Immer im Vordergrund"));
    EXPECT_EQ(text("Line1"), QStringLiteral("Linie"));
    EXPECT_EQ(text("Filled1"), QStringLiteral("Gefüllt"));
    EXPECT_EQ(text("Bar1"), QStringLiteral("Bar"));
    EXPECT_EQ(text("Scatter1"), QStringLiteral("Verteilt"));
    EXPECT_EQ(text("N3D1"), QStringLiteral("3D"));
    EXPECT_EQ(text("Resetgraph1"), QStringLiteral("Graphen zurücksetzen"));
    EXPECT_TRUE(text("Producthomepage1").startsWith(QStringLiteral("&Webseite ")));
    EXPECT_EQ(text("About3"), QStringLiteral("&About..."));
    EXPECT_TRUE(f.Line1->isChecked());
    EXPECT_FALSE(f.Alwaysontop1->isChecked());
    QStringList top;
    for (QAction* a : f.MainMenu1->actions())
        top += a->text();
    EXPECT_EQ(top, QStringList({QStringLiteral("&Datei"), QStringLiteral("&Optionen"),
                                QStringLiteral("&Hilfe")}));
    auto* options = f.findChild<QMenu*>(QStringLiteral("Options1"));
    QStringList entries;
    for (QAction* a : options->actions())
        entries += a->text();
    EXPECT_EQ(entries,
              QStringList({QStringLiteral("Immer im Vordergrund"), QStringLiteral("&Graph Art"),
                           QStringLiteral("Graphen zurücksetzen")}));
}
