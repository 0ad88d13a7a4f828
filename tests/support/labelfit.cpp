#include "support/labelfit.h"

#include "app/copymath.h"
#include "app/pingstatsrow.h"
#include "app/scaleview.h"
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

PingStatistics::Snapshot largestPingStatistics()
{
    // A week of pinging every five seconds from 1 to 9 seconds per reply, with an hour-long
    // outage now and then and one going on now.
    PingStatistics st;
    constexpr uint64_t kWeek = 7 * 24 * 720;
    const auto start = PingStatistics::Clock::time_point{};
    for (uint64_t i = 0; i < kWeek; ++i) {
        const auto when = start + std::chrono::seconds(5 * i);
        if (i % 10000 < 720 || i + 720 > kWeek)
            st.addLoss(when);
        else
            st.addReply(i % 2 ? 8999999 : 1000000, when);
    }
    return st.snapshot();
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

    scaleview::show(f.VexTrend2, {f.Label11, f.Label12, f.Label13, f.Label14},
                    copymath::timeScaleLabels(9000));
    pingstatsrow::show(f.Label57, f.Label58, largestPingStatistics());

    f.Label26->setText(QStringLiteral("9000"));
    f.Label27->setText(QStringLiteral("4500"));

    // The widest unit caption and the largest speed, in KBit/s.
    f.RadioButton6->click();
    scaleview::show(f.VexTrend4, {f.Label49, f.Label50, f.Label51, f.Label52},
                    copymath::speedScaleLabels(455111111, locale));
    scaleview::show(f.VexTrend3, {f.Label35, f.Label36, f.Label37, f.Label38},
                    copymath::timeScaleLabels(99999));
}

} // namespace labelfit
