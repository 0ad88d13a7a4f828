#include "support/labelfit.h"

#include "app/copymath.h"
#include "app/vamtp.h"

#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QRadioButton>
#include <QSlider>

namespace labelfit {

namespace {

// The later siblings lie above a widget; one that covers it whole hides it (the back member
// of a stacked pair), one that covers a part of it cuts its text.
const QWidget* coveringSibling(const QWidget* w, bool* whole)
{
    const QObjectList& siblings = w->parentWidget()->children();
    const QWidget* partly = nullptr;
    for (qsizetype i = siblings.indexOf(w) + 1; i < siblings.size(); ++i) {
        const auto* other = qobject_cast<const QWidget*>(siblings.at(i));
        if (!other || other->isHidden() || other->isWindow())
            continue;
        if (other->geometry().contains(w->geometry())) {
            *whole = true;
            return other;
        }
        if (!partly && other->geometry().intersects(w->geometry()))
            partly = other;
    }
    *whole = false;
    return partly;
}

QString problem(const QLabel* label)
{
    const QFontMetrics metrics(label->font());
    const QRect room = label->contentsRect();
    const QSize needed(metrics.horizontalAdvance(label->text()), metrics.height());
    if (room.width() < needed.width() || room.height() < needed.height())
        return QStringLiteral("needs %1 x %2, has %3 x %4")
            .arg(needed.width())
            .arg(needed.height())
            .arg(room.width())
            .arg(room.height());
    const QRect parentRoom = label->parentWidget()->contentsRect();
    if (!parentRoom.contains(label->geometry()))
        return QStringLiteral("reaches past its parent (%1,%2 %3 x %4 in %5 x %6)")
            .arg(label->x())
            .arg(label->y())
            .arg(label->width())
            .arg(label->height())
            .arg(parentRoom.width())
            .arg(parentRoom.height());
    bool whole = false;
    if (const QWidget* over = coveringSibling(label, &whole); over && !whole)
        return QStringLiteral("is partly covered by %1").arg(over->objectName());
    return {};
}

} // namespace

QStringList unreadableLabels(const QWidget* window)
{
    QStringList found;
    const auto labels = window->findChildren<QLabel*>();
    for (const QLabel* label : labels) {
        if (!label->isVisible() || label->text().isEmpty())
            continue;
        bool whole = false;
        if (coveringSibling(label, &whole) && whole)
            continue; // behind its stacked twin: not seen
        if (const QString why = problem(label); !why.isEmpty())
            found += QStringLiteral("%1 \"%2\" %3").arg(label->objectName(), label->text(), why);
    }
    return found;
}

void showLargestValues(TForm1& f)
{
    const QLocale locale = QLocale::system();
    f.Edit1->setText(QStringLiteral("64000"));
    f.Label5->setText(QString::number(f.TrackBar1->maximum()));
    f.Label17->setText(QString::number(f.TrackBar2->maximum()));
    f.Label18->setText(QString::number(f.TrackBar3->maximum()));
    f.Label32->setText(QString::number(f.TrackBar4->maximum()));
    f.Label55->setText(QString::number(f.TrackBar5->maximum()));

    const copymath::ScaleLabels ping = copymath::timeScaleLabels(9000);
    f.Label11->setText(ping.top);
    f.Label12->setText(ping.threeQuarter);
    f.Label13->setText(ping.half);
    f.Label14->setText(ping.quarter);

    f.Label26->setText(QStringLiteral("9000"));
    f.Label27->setText(QStringLiteral("4500"));

    // The widest unit caption and the largest speed, in KBit/s.
    f.RadioButton6->click();
    const copymath::ScaleLabels speed = copymath::speedScaleLabels(455111111, locale);
    f.Label49->setText(speed.top);
    f.Label50->setText(speed.threeQuarter);
    f.Label51->setText(speed.half);
    f.Label52->setText(speed.quarter);
    const copymath::ScaleLabels time = copymath::timeScaleLabels(99999);
    f.Label35->setText(time.top);
    f.Label36->setText(time.threeQuarter);
    f.Label37->setText(time.half);
    f.Label38->setText(time.quarter);
}

} // namespace labelfit
