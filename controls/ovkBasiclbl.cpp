#include "controls/ovkBasiclbl.h"

#include <QEvent>
#include <QPalette>

QColor colorFromRef(quint32 ref)
{
    return QColor(int(ref & 0xFF), int(ref >> 8 & 0xFF), int(ref >> 16 & 0xFF));
}

quint32 refFromColor(const QColor& color)
{
    return quint32(color.red()) | quint32(color.green()) << 8 | quint32(color.blue()) << 16;
}

TovkBasicLabel::TovkBasicLabel(QWidget* parent) : QLabel(parent)
{
    m_savedColor = FontColor();
}

quint32 TovkBasicLabel::FontColor() const
{
    return refFromColor(palette().color(QPalette::WindowText));
}

void TovkBasicLabel::setFontColor(quint32 color)
{
    QPalette pal = palette();
    const QColor c = colorFromRef(color);
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        pal.setColor(role, c);
    setPalette(pal);
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
