// The main window as stored, its frame handlers and the host history.

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

#include <sys/stat.h>

namespace {

struct Expected
{
    const char* name;
    const char* cls;
    int x, y, w, h; // w and h of -1: sized by its text
    const char* text;
    bool shown;
};

// Every control with the place and text it is stored with (parent-relative coordinates).
const Expected kControls[] = {
    {"Label20", "QLabel", 4, 5, -1, -1, "Hostname oder IP Adresse:", true},
    {"ComboBox1", "QComboBox", 4, 22, 250, 21, "List", true},
    {"Edit3", "QLineEdit", 4, 22, 250, 21, "", false},
    {"CheckBox6", "QCheckBox", 4, 52, 133, 17, "Name auflösen", true},
    {"Edit4", "QLineEdit", 144, 49, 505, 21, "", true},
    {"Memo3", "TMemo", 424, 8, 105, 89, "", false},
    {"Memo5", "TMemo", 320, 8, 105, 89, "", false},
    {"doExit", "QPushButton", 496, 10, 122, 25, "Be&enden", true},
    {"LogWindow", "TMemo", 336, 0, 305, 161, "", true},
    {"Panel1", "QFrame", 0, 0, 329, 129, nullptr, true},
    {"Label22", "QLabel", 8, 12, -1, -1, "Intervall:", true},
    {"Label18", "QLabel", 66, 12, 25, 13, "5", true},
    {"Label19", "QLabel", 94, 12, -1, -1, "Sekunden", true},
    {"TrackBar3", "QSlider", 2, 26, 150, 25, nullptr, true},
    {"Label16", "QLabel", 168, 12, -1, -1, "Timeout:", true},
    {"Label17", "QLabel", 249, 12, -1, -1, "4", true},
    {"Label6", "QLabel", 263, 12, -1, -1, "Sekunden", true},
    {"TrackBar2", "QSlider", 162, 26, 150, 25, nullptr, true},
    {"Label2", "QLabel", 8, 58, -1, -1, "TTL:", true},
    {"Label5", "QLabel", 48, 58, -1, -1, "32", true},
    {"TrackBar1", "QSlider", 2, 71, 150, 25, nullptr, true},
    {"Label8", "QLabel", 168, 58, -1, -1, "Ping Datengröße Bytes:", true},
    {"Edit1", "QLineEdit", 168, 74, 92, 21, "32", true},
    {"CheckBox2", "QCheckBox", 168, 101, -1, -1, "Log schreiben", true},
    {"CheckBox5", "QCheckBox", 8, 101, -1, -1, "Durchschnitt anzeigen", true},
    {"CheckBox1", "QCheckBox", 32, 104, -1, -1, "", false},
    {"doPing1", "QPushButton", 8, 136, 81, 25, "Ein &Ping", true},
    {"Button2", "QPushButton", 121, 136, 120, 25, "&Pingen beenden", true},
    {"Button1", "QPushButton", 121, 136, 120, 25, "&Dauerpingen", true},
    {"VexTrend2", "TVexTrend", 7, 20, 585, 181, nullptr, true},
    {"Label1", "QLabel", 493, 4, -1, -1, "Max. Wert: (ms)", true},
    {"Label3", "QLabel", 493, 208, -1, -1, "Min. Wert: (ms)", true},
    {"Label11", "QLabel", 593, 14, 34, 13, "0", true},
    {"Label12", "QLabel", 593, 60, 34, 13, "0", true},
    {"Label13", "QLabel", 593, 104, 34, 13, "0", true},
    {"Label14", "QLabel", 593, 149, 34, 13, "0", true},
    {"Label15", "QLabel", 593, 193, 34, 13, "0", true},
    {"VexTrend1", "TVexTrend", 8, 8, 401, 130, nullptr, true},
    {"Label4", "QLabel", 23, 140, -1, -1, "10 B", true},
    {"Label7", "QLabel", 77, 140, -1, -1, "100 B", true},
    {"Label9", "QLabel", 137, 140, -1, -1, "500 B", true},
    {"Label10", "QLabel", 194, 140, -1, -1, "1 KB", true},
    {"Label21", "QLabel", 250, 140, -1, -1, "10 KB", true},
    {"Label23", "QLabel", 306, 140, -1, -1, "50 KB", true},
    {"Label24", "QLabel", 364, 140, -1, -1, "64 KB", true},
    {"Label26", "QLabel", 413, 8, -1, -1, "0", true},
    {"Label27", "QLabel", 413, 67, -1, -1, "0", true},
    {"Label28", "QLabel", 413, 128, -1, -1, "0", true},
    {"Label30", "QLabel", 460, 8, 100, 13, "Max. Wert: (ms)", true},
    {"Label29", "QLabel", 460, 128, 100, 13, "Min. Wert: (ms)", true},
    {"Label31", "QLabel", 456, 48, 185, 13, "Zeitintervall zw. Pings (s):", true},
    {"TrackBar4", "QSlider", 456, 64, 86, 33, nullptr, true},
    {"Label32", "QLabel", 543, 68, 37, 13, "0", true},
    {"StringGrid1", "QTableWidget", 8, 168, 497, 225, nullptr, true},
    {"Memo2", "TMemo", 8, 168, 497, 225, "", false},
    {"Memo1", "TMemo", 144, 192, 313, 153, "", false},
    {"CheckBox3", "QCheckBox", 520, 344, -1, -1, "Log anzeigen", true},
    {"CheckBox4", "QCheckBox", 520, 360, -1, -1, "Log schreiben", true},
    {"Button3", "QPushButton", 520, 304, 97, 25, "Analyse starten", true},
    {"Edit2", "QLineEdit", 560, 304, 49, 21, "z", false},
    {"Button4", "QPushButton", 552, 272, 75, 25, "Interpret", false},
    {"Label46", "QLabel", 1, 8, 56, 13, "Ziel UNC:", true},
    {"Edit5", "QLineEdit", 0, 27, 241, 21, "\\\\", true},
    {"Label54", "QLabel", 250, 8, 51, 13, "Intervall:", true},
    {"Label55", "QLabel", 301, 8, 25, 13, "10", true},
    {"Label53", "QLabel", 334, 8, 60, 13, "Sekunden", true},
    {"TrackBar5", "QSlider", 242, 26, 167, 25, nullptr, true},
    {"GroupBox1", "QGroupBox", 0, 56, 129, 73, "Dateigröße", true},
    {"RadioButton1", "QRadioButton", 8, 16, 113, 17, "100 KByte", true},
    {"RadioButton2", "QRadioButton", 8, 32, 113, 17, "1 MByte", true},
    {"RadioButton3", "QRadioButton", 8, 48, 113, 17, "5 MByte", true},
    {"GroupBox3", "QGroupBox", 136, 56, 169, 73, "Graph Optionen", true},
    {"CheckBox7", "QCheckBox", 8, 16, 153, 17, "Durchschnitt anzeigen", true},
    {"RadioButton4", "QRadioButton", 9, 32, 80, 17, "Zeit", true},
    {"RadioButton5", "QRadioButton", 9, 48, 80, 17, "Geschw. ", true},
    {"GroupBox2", "QGroupBox", 312, 56, 97, 73, "Anzeige", true},
    {"RadioButton6", "QRadioButton", 8, 16, 70, 17, "KBit/s", true},
    {"RadioButton7", "QRadioButton", 8, 32, 70, 17, "MBit/s", true},
    {"RadioButton8", "QRadioButton", 8, 48, 70, 17, "GBit/s", true},
    {"Label42", "QLabel", 8, 60, 80, 13, "1048576", false},
    {"Label56", "QLabel", 296, 136, 100, 13, "MBit/s", false},
    {"Label47", "QLabel", 328, 128, 100, 13, "47", false},
    {"Button5", "QPushButton", 8, 144, 115, 25, "Einmal kopieren", true},
    {"Button7", "QPushButton", 8, 176, 115, 25, "VamtKopie starten", true},
    {"Button8", "QPushButton", 8, 176, 115, 25, "VamtKopie stoppen", true},
    {"Button6", "QPushButton", 552, 8, 75, 25, "create files", false},
    {"CheckBox8", "QCheckBox", 296, 181, 113, 17, "Log schreiben", true},
    {"Memo4", "TMemo", 416, 0, 225, 209, "", true},
    {"VexTrend3", "TVexTrend", 7, 20, 585, 181, nullptr, true},
    {"VexTrend4", "TVexTrend", 7, 20, 585, 181, nullptr, true},
    {"Label33", "QLabel", 475, 4, 110, 13, "Max. value (MBit/s)", true},
    {"Label34", "QLabel", 483, 208, 110, 13, "Min. value (MBit/s)", true},
    {"Label35", "QLabel", 593, 14, 50, 13, "0", true},
    {"Label49", "QLabel", 593, 14, 50, 13, "0", true},
    {"Label36", "QLabel", 593, 60, 50, 13, "0", true},
    {"Label50", "QLabel", 593, 60, 50, 13, "0", true},
    {"Label37", "QLabel", 593, 104, 50, 13, "0", true},
    {"Label51", "QLabel", 593, 104, 50, 13, "0", true},
    {"Label38", "QLabel", 593, 149, 50, 13, "0", true},
    {"Label52", "QLabel", 593, 149, 50, 13, "0", true},
    {"Label39", "QLabel", 593, 193, 50, 13, "0", true},
    {"Memo6", "TMemo", 208, 104, 185, 89, "Warnungen per popup, Email, \nSound, Tray Icon", true},
};

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

} // namespace

