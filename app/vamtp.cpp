#include "app/vamtp.h"

#include "app/Unit2.h"
#include "app/pinglog.h"
#include "app/pingstatsrow.h"
#include "controls/VexTrend.h"
#include "metrics/registry.h"
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
constexpr int kLogLimit = 1000; // a log window with more lines than this is trimmed ...
constexpr int kLogKeep = 999;   // ... to this many before its next line
const char* const kHostFile = "hostfile.txt";
} // namespace

TForm1::TForm1(QWidget* parent, metrics::MetricsRegistry* metrics)
    : QMainWindow(parent), m_metrics(metrics)
{
    registerVexTrendClass();
    const HandlerTable handlers = handlerTable();
    const auto onCreate =
        FormReader::read(this, resources::windowDescription(QStringLiteral("TForm1")),
                         QStringLiteral("TForm1"), FormReader::Mode::Create, handlers);
    bindControls(this);
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
    historyChanged();
    registry::openOrCreateMachineKey(QStringLiteral("\\Software\\Ostrevane\\Quillnet\\"));
    // The graph's divisions act only on a change: go through 2 so that 100 always takes hold.
    VexTrend2->setDivisions(2);
    VexTrend2->setDivisions(100);
    VexTrend2->setGridXstep(int(Round(600.0L / VexTrend2->Divisions())));
    setGridHeaders();
    RadioButton5Click(RadioButton5);
    showPingStatistics();
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
    if (historyIndex(Edit3->text()) >= 0)
        return;
    // Inserting and trimming items must not replace what the operator typed.
    const QString typed = ComboBox1->currentText();
    ComboBox1->insertItem(0, typed);
    while (ComboBox1->count() > kMaxHosts)
        ComboBox1->removeItem(kMaxHosts);
    ComboBox1->setEditText(typed);
    historyChanged();
    textfile::rewriteLines(dataPath(QString::fromLatin1(kHostFile)), history());
}

QStringList TForm1::history() const
{
    QStringList hosts;
    for (int i = 0; i < ComboBox1->count(); ++i)
        hosts += ComboBox1->itemText(i);
    return hosts;
}

int TForm1::historyIndex(const QString& host) const
{
    // The same host in another case is no new entry.
    QCollator collator(QLocale::system());
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    for (int i = 0; i < ComboBox1->count(); ++i) {
        if (collator.compare(host, ComboBox1->itemText(i)) == 0)
            return i;
    }
    return -1;
}

void TForm1::historyChanged()
{
    // A host is a label only while it is in the history: a typo does not stay a series.
    if (m_metrics)
        m_metrics->restrictHosts(history());
}

QString TForm1::metricsHost(const QString& host) const
{
    const int i = historyIndex(host);
    return i >= 0 ? ComboBox1->itemText(i) : QString();
}

// ---- log windows

void TForm1::addLogLine(TMemo* memo, const QString& line)
{
    if (memo->Count() > kLogLimit)
        memo->KeepLast(kLogKeep);
    memo->Add(line);
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
    m_pingStats.reset();
    showPingStatistics();
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
            move(s->availableGeometry().center() -
                 QRect(QPoint(), frameGeometry().size()).center());
    }
}

void TForm1::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    // The window was re-read from another language module: the row takes its captions.
    if (event->type() == QEvent::LanguageChange && Label57)
        showPingStatistics();
}

void TForm1::closeEvent(QCloseEvent* event)
{
    // Closing the main window ends the program, also while the About window is open.
    QMainWindow::closeEvent(event);
    TApplication::instance()->Terminate();
}
