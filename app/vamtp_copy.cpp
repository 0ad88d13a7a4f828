// The VamtKopie tab: timed copies to a share, their units and graphs.

#include "app/copymath.h"
#include "app/linetips.h"
#include "app/scaleview.h"
#include "app/testfiles.h"
#include "app/vamtp.h"
#include "controls/VexTrend.h"
#include "metrics/registry.h"
#include "platform/application.h"
#include "platform/conv.h"
#include "platform/copy/copythread.h"
#include "platform/copy/filecopy.h"
#include "platform/logging.h"
#include "platform/memo.h"
#include "platform/programdir.h"
#include "platform/rounding.h"
#include "platform/textfile.h"

#include <QDateTime>
#include <QLineEdit>

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTimer>

namespace {

struct Unit
{
    const char* text;
    const char* divisor;
};

constexpr Unit kKbit{"KBit/s", "1024"};
constexpr Unit kMbit{"MBit/s", "1048576"};
constexpr Unit kGbit{"GBit/s", "1073741824"};
constexpr int kListWindow = 100;

QString maxCaption(const char* unit)
{
    return QStringLiteral("Max. value (%1)").arg(QLatin1String(unit));
}

QString minCaption(const char* unit)
{
    return QStringLiteral("Min. value (%1)").arg(QLatin1String(unit));
}

} // namespace

void TForm1::RadioButton4Click(QObject*)
{
    if (RadioButton4->isChecked()) {
        VexTrend3->raise();
        VexTrend4->lower();
        for (QLabel* l : {Label49, Label50, Label51, Label52})
            l->lower();
        for (QLabel* l : {Label35, Label36, Label37, Label38})
            l->raise();
    }
    Label33->setText(maxCaption("ms"));
    Label34->setText(minCaption("ms"));
    GroupBox2->hide();
}

void TForm1::RadioButton5Click(QObject*)
{
    if (RadioButton5->isChecked()) {
        VexTrend4->raise();
        VexTrend3->lower();
        for (QLabel* l : {Label49, Label50, Label51, Label52})
            l->raise();
        for (QLabel* l : {Label35, Label36, Label37, Label38})
            l->lower();
    }
    GroupBox2->show();
    const Unit& unit = RadioButton6->isChecked()   ? kKbit
                       : RadioButton8->isChecked() ? kGbit
                                                   : kMbit;
    Label33->setText(maxCaption(unit.text));
    Label34->setText(minCaption(unit.text));
}

void TForm1::chooseUnit(const char* text, const char* divisor)
{
    Memo5->Clear();
    Memo3->Clear();
    VexTrend4->ClearValues();
    VexTrend4->ClearTwinValues();
    VexTrend4->setMaxVal(0);
    Label42->setText(QLatin1String(divisor));
    Label56->setText(QLatin1String(text));
    for (QLabel* l : {Label49, Label50, Label51, Label52})
        l->setText(QStringLiteral("0"));
    VexTrend4->setGridStyle(TVexTrend::gsXGrid);
    if (RadioButton5->isChecked()) {
        Label33->setText(maxCaption(text));
        Label34->setText(minCaption(text));
    }
}

void TForm1::RadioButton6Click(QObject*)
{
    chooseUnit(kKbit.text, kKbit.divisor);
}

void TForm1::RadioButton7Click(QObject*)
{
    chooseUnit(kMbit.text, kMbit.divisor);
}

void TForm1::RadioButton8Click(QObject*)
{
    chooseUnit(kGbit.text, kGbit.divisor);
}

void TForm1::CheckBox7Click(QObject*)
{
    const auto options = CheckBox7->isChecked() ? TVexTrend::TTrendOptions(TVexTrend::toTwin)
                                                : TVexTrend::TTrendOptions();
    VexTrend3->setOptions(options);
    VexTrend4->setOptions(options);
}

void TForm1::TrackBar5Change(QObject*)
{
    Timer4->setInterval(TrackBar5->value() * 1000);
    Label55->setText(QString::number(TrackBar5->value()));
}

void TForm1::Button8Click(QObject*)
{
    Button7->raise();
    Button8->lower();
    Timer4->stop();
}

void TForm1::Timer4Timer(QObject* Sender)
{
    Button5Click(Sender);
}

void TForm1::Button6Click(QObject*)
{
    testfiles::writeTestFiles(programdir::dataFolder());
}

