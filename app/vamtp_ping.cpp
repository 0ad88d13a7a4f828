// The Ping tab: single and continuous pinging, and the handling of every finished echo.

#include "app/copymath.h"
#include "app/pinglog.h"
#include "app/pingstatsrow.h"
#include "app/scaleview.h"
#include "app/vamtp.h"
#include "controls/VexTrend.h"
#include "metrics/registry.h"
#include "net/PingThrd.h"
#include "platform/application.h"
#include "platform/conv.h"
#include "platform/errors.h"
#include "platform/memo.h"
#include "platform/strings.h"
#include "platform/textfile.h"

#include <QCheckBox>
#include <QDateTime>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QTabWidget>
#include <QTimer>

namespace {
constexpr int kAverageWindow = 100;
} // namespace

void TForm1::stopContinuousPinging()
{
    Button1->raise();
    Button2->lower();
    CheckBox1->setChecked(false);
}

TPingThread* TForm1::startWorker(int32_t dataSize, bool resolveName)
{
    // Read every input first, so that a bad value leaves no worker behind.
    const QString host = Edit3->text();
    const int32_t timeOut = StrToInt(Label17->text()) * 1000;
    const int32_t ttl = StrToInt(Label5->text());
    auto* worker = new TPingThread();
    appendWorkerId(worker->ThreadID());
    worker->FreeOnTerminate = true;
    worker->OnTerminate = [this](QObject* sender) { PingCompleted(sender); };
    worker->HostText = host;
    worker->TimeOutMs = timeOut;
    worker->TimeToLive = ttl;
    worker->ResolveName = resolveName;
    worker->DataSize = dataSize;
    worker->Resume();
    return worker;
}

void TForm1::doPingClick(QObject*)
{
    newhost();
    int32_t size = 0;
    try {
        size = StrToInt(Edit1->text());
    } catch (const EConvertError&) {
        // Stop the ticks too, or every tick would raise the same message again.
        stopContinuousPinging();
        throw;
    }
    if (!pinglog::validDataSize(size)) {
        // Continuous pinging must not look as if it ran while nothing is ever sent.
        stopContinuousPinging();
        throw TmError(StringTable::current().format(StringId::InvalidDataSize, {Edit1->text()}));
    }
    if (CheckBox1->isChecked()) {
        Button2->raise();
        Button1->lower();
    }
    if (Edit3->text() != m_pingStatsHost)
        restartPingStatistics(Edit3->text());
    m_pingWorkers.insert(startWorker(size, CheckBox6->isChecked()));
}

void TForm1::CheckBox1Click(QObject*)
{
    Timer1->setInterval(StrToInt(Label18->text()) * 1000);
    if (CheckBox1->isChecked()) {
        Timer1->start();
        doPingClick(CheckBox1);
    } else {
        Timer1->stop();
    }
}

void TForm1::Button1Click(QObject*)
{
    // The box's handler starts the pinging. It is called here, not through the box's signal,
    // so that a first ping that fails (a bad data size) ends this handler too: continuous
    // pinging did not start then.
    if (!CheckBox1->isChecked()) {
        {
            const QSignalBlocker blocker(CheckBox1);
            CheckBox1->setChecked(true);
        }
        CheckBox1Click(CheckBox1);
    }
    Button2->raise();
    Button1->lower();
}

void TForm1::Button2Click(QObject*)
{
    CheckBox1->setChecked(false);
    Button1->raise();
    Button2->lower();
}

void TForm1::TrackBar1Change(QObject*)
{
    Label5->setText(QString::number(TrackBar1->value()));
}

void TForm1::TrackBar2Change(QObject*)
{
    Label17->setText(QString::number(TrackBar2->value()));
    // The interval always exceeds the time-out; a slider pushed up reports its own change.
    TrackBar3->setMinimum(TrackBar2->value() + 1);
}

void TForm1::TrackBar3Change(QObject*)
{
    Label18->setText(QString::number(TrackBar3->value()));
    Timer1->setInterval(TrackBar3->value() * 1000);
}

void TForm1::CheckBox5Click(QObject*)
{
    VexTrend2->setOptions(CheckBox5->isChecked() ? TVexTrend::TTrendOptions(TVexTrend::toTwin)
                                                 : TVexTrend::TTrendOptions());
}

