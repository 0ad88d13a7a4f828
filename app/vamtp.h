#pragma once
// The main window: host entry, the Ping, Analyse and VamtKopie tabs, menu and timers.
// Its controls and their stored settings come from the window description TForm1; the
// handlers named there are the members below. The window's code is split by tab:
// vamtp.cpp (frame, start-up, host history, graph menu), vamtp_ping.cpp, vamtp_analysis.cpp,
// vamtp_copy.cpp.

#include "TForm1Glue.h"
#include "lang/reinit.h"
#include "net/PingStats.h"
#include "platform/formreader.h"

#include <QHash>
#include <QList>
#include <QMainWindow>
#include <QSet>
#include <QStringList>

class QAction;
class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QMenuBar;
class QPushButton;
class QRadioButton;
class QSlider;
class QTabWidget;
class QTableWidget;
class QTimer;
class QWidget;
class LineTips;
class TMemo;
class TPingThread;
class TVexTrend;
namespace metrics {
class MetricsRegistry;
}
namespace testfiles {
struct TestFile;
}
namespace analysis {
struct Column;
}

class TForm1 : public QMainWindow, public ReloadableForm, public TForm1Glue
{
    Q_OBJECT
public:
    // With metrics, the window counts what it measures there (nothing else changes); hosts are
    // labels only while they are in the host history.
    explicit TForm1(QWidget* parent = nullptr, metrics::MetricsRegistry* metrics = nullptr);
    ~TForm1() override;

    // Handlers bound by the window description; each takes the control that raised it.
    void FormCreate(QObject* Sender);
    void doExitClick(QObject* Sender);
    void Alwaysontop1Click(QObject* Sender);
    void PageControl1Change(QObject* Sender);
    void ComboBox1Change(QObject* Sender);
    void ComboBox1Change2(QObject* Sender);

    void doPingClick(QObject* Sender);
    void CheckBox1Click(QObject* Sender);
    void Button1Click(QObject* Sender);
    void Button2Click(QObject* Sender);
    void TrackBar1Change(QObject* Sender);
    void TrackBar2Change(QObject* Sender);
    void TrackBar3Change(QObject* Sender);
    void CheckBox5Click(QObject* Sender);
    void PingCompleted(QObject* Sender);

    void Button3Click(QObject* Sender);
    void Timer2Timer(QObject* Sender);
    void Timer3Timer(QObject* Sender);
    void Button4Click(QObject* Sender);
    void TrackBar4Change(QObject* Sender);
    void CheckBox3Click(QObject* Sender);

    void Button5Click(QObject* Sender);
    void Button6Click(QObject* Sender);
    void Button7Click(QObject* Sender);
    void Button8Click(QObject* Sender);
    void Timer4Timer(QObject* Sender);
    void TrackBar5Change(QObject* Sender);
    void RadioButton4Click(QObject* Sender);
    void RadioButton5Click(QObject* Sender);
    void RadioButton6Click(QObject* Sender);
    void RadioButton7Click(QObject* Sender);
    void RadioButton8Click(QObject* Sender);
    void CheckBox7Click(QObject* Sender);

    void Line1Click(QObject* Sender);
    void Filled1Click(QObject* Sender);
    void Bar1Click(QObject* Sender);
    void Scatter1Click(QObject* Sender);
    void N3D1Click(QObject* Sender);
    void Resetgraph1Click(QObject* Sender);

    void Producthomepage1Click(QObject* Sender);
    void About3Click(QObject* Sender);

    // Adds the current host to the history if it is new and rewrites the history file.
    void newhost();

    // The round-trip times that the Ping tab averages, oldest first; the copy tab keeps its
    // own times in Memo3.
    const QList<int64_t>& pingTimes() const { return m_pingTimes; }

    // The statistics of the Ping tab's results for one host: the host last pinged from the
    // Ping tab. They restart when another host is pinged and with "Reset graph".
    const PingStatistics& pingStatistics() const { return m_pingStats; }
    const QString& pingStatisticsHost() const { return m_pingStatsHost; }

    // The handlers the window description names; also used to re-read it.
    HandlerTable handlerTable() override { return descriptionHandlers(this); }

protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void loadHostHistory();
    QStringList history() const;
    int historyIndex(const QString& host) const;
    void historyChanged();
    QString metricsHost(const QString& host) const;
    void setGraphStyle(QAction* checked, int style);
    // A line for a log window (LogWindow, Memo4), its oldest lines trimmed first.
    void addLogLine(TMemo* memo, const QString& line);
    QString dataPath(const QString& fileName) const;
    TPingThread* startWorker(int32_t dataSize, bool resolveName);
    void stopContinuousPinging();
    void pingBranch(TPingThread* worker);
    void countPingResult(const TPingThread* worker);
    void restartPingStatistics(const QString& host);
    void showPingStatistics();
    void analysisBranch(TPingThread* worker, int32_t size);
    void recordAnalysis(int32_t dataSize, const analysis::Column& column);
    void setGridHeaders();
    void setCell(int col, int row, const QString& text, const QString& tip = QString());
    void chooseUnit(const char* text, const char* divisor);
    const testfiles::TestFile& checkedTestFile() const;
    void feedAverage(TMemo* list, TVexTrend* graph);
    void showCopyReason(const QString& line, const QString& reason);
    QString cell(int col, int row) const;

    // Every result is recorded by what sent it, whichever tab is shown when it arrives: the
    // workers the Ping tab started, and those of the analysis run going on, with their data
    // sizes; the size of every raw poll line in Memo1.
    QSet<const QObject*> m_pingWorkers;
    QHash<const QObject*, int32_t> m_runWorkers;
    QList<int32_t> m_pollSizes;
    QList<int64_t> m_pingTimes;
    PingStatistics m_pingStats;
    QString m_pingStatsHost;
    LineTips* m_copyTips = nullptr; // why copies failed, on their lines of Memo4
    metrics::MetricsRegistry* const m_metrics;
    bool m_placed = false;
};
