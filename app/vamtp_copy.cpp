// The VamtKopie tab: timed copies to a share, their units and graphs.

#include "app/vamtp.h"
#include "controls/VexTrend.h"
#include "platform/memo.h"

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
    const Unit& unit = RadioButton6->isChecked() ? kKbit : RadioButton8->isChecked() ? kGbit : kMbit;
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
    const auto options = CheckBox7->isChecked() ? TVexTrend::TTrendOptions(TVexTrend::toTwin) : TVexTrend::TTrendOptions();
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
