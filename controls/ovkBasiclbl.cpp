#include "controls/ovkBasiclbl.h"

#include "platform/colorref.h"

#include <QEvent>
#include <QPalette>

TovkBasicLabel::TovkBasicLabel(QWidget* parent) : QLabel(parent)
{
    m_savedColor = FontColor();
}

quint32 TovkBasicLabel::FontColor() const
{
    return colorref::fromColor(palette().color(QPalette::WindowText));
}

void TovkBasicLabel::setFontColor(quint32 color)
{
    colorref::setTextColor(this, colorref::toColor(color));
}

void TovkBasicLabel::Loaded()
{
    m_savedColor = FontColor();
}

bool TovkBasicLabel::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip && !m_showHint) {
        event->ignore();
        return true;
    }
    return QLabel::event(event);
}

void TovkBasicLabel::changeEvent(QEvent* event)
{
    QLabel::changeEvent(event);
    // The font colour is a palette entry here; either change may be the font's.
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::FontChange) {
        if (FontColor() != m_focusColor)
            m_savedColor = FontColor();
    }
}

void TovkBasicLabel::enterEvent(QEnterEvent* event)
{
    QLabel::enterEvent(event);
    setFontColor(m_focusColor);
    Q_EMIT OnMouseEnter();
}

void TovkBasicLabel::leaveEvent(QEvent* event)
{
    QLabel::leaveEvent(event);
    setFontColor(m_savedColor);
    Q_EMIT OnMouseLeave();
}

void TovkBasicLabel::mouseReleaseEvent(QMouseEvent* event)
{
    QLabel::mouseReleaseEvent(event);
    Q_EMIT OnMouseUp();
}