const testfiles::TestFile& TForm1::checkedTestFile() const
{
    if (RadioButton1->isChecked())
        return testfiles::kTestFiles[0];
    if (RadioButton3->isChecked())
        return testfiles::kTestFiles[2];
    return testfiles::kTestFiles[1];
}

void TForm1::feedAverage(TMemo* list, TVexTrend* graph)
{
    list->KeepLast(kListWindow);
    if (const auto average = copymath::listAverage(list->lines()))
        graph->AddTwinValue(*average);
}

void TForm1::Button5Click(QObject*)
{
    const testfiles::TestFile& file = checkedTestFile();
    const QString name = QString::fromLatin1(file.name);
    const QString source = dataPath(name);
    // Written before the clock starts, so the time covers the copy alone.
    if (!textfile::exists(source))
        Button6Click(Button6);
    const QString folder = filecopy::withTrailingSeparator(Edit5->text());
    if (folder != Edit5->text())
        Edit5->setText(folder);
    const QString destination = Edit5->text() + name;

    const QDateTime start = QDateTime::currentDateTime();
    // On the copy thread, timed there with a monotonic clock in microseconds (a copy of a few
    // milliseconds still has a speed of its own); the window paints meanwhile.
    const filecopy::TimedCopy copy = filecopy::copyTimed(source, destination);
    const bool copied = copy.copied;
    const QString copyReason = copy.reason;
    const int64_t elapsedUs = copy.nanoseconds / 1000;
    if (m_metrics)
        m_metrics->recordCopy(folder, metrics::copySizeLabel(file.sizeBytes), copied,
                              double(copy.nanoseconds) / 1e9, file.sizeBytes);
    const int32_t elapsed = copied ? copymath::wholeMilliseconds(elapsedUs) : 0;
    const int32_t speed =
        copied ? copymath::speedHundredthsUs(file.sizeBytes, elapsedUs, StrToInt(Label42->text()))
               : 0;

    // A failed copy shows as 0 on both graphs but never enters an average: it would pass for
    // a very fast copy.
    VexTrend3->AddValue(elapsed);
    scaleview::show(VexTrend3, {Label35, Label36, Label37, Label38},
                    copymath::timeScaleLabels(VexTrend3->MaxVal()));
    if (copied)
        Memo3->Add(QString::number(elapsed));
    feedAverage(Memo3, VexTrend3);

    Label47->setText(QString::number(speed));
    VexTrend4->AddValue(speed);
    scaleview::show(VexTrend4, {Label49, Label50, Label51, Label52},
                    copymath::speedScaleLabels(VexTrend4->MaxVal(), QLocale::system()));
    if (copied)
        Memo5->Add(Label47->text());
    feedAverage(Memo5, VexTrend4);

    QString deleteReason;
    const bool deleted = filecopy::deleteOnCopyThread(destination, &deleteReason);
    // A tick that fell due during the copy must not start the next one at once.
    if (Timer4->isActive())
        Timer4->start();
    const QString line = copymath::copyLogLine(start, copied, deleted, elapsed, speed,
                                               Label56->text(), QLocale::system());
    addLogLine(Memo4, line);
    if (!copied)
        showCopyReason(line, copyReason);
    else if (!deleted)
        showCopyReason(line, deleteReason);
    else
        qCDebug(lcCopy) << "copied" << file.sizeBytes << "bytes to" << destination << "in"
                        << elapsedUs << "us";
    // A read-only copy log is reported rather than skipped: the operator asked for the line.
    if (CheckBox8->isChecked())
        textfile::appendLine(dataPath(QStringLiteral("vamtcopy.txt")), line);
}

void TForm1::showCopyReason(const QString& line, const QString& reason)
{
    // The stored line stays as it is; the reason shows on the line in the log window and goes
    // to the diagnostic log.
    if (!m_copyTips)
        m_copyTips = new LineTips(Memo4);
    m_copyTips->setTip(line, reason);
    qCWarning(lcCopy).noquote() << line << "--" << reason;
}

void TForm1::Button7Click(QObject*)
{
    Button8->raise();
    Button7->lower();
    repaint();
    Memo3->Clear();
    Memo4->Clear();
    Memo5->Clear();
    // Cutting off a pending interpretation must not leave the busy cursor behind.
    if (Timer3->isActive())
        TApplication::instance()->setBusyCursor(false);
    Timer1->stop();
    Timer2->stop();
    Timer3->stop();
    Timer4->start();
    Button5Click(Button7);
}