void TForm1::PingCompleted(QObject* Sender)
{
    auto* worker = qobject_cast<TPingThread*>(Sender);
    if (!worker)
        return;
    // Who sent the echo decides where it is recorded, not the tab that is shown now. A poll
    // of an earlier analysis run belongs to neither and is dropped.
    const bool ofPingTab = m_pingWorkers.remove(worker);
    const auto runEntry = m_runWorkers.constFind(worker);
    const bool ofRun = runEntry != m_runWorkers.constEnd();
    const int32_t runSize = ofRun ? *runEntry : 0;
    if (ofRun)
        m_runWorkers.erase(runEntry);
    if (TApplication::instance()->Terminated())
        return;

    // The original disabled "Ein Ping" while a result was handled; nothing can run in between
    // here, so only the re-enabling after it is kept (it ends an analysis run's lock on the
    // button), which spares a repaint of the tab behind the button at every result.
    try {
        if (ofPingTab)
            pingBranch(worker);
        else if (ofRun)
            analysisBranch(worker, runSize);
    } catch (const TmError& e) {
        // Shown once this completion is over: a modal box here would run the next
        // completions inside this one.
        TApplication::instance()->ShowExceptionLater(e.text());
    }
    doPing1->setEnabled(true);
}

void TForm1::restartPingStatistics(const QString& host)
{
    m_pingStatsHost = host;
    m_pingStats.reset();
    showPingStatistics();
}

void TForm1::showPingStatistics()
{
    pingstatsrow::show(Label57, Label58, m_pingStats.snapshot());
}

void TForm1::countPingResult(const TPingThread* worker)
{
    if (m_metrics) {
        if (const QString host = metricsHost(worker->HostText); !host.isEmpty())
            m_metrics->recordPing(host, *worker);
    }
    // A reply still coming from the host pinged before belongs to statistics that are gone.
    if (worker->HostText != m_pingStatsHost)
        return;
    const auto now = PingStatistics::Clock::now();
    // A failure is a loss, whatever its reason; it never passes for a very fast reply.
    if (worker->EchoCount != 0)
        m_pingStats.addReply(worker->RoundTripUs, now);
    else
        m_pingStats.addLoss(now);
    showPingStatistics();
}

void TForm1::pingBranch(TPingThread* worker)
{
    countPingResult(worker);
    const QString stamp = pinglog::timeStamp(QDateTime::currentDateTime());
    QString line;
    if (worker->EchoCount != 0) {
        const auto rtt = int32_t(std::min<uint32_t>(worker->RoundTripMs, INT32_MAX));
        VexTrend2->AddValue(rtt);
        line = pinglog::successLine(stamp, worker->HostText, worker->ReplyDataSize,
                                    worker->RoundTripMs);
        addLogLine(LogWindow, line);
        scaleview::show(VexTrend2, {Label11, Label12, Label13, Label14},
                        copymath::timeScaleLabels(VexTrend2->MaxVal()));
        // The average looks at the newest hundred only; older times are not kept at all.
        // A failed echo never enters it: it would pass for a very fast one.
        m_pingTimes.append(rtt);
        if (m_pingTimes.size() > kAverageWindow)
            m_pingTimes.remove(0, m_pingTimes.size() - kAverageWindow);
        if (CheckBox5->isChecked()) {
            if (const auto average = copymath::listAverage(m_pingTimes))
                VexTrend2->AddTwinValue(*average);
        }
        if (CheckBox6->isChecked())
            Edit4->setText(worker->ReplyHostName + QStringLiteral(", ") + worker->ReplyAddress);
        else
            Edit4->clear();
    } else {
        line = pinglog::failureLine(stamp, worker->HostText, worker->ErrorText);
        addLogLine(LogWindow, line);
        if (line.contains(QLatin1String("Bad destination"), Qt::CaseInsensitive))
            Button2Click(worker);
        VexTrend2->AddValue(0);
    }
    // The line is in the window and on the graph before the file is touched, so a file that
    // cannot be written loses nothing but its own copy.
    if (CheckBox2->isChecked())
        textfile::appendLine(dataPath(pinglog::pingLogName(Edit3->text())), line);
}
