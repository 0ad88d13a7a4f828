#include "app/vamtp.h"

#include "app/Unit2.h"
#include "app/pinglog.h"
#include "controls/VexTrend.h"
#include "net/PingThrd.h"
#include "platform/application.h"
#include "platform/errors.h"
#include "platform/memo.h"
#include "platform/programdir.h"
#include "platform/registry.h"
#include "platform/resources.h"
#include "platform/rounding.h"
#include "platform/textfile.h"

#include <QAction>
#include <QCheckBox>
#include <QCollator>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSlider>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>

namespace {
constexpr int kMaxHosts = 10;
const char* const kHostFile = "hostfile.txt";
} // namespace

TForm1::TForm1(QWidget* parent) : QMainWindow(parent)
{
    registerVexTrendClass();
    const HandlerTable handlers = handlerTable();
    const auto onCreate = FormReader::read(this, resources::windowDescription(QStringLiteral("TForm1")),
                                           QStringLiteral("TForm1"), FormReader::Mode::Create, handlers);
    bindControls();
    // A single frame with a minimise button and no maximise button; the layout is fixed.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    ComboBox1->setFocus();
    if (onCreate)
        onCreate(this);
}

TForm1::~TForm1()
{
    // No completion may reach this window once it is gone.
    stopAllWorkers();
}

template <class T>
T* TForm1::control(const char* name)
{
    T* c = findChild<T*>(QString::fromLatin1(name));
    if (!c)
        throw EResourceError(QStringLiteral("TForm1: control '%1' is missing").arg(QLatin1String(name)));
    return c;
}

HandlerTable TForm1::handlerTable()
{
    HandlerTable h;
    h.add(QStringLiteral("FormCreate"), this, &TForm1::FormCreate);
    h.add(QStringLiteral("doExitClick"), this, &TForm1::doExitClick);
    h.add(QStringLiteral("Alwaysontop1Click"), this, &TForm1::Alwaysontop1Click);
    h.add(QStringLiteral("PageControl1Change"), this, &TForm1::PageControl1Change);
    h.add(QStringLiteral("ComboBox1Change"), this, &TForm1::ComboBox1Change);
    h.add(QStringLiteral("ComboBox1Change2"), this, &TForm1::ComboBox1Change2);
    h.add(QStringLiteral("doPingClick"), this, &TForm1::doPingClick);
    h.add(QStringLiteral("CheckBox1Click"), this, &TForm1::CheckBox1Click);
    h.add(QStringLiteral("Button1Click"), this, &TForm1::Button1Click);
    h.add(QStringLiteral("Button2Click"), this, &TForm1::Button2Click);
    h.add(QStringLiteral("TrackBar1Change"), this, &TForm1::TrackBar1Change);
    h.add(QStringLiteral("TrackBar2Change"), this, &TForm1::TrackBar2Change);
    h.add(QStringLiteral("TrackBar3Change"), this, &TForm1::TrackBar3Change);
    h.add(QStringLiteral("CheckBox5Click"), this, &TForm1::CheckBox5Click);
    h.add(QStringLiteral("Button3Click"), this, &TForm1::Button3Click);
    h.add(QStringLiteral("Timer2Timer"), this, &TForm1::Timer2Timer);
    h.add(QStringLiteral("Timer3Timer"), this, &TForm1::Timer3Timer);
    h.add(QStringLiteral("Button4Click"), this, &TForm1::Button4Click);
    h.add(QStringLiteral("TrackBar4Change"), this, &TForm1::TrackBar4Change);
    h.add(QStringLiteral("CheckBox3Click"), this, &TForm1::CheckBox3Click);
    h.add(QStringLiteral("Button5Click"), this, &TForm1::Button5Click);
    h.add(QStringLiteral("Button6Click"), this, &TForm1::Button6Click);
    h.add(QStringLiteral("Button7Click"), this, &TForm1::Button7Click);
    h.add(QStringLiteral("Button8Click"), this, &TForm1::Button8Click);
    h.add(QStringLiteral("Timer4Timer"), this, &TForm1::Timer4Timer);
    h.add(QStringLiteral("TrackBar5Change"), this, &TForm1::TrackBar5Change);
    h.add(QStringLiteral("RadioButton4Click"), this, &TForm1::RadioButton4Click);
    h.add(QStringLiteral("RadioButton5Click"), this, &TForm1::RadioButton5Click);
    h.add(QStringLiteral("RadioButton6Click"), this, &TForm1::RadioButton6Click);
    h.add(QStringLiteral("RadioButton7Click"), this, &TForm1::RadioButton7Click);
    h.add(QStringLiteral("RadioButton8Click"), this, &TForm1::RadioButton8Click);
    h.add(QStringLiteral("CheckBox7Click"), this, &TForm1::CheckBox7Click);
    h.add(QStringLiteral("Line1Click"), this, &TForm1::Line1Click);
    h.add(QStringLiteral("Filled1Click"), this, &TForm1::Filled1Click);
    h.add(QStringLiteral("Bar1Click"), this, &TForm1::Bar1Click);
    h.add(QStringLiteral("Scatter1Click"), this, &TForm1::Scatter1Click);
    h.add(QStringLiteral("N3D1Click"), this, &TForm1::N3D1Click);
    h.add(QStringLiteral("Resetgraph1Click"), this, &TForm1::Resetgraph1Click);
    h.add(QStringLiteral("Producthomepage1Click"), this, &TForm1::Producthomepage1Click);
    h.add(QStringLiteral("About3Click"), this, &TForm1::About3Click);
    return h;
}

