// The Analyse tab: the seven-size run and its interpretation.

#include "app/analysis.h"
#include "app/pinglog.h"
#include "app/vamtp.h"
#include "controls/VexTrend.h"
#include "metrics/registry.h"
#include "net/PingThrd.h"
#include "platform/application.h"
#include "platform/conv.h"
#include "platform/memo.h"
#include "platform/rounding.h"
#include "platform/textfile.h"

#include <QCheckBox>
#include <QDateTime>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>
#include <QTableWidget>
#include <QThread>
#include <QTimer>

namespace {
constexpr int kTotalRow = 11;
constexpr int kAverageRow = 12;
} // namespace

void TForm1::setCell(int col, int row, const QString& text, const QString& tip)
{
    QTableWidgetItem* item = StringGrid1->item(row, col);
    if (!item) {
        item = new QTableWidgetItem;
        item->setFlags(Qt::ItemIsEnabled);
        const bool fixed = row < StringGrid1->property("fixedRows").toInt() ||
                           col < StringGrid1->property("fixedCols").toInt();
        if (fixed)
            item->setBackground(StringGrid1->palette().button());
        else
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        StringGrid1->setItem(row, col, item);
    }
    item->setText(text);
    item->setToolTip(tip);
}

QString TForm1::cell(int col, int row) const
{
    const QTableWidgetItem* item = StringGrid1->item(row, col);
    return item ? item->text() : QString();
}

void TForm1::setGridHeaders()
{
    for (int c = 0; c < int(analysis::kSteps.size()); ++c)
        setCell(c + 1, 0, QString::fromLatin1(analysis::kSteps[c].header));
    for (int r = 1; r <= analysis::kPollsPerStep; ++r)
        setCell(0, r, QStringLiteral("%1. poll in ms").arg(r));
    setCell(0, kTotalRow, QStringLiteral("Total in ms"));
    setCell(0, kAverageRow, QStringLiteral("Average in ms"));
    setCell(0, 0, QString());
}

void TForm1::Button3Click(QObject*)
{
    newhost();
    Button2Click(Button3);
    for (int r = 1; r < StringGrid1->rowCount(); ++r)
        for (int c = 1; c < StringGrid1->columnCount(); ++c)
            setCell(c, r, QString());
    for (int c = 1; c < StringGrid1->columnCount(); ++c)
        setCell(c, 0, cell(c, 0));
    StringGrid1->viewport()->update();
    VexTrend1->ClearValues();
    Memo1->Clear();
    Memo2->Clear();
    m_pollSizes.clear();
    // Workers of an earlier run that are still out no longer belong to a run.
    m_runWorkers.clear();
    PageControl1->setEnabled(false);
    TApplication::instance()->setBusyCursor(true);
    Timer1->stop();
    Timer2->start();
    doPing1->setEnabled(false);
}

void TForm1::Timer2Timer(QObject*)
{
    const int step = analysis::stepIndex(Edit2->text());
    if (step < 0)
        return;
    const int32_t size = analysis::kSteps[step].dataSize;
    for (int i = 0; i < analysis::kPollsPerStep; ++i) {
        TPingThread* worker = startWorker(size, false);
        m_runWorkers.insert(worker, size);
        // The pause blocks the window on purpose: polls of one size never overlap.
        const int32_t pause = StrToInt(Label32->text());
        if (pause > 0)
            QThread::msleep(static_cast<unsigned long>(pause) * 1000);
    }
    Edit2->setText(QString::fromLatin1(analysis::kSteps[step].next));
    if (step == int(analysis::kSteps.size()) - 1) {
        Edit2->setText(QStringLiteral("z"));
        Timer2->stop();
        doPing1->setEnabled(true);
        PageControl1->setEnabled(true);
        Timer3->start();
    }
}

void TForm1::TrackBar4Change(QObject*)
{
    Label32->setText(QString::number(TrackBar4->value()));
}

void TForm1::CheckBox3Click(QObject*)
{
    Memo2->setVisible(CheckBox3->isChecked());
}

void TForm1::analysisBranch(TPingThread* worker, int32_t size)
{
    const QString stamp = pinglog::timeStamp(QDateTime::currentDateTime());
    if (worker->EchoCount != 0) {
        Memo1->Add(QString::number(worker->RoundTripMs));
        Memo2->Add(pinglog::successLine(stamp, worker->HostText, worker->ReplyDataSize,
                                        worker->RoundTripMs));
    } else {
        Memo1->Add(pinglog::failureText(worker->HostText, worker->ErrorText));
        Memo2->Add(pinglog::failureLine(stamp, worker->HostText, worker->ErrorText));
    }
    m_pollSizes.append(size);
}

void TForm1::recordAnalysis(int32_t dataSize, const analysis::Column& column)
{
    if (!m_metrics)
        return;
    const QString host = metricsHost(Edit3->text());
    if (host.isEmpty())
        return;
    // The mean of the answered polls, unrounded; no answer at all is no time.
    std::optional<double> seconds;
    if (column.answered > 0)
        seconds = double(column.total) / column.answered / 1000.0;
    m_metrics->recordAnalysis(host, dataSize, seconds);
}

void TForm1::Timer3Timer(QObject*)
{
    Timer3->stop();
    Button4Click(Timer3);
}

void TForm1::Button4Click(QObject*)
{
    TApplication* app = TApplication::instance();
    app->setBusyCursor(true);
    struct CursorBack
    {
        TApplication* app;
        ~CursorBack() { app->setBusyCursor(false); }
    } cursorBack{app};

    analysis::Polls polls{Memo1->lines(), m_pollSizes};
    const auto columns = analysis::takeColumns(polls);
    Memo1->setLines(polls.texts);
    m_pollSizes = polls.sizes;

    // A failed poll shows an empty cell that names its failure; the header, the total and the
    // average tell how many of the size's polls failed.
    for (int c = 0; c < int(columns.size()); ++c) {
        const analysis::Column column = analysis::interpretColumn(columns[c]);
        const QString summary = analysis::failureSummary(column);
        for (int r = 0; r < analysis::kPollsPerStep; ++r)
            setCell(c + 1, r + 1, column.cells[r], column.failures[r]);
        setCell(c + 1, 0, cell(c + 1, 0), summary);
        setCell(c + 1, kTotalRow, QString::number(column.total), summary);
        setCell(c + 1, kAverageRow, QString::number(column.average), summary);
        VexTrend1->AddValue(int32_t(column.average));
        recordAnalysis(analysis::kSteps[c].dataSize, column);
    }
    Label26->setText(QString::number(VexTrend1->MaxVal()));
    Label27->setText(QString::number(Round(static_cast<long double>(VexTrend1->MaxVal()) / 2)));

    textfile::appendLines(dataPath(pinglog::analysisLogName(Edit3->text())), Memo2->lines());
}
