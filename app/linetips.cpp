#include "app/linetips.h"

#include <QHelpEvent>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>
#include <QToolTip>

namespace {
// A log window holds at most about a thousand lines; tips of lines long gone are not kept.
constexpr int kMaxTips = 1000;
} // namespace

LineTips::LineTips(QPlainTextEdit* log) : QObject(log), m_log(log), m_viewport(log->viewport())
{
    m_viewport->installEventFilter(this);
}

void LineTips::setTip(const QString& line, const QString& tip)
{
    if (m_tips.contains(line))
        m_order.removeOne(line);
    m_tips.insert(line, tip);
    m_order.append(line);
    while (m_order.size() > kMaxTips)
        m_tips.remove(m_order.takeFirst());
}

QString LineTips::tip(const QString& line) const
{
    return m_tips.value(line);
}

QString LineTips::tipAt(const QPoint& viewportPos) const
{
    const QTextCursor cursor = m_log->cursorForPosition(viewportPos);
    // The cursor snaps to the nearest line: only a point on the line's height counts. The log
    // does not wrap, so a line is one row of text.
    const QRect row = m_log->cursorRect(cursor);
    if (!cursor.block().isValid() || viewportPos.y() < row.top() || viewportPos.y() > row.bottom())
        return QString();
    return tip(cursor.block().text());
}

bool LineTips::eventFilter(QObject* watched, QEvent* event)
{
    // The log window is not asked anything about other events: while it is being destroyed,
    // its viewport still passes events through here.
    if (event->type() == QEvent::ToolTip && watched == m_viewport) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const QString text = tipAt(help->pos());
        if (text.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), text, m_viewport);
        return true;
    }
    return QObject::eventFilter(watched, event);
}
