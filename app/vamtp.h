#pragma once
// The main window: host entry, the Ping, Analyse and VamtKopie tabs, menu and timers.
// Its controls and their stored settings come from the window description TForm1; the
// handlers named there are the members below. The window's code is split by tab:
// vamtp.cpp (frame, start-up, host history, graph menu), vamtp_ping.cpp, vamtp_analysis.cpp,
// vamtp_copy.cpp.

#include "lang/reinit.h"
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
namespace testfiles {
struct TestFile;
}

class TForm1 : public QMainWindow, public ReloadableForm
{
    Q_OBJECT
public:
    explicit TForm1(QWidget* parent = nullptr);
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

    // The handler table the window description is bound with; also used to re-read it.
    HandlerTable handlerTable() override;

    // Controls named in the description.
    QLabel* Label20;
    QComboBox* ComboBox1;
    QLineEdit* Edit3;
    QCheckBox* CheckBox6;
    QLineEdit* Edit4;
    TMemo* Memo3;
    TMemo* Memo5;
    QPushButton* doExit;
    QTabWidget* PageControl1;
    QWidget* TabSheet1;
    QWidget* TabSheet2;
    QWidget* TabSheet3;
    QWidget* TabSheet4;
    QMenuBar* MainMenu1;
    QAction* Alwaysontop1;
    QAction* Line1;
    QAction* Filled1;
    QAction* Bar1;
    QAction* Scatter1;
    QAction* N3D1;
    QTimer* Timer1;
    QTimer* Timer2;
    QTimer* Timer3;
    QTimer* Timer4;

    // Ping
    TMemo* LogWindow;
    QLabel* Label18;
    QLabel* Label17;
    QLabel* Label5;
    QSlider* TrackBar1;
    QSlider* TrackBar2;
    QSlider* TrackBar3;
    QLineEdit* Edit1;
    QCheckBox* CheckBox1;
    QCheckBox* CheckBox2;
    QCheckBox* CheckBox5;
    QPushButton* doPing1;
    QPushButton* Button1;
    QPushButton* Button2;
    TVexTrend* VexTrend2;
    QLabel* Label11;
    QLabel* Label12;
    QLabel* Label13;
    QLabel* Label14;

    // Analyse
    TVexTrend* VexTrend1;
    QLabel* Label26;
    QLabel* Label27;
    QSlider* TrackBar4;
    QLabel* Label32;
    QTableWidget* StringGrid1;
    TMemo* Memo1;
    TMemo* Memo2;
    QCheckBox* CheckBox3;
    QPushButton* Button3;
    QLineEdit* Edit2;

    // VamtKopie
    QLineEdit* Edit5;
    QLabel* Label55;
    QSlider* TrackBar5;
    QRadioButton* RadioButton1;
    QRadioButton* RadioButton2;
    QRadioButton* RadioButton3;
    QCheckBox* CheckBox7;
    QRadioButton* RadioButton4;
    QRadioButton* RadioButton5;
    QGroupBox* GroupBox2;
    QRadioButton* RadioButton6;
    QRadioButton* RadioButton7;
    QRadioButton* RadioButton8;
    QLabel* Label42;
    QLabel* Label56;
    QLabel* Label47;
    QPushButton* Button6;
    QPushButton* Button7;
    QPushButton* Button8;
    QCheckBox* CheckBox8;
    TMemo* Memo4;
    TVexTrend* VexTrend3;
    TVexTrend* VexTrend4;
    QLabel* Label33;
    QLabel* Label34;
    QLabel* Label35;
    QLabel* Label36;
    QLabel* Label37;
    QLabel* Label38;
    QLabel* Label49;
    QLabel* Label50;
    QLabel* Label51;
    QLabel* Label52;

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    template <class T> T* control(const char* name);
    void bindControls();
    void loadHostHistory();
    void setGraphStyle(QAction* checked, int style);
    void addLogLine(TMemo* memo, const QString& line);
    QString dataPath(const QString& fileName) const;
    TPingThread* startWorker(int32_t dataSize, bool resolveName);
    void stopContinuousPinging();
    void pingBranch(TPingThread* worker);
    void analysisBranch(TPingThread* worker, int32_t size);
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
    LineTips* m_copyTips = nullptr; // why copies failed, on their lines of Memo4
    bool m_placed = false;
};