TEST_F(FormTest, EveryControlStandsWhereItIsStored)
{
    TForm1& f = form();
    EXPECT_EQ(f.windowTitle(), QStringLiteral("Tallowmere von Vornhart"));
    // No display name of the application is set: Qt would add it to every window's caption.
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), QCoreApplication::applicationName());
    for (const Expected& e : kControls) {
        SCOPED_TRACE(e.name);
        auto* w = f.findChild<QWidget*>(QString::fromLatin1(e.name));
        ASSERT_NE(w, nullptr);
        EXPECT_STREQ(w->metaObject()->className(), e.cls);
        auto* label = qobject_cast<QLabel*>(w);
        if (label && e.w >= 0) {
            // A label sizes itself to its caption from the edge its alignment names.
            EXPECT_EQ(label->size(), label->sizeHint());
            if (label->alignment() & Qt::AlignRight)
                EXPECT_EQ(label->geometry().right(), e.x + e.w - 1);
            else
                EXPECT_EQ(label->pos(), QPoint(e.x, e.y));
            EXPECT_EQ(label->y(), e.y);
        } else if (e.w >= 0) {
            EXPECT_EQ(w->pos(), QPoint(e.x, e.y));
            EXPECT_EQ(w->size(), QSize(e.w, e.h));
        } else {
            EXPECT_EQ(w->pos(), QPoint(e.x, e.y));
            EXPECT_GT(w->width(), 0);
        }
        if (e.text) {
            EXPECT_EQ(textOf(w), QString::fromUtf8(e.text));
        }
        // Controls on other tab sheets are not visible now: compare what their sheet would show.
        EXPECT_EQ(!w->isHidden(), e.shown);
    }
    // Stored flags that the table does not show.
    EXPECT_TRUE(f.Edit4->isReadOnly());
    // Not a tab stop: Tab skips it, a click focuses it.
    EXPECT_EQ(f.CheckBox6->focusPolicy(), Qt::ClickFocus);
    EXPECT_EQ(f.ComboBox1->completer(), nullptr);
    EXPECT_EQ(f.TrackBar1->minimum(), 0);
    EXPECT_EQ(f.TrackBar1->maximum(), 40);
    EXPECT_EQ(f.TrackBar1->value(), 32);
    EXPECT_EQ(f.TrackBar2->minimum(), 1);
    EXPECT_EQ(f.TrackBar2->maximum(), 9);
    EXPECT_EQ(f.TrackBar2->value(), 4);
    EXPECT_EQ(f.TrackBar3->minimum(), 5);
    EXPECT_EQ(f.TrackBar3->maximum(), 30);
    EXPECT_EQ(f.TrackBar5->minimum(), 10);
    EXPECT_EQ(f.TrackBar5->maximum(), 300);
    EXPECT_EQ(f.TrackBar4->maximum(), 5);
    EXPECT_TRUE(f.RadioButton2->isChecked());
    EXPECT_TRUE(f.RadioButton5->isChecked());
    EXPECT_TRUE(f.RadioButton7->isChecked());
    EXPECT_EQ(f.ComboBox1->maxVisibleItems(), 10);
    EXPECT_EQ(f.StringGrid1->columnCount(), 8);
    EXPECT_EQ(f.StringGrid1->rowCount(), 13);
    EXPECT_EQ(f.StringGrid1->columnWidth(0), 86);
    EXPECT_EQ(f.StringGrid1->columnWidth(7), 58);
    // Stacked pairs: the member named first in the window is behind.
    EXPECT_TRUE(inFrontOf(f.Button1, f.Button2));
    EXPECT_TRUE(inFrontOf(f.Button7, f.Button8));
    EXPECT_TRUE(inFrontOf(f.VexTrend4, f.VexTrend3));
    EXPECT_TRUE(inFrontOf(f.Label49, f.Label35));
    // The "Optionen" sheet exists but its tab cannot be chosen.
    EXPECT_EQ(f.PageControl1->count(), 4);
    EXPECT_FALSE(f.PageControl1->isTabVisible(3));
    EXPECT_FALSE(f.PageControl1->isTabEnabled(3));
    EXPECT_EQ(f.PageControl1->tabText(0), QStringLiteral("Ping"));
    EXPECT_EQ(f.PageControl1->tabText(1), QStringLiteral("Analyse"));
    EXPECT_EQ(f.PageControl1->tabText(2), QStringLiteral("VamtKopie"));
    EXPECT_EQ(f.PageControl1->tabText(3), QStringLiteral("Optionen"));
    for (QTimer* t : {f.Timer1, f.Timer2, f.Timer3, f.Timer4})
        EXPECT_FALSE(t->isActive());
    EXPECT_EQ(f.Timer2->interval(), 1000);
    EXPECT_EQ(f.Timer3->interval(), 5000);
    EXPECT_EQ(f.Timer4->interval(), 10000);
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
    QTest::qWait(50);
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