void TForm1::bindControls()
{
    Label20 = control<QLabel>("Label20");
    ComboBox1 = control<QComboBox>("ComboBox1");
    Edit3 = control<QLineEdit>("Edit3");
    CheckBox6 = control<QCheckBox>("CheckBox6");
    Edit4 = control<QLineEdit>("Edit4");
    Memo3 = control<TMemo>("Memo3");
    Memo5 = control<TMemo>("Memo5");
    doExit = control<QPushButton>("doExit");
    PageControl1 = control<QTabWidget>("PageControl1");
    TabSheet1 = control<QWidget>("TabSheet1");
    TabSheet2 = control<QWidget>("TabSheet2");
    TabSheet3 = control<QWidget>("TabSheet3");
    TabSheet4 = control<QWidget>("TabSheet4");
    MainMenu1 = control<QMenuBar>("MainMenu1");
    Alwaysontop1 = control<QAction>("Alwaysontop1");
    Line1 = control<QAction>("Line1");
    Filled1 = control<QAction>("Filled1");
    Bar1 = control<QAction>("Bar1");
    Scatter1 = control<QAction>("Scatter1");
    N3D1 = control<QAction>("N3D1");
    Timer1 = control<QTimer>("Timer1");
    Timer2 = control<QTimer>("Timer2");
    Timer3 = control<QTimer>("Timer3");
    Timer4 = control<QTimer>("Timer4");

    LogWindow = control<TMemo>("LogWindow");
    Label18 = control<QLabel>("Label18");
    Label17 = control<QLabel>("Label17");
    Label5 = control<QLabel>("Label5");
    TrackBar1 = control<QSlider>("TrackBar1");
    TrackBar2 = control<QSlider>("TrackBar2");
    TrackBar3 = control<QSlider>("TrackBar3");
    Edit1 = control<QLineEdit>("Edit1");
    CheckBox1 = control<QCheckBox>("CheckBox1");
    CheckBox2 = control<QCheckBox>("CheckBox2");
    CheckBox5 = control<QCheckBox>("CheckBox5");
    doPing1 = control<QPushButton>("doPing1");
    Button1 = control<QPushButton>("Button1");
    Button2 = control<QPushButton>("Button2");
    VexTrend2 = control<TVexTrend>("VexTrend2");
    Label11 = control<QLabel>("Label11");
    Label12 = control<QLabel>("Label12");
    Label13 = control<QLabel>("Label13");
    Label14 = control<QLabel>("Label14");

    VexTrend1 = control<TVexTrend>("VexTrend1");
    Label26 = control<QLabel>("Label26");
    Label27 = control<QLabel>("Label27");
    TrackBar4 = control<QSlider>("TrackBar4");
    Label32 = control<QLabel>("Label32");
    StringGrid1 = control<QTableWidget>("StringGrid1");
    Memo1 = control<TMemo>("Memo1");
    Memo2 = control<TMemo>("Memo2");
    CheckBox3 = control<QCheckBox>("CheckBox3");
    Button3 = control<QPushButton>("Button3");
    Edit2 = control<QLineEdit>("Edit2");

    Edit5 = control<QLineEdit>("Edit5");
    Label55 = control<QLabel>("Label55");
    TrackBar5 = control<QSlider>("TrackBar5");
    RadioButton1 = control<QRadioButton>("RadioButton1");
    RadioButton2 = control<QRadioButton>("RadioButton2");
    RadioButton3 = control<QRadioButton>("RadioButton3");
    CheckBox7 = control<QCheckBox>("CheckBox7");
    RadioButton4 = control<QRadioButton>("RadioButton4");
    RadioButton5 = control<QRadioButton>("RadioButton5");
    GroupBox2 = control<QGroupBox>("GroupBox2");
    RadioButton6 = control<QRadioButton>("RadioButton6");
    RadioButton7 = control<QRadioButton>("RadioButton7");
    RadioButton8 = control<QRadioButton>("RadioButton8");
    Label42 = control<QLabel>("Label42");
    Label56 = control<QLabel>("Label56");
    Label47 = control<QLabel>("Label47");
    Button6 = control<QPushButton>("Button6");
    Button7 = control<QPushButton>("Button7");
    Button8 = control<QPushButton>("Button8");
    CheckBox8 = control<QCheckBox>("CheckBox8");
    Memo4 = control<TMemo>("Memo4");
    VexTrend3 = control<TVexTrend>("VexTrend3");
    VexTrend4 = control<TVexTrend>("VexTrend4");
    Label33 = control<QLabel>("Label33");
    Label34 = control<QLabel>("Label34");
    Label35 = control<QLabel>("Label35");
    Label36 = control<QLabel>("Label36");
    Label37 = control<QLabel>("Label37");
    Label38 = control<QLabel>("Label38");
    Label49 = control<QLabel>("Label49");
    Label50 = control<QLabel>("Label50");
    Label51 = control<QLabel>("Label51");
    Label52 = control<QLabel>("Label52");
}

QString TForm1::dataPath(const QString& fileName) const
{
    return programdir::dataFolder() + fileName;
}

void TForm1::FormCreate(QObject*)
{
    languageStartupStep();
    // Layout of the Ping and Analyse tabs.
    PageControl1->setGeometry(PageControl1->x(), 93, PageControl1->width(), 420);
    Memo4->Clear();
    PageControl1->setCurrentWidget(TabSheet1);
    // The window opens also when the history cannot be kept; the operator is told why.
    TApplication::instance()->guarded([this] { loadHostHistory(); });
    registry::openOrCreateMachineKey(QStringLiteral("\\Software\\Ostrevane\\Quillnet\\"));
    // The graph's divisions act only on a change: go through 2 so that 100 always takes hold.
    VexTrend2->setDivisions(2);
    VexTrend2->setDivisions(100);
    VexTrend2->setGridXstep(int(Round(600.0L / VexTrend2->Divisions())));
    setGridHeaders();
    RadioButton5Click(RadioButton5);
}

void TForm1::doExitClick(QObject*)
{
    TApplication::instance()->Terminate();
}

void TForm1::Alwaysontop1Click(QObject*)
{
    const bool topmost = !Alwaysontop1->isChecked();
    const QRect frame = geometry();
    const bool shown = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, topmost);
    // Changing the flag re-creates the native window; keep its place and size.
    setGeometry(frame);
    if (shown)
        show();
    Alwaysontop1->setChecked(topmost);
}

void TForm1::PageControl1Change(QObject*)
{
    const bool copyTab = PageControl1->currentWidget() == TabSheet3;
    for (QWidget* w : {static_cast<QWidget*>(ComboBox1), static_cast<QWidget*>(Label20),
                       static_cast<QWidget*>(CheckBox6), static_cast<QWidget*>(Edit4)})
        w->setVisible(!copyTab);
    if (copyTab)
        PageControl1->setGeometry(PageControl1->x(), 40, PageControl1->width(), 473);
    else
        PageControl1->setGeometry(PageControl1->x(), 93, PageControl1->width(), 420);
}

// ---- host history

void TForm1::loadHostHistory()
{
    const QString path = dataPath(QString::fromLatin1(kHostFile));
    if (!textfile::exists(path)) {
        textfile::createIfMissing(path);
        return;
    }
    const QStringList lines = textfile::readFirstLines(path, kMaxHosts);
    ComboBox1->addItems(lines);
    if (ComboBox1->count() > 0) {
        ComboBox1->setCurrentIndex(0);
        ComboBox1Change(ComboBox1);
    }
}

void TForm1::ComboBox1Change(QObject*)
{
    // An item counts as selected only while the text shows it; typed text selects nothing.
    const int index = ComboBox1->currentIndex();
    if (index >= 0 && ComboBox1->itemText(index) == ComboBox1->currentText())
        Edit3->setText(ComboBox1->itemText(index));
}

void TForm1::ComboBox1Change2(QObject*)
{
    Edit3->setText(ComboBox1->currentText());
}

void TForm1::newhost()
{
    QCollator collator(QLocale::system());
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    const QString host = Edit3->text();
    for (int i = 0; i < ComboBox1->count(); ++i) {
        if (collator.compare(host, ComboBox1->itemText(i)) == 0)
            return;
    }
    // Inserting and trimming items must not replace what the operator typed.
    const QString typed = ComboBox1->currentText();
    ComboBox1->insertItem(0, typed);
    while (ComboBox1->count() > kMaxHosts)
        ComboBox1->removeItem(kMaxHosts);
    ComboBox1->setEditText(typed);
    QStringList items;
    for (int i = 0; i < ComboBox1->count(); ++i)
        items += ComboBox1->itemText(i);
    textfile::rewriteLines(dataPath(QString::fromLatin1(kHostFile)), items);
}

// ---- graph menu

void TForm1::setGraphStyle(QAction* checked, int style)
{
    for (QAction* a : {Line1, Filled1, Bar1, Scatter1, N3D1})
        a->setChecked(a == checked);
    const auto s = static_cast<TVexTrend::TTrendStyle>(style);
    VexTrend2->setStyle(s);
    VexTrend3->setStyle(s);
    VexTrend4->setStyle(s);
}

void TForm1::Line1Click(QObject*)
{
    setGraphStyle(Line1, TVexTrend::tsLine);
}

void TForm1::Filled1Click(QObject*)
{
    setGraphStyle(Filled1, TVexTrend::tsFilled);
}

void TForm1::Bar1Click(QObject*)
{
    setGraphStyle(Bar1, TVexTrend::tsBar);
}

void TForm1::Scatter1Click(QObject*)
{
    setGraphStyle(Scatter1, TVexTrend::tsScatter);
}

void TForm1::N3D1Click(QObject*)
{
    setGraphStyle(N3D1, TVexTrend::ts3D);
}

void TForm1::Resetgraph1Click(QObject*)
{
    Memo3->Clear();
    m_pingTimes.clear();
    VexTrend2->ClearValues();
    VexTrend2->ClearTwinValues();
    VexTrend1->ClearValues();
    VexTrend3->ClearValues();
    VexTrend3->ClearTwinValues();
    VexTrend4->ClearValues();
    VexTrend4->ClearTwinValues();
}

// ---- help menu (the About window is created by the program entry)

static TForm2& existingAboutWindow()
{
    TForm2* about = aboutWindow();
    if (!about)
        throw EResourceError(QStringLiteral("The About window has not been created"));
    return *about;
}

void TForm1::Producthomepage1Click(QObject*)
{
    openProductHomePage(existingAboutWindow());
}

void TForm1::About3Click(QObject*)
{
    showAboutWindow(existingAboutWindow());
}

void TForm1::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    // The window opens centred on its screen, the first time it is shown.
    if (!m_placed) {
        m_placed = true;
        if (const QScreen* s = screen())
            move(s->availableGeometry().center() - QRect(QPoint(), frameGeometry().size()).center());
    }
}

void TForm1::closeEvent(QCloseEvent* event)
{
    // Closing the main window ends the program, also while the About window is open.
    QMainWindow::closeEvent(event);
    TApplication::instance()->Terminate();
}
